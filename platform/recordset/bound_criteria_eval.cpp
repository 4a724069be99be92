// Evaluation of bound criteria against one stored row. Never throws: a value the
// clause cannot compare with simply does not satisfy it.
#include <algorithm>
#include <iterator>

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

bool textHolds(CompareOp op, std::string_view value, std::string_view literal) {
  if (op == CompareOp::Equal) return iequals(value, literal);
  if (op == CompareOp::NotEqual) return !iequals(value, literal);
  return holds(op, compareTextNoCase(value, literal));
}

}  // namespace

bool BoundCriteria::matches(const BNode& node, const Number* slots, const RowStore& rows, uint32_t row) {
  switch (node.kind) {
    case criteria::Node::Kind::Clause: {
      const Clause& c = node.clause;
      return clauseMatches(c, numberOf(c, slots), rows.cell(row, static_cast<size_t>(c.field)));
    }
    case criteria::Node::Kind::And:
      for (const auto& child : node.children)
        if (!matches(child, slots, rows, row)) return false;
      return true;
    case criteria::Node::Kind::Or:
      for (const auto& child : node.children)
        if (matches(child, slots, rows, row)) return true;
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
    return c.like.matches(CStr(variantOf(value)));
  }
  if (c.mode == Mode::Text) {
    return isText && textHolds(c.op, value.text, c.text);
  }

  // Numeric and Dynamic: numbers compare as numbers where both sides are numbers.
  if (c.hasNumber) {
    if (number.integer && value.isInteger()) return holds(c.op, threeWay(value.integer, *number.integer));
    if (auto d = numericOf(value)) return holds(c.op, threeWay(*d, number.number));
    if (c.mode == Mode::Numeric) return false;
  }
  // Dynamic from here on. A number and a text that is no number are not
  // comparable: the clause does not hold, whatever the operator.
  if (!isText) return false;
  if (c.literalIsText) return textHolds(c.op, value.text, c.text);
  if (auto d = parseNumber(value.text)) return holds(c.op, threeWay(*d, number.number));
  return false;
}

std::optional<RowList> BoundCriteria::candidates(IndexSet& indexes, const RowStore& rows) const {
  return candidates(tree_->root, slots(), indexes, rows);
}

std::optional<RowList> BoundCriteria::candidates(const BNode& node, const Number* slots, IndexSet& indexes,
                                                 const RowStore& rows) {
  switch (node.kind) {
    case criteria::Node::Kind::Clause: {
      const Clause& c = node.clause;
      if (!c.indexable) return std::nullopt;
      const Number& number = numberOf(c, slots);
      if (!number.integer) return RowList{};  // no whole number equals 5.5
      return indexes.require(rows, c.field).rowsWith(*number.integer);
    }
    case criteria::Node::Kind::And: {
      // Every row of the result satisfies each child, so the smallest child
      // candidate list is enough.
      std::optional<RowList> best;
      for (const auto& child : node.children) {
        auto list = candidates(child, slots, indexes, rows);
        if (list && (!best || list->size() < best->size())) best = std::move(list);
        if (best && best->empty()) break;
      }
      return best;
    }
    case criteria::Node::Kind::Or: {
      RowList merged;
      for (const auto& child : node.children) {
        auto list = candidates(child, slots, indexes, rows);
        if (!list) return std::nullopt;
        RowList next;
        next.reserve(merged.size() + list->size());
        std::set_union(merged.begin(), merged.end(), list->begin(), list->end(), std::back_inserter(next));
        merged = std::move(next);
      }
      return merged;
    }
  }
  return std::nullopt;
}

}  // namespace wayfind::platform
