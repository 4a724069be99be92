// Small navigation-like tables holding the cases that filters get wrong: Null and
// empty account types, ",11," and ",12," beside ",1,", a two-code list ",1,3,",
// and parent identifiers on both sides of the one asked for (4, 5, 6 and 50).
#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "platform/automation/automation_error.h"
#include "platform/recordset/recordset.h"

namespace wayfind::platform {
// Readable values in test failure messages.
inline void PrintTo(const Variant& v, std::ostream* os) { *os << v.debugString(); }
}  // namespace wayfind::platform

namespace wayfind::test {

// The number of the AutomationError that f raises, or 0 when it raises none.
inline int errorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const platform::AutomationError& e) {
    return e.number();
  }
  return 0;
}

// FTopClassID, FSubSysID and FSubFuncID all hold the row's parent identifier, so
// every level's parent filter selects the same rows; FDetailFuncID is the row's
// own identifier 1000 + label number; FName is the label ("r0" .. "r10").
platform::RecordsetPtr makeTreeTable();

// The labels (FName) of the visible rows, in view order.
std::vector<std::string> labels(platform::Recordset& rs);

// A set with one field of each kind, not yet open: FName label, FID integer,
// FText text, FAmount double, FDay date, FFlag boolean, FAny variant.
platform::RecordsetPtr makeMixedFields();

// AcctType rows: codes 1, 2, 12 (2 deleted), numbers "01", "02", "12".
platform::RecordsetPtr makeAcctTypeTable();

// Profile rows "CLICK_ACTIVATE" = "1", "RIGHT_ALIGN" = Null.
platform::RecordsetPtr makeProfileTable();

// DetailFunc rows with help codes: "PZ" in FHelpCode1 only, "pz" in FHelpCode, "ZZ".
platform::RecordsetPtr makeHelpCodeTable();

}  // namespace wayfind::test
