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
double literalNumber(const FieldInfo& f, const criteria::Literal& lit) {
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
  if (d < -9223372036854775808.0 || d >= 9223372036854775808.0) return std::nullopt;
  return static_cast<int64_t>(d);
}

}  // namespace

std::shared_ptr<const BoundCriteria> BoundCriteria::bind(const criteria::Node& node,
                                                         const std::vector<FieldInfo>& fields) {
  auto tree = std::make_shared<Tree>();
  std::vector<double> values;
  tree->root = bindNode(node, fields, *tree, values);
  auto bound = std::make_shared<BoundCriteria>();
  bound->tree_ = std::move(tree);
  bound->setSlots(values.data());
  return bound;
}

std::shared_ptr<const BoundCriteria> BoundCriteria::withNumbers(const double* numbers) const {
  auto bound = std::make_shared<BoundCriteria>();
  bound->tree_ = tree_;
  bound->setSlots(numbers);
  return bound;
}

bool BoundCriteria::hasNumbers(const double* numbers) const {
  const Number* own = slots();
  for (size_t i = 0; i < tree_->slotFields.size(); ++i)
    if (own[i].value != numbers[i] || std::signbit(own[i].value) != std::signbit(numbers[i])) return false;
  return true;
}

void BoundCriteria::setSlots(const double* values) {
  const size_t n = tree_->slotFields.size();
  Number* slots = inlineSlots_;
  if (n > kInlineSlots) {
    moreSlots_ = std::make_unique<Number[]>(n);
    slots = moreSlots_.get();
  }
  for (size_t i = 0; i < n; ++i) slots[i] = numberFor(tree_->slotFields[i], values[i]);
}

BoundCriteria::Number BoundCriteria::numberFor(DataType type, double value) {
  Number n;
  n.value = value;
  n.number = type == DataType::Boolean ? (value != 0.0 ? -1.0 : 0.0) : value;
  n.integer = wholeNumber(n.number);
  return n;
}

BoundCriteria::BNode BoundCriteria::bindNode(const criteria::Node& node, const std::vector<FieldInfo>& fields,
                                             Tree& tree, std::vector<double>& values) {
  BNode b;
  b.kind = node.kind;
  if (node.kind == criteria::Node::Kind::Clause) {
    b.clause = bindClause(node.clause, fields, tree, values);
  } else {
    b.children.reserve(node.children.size());
    for (const auto& child : node.children) b.children.push_back(bindNode(child, fields, tree, values));
  }
  return b;
}

BoundCriteria::Clause BoundCriteria::bindClause(const criteria::Clause& c, const std::vector<FieldInfo>& fields,
                                                Tree& tree, std::vector<double>& values) {
  Clause b;
  b.ordinal = tree.clauseCount++;
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

  // Every number literal has a slot, in the order of the text; only those
  // compared with a number field read their value from it.
  int slot = -1;
  if (c.value.kind == Kind::Number) {
    slot = static_cast<int>(tree.slotFields.size());
    tree.slotFields.push_back(f.type);
    values.push_back(c.value.number);
  }

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
    if (slot >= 0) {
      b.slot = slot;
    } else {
      b.fixed = numberFor(f.type, literalNumber(f, c.value));
    }
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
  if (slot >= 0) tree.numbersAreSlots = false;
  b.literalIsText = c.value.kind == Kind::Text;
  if (b.literalIsText) {
    b.text = c.value.text;
    if (auto n = parseNumber(b.text)) { b.fixed.number = *n; b.hasNumber = true; }
  } else {
    b.fixed.number = c.value.number;
    b.hasNumber = true;
    b.text = c.value.kind == Kind::Date ? CStr(Variant(Date{b.fixed.number})) : formatNumber(b.fixed.number);
  }
  b.fixed.value = b.fixed.number;
  b.fixed.integer = b.hasNumber ? wholeNumber(b.fixed.number) : std::nullopt;
  return b;
}

}  // namespace wayfind::platform
