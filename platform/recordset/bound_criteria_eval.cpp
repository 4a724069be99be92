// Evaluation of bound criteria against one stored row. Never throws: a value the
// clause cannot compare with simply does not satisfy it.
#include <algorithm>
#include <cmath>
#include <iterator>
#include <optional>

#include "platform/automation/automation_error.h"
#include "platform/automation/conversions.h"
#include "platform/recordset/bound_criteria.h"
#include "platform/recordset/field_value.h"
#include "platform/recordset/value_compare.h"

namespace wayfind::platform {

namespace {

using criteria::CompareOp;

bool holds(CompareOp op, int cmp) {
  switch (op) {
    case CompareOp::Equal: return cmp == 0;
    case CompareOp::NotEqual: return cmp != 0;
    case CompareOp::Less: return cmp < 0;
    case CompareOp::Greater: return cmp > 0;
    case CompareOp::LessEqual: return cmp <= 0;
    case CompareOp::GreaterEqual: return cmp >= 0;
    case CompareOp::Like: return false;
  }
  return false;
}

template <class T>
int threeWay(T a, T b) {
  return a < b ? -1 : (b < a ? 1 : 0);
}

// A number that is no number (NaN) equals nothing and has no order: only "<>"
// holds for it.
bool numberHolds(CompareOp op, double value, double literal) {
  if (std::isnan(value) || std::isnan(literal)) return op == CompareOp::NotEqual;
  return holds(op, threeWay(value, literal));
}

bool textHolds(CompareOp op, std::string_view value, std::string_view literal) {
  if (op == CompareOp::Equal) return iequals(value, literal);
  if (op == CompareOp::NotEqual) return !iequals(value, literal);
  return holds(op, compareTextNoCase(value, literal));
}

}  // namespace

bool BoundCriteria::matches(const BNode& node, const Number* slots, const RowStore& rows, uint32_t row,
                            uint64_t satisfied) {
  switch (node.kind) {
    case criteria::Node::Kind::Clause: {
      const Clause& c = node.clause;
      if (satisfied & bitOf(c)) return true;
      return clauseMatches(c, numberOf(c, slots), rows.cell(row, static_cast<size_t>(c.field)));
    }
    case criteria::Node::Kind::And:
      for (const auto& child : node.children)
        if (!matches(child, slots, rows, row, satisfied)) return false;
      return true;
    case criteria::Node::Kind::Or:
      for (const auto& child : node.children)
        if (matches(child, slots, rows, row, satisfied)) return true;
      return false;
  }
  return false;
}

bool BoundCriteria::clauseMatches(const Clause& c, const Number& number, const Cell& value) {
  bool isNull = value.isNull();
  switch (c.mode) {
    case Mode::IsNull: return isNull;
    case Mode::NotNull: return !isNull;
    case Mode::Never: return false;
    default: break;
  }
  const bool isText = value.type == VarType::String;
  if (isNull || value.type == VarType::Object) return false;

  if (c.mode == Mode::Like) {
    if (isText) return c.like.matches(value.text);
    // A value with no text (a date beyond counting, read as it lay in a file)
    // matches no pattern: evaluating a filter never fails.
    try {
      return c.like.matches(CStr(variantOf(value)));
    } catch (const AutomationError&) {
      return false;
    }
  }
  if (c.mode == Mode::Text) {
    return isText && textHolds(c.op, value.text, c.text);
  }

  // Numeric and Dynamic: numbers compare as numbers where both sides are numbers.
  if (c.hasNumber) {
    if (number.integer && value.isInteger()) return holds(c.op, threeWay(value.integer, *number.integer));
    if (auto d = numericOf(value)) return numberHolds(c.op, *d, number.number);
    if (c.mode == Mode::Numeric) return false;
  }
  // Dynamic from here on. A number and a text that is no number are not
  // comparable: the clause does not hold, whatever the operator.
  if (!isText) return false;
  if (c.literalIsText) return textHolds(c.op, value.text, c.text);
  if (auto d = parseNumber(value.text)) return numberHolds(c.op, *d, number.number);
  return false;
}

bool BoundCriteria::candidates(IndexSet& indexes, const RowStore& rows, RowSpan& list, RowList& owned,
                               uint64_t& satisfied) const {
  satisfied = 0;
  return candidates(tree_->root, slots(), indexes, rows, list, owned, satisfied);
}

namespace {

// The same list (the same parent asked for twice), not merely equal rows.
bool sameList(RowSpan a, RowSpan b) { return a.data() == b.data() && a.size() == b.size(); }

// A child's list that lies in the child's own rows moves into owned with them
// (a vector moved keeps its buffer, so the list stays valid).
void keepOwned(RowSpan list, RowList& childOwned, RowList& owned) {
  if (!list.empty() && list.data() == childOwned.data()) owned = std::move(childOwned);
}

}  // namespace

bool BoundCriteria::candidates(const BNode& node, const Number* slots, IndexSet& indexes, const RowStore& rows,
                               RowSpan& list, RowList& owned, uint64_t& satisfied) {
  switch (node.kind) {
    case criteria::Node::Kind::Clause: {
      const Clause& c = node.clause;
      if (!c.indexable) return false;
      const Number& number = numberOf(c, slots);
      // No whole number equals 5.5.
      if (!number.integer) {
        list = RowSpan();
        return true;
      }
      // The index's list holds exactly the rows whose integer is the value:
      // every one of them satisfies the equality.
      list = indexes.rowsWith(rows, c.field, *number.integer);
      satisfied = bitOf(c);
      return true;
    }
    case criteria::Node::Kind::And: {
      // Every row of the result satisfies each child, so the smallest child
      // candidate list is enough.
      std::optional<RowSpan> best;
      uint64_t bestSatisfied = 0;
      RowList childOwned;
      for (const auto& child : node.children) {
        RowSpan childList;
        uint64_t childSatisfied = 0;
        if (!candidates(child, slots, indexes, rows, childList, childOwned, childSatisfied)) continue;
        if (best && sameList(childList, *best)) {
          bestSatisfied |= childSatisfied;  // the same list: both hold for all its rows
        } else if (!best || childList.size() < best->size()) {
          keepOwned(childList, childOwned, owned);
          best = childList;
          bestSatisfied = childSatisfied;
        }
        if (best->empty()) break;
      }
      if (!best) return false;
      list = *best;
      satisfied = bestSatisfied;
      return true;
    }
    case criteria::Node::Kind::Or: {
      // The union of the children's lists; a child that gives the same list as
      // the one before (the same parent asked for in both halves) adds nothing.
      // What each child's rows satisfy holds for all rows only while every
      // child gave that same list.
      std::optional<RowSpan> merged;
      uint64_t mergedSatisfied = 0;
      RowList childOwned;
      for (const auto& child : node.children) {
        RowSpan childList;
        uint64_t childSatisfied = 0;
        if (!candidates(child, slots, indexes, rows, childList, childOwned, childSatisfied)) return false;
        if (!merged) {
          keepOwned(childList, childOwned, owned);
          merged = childList;
          mergedSatisfied = childSatisfied;
          continue;
        }
        if (sameList(childList, *merged) || std::ranges::equal(childList, *merged)) {
          mergedSatisfied |= childSatisfied;
          continue;
        }
        RowList next;
        next.reserve(merged->size() + childList.size());
        std::set_union(merged->begin(), merged->end(), childList.begin(), childList.end(), std::back_inserter(next));
        owned = std::move(next);
        merged = RowSpan(owned);
        mergedSatisfied = 0;
      }
      if (!merged) return false;
      list = *merged;
      satisfied = mergedSatisfied;
      return true;
    }
  }
  return false;
}

}  // namespace wayfind::platform
