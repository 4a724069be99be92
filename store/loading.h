// Filling the store's slots from the middle tier ("ZelWayfind.clsDataInfo"): the
// server is asked for the version text; the cache file is used when its
// TimeStamp matches, otherwise the whole dictionary is fetched and saved.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace wayfind::store {

// The user id of a login properties text: the integer value of its first entry
// named exactly "UserID". Entries are name "=" value, separated by ";"; a value
// that begins with "{" runs to the next "}" (and the text up to the following
// ";" is dropped). None when there is no such entry. A value that is not a
// number raises 13.
std::optional<int32_t> UserIdFromProps(const std::string& propsString);

// Loads the template dictionary into the six template slots; a key that the
// dictionary lacks leaves its slot as it was. Server failures propagate.
void LoadTemplate();
void LoadTemplate(const std::string& propsString);
// The same for the user data and the five user slots. Without a UserID in the
// login properties no cache file is read or written: the server answers.
void LoadUserData();
void LoadUserData(const std::string& propsString);

}  // namespace wayfind::store
