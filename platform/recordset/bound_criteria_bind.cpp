// Binding a parsed criteria tree to a record set's fields: resolves names and
// converts each literal to the form its field compares in, so that evaluating a
// row does no parsing and no conversion of the literal.
#include <cmath>

#include "platform/automation/automation_error.h"
#include "platform/automation/conversions.h"
#include "platform/recordset/bound_criteria.h"

namespace wayfind::platform {

namespace {

using criteria::CompareOp;
using Kind = criteria::Literal::Kind;

bool comparesAsNumber(DataType t) {
  return isIntegerType(t) || t == DataType::Double || t == DataType::Currency ||
         t == DataType::Date || t == DataType::Boolean;
}

[[noreturn]] void mismatch(const FieldInfo& f, const std::string& literal) {
  raise(err::kBadArguments, "Recordset",
        "Invalid criteria text: '" + literal + "' cannot be compared with field '" + f.name + "'.");
}

// The literal as the number a number field compares with.
double numberFor(const FieldInfo& f, const criteria::Literal& lit) {
  if (lit.kind != Kind::Text) return lit.number;
  try {
    if (f.type == DataType::Date) return CDate(Variant(lit.text)).serial;
    if (f.type == DataType::Boolean) return CBool(Variant(lit.text)) ? -1.0 : 0.0;
  } catch (const AutomationError&) {
    mismatch(f, lit.text);
  }
  auto n = parseNumber(lit.text);
  if (!n) mismatch(f, lit.text);
  return *n;
}

std::optional<int64_t> wholeNumber(double d) {
  if (!std::isfinite(d) || d != std::floor(d)) return std::nullopt;
  if (d < -9.2e18 || d > 9.2e18) return std::nullopt;
  return static_cast<int64_t>(d);
}

}  // namespace

std::shared_ptr<const BoundCriteria> BoundCriteria::bind(const criteria::Node& node,
                                                         const std::vector<FieldInfo>& fields) {
  auto bound = std::make_shared<BoundCriteria>();
  bound->root_ = bindNode(node, fields);
  return bound;
}

BoundCriteria::BNode BoundCriteria::bindNode(const criteria::Node& node,
                                             const std::vector<FieldInfo>& fields) {
  BNode b;
  b.kind = node.kind;
  if (node.kind == criteria::Node::Kind::Clause) {
    b.clause = bindClause(node.clause, fields);
  } else {
    b.children.reserve(node.children.size());
    for (const auto& child : node.children) b.children.push_back(bindNode(child, fields));
  }
  return b;
}

BoundCriteria::Clause BoundCriteria::bindClause(const criteria::Clause& c,
                                                const std::vector<FieldInfo>& fields) {
  Clause b;
  // Field names are unique without regard to case: the usual spelling, exactly
  // as the field has it, is found without folding letters.
  for (size_t i = 0; i < fields.size() && b.field < 0; ++i)
    if (fields[i].name == c.field) b.field = static_cast<int>(i);
  for (size_t i = 0; i < fields.size() && b.field < 0; ++i)
    if (iequals(fields[i].name, c.field)) b.field = static_cast<int>(i);
  if (b.field < 0) {
    raise(err::kItemNotFound, "Recordset",
          standardDescription(err::kItemNotFound) + " (field '" + c.field + "' in criteria)");
  }
  const FieldInfo& f = fields[static_cast<size_t>(b.field)];
  b.op = c.op;

  if (c.value.kind == Kind::Null) {
    b.mode = c.op == CompareOp::Equal ? Mode::IsNull : c.op == CompareOp::NotEqual ? Mode::NotNull : Mode::Never;
    return b;
  }
  if (c.op == CompareOp::Like) {
    b.mode = Mode::Like;
    b.like = LikePattern(c.value.text);
    return b;
  }
  if (comparesAsNumber(f.type)) {
    b.mode = Mode::Numeric;
    b.number = numberFor(f, c.value);
    if (f.type == DataType::Boolean) b.number = b.number != 0.0 ? -1.0 : 0.0;
    b.integer = wholeNumber(b.number);
    b.hasNumber = true;
    b.indexable = isIntegerType(f.type) && c.op == CompareOp::Equal;
    return b;
  }
  if (isTextType(f.type) && c.value.kind == Kind::Text) {
    b.mode = Mode::Text;
    b.text = c.value.text;
    return b;
  }
  b.mode = Mode::Dynamic;
  b.literalIsText = c.value.kind == Kind::Text;
  if (b.literalIsText) {
    b.text = c.value.text;
    if (auto n = parseNumber(b.text)) { b.number = *n; b.hasNumber = true; }
  } else {
    b.number = c.value.number;
    b.hasNumber = true;
    b.text = c.value.kind == Kind::Date ? CStr(Variant(Date{b.number})) : formatNumber(b.number);
  }
  b.integer = b.hasNumber ? wholeNumber(b.number) : std::nullopt;
  return b;
}

}  // namespace wayfind::platform
