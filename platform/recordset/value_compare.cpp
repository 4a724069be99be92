// Value ordering shared by sorting and criteria evaluation.
#include "platform/recordset/value_compare.h"

#include "platform/automation/conversions.h"
#include "platform/recordset/field_value.h"

namespace wayfind::platform {

namespace {

char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

template <class T>
int threeWay(T a, T b) {
  return a < b ? -1 : (b < a ? 1 : 0);
}

// 0 Null/Empty, 1 number, 2 text, 3 object.
int rank(const Cell& c) {
  if (c.isNull()) return 0;
  if (c.type == VarType::String) return 2;
  if (c.type == VarType::Object) return 3;
  return 1;
}

}  // namespace

int compareTextNoCase(std::string_view a, std::string_view b) {
  size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    unsigned char x = static_cast<unsigned char>(upper(a[i]));
    unsigned char y = static_cast<unsigned char>(upper(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  return threeWay(a.size(), b.size());
}

int compareForSort(const Variant& a, const Variant& b) { return compareForSort(cellOf(a), cellOf(b)); }

int compareForSort(const Cell& a, const Cell& b) {
  if (a.isInteger() && b.isInteger()) return threeWay(a.integer, b.integer);
  int ra = rank(a), rb = rank(b);
  if (ra == 2 && rb == 2) return compareTextNoCase(a.text, b.text);
  if (ra == 1 && rb == 1) return threeWay(*numericOf(a), *numericOf(b));
  if ((ra == 1 && rb == 2) || (ra == 2 && rb == 1)) {
    const Cell& text = ra == 2 ? a : b;
    if (auto n = parseNumber(text.text)) {
      double t = *n, num = *numericOf(ra == 1 ? a : b);
      return ra == 1 ? threeWay(num, t) : threeWay(t, num);
    }
  }
  return threeWay(ra, rb);
}

}  // namespace wayfind::platform
