// A parsed criteria tree bound to one record set's fields: names resolved to
// field positions and every literal converted once to the form its field compares
// in. Evaluation never throws. Equality clauses on integer fields can be answered
// from the record set's IndexSet (candidates()).
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

  bool matches(const RowStore& rows, uint32_t row) const { return matches(root_, rows, row); }

  // Rows that may match, ascending, when indexes can narrow the search; nullopt
  // when every row has to be evaluated. Candidates still need matches().
  std::optional<RowList> candidates(IndexSet& indexes, const RowStore& rows) const {
    return candidates(root_, indexes, rows);
  }

  bool isSingleClause() const { return root_.kind == criteria::Node::Kind::Clause; }

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

  struct Clause {
    int field = -1;
    criteria::CompareOp op = criteria::CompareOp::Equal;
    Mode mode = Mode::Never;
    double number = 0.0;
    std::optional<int64_t> integer;   // the number when it is a whole number
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

  static BNode bindNode(const criteria::Node& node, const std::vector<FieldInfo>& fields);
  static Clause bindClause(const criteria::Clause& c, const std::vector<FieldInfo>& fields);
  static bool matches(const BNode& node, const RowStore& rows, uint32_t row);
  static bool clauseMatches(const Clause& c, const Cell& value);
  static std::optional<RowList> candidates(const BNode& node, IndexSet& indexes, const RowStore& rows);

  BNode root_;
};

}  // namespace wayfind::platform
