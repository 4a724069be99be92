// The form in which function names and help codes are compared when a user
// searches the navigation tree: letters in one case and one width, Chinese
// characters in one form of their family of variants, blanks trimmed and runs of
// blanks collapsed, so that "PZLR", "pzlr", "ＰＺＬＲ" and " pz  lr " compare as the
// user means them, and so do 总账, 總賬 and 总帐.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace wayfind::store {

// The most characters of a search text that count: longer than any name, help
// code or several of them typed together. The console's box takes no more.
inline constexpr size_t kSearchTextChars = 256;
// The text's first kSearchTextChars characters (a longer pasted text would cost
// every search far more than it could find).
std::string_view LimitSearchText(std::string_view text);

// The text folded for comparison, as UTF-8:
// - full-width ASCII forms (U+FF01 to U+FF5E) become their ASCII twins, the
//   ideographic space a space;
// - Latin capitals (ASCII, Latin-1, Greek and Cyrillic basic ranges) become small;
// - blanks (space, tab, line breaks, no-break and ideographic spaces) are trimmed
//   at both ends and every run inside becomes one space;
// - bytes that are not valid UTF-8 become U+FFFD, so the result is always valid.
// - a Chinese character becomes the character that stands for its family of
//   simplified, traditional and variant forms (hanzi::FoldVariant).
std::string FoldSearchText(std::string_view text);
// The same into out (replacing what it held), for callers that fold many texts
// and keep one buffer.
void FoldSearchText(std::string_view text, std::string& out);

// Whether the text has something besides blanks and ends in a blank (the user
// has finished a word and goes on to another).
bool EndsAfterAWord(std::string_view text);

// One character folded as FoldSearchText folds it (blanks are not touched).
char32_t FoldSearchChar(char32_t cp);

// The code points of valid UTF-8 (as FoldSearchText gives it).
std::vector<char32_t> CodePoints(std::string_view utf8);
void CodePoints(std::string_view utf8, std::vector<char32_t>& out);  // replacing what out held
// The code point at pos, pos moved past it (pos below the text's size); bytes
// that are not valid UTF-8 read as U+FFFD.
char32_t NextCodePoint(std::string_view utf8, size_t& pos);

}  // namespace wayfind::store
