// Recursive-descent parser of filter and find texts (grammar in criteria_parser.h).
#include "platform/recordset/criteria_parser.h"

#include <string>

#include "platform/automation/automation_error.h"
#include "platform/automation/conversions.h"

namespace wayfind::platform::criteria {

namespace {

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isNameStart(char c) {
  unsigned char u = static_cast<unsigned char>(c);
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || u >= 0x80;
}
bool isNameChar(char c) { return isNameStart(c) || isDigit(c); }

class Parser {
 public:
  Parser(std::string_view text, std::vector<Span>* numberSpans) : text_(text), numberSpans_(numberSpans) {}

  Node parseAll() {
    Node n = expression(0);
    skipSpaces();
    if (pos_ < text_.size()) fail("unexpected text");
    return n;
  }

 private:
  [[noreturn]] void fail(const std::string& what) const {
    raise(err::kBadArguments, "Recordset",
          "Invalid criteria text: " + what + " at position " + std::to_string(pos_ + 1) + ".");
  }

  void skipSpaces() {
    while (pos_ < text_.size() && isSpace(text_[pos_])) ++pos_;
  }

  // True (and consumes it) when the next token is the keyword, as a whole word.
  bool keyword(std::string_view word) {
    skipSpaces();
    if (text_.size() - pos_ < word.size()) return false;
    if (!iequals(text_.substr(pos_, word.size()), word)) return false;
    size_t end = pos_ + word.size();
    if (end < text_.size() && isNameChar(text_[end])) return false;
    pos_ = end;
    return true;
  }

  static void append(Node& group, Node child) {
    if (child.kind == group.kind) {
      for (auto& c : child.children) group.children.push_back(std::move(c));
    } else {
      group.children.push_back(std::move(child));
    }
  }

  Node combine(Node::Kind kind, Node first, int depth, Node (Parser::*next)(int), std::string_view word) {
    if (!keyword(word)) return first;
    Node group;
    group.kind = kind;
    append(group, std::move(first));
    do {
      append(group, (this->*next)(depth));
    } while (keyword(word));
    return group;
  }

  Node expression(int depth) {
    Node first = term(depth);
    return combine(Node::Kind::Or, std::move(first), depth, &Parser::term, "OR");
  }

  Node term(int depth) {
    Node first = factor(depth);
    return combine(Node::Kind::And, std::move(first), depth, &Parser::factor, "AND");
  }

  Node factor(int depth) {
    skipSpaces();
    if (pos_ < text_.size() && text_[pos_] == '(') {
      if (depth >= kMaxNesting) fail("parentheses nested too deeply");
      ++pos_;
      Node inner = expression(depth + 1);
      skipSpaces();
      if (pos_ >= text_.size() || text_[pos_] != ')') fail("missing ')'");
      ++pos_;
      return inner;
    }
    Node n;
    n.kind = Node::Kind::Clause;
    n.clause.field = fieldName();
    n.clause.op = compareOp();
    n.clause.value = literal(n.clause.op);
    return n;
  }

  std::string fieldName() {
    skipSpaces();
    if (pos_ >= text_.size()) fail("missing field name");
    if (text_[pos_] == '[') {
      size_t close = text_.find(']', pos_ + 1);
      if (close == std::string_view::npos) fail("missing ']'");
      std::string name = trimSpaces(text_.substr(pos_ + 1, close - pos_ - 1));
      if (name.empty()) fail("empty field name");
      pos_ = close + 1;
      return name;
    }
    if (!isNameStart(text_[pos_])) fail("expected a field name");
    size_t start = pos_;
    while (pos_ < text_.size() && isNameChar(text_[pos_])) ++pos_;
    std::string_view name = text_.substr(start, pos_ - start);
    if (iequals(name, "AND") || iequals(name, "OR") || iequals(name, "LIKE") || iequals(name, "NULL")) {
      pos_ = start;
      fail("expected a field name");
    }
    return std::string(name);
  }

  CompareOp compareOp() {
    skipSpaces();
    if (keyword("LIKE")) return CompareOp::Like;
    if (pos_ >= text_.size()) fail("missing operator");
    char c = text_[pos_];
    char d = pos_ + 1 < text_.size() ? text_[pos_ + 1] : '\0';
    if (c == '=') { ++pos_; return CompareOp::Equal; }
    if (c == '<' && d == '>') { pos_ += 2; return CompareOp::NotEqual; }
    if (c == '<' && d == '=') { pos_ += 2; return CompareOp::LessEqual; }
    if (c == '>' && d == '=') { pos_ += 2; return CompareOp::GreaterEqual; }
    if (c == '<') { ++pos_; return CompareOp::Less; }
    if (c == '>') { ++pos_; return CompareOp::Greater; }
    fail("expected an operator");
  }

  Literal literal(CompareOp op) {
    skipSpaces();
    if (pos_ >= text_.size()) fail("missing value");
    char c = text_[pos_];
    Literal lit;
    if (c == '\'') {
      lit.kind = Literal::Kind::Text;
      lit.text = quotedText();
    } else if (c == '#') {
      lit.kind = Literal::Kind::Date;
      lit.number = dateValue();
    } else if (isDigit(c) || c == '.' || c == '-' || c == '+') {
      lit.kind = Literal::Kind::Number;
      lit.number = numberValue(lit.text);
    } else if (keyword("NULL")) {
      lit.kind = Literal::Kind::Null;
    } else {
      fail("expected a value");
    }
    if (op == CompareOp::Like && lit.kind != Literal::Kind::Text) fail("LIKE needs a quoted pattern");
    return lit;
  }

  std::string quotedText() {
    std::string out;
    ++pos_;  // opening quote
    while (true) {
      if (pos_ >= text_.size()) fail("unterminated text");
      char c = text_[pos_++];
      if (c == '\'') {
        if (pos_ < text_.size() && text_[pos_] == '\'') {
          out.push_back('\'');
          ++pos_;
          continue;
        }
        return out;
      }
      out.push_back(c);
    }
  }

  double dateValue() {
    size_t close = text_.find('#', pos_ + 1);
    if (close == std::string_view::npos) fail("unterminated date");
    std::string inner(text_.substr(pos_ + 1, close - pos_ - 1));
    double serial = 0;
    try {
      if (trimSpaces(inner).empty()) fail("empty date");
      serial = CDate(Variant(inner)).serial;
    } catch (const AutomationError& e) {
      if (e.number() == err::kBadArguments) throw;
      fail("not a date");
    } catch (const std::exception&) {
      fail("not a date");
    }
    pos_ = close + 1;
    return serial;
  }

  double numberValue(std::string& written) {
    size_t start = pos_;
    if (text_[pos_] == '-' || text_[pos_] == '+') ++pos_;
    size_t digits = 0;
    while (pos_ < text_.size() && isDigit(text_[pos_])) { ++pos_; ++digits; }
    if (pos_ < text_.size() && text_[pos_] == '.') {
      ++pos_;
      while (pos_ < text_.size() && isDigit(text_[pos_])) { ++pos_; ++digits; }
    }
    if (digits == 0) { pos_ = start; fail("expected a number"); }
    if (pos_ < text_.size() && (text_[pos_] == 'e' || text_[pos_] == 'E')) {
      size_t mark = pos_++;
      if (pos_ < text_.size() && (text_[pos_] == '-' || text_[pos_] == '+')) ++pos_;
      size_t expDigits = 0;
      while (pos_ < text_.size() && isDigit(text_[pos_])) { ++pos_; ++expDigits; }
      if (expDigits == 0) pos_ = mark;  // the 'e' starts whatever follows
    }
    if (pos_ < text_.size() && isNameChar(text_[pos_])) fail("malformed number");
    written = std::string(text_.substr(start, pos_ - start));
    auto value = parseNumber(written);
    if (!value) { pos_ = start; fail("malformed number"); }
    if (numberSpans_) numberSpans_->push_back({start, pos_ - start});
    return *value;
  }

  std::string_view text_;
  std::vector<Span>* numberSpans_;
  size_t pos_ = 0;
};

}  // namespace

Node parse(std::string_view text) { return Parser(text, nullptr).parseAll(); }

Node parse(std::string_view text, std::vector<Span>& numberSpans) {
  numberSpans.clear();
  return Parser(text, &numberSpans).parseAll();
}

}  // namespace wayfind::platform::criteria
