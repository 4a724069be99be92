// Looking characters up in the generated tables: a page number per 256 code
// points, then the page (store/hanzi/make_hanzi_tables.cpp writes both).
#include "store/hanzi.h"

namespace wayfind::store::hanzi_data {
extern const char kSyllableText[];
extern const unsigned kSyllableCount;
extern const uint16_t kSyllableStart[];
extern const uint16_t kReadingPageOf[];
extern const uint32_t kReadingPages[];
extern const uint16_t kReadingList[];
extern const uint16_t kVariantPageOf[];
extern const uint32_t kVariantPages[];
extern const uint32_t kFingerprint;
}  // namespace wayfind::store::hanzi_data

namespace wayfind::store::hanzi {

namespace {

namespace data = hanzi_data;
constexpr char32_t kLastCodePoint = 0x10FFFF;

uint32_t paged(const uint16_t* pageOf, const uint32_t* pages, char32_t cp) {
  if (cp > kLastCodePoint) return 0;
  return pages[size_t{pageOf[cp >> 8]} * 256 + (cp & 0xFF)];
}

}  // namespace

char32_t FoldVariant(char32_t cp) {
  if (cp < 0x2E80) return cp;  // below the CJK blocks nothing has variants
  const uint32_t root = paged(data::kVariantPageOf, data::kVariantPages, cp);
  return root ? static_cast<char32_t>(root) : cp;
}

std::span<const uint16_t> Readings(char32_t cp) {
  if (cp < 0x2E80) return {};
  const uint32_t entry = paged(data::kReadingPageOf, data::kReadingPages, cp);
  return {data::kReadingList + (entry >> 4), entry & 0xF};
}

std::string_view SyllableText(uint16_t syllable) {
  if (syllable >= data::kSyllableCount) return {};
  const uint16_t from = data::kSyllableStart[syllable], to = data::kSyllableStart[syllable + 1];
  return {data::kSyllableText + from, static_cast<size_t>(to - from)};
}

uint32_t DataFingerprint() { return data::kFingerprint; }

}  // namespace wayfind::store::hanzi
