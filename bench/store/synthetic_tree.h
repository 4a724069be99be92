// A synthetic company for the store's benchmarks: a navigation template of a
// given size and a user's rows over it, as the middle tier would deliver them.
#pragma once

#include "platform/containers/dictionary.h"

namespace wayfind::storebench {

struct TreeSize {
  int topClasses;
  int subSystems;
  int subFuncs;
  int detailFuncs;
  int userDetailRows;   // renamed template functions
  int userCustomItems;  // detail functions the user created
  int userSubFuncRows;  // renamed sub-functions
};

// 50,000 detail functions, 5,000 sub-functions and 5,000 user rows.
inline constexpr TreeSize kLarge{20, 500, 5000, 50000, 4000, 500, 500};
// The same shape at 500 detail functions.
inline constexpr TreeSize kSmall{2, 5, 50, 500, 40, 5, 5};

// Sub-function ids run from kFirstSubFunc, ten detail functions each.
inline constexpr int kFirstSubFunc = 10000;

platform::DictionaryPtr makeTemplate(const TreeSize& size, const std::string& timeStamp);
platform::DictionaryPtr makeUserData(const TreeSize& size, const std::string& timeStamp);

}  // namespace wayfind::storebench
