#include "erp/storage/pg_sql.h"

#include <cctype>

namespace wayfind::erp::storage {

ServerSql toServerParameters(std::string_view sql) {
  std::vector<bool> used;
  std::string out;
  out.reserve(sql.size() + 8);
  int largest = 0;
  size_t i = 0;
  const size_t n = sql.size();
  auto copyQuoted = [&](char quote) {
    out.push_back(sql[i++]);
    while (i < n) {
      const char c = sql[i++];
      out.push_back(c);
      if (c == quote) {
        if (i < n && sql[i] == quote) {  // a doubled quote stays inside
          out.push_back(sql[i++]);
          continue;
        }
        return;
      }
    }
  };
  while (i < n) {
    const char c = sql[i];
    if (c == '\'' || c == '"') {
      copyQuoted(c);
    } else if (c == '-' && i + 1 < n && sql[i + 1] == '-') {
      while (i < n && sql[i] != '\n') out.push_back(sql[i++]);
    } else if (c == '/' && i + 1 < n && sql[i + 1] == '*') {
      const auto end = sql.find("*/", i + 2);
      const size_t stop = end == std::string_view::npos ? n : end + 2;
      out.append(sql.substr(i, stop - i));
      i = stop;
    } else if (c == '?') {
      ++i;
      int number = 0;
      size_t digits = 0;
      while (i < n && std::isdigit(static_cast<unsigned char>(sql[i])) && digits < 6) {
        number = number * 10 + (sql[i] - '0');
        ++i;
        ++digits;
      }
      if (digits == 0) number = largest + 1;
      if (number > largest) largest = number;
      if (used.size() < static_cast<size_t>(number)) used.resize(static_cast<size_t>(number), false);
      if (number > 0) used[static_cast<size_t>(number - 1)] = true;
      out.push_back('$');
      out.append(std::to_string(number));
    } else {
      out.push_back(c);
      ++i;
    }
  }
  return ServerSql{std::move(out), std::move(used)};
}

namespace {

bool identifierChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

// Consumes word (letters in any case) followed by a blank or the end.
bool takeWord(std::string_view& s, std::string_view word) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  if (s.size() < word.size()) return false;
  for (size_t i = 0; i < word.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(s[i])) != word[i]) return false;
  if (s.size() > word.size() && identifierChar(s[word.size()])) return false;
  s.remove_prefix(word.size());
  return true;
}

// True when the word stands in text outside quotes, as a word of its own.
bool mentionsWord(std::string_view text, std::string_view word) {
  char quote = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quote) {
      if (c == quote) quote = 0;
      continue;
    }
    if (c == '\'' || c == '"') {
      quote = c;
      continue;
    }
    if ((i > 0 && identifierChar(text[i - 1])) || text.size() - i < word.size()) continue;
    size_t k = 0;
    while (k < word.size() && std::toupper(static_cast<unsigned char>(text[i + k])) == word[k]) ++k;
    if (k == word.size() && (i + k == text.size() || !identifierChar(text[i + k]))) return true;
  }
  return false;
}

}  // namespace

std::optional<DeleteStatement> parseDelete(std::string_view sql) {
  std::string_view s = sql;
  if (!takeWord(s, "DELETE") || !takeWord(s, "FROM")) return std::nullopt;
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  size_t n = 0;
  while (n < s.size() && identifierChar(s[n])) ++n;
  if (n == 0 || std::isdigit(static_cast<unsigned char>(s.front()))) return std::nullopt;
  if (n < s.size() && !std::isspace(static_cast<unsigned char>(s[n])) && s[n] != ';') return std::nullopt;
  std::string_view rest = s.substr(n);
  while (!rest.empty() && (rest.back() == ';' || std::isspace(static_cast<unsigned char>(rest.back()))))
    rest.remove_suffix(1);
  if (mentionsWord(rest, "USING") || mentionsWord(rest, "RETURNING")) return std::nullopt;
  return DeleteStatement{std::string(s.substr(0, n)), std::string(rest)};
}

std::string deleteThroughServer(const DeleteStatement& d) {
  return "SELECT wayfind_delete_rows('" + d.table + "', ARRAY(SELECT ctid FROM " + d.table + d.rest +
         " FOR UPDATE))";
}

}  // namespace wayfind::erp::storage
