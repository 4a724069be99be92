// A parsed criteria tree bound to one record set's fields: names resolved to
// field positions and every literal converted once to the form its field compares
// in. Evaluation never throws. Equality clauses on integer fields can be answered
// from the record set's IndexSet (candidates()).
//
// The tree is immutable and may serve many texts of one shape (criteria_shape.h):
// a number compared with a number field is a slot of the tree, and each
// BoundCriteria carries its own values for the slots. withNumbers() makes the
// criteria of another text of the same shape without parsing or binding again.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/recordset/criteria.h"
#include "platform/recordset/field.h"
#include "platform/recordset/integer_index.h"
#include "platform/recordset/like_pattern.h"

namespace wayfind::platform {

class BoundCriteria {
 public:
  // Raises 3265 for an unknown field and 3001 for a value the field cannot be
  // compared with (a text that is no number against a number field, ...).
  static std::shared_ptr<const BoundCriteria> bind(const criteria::Node& node,
                                                   const std::vector<FieldInfo>& fields);

  bool matches(const RowStore& rows, uint32_t row) const { return matches(tree_->root, slots(), rows, row, 0); }
  // The same for a row of the candidates() whose clauses in satisfied hold for
  // every candidate (so need no evaluating).
  bool matches(const RowStore& rows, uint32_t row, uint64_t satisfied) const {
    return matches(tree_->root, slots(), rows, row, satisfied);
  }

  // Rows that may match, ascending, when indexes can narrow the search: true
  // with list pointing at them (at an index's own list, or at owned), false
  // when every row has to be evaluated. Candidates still need matches(). The
  // list is valid until the set or its indexes change.
  // satisfied: the clauses (bits by their order in the text) that every
  // candidate satisfies, because its list is the index's list of that clause's
  // value.
  bool candidates(IndexSet& indexes, const RowStore& rows, RowSpan& list, RowList& owned,
                  uint64_t& satisfied) const;

  bool isSingleClause() const { return tree_->root.kind == criteria::Node::Kind::Clause; }

  // Whether every number literal of the text is a slot, so that withNumbers()
  // gives the criteria of any text of the same shape. A number compared with a
  // text or Variant field is bound with its text and is no slot.
  bool takesOtherNumbers() const { return tree_->numbersAreSlots; }
  size_t numberCount() const { return tree_->slotFields.size(); }
  // The criteria of the text whose number literals, in the order of the text,
  // have these values (as the parser reads them). Needs takesOtherNumbers() and
  // numberCount() values.
  std::shared_ptr<const BoundCriteria> withNumbers(const double* numbers) const;
  // Whether these values are this criteria's own.
  bool hasNumbers(const double* numbers) const;

 private:
  // How a clause compares, decided at bind time.
  enum class Mode {
    IsNull,    // field = Null
    NotNull,   // field <> Null
    Never,     // < Null and the like: nothing satisfies it
    Numeric,   // number field against a number
    Text,      // text field against a text
    Dynamic,   // decided per value (Variant fields, text field against a number)
    Like,
  };

  // A number as a number field compares with it.
  struct Number {
    double value = 0.0;      // as written (the parser's reading)
    double number = 0.0;     // for the field (Boolean fields: -1 or 0)
    std::optional<int64_t> integer;  // the number when it is a whole number
  };

  struct Clause {
    int field = -1;
    criteria::CompareOp op = criteria::CompareOp::Equal;
    Mode mode = Mode::Never;
    int ordinal = 0;                  // the clause's place in the text (0, 1, ...)
    int slot = -1;                    // Numeric against a number literal: its slot
    Number fixed;                     // Numeric against a text or date literal
    bool hasNumber = false;           // Dynamic: the literal reads as a number
    bool literalIsText = false;       // Dynamic: the literal was a quoted text
    std::string text;                 // Text / Dynamic: the literal's text
    LikePattern like;
    bool indexable = false;           // equality on an integer field
  };

  struct BNode {
    criteria::Node::Kind kind = criteria::Node::Kind::Clause;
    Clause clause;
    std::vector<BNode> children;
  };

  struct Tree {
    BNode root;
    std::vector<DataType> slotFields;  // the field type of every slot
    int clauseCount = 0;
    bool numbersAreSlots = true;
  };

  // Slot values; a few inline, so that a criteria costs one allocation.
  static constexpr size_t kInlineSlots = 4;

  const Number* slots() const { return moreSlots_ ? moreSlots_.get() : inlineSlots_; }
  static const Number& numberOf(const Clause& c, const Number* slots) {
    return c.slot >= 0 ? slots[c.slot] : c.fixed;
  }
  static Number numberFor(DataType type, double value);

  static BNode bindNode(const criteria::Node& node, const std::vector<FieldInfo>& fields, Tree& tree,
                        std::vector<double>& values);
  static Clause bindClause(const criteria::Clause& c, const std::vector<FieldInfo>& fields, Tree& tree,
                           std::vector<double>& values);
  static bool matches(const BNode& node, const Number* slots, const RowStore& rows, uint32_t row,
                      uint64_t satisfied);
  static bool clauseMatches(const Clause& c, const Number& number, const Cell& value);
  static bool candidates(const BNode& node, const Number* slots, IndexSet& indexes, const RowStore& rows,
                         RowSpan& list, RowList& owned, uint64_t& satisfied);
  static uint64_t bitOf(const Clause& c) { return c.ordinal < 64 ? uint64_t{1} << c.ordinal : 0; }
  void setSlots(const double* values);

  std::shared_ptr<const Tree> tree_;
  Number inlineSlots_[kInlineSlots];
  std::unique_ptr<Number[]> moreSlots_;
};

}  // namespace wayfind::platform
