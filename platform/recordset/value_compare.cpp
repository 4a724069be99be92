// Value ordering shared by sorting and criteria evaluation.
#include "platform/recordset/value_compare.h"

#include <cmath>

#include "platform/automation/conversions.h"
#include "platform/recordset/field_value.h"

namespace wayfind::platform {

namespace {

char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

template <class T>
int threeWay(T a, T b) {
  return a < b ? -1 : (b < a ? 1 : 0);
}

// Numbers in order, NaN after every other (and equal to another NaN): without a
// place of its own it would be equal to everything, and no sort could order by it.
int threeWayNumber(double a, double b) {
  const bool na = std::isnan(a), nb = std::isnan(b);
  if (na || nb) return na == nb ? 0 : (na ? 1 : -1);
  return threeWay(a, b);
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

// A total order (a sort needs one): numbers before texts, in a field that
// holds both. A text that reads as a number is still a text here: compared as a
// number with numbers but as text with texts, "9" < 10 < "10" < "9" went round.
int compareForSort(const Cell& a, const Cell& b) {
  if (a.isInteger() && b.isInteger()) return threeWay(a.integer, b.integer);
  int ra = rank(a), rb = rank(b);
  if (ra == 2 && rb == 2) return compareTextNoCase(a.text, b.text);
  if (ra == 1 && rb == 1) return threeWayNumber(*numericOf(a), *numericOf(b));
  return threeWay(ra, rb);
}

}  // namespace wayfind::platform
