// The entries of a login's properties text: "Name=value;Name={a value; with
// semicolons}". Read by the component (whether the host named a language) and
// by the middle tier (who calls, in which language).
#pragma once

#include <string_view>

namespace wayfind::platform {

// Calls f(name, value) for each entry in order, blanks around both trimmed, a
// braced value without its braces; f returns true to stop. A piece without "="
// is no entry and is passed over.
template <class F>
void ForEachPropsEntry(std::string_view rest, F&& f) {
  const auto trim = [](std::string_view s) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return s;
  };
  const auto after = [](std::string_view s, size_t at) {
    return at == std::string_view::npos ? std::string_view{} : s.substr(at + 1);
  };
  while (!rest.empty()) {
    const size_t eq = rest.find('='), semi = rest.find(';');
    if (eq == std::string_view::npos || semi < eq) {
      rest = after(rest, semi);
      continue;
    }
    const std::string_view name = trim(rest.substr(0, eq));
    rest = trim(rest.substr(eq + 1));
    std::string_view value;
    if (!rest.empty() && rest.front() == '{') {
      const size_t close = rest.find('}', 1);
      value = rest.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1);
      rest = close == std::string_view::npos ? std::string_view{} : after(rest, rest.find(';', close));
    } else {
      const size_t end = rest.find(';');
      value = rest.substr(0, end);
      rest = after(rest, end);
    }
    if (f(name, trim(value))) return;
  }
}

}  // namespace wayfind::platform
