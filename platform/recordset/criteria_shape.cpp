// Finding the number literals of a criteria text without parsing it: quoted
// texts, bracketed names, dates and names are copied whole; a number is what the
// parser reads as one (sign, digits, a point and digits, an exponent with digits).
#include "platform/recordset/criteria_shape.h"

namespace wayfind::platform::criteria {

namespace {

// Character classes, looked up once per character.
enum : unsigned char { kOther = 0, kName = 1, kDigit = 2, kNumberStart = 3, kOpen = 4 };

struct Classes {
  unsigned char of[256] = {};
  constexpr Classes() {
    for (int c = 'A'; c <= 'Z'; ++c) of[c] = kName;
    for (int c = 'a'; c <= 'z'; ++c) of[c] = kName;
    of[static_cast<unsigned char>('_')] = kName;
    for (int c = 0x80; c < 256; ++c) of[c] = kName;
    for (int c = '0'; c <= '9'; ++c) of[c] = kDigit;
    of[static_cast<unsigned char>('.')] = kNumberStart;
    of[static_cast<unsigned char>('-')] = kNumberStart;
    of[static_cast<unsigned char>('+')] = kNumberStart;
    of[static_cast<unsigned char>('\'')] = kOpen;
    of[static_cast<unsigned char>('[')] = kOpen;
    of[static_cast<unsigned char>('#')] = kOpen;
  }
};
constexpr Classes kClasses;

unsigned char classOf(char c) { return kClasses.of[static_cast<unsigned char>(c)]; }
bool isDigit(char c) { return classOf(c) == kDigit; }
bool isNameChar(char c) { return classOf(c) == kName || classOf(c) == kDigit; }

// The end of a run that starts at `from` and closes with `close` (included), or
// the end of the text when it never closes.
size_t closing(std::string_view text, size_t from, char close) {
  const size_t at = text.find(close, from);
  return at == std::string_view::npos ? text.size() : at + 1;
}

}  // namespace

bool shapeOf(std::string_view text, std::string& shape, std::vector<Span>& numbers) {
  numbers.clear();
  if (text.find(kNumberMark) != std::string_view::npos) {
    shape.clear();
    return false;
  }
  const size_t n = text.size();
  // The shape is never longer than the text: write it in place, in one piece.
  shape.resize(n);
  char* out = shape.data();
  size_t w = 0;
  size_t i = 0;
  while (i < n) {
    const char c = text[i];
    const unsigned char k = classOf(c);
    size_t end = i + 1;
    if (k == kOther) {
      out[w++] = c;
      ++i;
      continue;
    }
    if (k == kOpen) {
      if (c == '\'') {
        // A quoted text; '' is a quote inside it.
        while (true) {
          end = closing(text, end, '\'');
          if (end < n && text[end] == '\'') { ++end; continue; }
          break;
        }
      } else {
        end = closing(text, i + 1, c == '[' ? ']' : '#');
      }
    } else if (k == kName) {
      while (end < n && isNameChar(text[end])) ++end;
    } else {
      // A number: what the parser reads as one.
      size_t p = i;
      if (text[p] == '-' || text[p] == '+') ++p;
      size_t digits = 0;
      while (p < n && isDigit(text[p])) { ++p; ++digits; }
      if (p < n && text[p] == '.') {
        ++p;
        while (p < n && isDigit(text[p])) { ++p; ++digits; }
      }
      if (digits == 0) return false;
      if (p < n && (text[p] == 'e' || text[p] == 'E')) {
        size_t q = p + 1;
        if (q < n && (text[q] == '-' || text[q] == '+')) ++q;
        size_t expDigits = 0;
        while (q < n && isDigit(text[q])) { ++q; ++expDigits; }
        if (expDigits > 0) p = q;
      }
      if (p < n && isNameChar(text[p])) return false;
      numbers.push_back({i, p - i});
      out[w++] = kNumberMark;
      i = p;
      continue;
    }
    text.copy(out + w, end - i, i);
    w += end - i;
    i = end;
  }
  shape.resize(w);
  return true;
}

}  // namespace wayfind::platform::criteria
