// Who is calling a server component: the UserID and Language entries of the
// host's PropsString, checked against the ERP's users.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "erp/storage/connection.h"

namespace wayfind::erp::middletier {

// The value of the first entry whose name equals name exactly. Entries are
// "name=value" separated by ";"; a value that begins with "{" runs to the next
// "}" and the rest up to the following ";" is dropped; names and values are
// trimmed of spaces. nullopt when there is no such entry.
std::optional<std::string> propsEntry(std::string_view props, std::string_view name);

// The UserID entry as an integer; nullopt when missing, empty, not an integer or
// out of the 32-bit range.
std::optional<int32_t> userIdFromProps(std::string_view props);

// "chs", "en" or "cht" from the Language entry (any letter case of the name);
// "chs" when missing or unknown.
std::string languageFromProps(std::string_view props);

struct Caller {
  int32_t userId = 0;
  std::string language;  // chs, en, cht
};

// The caller, or error 5 (source given) when PropsString carries no valid UserID
// or names a user the ERP does not have.
// alongside: reads (bound, not stepped) that go to a server in the same round
// trip as the check; they are stepped only after it passed.
Caller requireCaller(storage::Connection& conn, std::string_view props, const std::string& source,
                     const std::vector<storage::Statement*>& alongside = {});

}  // namespace wayfind::erp::middletier
