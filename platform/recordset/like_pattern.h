// A LIKE pattern of the criteria language: '%' and '*' stand for any run of
// characters (also none) anywhere in the pattern; every other character, '_'
// included, stands for itself. Matching ignores ASCII letter case; other
// characters (Chinese text has no case) compare exactly.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace wayfind::platform {

class LikePattern {
 public:
  LikePattern() = default;
  explicit LikePattern(std::string_view pattern);

  bool matches(std::string_view text) const;

 private:
  std::vector<std::string> pieces_;  // literal runs between wildcards, upper-cased
  bool anchoredStart_ = true;        // pattern does not begin with a wildcard
  bool anchoredEnd_ = true;          // pattern does not end with a wildcard
};

}  // namespace wayfind::platform
