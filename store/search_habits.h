// The user's habits as the search uses them: which functions the user starts,
// how often and how lately (nav::FunctionUse), kept by the ERP in the user's
// profile, read once for each load of the user's data and updated at each
// start; and whether they order the search at all (the user's switch
// kNoHabitsSetting in the options dialog, or a switch for the process).
#pragma once

#include <cstdint>
#include <memory>

#include "platform/navigation/function_use.h"
#include "platform/recordset/recordset.h"

namespace wayfind::store {

// "1" turns the habits off, as the options dialog's switches are on only for "1".
inline constexpr const char* kNoHabitsSetting = "SEARCH_NO_HABITS";

class SearchHabits {
 public:
  static SearchHabits& instance();
  // Forgets what was read and the switch (tests).
  void reset();

  // Off for this process (wayfind search --no-habits), whatever the setting says.
  void switchOff(bool off) { switchedOff_ = off; }
  // Unless the user's setting (in the loaded user data) or the process turned them off.
  bool enabled();

  // The scores as the ERP keeps them, read when the user's data was loaded
  // again since the last read. A middle tier that cannot answer leaves none:
  // the search keeps the tree's order.
  const nav::FunctionUse& uses();
  int32_t today() const { return today_; }
  // Changes whenever the scores do.
  uint64_t generation() const { return generation_; }

  // Counts a start of the function: here at once, then through the middle tier,
  // whose failure reaches the caller.
  void recordStart(int32_t detailFuncId);

 private:
  bool current() const;
  nav::FunctionUse uses_;
  std::weak_ptr<platform::Recordset> readFor_;  // the user's profile table the scores go with
  bool read_ = false;
  bool switchedOff_ = false;
  int32_t today_ = 0;
  uint64_t generation_ = 0;
};

}  // namespace wayfind::store
