// The pseudo-language "qps" of the window tests: every text of the translation
// tables in markers and 40 % longer than its Chinese, so a window shown in it
// tells a text that went through the translation from one that did not (no
// markers) and a control too small for a longer translation (clipped text).
// make_pseudo_language.cpp writes its tables at build time.
#pragma once

#include <string>
#include <string_view>

namespace wayfind::windowtests {

inline constexpr std::string_view kPseudoOpen = "【";
inline constexpr std::string_view kPseudoClose = "】";
inline constexpr std::string_view kPseudoPadding = "～";

// The number of characters (code points) of UTF-8 text.
inline size_t characters(std::string_view text) {
  size_t n = 0;
  for (unsigned char c : text) n += (c & 0xC0) != 0x80;
  return n;
}

// The pseudo-language's text of a Chinese text: the text, padded by 40 % of its
// characters (rounded up), between the markers. Placeholders and access keys stay.
inline std::string pseudoText(std::string_view chinese) {
  std::string out(kPseudoOpen);
  out += chinese;
  for (size_t i = 0, n = (characters(chinese) * 2 + 4) / 5; i < n; ++i) out += kPseudoPadding;
  return out += kPseudoClose;
}

}  // namespace wayfind::windowtests
