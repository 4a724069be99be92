// The CRC-32 of saved files: the folded form (carry-less multiplication, where the
// processor has it) must give the table-driven value for every length, start
// alignment and continuation, or saved files would stop loading.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "platform/containers/checksum.h"

namespace wayfind::platform {
namespace {

TEST(Checksum, KnownValues) {
  EXPECT_EQ(crc32(""), 0u);
  EXPECT_EQ(crc32("123456789"), 0xCBF43926u);
  EXPECT_EQ(crc32Portable("123456789"), 0xCBF43926u);
  const std::string zeros(4096, '\0');
  EXPECT_EQ(crc32(zeros), crc32Portable(zeros));
}

TEST(Checksum, FoldedEqualsTablesForEveryLengthAndAlignment) {
  std::mt19937 rng(7);
  std::string data(3000, '\0');
  for (char& c : data) c = static_cast<char>(rng());
  for (size_t offset = 0; offset < 16; ++offset) {
    for (size_t length = 0; length + offset <= data.size(); length += (length < 300 ? 1 : 97)) {
      const std::string_view piece(data.data() + offset, length);
      ASSERT_EQ(crc32(piece), crc32Portable(piece)) << "offset " << offset << ", length " << length;
    }
  }
}

TEST(Checksum, ContinuesOverPieces) {
  std::mt19937 rng(11);
  std::string data(1 << 16, '\0');
  for (char& c : data) c = static_cast<char>(rng());
  const uint32_t whole = crc32(data);
  for (size_t cut : {size_t{1}, size_t{63}, size_t{64}, size_t{1000}, data.size() - 5}) {
    const std::string_view a(data.data(), cut), b(data.data() + cut, data.size() - cut);
    EXPECT_EQ(crc32(b, crc32(a)), whole) << cut;
  }
}

}  // namespace
}  // namespace wayfind::platform
