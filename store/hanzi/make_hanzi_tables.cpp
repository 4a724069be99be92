// Writes the Chinese-character tables the tree search compiles in: the toneless
// pinyin readings of every character that Unicode's Unihan database gives a
// Mandarin reading, and for every character that has variant forms the one form
// its whole family is compared by. It runs at build time, over Debian's
// unicode-data (Unihan_Readings.txt.bz2, Unihan_Variants.txt.bz2) and OpenCC's
// character dictionaries (STCharacters.ocd2, TSCharacters.ocd2), so the program
// itself reads no data file when it starts.
//
//   make_hanzi_tables READINGS.bz2 VARIANTS.bz2 ST.ocd2 TS.ocd2 OUTPUT.cpp
//
// Readings: the modern dictionaries' readings (kMandarin, kHanyuPinlu, kXHC1983,
// kTGHZ2013), all of them, so a character with several readings (行: xing, hang)
// is found by any, except readings the dictionaries give the character only as a
// variant form of another; a character none of them covers takes kHanyuPinyin's. Tone
// marks are dropped and ü is written v, as pinyin is typed.
//
// Variants: characters linked by OpenCC's simplified-to-traditional and
// traditional-to-simplified character tables or by Unihan's kSimplifiedVariant,
// kTraditionalVariant and kSemanticVariant fall into one family (帐 帳 賬 账).
// The family's lowest simplified character (a key of OpenCC's simplified-to-
// traditional table) stands for it, else its lowest code point, so most
// simplified names fold to themselves.
#include <bzlib.h>
#include <opencc/DictEntry.hpp>
#include <opencc/Lexicon.hpp>
#include <opencc/MarisaDict.hpp>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <numeric>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

[[noreturn]] void fail(const std::string& message) {
  std::cerr << "make_hanzi_tables: " << message << "\n";
  std::exit(1);
}

std::string readBz2(const std::string& path) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) fail("cannot open " + path + " (install Debian's unicode-data: scripts/setup)");
  int error = BZ_OK;
  BZFILE* bz = BZ2_bzReadOpen(&error, f, 0, 0, nullptr, 0);
  if (error != BZ_OK) fail("cannot read " + path + " as bzip2");
  std::string out;
  char buffer[1 << 16];
  while (error == BZ_OK) {
    const int n = BZ2_bzRead(&error, bz, buffer, sizeof buffer);
    if (error == BZ_OK || error == BZ_STREAM_END) out.append(buffer, static_cast<size_t>(n));
  }
  if (error != BZ_STREAM_END) fail("damaged bzip2 data in " + path);
  BZ2_bzReadClose(&error, bz);
  std::fclose(f);
  return out;
}

std::vector<char32_t> decode(const std::string& s) {
  std::vector<char32_t> out;
  for (size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    int n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : 4;
    char32_t cp = n == 1 ? c : n == 2 ? (c & 0x1F) : n == 3 ? (c & 0x0F) : (c & 0x07);
    for (int k = 1; k < n && i + static_cast<size_t>(k) < s.size(); ++k)
      cp = (cp << 6) | (static_cast<unsigned char>(s[i + static_cast<size_t>(k)]) & 0x3F);
    out.push_back(cp);
    i += static_cast<size_t>(n);
  }
  return out;
}

char32_t codePointOf(const std::string& field) {  // "U+5E10", or "U+5E10<kLau"
  if (field.rfind("U+", 0) != 0) fail("not a code point: " + field);
  return static_cast<char32_t>(std::stoul(field.substr(2), nullptr, 16));
}

// A toneless reading in lower-case ASCII, ü as v; empty when it holds anything else.
std::string toneless(const std::string& reading) {
  std::string out;
  for (char32_t cp : decode(reading)) {
    if (cp >= 'a' && cp <= 'z') {
      out += static_cast<char>(cp);
      continue;
    }
    if (cp >= 0x300 && cp <= 0x36F) continue;  // a combining tone mark
    static const std::map<char32_t, char> marked{
        {U'ā', 'a'}, {U'á', 'a'}, {U'ǎ', 'a'}, {U'à', 'a'}, {U'ē', 'e'}, {U'é', 'e'}, {U'ě', 'e'}, {U'è', 'e'},
        {U'ê', 'e'}, {U'ế', 'e'}, {U'ề', 'e'}, {U'ī', 'i'}, {U'í', 'i'}, {U'ǐ', 'i'}, {U'ì', 'i'}, {U'ō', 'o'},
        {U'ó', 'o'}, {U'ǒ', 'o'}, {U'ò', 'o'}, {U'ū', 'u'}, {U'ú', 'u'}, {U'ǔ', 'u'}, {U'ù', 'u'}, {U'ü', 'v'},
        {U'ǖ', 'v'}, {U'ǘ', 'v'}, {U'ǚ', 'v'}, {U'ǜ', 'v'}, {U'ḿ', 'm'}, {U'ń', 'n'}, {U'ň', 'n'}, {U'ǹ', 'n'}};
    auto it = marked.find(cp);
    if (it == marked.end()) return std::string();
    out += it->second;
  }
  return out;
}

// Whether a dictionary location ("0865.021", several joined by ",") names a main
// entry: the last digit is 0 there, and above 0 where the character stands in
// brackets as a variant form of the entry's character, whose reading that is
// (坏 under 坯 pī).
bool atMainEntry(const std::string& locations) {
  std::istringstream parts(locations);
  std::string at;
  while (std::getline(parts, at, ',')) {
    const size_t dot = at.find('.');
    if (dot == std::string::npos || dot + 3 >= at.size() || at[dot + 3] == '0') return true;
  }
  return false;
}

// The readings of one Unihan value: "xíng", "xíng(2943) háng(218)",
// "0442.080:háng 0443.050:hàng", "20811.060:háng,xìng,xíng". With mainOnly, a
// reading given only at variant entries of the dictionary is left out.
std::vector<std::string> readingsOf(const std::string& value, bool mainOnly = false) {
  std::vector<std::string> out;
  std::istringstream words(value);
  std::string word;
  while (words >> word) {
    if (auto colon = word.find(':'); colon != std::string::npos) {
      if (mainOnly && !atMainEntry(word.substr(0, colon))) continue;
      word = word.substr(colon + 1);
    }
    if (auto paren = word.find('('); paren != std::string::npos) word = word.substr(0, paren);
    std::istringstream parts(word);
    std::string part;
    while (std::getline(parts, part, ',')) {
      part.erase(std::remove(part.begin(), part.end(), '*'), part.end());
      const std::string r = toneless(part);
      if (!r.empty()) out.push_back(r);
    }
  }
  return out;
}

// Each Unihan line: code point, field, value.
template <class F>
void eachLine(const std::string& text, F&& f) {
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.empty() || line[0] == '#') continue;
    const size_t t1 = line.find('\t'), t2 = line.find('\t', t1 + 1);
    if (t1 == std::string::npos || t2 == std::string::npos) continue;
    f(codePointOf(line.substr(0, t1)), line.substr(t1 + 1, t2 - t1 - 1), line.substr(t2 + 1));
  }
}

struct Families {
  std::map<char32_t, char32_t> parent;
  char32_t find(char32_t c) {
    auto it = parent.find(c);
    if (it == parent.end()) return parent[c] = c;
    if (it->second == c) return c;
    return it->second = find(it->second);
  }
  void join(char32_t a, char32_t b) {
    a = find(a), b = find(b);
    if (a != b) parent[std::max(a, b)] = std::min(a, b);
  }
};

void joinOpenCC(Families& families, const std::string& path, std::set<char32_t>* keys = nullptr) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) fail("cannot open " + path + " (install Debian's libopencc-data: scripts/setup)");
  const opencc::MarisaDictPtr dict = opencc::MarisaDict::NewFromFile(f);
  std::fclose(f);
  size_t pairs = 0;
  for (const auto& entry : *dict->GetLexicon()) {
    const auto key = decode(entry->Key());
    if (key.size() != 1) continue;
    if (keys) keys->insert(key[0]);
    for (const std::string& value : entry->Values()) {
      const auto v = decode(value);
      if (v.size() == 1) families.join(key[0], v[0]), ++pairs;
    }
  }
  if (pairs == 0) fail("no character pairs in " + path);
}

// Two-level table over code points: a page number per 256 code points (0: every
// value is 0), then the pages of 256 values.
struct PagedTable {
  std::vector<uint16_t> pageOf = std::vector<uint16_t>(0x110000 >> 8, 0);
  std::vector<uint32_t> pages = std::vector<uint32_t>(256, 0);  // page 0 stays zero
  void set(char32_t cp, uint32_t value) {
    uint16_t& p = pageOf[cp >> 8];
    if (p == 0) {
      p = static_cast<uint16_t>(pages.size() / 256);
      pages.resize(pages.size() + 256, 0);
    }
    pages[size_t{p} * 256 + (cp & 0xFF)] = value;
  }
};

template <class T>
void writeArray(std::ostream& out, const char* type, const char* name, const std::vector<T>& values) {
  out << "extern const " << type << " " << name << "[];\n";
  out << "const " << type << " " << name << "[] = {";
  for (size_t i = 0; i < values.size(); ++i) out << (i == 0 ? "\n" : i % 24 ? "," : ",\n") << +values[i];
  out << "};\n";
}

uint32_t fnv(uint32_t h, uint32_t v) {
  for (int i = 0; i < 4; ++i) h = (h ^ ((v >> (8 * i)) & 0xFF)) * 16777619u;
  return h;
}

// Every character's readings: the modern ones (kMandarin, kHanyuPinlu,
// kXHC1983, kTGHZ2013), else those of the Hanyu Da Zidian.
std::map<char32_t, std::set<std::string>> readReadings(const char* path) {
  std::map<char32_t, std::set<std::string>> modern, hanyu;
  eachLine(readBz2(path), [&](char32_t cp, const std::string& field, const std::string& value) {
    if (field == "kMandarin" || field == "kHanyuPinlu") {
      for (auto& r : readingsOf(value)) modern[cp].insert(r);
    } else if (field == "kXHC1983" || field == "kTGHZ2013") {
      for (auto& r : readingsOf(value, true)) modern[cp].insert(r);
    } else if (field == "kHanyuPinyin") {
      for (auto& r : readingsOf(value)) hanyu[cp].insert(r);
    }
  });
  for (auto& [cp, readings] : hanyu) {
    if (!modern.count(cp)) modern[cp] = readings;
  }
  if (modern.size() < 20000) fail("too few readings in " + std::string(path));
  return modern;
}

// The syllables, and each character's readings as at most 15 syllable numbers
// in one list (the table holds where a character's begin, and how many).
struct Readings {
  std::vector<std::string> syllables;
  PagedTable table;
  std::vector<uint16_t> list{0};  // entry 0 unused: a value of 0 means no readings
};

Readings tabulate(const std::map<char32_t, std::set<std::string>>& modern) {
  Readings out;
  std::set<std::string> syllableSet;
  for (auto& [cp, readings] : modern) syllableSet.insert(readings.begin(), readings.end());
  out.syllables.assign(syllableSet.begin(), syllableSet.end());
  std::map<std::string, uint16_t> syllableId;
  for (size_t i = 0; i < out.syllables.size(); ++i) syllableId[out.syllables[i]] = static_cast<uint16_t>(i);
  for (auto& [cp, readings] : modern) {
    const auto first = static_cast<uint32_t>(out.list.size());
    size_t count = 0;
    for (auto& r : readings) {
      if (count == 15) break;
      out.list.push_back(syllableId[r]);
      ++count;
    }
    out.table.set(cp, first << 4 | static_cast<uint32_t>(count));
  }
  return out;
}

// Variant families (OpenCC's conversions and Unihan's variants joined), each
// character mapped to the one that stands for its family: the lowest simplified
// character of it, else the family's root.
struct Variants {
  PagedTable table;
  size_t families = 0;
  size_t largest = 0;
};

Variants variantFamilies(const char* unihanVariants, const char* st, const char* ts) {
  Families families;
  std::set<char32_t> simplified;
  joinOpenCC(families, st, &simplified);
  joinOpenCC(families, ts);
  eachLine(readBz2(unihanVariants), [&](char32_t cp, const std::string& field, const std::string& value) {
    if (field != "kSimplifiedVariant" && field != "kTraditionalVariant" && field != "kSemanticVariant") return;
    std::istringstream words(value);
    std::string word;
    while (words >> word) families.join(cp, codePointOf(word.substr(0, word.find('<'))));
  });
  std::map<char32_t, char32_t> standsFor;  // family root -> the character that stands for it
  std::map<char32_t, size_t> familySize;
  for (auto& [cp, parent] : families.parent) {
    const char32_t root = families.find(cp);
    ++familySize[root];
    if (simplified.count(cp) && !standsFor.count(root)) standsFor[root] = cp;  // ascending: the lowest
  }
  Variants out;
  for (auto& [cp, parent] : families.parent) {
    const char32_t root = families.find(cp);
    const char32_t rep = standsFor.count(root) ? standsFor[root] : root;
    if (rep != cp) out.table.set(cp, rep);
  }
  out.families = familySize.size();
  for (auto& [root, n] : familySize) out.largest = std::max(out.largest, n);
  return out;
}

void writeTables(std::ostream& out, size_t characters, const Readings& r, const Variants& v) {
  out << "// Generated by store/hanzi/make_hanzi_tables.cpp from Unihan and OpenCC; do not edit.\n"
      << "// " << characters << " characters with readings, " << r.syllables.size() << " syllables, "
      << v.families << " variant families (largest " << v.largest << ").\n"
      << "#include <cstdint>\n\nnamespace wayfind::store::hanzi_data {\n\n";
  std::string names;
  std::vector<uint16_t> nameStart;
  for (auto& s : r.syllables) {
    nameStart.push_back(static_cast<uint16_t>(names.size()));
    names += s;
  }
  nameStart.push_back(static_cast<uint16_t>(names.size()));
  out << "extern const char kSyllableText[];\nconst char kSyllableText[] = \"" << names << "\";\n";
  out << "extern const unsigned kSyllableCount;\nconst unsigned kSyllableCount = " << r.syllables.size() << ";\n";
  writeArray(out, "uint16_t", "kSyllableStart", nameStart);
  writeArray(out, "uint16_t", "kReadingPageOf", r.table.pageOf);
  writeArray(out, "uint32_t", "kReadingPages", r.table.pages);
  writeArray(out, "uint16_t", "kReadingList", r.list);
  writeArray(out, "uint16_t", "kVariantPageOf", v.table.pageOf);
  writeArray(out, "uint32_t", "kVariantPages", v.table.pages);

  uint32_t fingerprint = 2166136261u;
  for (auto x : r.table.pages) fingerprint = fnv(fingerprint, x);
  for (auto x : r.list) fingerprint = fnv(fingerprint, x);
  for (auto x : v.table.pages) fingerprint = fnv(fingerprint, x);
  for (char c : names) fingerprint = fnv(fingerprint, static_cast<unsigned char>(c));
  out << "extern const uint32_t kFingerprint;\nconst uint32_t kFingerprint = " << fingerprint << "u;\n";
  out << "\n}  // namespace wayfind::store::hanzi_data\n";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 6) fail("usage: make_hanzi_tables READINGS.bz2 VARIANTS.bz2 ST.ocd2 TS.ocd2 OUTPUT.cpp");
  const auto modern = readReadings(argv[1]);
  const Readings readings = tabulate(modern);
  const Variants variants = variantFamilies(argv[2], argv[3], argv[4]);
  std::ofstream out(argv[5]);
  writeTables(out, modern.size(), readings, variants);
  if (!out) fail(std::string("cannot write ") + argv[5]);
  return 0;
}
