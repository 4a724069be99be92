// How often and how lately a user started each detail function, as kept in the
// user's profile under kFunctionUseSetting and read to put a user's usual
// functions first among equal search matches.
//
// Each start adds 1 to a function's score; a score halves every
// kUseHalfLifeDays days without a start, so a function started daily last month
// gives way to one started daily this week, and one started often outranks one
// started once. The text form is "id:score:day;..." (day: days since
// 1970-01-01, UTC; the score with three decimals after a full stop, whatever the
// process's locale, and read with a comma too), the highest scores first, cut to
// what the profile's value holds. A text that is not of this form reads as no
// use at all.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

namespace wayfind::nav {

inline constexpr const char* kFunctionUseSetting = "FUNCTION_USE";
inline constexpr double kUseHalfLifeDays = 14.0;
inline constexpr size_t kFunctionUseTextLimit = 1000;

// Today as days since 1970-01-01 (UTC).
int32_t UseDayToday();

class FunctionUse {
 public:
  static FunctionUse parse(std::string_view text);
  // The highest scores first, as many as fit in kFunctionUseTextLimit.
  std::string text(int32_t today) const;

  void recordStart(int32_t detailFuncId, int32_t today);
  // The score on today (0 for a function never started).
  double score(int32_t detailFuncId, int32_t today) const;
  bool empty() const { return uses_.empty(); }
  template <class F>
  void each(F&& f) const {
    for (const auto& [id, use] : uses_) f(id);
  }

 private:
  struct Use {
    double score = 0;
    int32_t day = 0;
  };
  static double decayed(const Use& use, int32_t today);
  std::unordered_map<int32_t, Use> uses_;
};

}  // namespace wayfind::nav
