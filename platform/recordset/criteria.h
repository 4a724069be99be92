// The parsed form of a filter or find text in the ADO criteria language: a tree of
// And / Or nodes over clauses "field operator value". Field names are still names
// here; bound_criteria.h resolves them against one record set's fields.
#pragma once

#include <string>
#include <vector>

namespace wayfind::platform::criteria {

enum class CompareOp { Equal, NotEqual, Less, Greater, LessEqual, GreaterEqual, Like };

struct Literal {
  enum class Kind { Null, Number, Text, Date };
  Kind kind = Kind::Null;
  double number = 0.0;  // Number, and Date as its serial
  std::string text;     // Text (quotes removed, '' made one quote); Number as written
};

struct Clause {
  std::string field;
  CompareOp op = CompareOp::Equal;
  Literal value;
};

// And and Or nodes hold two or more children; nested nodes of the same kind are
// flattened by the parser, so an And never holds an And.
struct Node {
  enum class Kind { Clause, And, Or };
  Kind kind = Kind::Clause;
  Clause clause;
  std::vector<Node> children;
};

}  // namespace wayfind::platform::criteria
