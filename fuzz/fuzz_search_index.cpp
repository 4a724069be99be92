// Fuzzes a search index used where its bytes lie, as a saved index file is.
//
// The first input byte is the length of a search text that follows it; the rest
// is taken as an index's bytes. Bytes that fromBytes accepts must be safe to read
// in every way a console reads them: every function, place and level, and a
// search for the text with what each match was found by. Only its checks stand
// between a damaged file that happens to pass its checksum and the reads;
// crashes, reads outside the bytes, undefined behaviour and hangs are reported by
// the sanitizers and libFuzzer.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "store/search_index.h"

using wayfind::store::SearchIndex;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0 || size_t{data[0]} + 1 > size) return 0;
  const std::string_view text(reinterpret_cast<const char*>(data) + 1, data[0]);
  const size_t length = size - 1 - data[0];
  // Aligned as a mapped file is.
  auto words = std::make_shared<std::vector<uint64_t>>((length + 7) / 8);
  if (length > 0) std::memcpy(words->data(), data + 1 + data[0], length);
  const std::string_view bytes(reinterpret_cast<const char*>(words->data()), length);

  SearchIndex index;
  try {
    index = SearchIndex::fromBytes(bytes, words);
  } catch (const std::runtime_error&) {
    return 0;  // refused: a damaged file is not used
  }
  size_t read = 0;
  for (uint32_t f = 0; f < index.size(); ++f) {
    const auto function = index.function(f);
    read += function.name.size() + function.helpCode.size() + index.place(function.place).subFuncName.size();
    read += static_cast<size_t>(index.detailFuncId(f) & 1);
  }
  for (uint32_t p = 0; p < index.placeCount(); ++p) read += index.place(p).topClassName.size();
  for (uint32_t l = 0; l < index.levelCount(); ++l) read += index.level(l).name.size();
  const auto matches = index.find(text, 20);
  for (const auto& match : matches) read += index.matchedText(match).size();
  for (const auto& found : index.explain(matches, text)) read += found.size();
  std::vector<uint32_t> first;
  for (uint32_t f = 0; f < index.size() && f < 8; ++f) first.push_back(f);
  read += index.matchFunctions(first, text).size();
  if (read == SIZE_MAX) __builtin_trap();  // keeps the reads
  return 0;
}
