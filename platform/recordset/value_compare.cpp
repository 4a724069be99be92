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
int rank(const Variant& v) {
  if (v.isNull() || v.isEmpty()) return 0;
  if (v.isString()) return 2;
  if (v.isObject()) return 3;
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

int compareForSort(const Variant& a, const Variant& b) {
  if (auto x = integerOf(a)) {
    if (auto y = integerOf(b)) return threeWay(*x, *y);
  }
  int ra = rank(a), rb = rank(b);
  if (ra == 2 && rb == 2) return compareTextNoCase(a.asString(), b.asString());
  if (ra == 1 && rb == 1) return threeWay(*numericOf(a), *numericOf(b));
  if ((ra == 1 && rb == 2) || (ra == 2 && rb == 1)) {
    const Variant& text = ra == 2 ? a : b;
    if (auto n = parseNumber(text.asString())) {
      double t = *n, num = *numericOf(ra == 1 ? a : b);
      return ra == 1 ? threeWay(num, t) : threeWay(t, num);
    }
  }
  return threeWay(ra, rb);
}

}  // namespace wayfind::platform
