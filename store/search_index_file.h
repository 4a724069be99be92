// A search index saved beside the cache files, so the next console of the same
// user finds it ready: the index's bytes as they lie in memory, behind a header
// that says what the index was made for (the key: the template's and the user's
// versions, the account type, the language) and a CRC-32 of the bytes. Loading
// maps the file and uses the bytes where they lie; a file made for anything else,
// cut short or damaged is not used.
#pragma once

#include <optional>
#include <string>

#include "store/search_index.h"

namespace wayfind::store {

// Writes the file whole or not at all (a temporary file renamed into place).
// Raises AutomationError when it cannot be written.
void SaveSearchIndex(const std::string& path, const std::string& key, const SearchIndex& index);

// The index saved in path for key; none when the file is missing, was saved for
// another key or by a build with other character tables, or is damaged. Never
// throws.
std::optional<SearchIndex> LoadSearchIndex(const std::string& path, const std::string& key);

}  // namespace wayfind::store
