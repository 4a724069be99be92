// libFuzzer target for the record set's criteria and sort languages. Each input
// is used as a filter, a Find criterion and a sort text on a small table. It must
// never crash, hang or leak; a rejected text must raise 3001 (malformed) or 3265
// (unknown field), and an accepted filter must select the same rows with and
// without the hash indexes.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/automation/automation_error.h"
#include "platform/recordset/recordset.h"

using namespace wayfind::platform;

namespace {

RecordsetPtr makeTable() {
  auto rs = std::make_shared<Recordset>();
  rs->appendField("FSubFuncID", DataType::Integer);
  rs->appendField("FAcctType", DataType::VarWChar, 255);
  rs->appendField("FVisible", DataType::SmallInt);
  rs->appendField("FAmount", DataType::Double);
  rs->appendField("FDay", DataType::Date);
  rs->appendField("FFlag", DataType::Boolean);
  rs->appendField("FAny", DataType::Variant);
  rs->appendField("F Name", DataType::VarWChar, 20);
  rs->open();
  rs->appendStoredRow({5, Variant::null(), 1, 1.5, "2024-01-31", true, 10, "a"});
  rs->appendStoredRow({5, "", 0, -2.0, Variant::null(), false, "x", "b"});
  rs->appendStoredRow({5, ",1,", 1, 0.0, "2023-05-01", Variant::null(), 2.5, Variant::null()});
  rs->appendStoredRow({6, ",11,", 1, 100.0, "2025-01-01", true, Variant::null(), "凭证"});
  rs->appendStoredRow({Variant::null(), ",1,3,", 1, 3.0, "2024-02-29", false, "10", "O'B"});
  for (int i = 0; i < 80; ++i) rs->appendStoredRow({i % 9, ",12,", i % 2, i * 0.5, Variant::null(), i % 3 == 0, i, "n"});
  return rs;
}

void expectRejection(const AutomationError& e) {
  if (e.number() != err::kBadArguments && e.number() != err::kItemNotFound) std::abort();
}

std::vector<int32_t> rowIds(Recordset& rs) {
  std::vector<int32_t> ids;
  for (rs.MoveFirst(); !rs.isEOF(); rs.MoveNext()) ids.push_back(rs.AbsolutePosition());
  return ids;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static RecordsetPtr table = makeTable();
  std::string text(reinterpret_cast<const char*>(data), size);
  Recordset& rs = *table;

  rs.setUseIndexes(true);
  try {
    rs.setFilter(text);
    int32_t indexed = rs.RecordCount();
    rs.setUseIndexes(false);
    rs.setFilter(text);
    if (rs.RecordCount() != indexed) std::abort();
    rowIds(rs);
  } catch (const AutomationError& e) {
    expectRejection(e);
  }
  rs.setUseIndexes(true);
  rs.setFilter("");

  try {
    rs.MoveFirst();
    rs.Find(text, 0, size % 2 ? SearchDirection::Backward : SearchDirection::Forward);
  } catch (const AutomationError& e) {
    expectRejection(e);
  }

  try {
    rs.setSort(text);
  } catch (const AutomationError& e) {
    expectRejection(e);
  }
  rs.setSort("");
  return 0;
}
