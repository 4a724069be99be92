// Fuzzes the loader of saved dictionaries (cache and template files).
//
// The first input byte picks the mode: even, the rest is taken as a whole file
// (header, length and checksum checks); odd, the rest is taken as content and
// wrapped in a valid header, so mutations reach the content decoder instead of
// dying at the checksum. Whatever loads must save again, and what that saves
// must load back to the very same bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/containers/dictionary.h"
#include "platform/containers/file_format.h"

using wayfind::platform::Dictionary;
namespace fileformat = wayfind::platform::fileformat;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::string bytes = (data[0] & 1) ? fileformat::seal(rest) : std::string(rest);

  Dictionary d;
  if (!d.deserialize(bytes)) {
    if (d.Count() != 0) __builtin_trap();  // a refused file must leave nothing behind
    return 0;
  }
  const std::string saved = d.serialize();
  Dictionary again;
  if (!again.deserialize(saved)) __builtin_trap();
  if (again.serialize() != saved) __builtin_trap();
  return 0;
}
