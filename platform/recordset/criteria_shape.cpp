// Finding the number literals of a criteria text without parsing it: quoted
// texts, bracketed names, dates and names are copied whole; a number is what the
// parser reads as one (sign, digits, a point and digits, an exponent with digits).
#include "platform/recordset/criteria_shape.h"

namespace wayfind::platform::criteria {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isNameStart(char c) {
  const auto u = static_cast<unsigned char>(c);
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || u >= 0x80;
}
bool isNameChar(char c) { return isNameStart(c) || isDigit(c); }

// The end of a run that starts at `from` and closes with `close` (included), or
// the end of the text when it never closes.
size_t closing(std::string_view text, size_t from, char close) {
  const size_t at = text.find(close, from);
  return at == std::string_view::npos ? text.size() : at + 1;
}

}  // namespace

bool shapeOf(std::string_view text, std::string& shape, std::vector<Span>& numbers) {
  shape.clear();
  numbers.clear();
  if (text.find(kNumberMark) != std::string_view::npos) return false;
  const size_t n = text.size();
  size_t i = 0;
  while (i < n) {
    const char c = text[i];
    size_t end = i + 1;
    if (c == '\'') {
      // A quoted text; '' is a quote inside it.
      end = i + 1;
      while (true) {
        end = closing(text, end, '\'');
        if (end < n && text[end] == '\'') { ++end; continue; }
        break;
      }
    } else if (c == '[') {
      end = closing(text, i + 1, ']');
    } else if (c == '#') {
      end = closing(text, i + 1, '#');
    } else if (isNameStart(c)) {
      while (end < n && isNameChar(text[end])) ++end;
    } else if (isDigit(c) || c == '.' || c == '-' || c == '+') {
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
      shape.push_back(kNumberMark);
      i = p;
      continue;
    }
    shape.append(text.substr(i, end - i));
    i = end;
  }
  return true;
}

}  // namespace wayfind::platform::criteria
