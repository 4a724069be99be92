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

}  // namespace wayfind::erp::storage
