// The search's parts on their own: a function's shown name, one typing error,
// and the index against a plain scan.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <stdexcept>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "platform/recordset/recordset.h"
#include "store/display_name.h"
#include "store/pinyin_match.h"
#include "store/search_index.h"
#include "store/search_text.h"

namespace wayfind::storetest {
namespace {

using store::SearchRank;


TEST(DetailFuncDisplayNameTest, TheUsersShowNameThenTheUsersNameWhereTheUserHasARow) {
  using store::DetailFuncDisplayName;
  // Without a row of the user's: the show name, else the function name.
  EXPECT_EQ(DetailFuncDisplayName("凭证录入", "录入凭证", nullptr), "录入凭证");
  EXPECT_EQ(DetailFuncDisplayName("凭证录入", "  ", nullptr), "凭证录入");
  // With one: the user's show name, else the user's name (the merged FFuncName),
  // over the template's show name that the merged row still carries.
  const std::string own = "我的录入", blankOwn = " ", none;
  EXPECT_EQ(DetailFuncDisplayName("记账凭证录入", "凭证录入", &own), "我的录入");
  EXPECT_EQ(DetailFuncDisplayName("记账凭证录入", "凭证录入", &blankOwn), "记账凭证录入");
  EXPECT_EQ(DetailFuncDisplayName("", "凭证录入", &none), "凭证录入");
  // Line breaks show as spaces, and the ends are trimmed.
  EXPECT_EQ(DetailFuncDisplayName("x", " 凭证\n录入\r", nullptr), "凭证 录入");
  const std::string ownWithBreak = "我的\r\n录入";
  EXPECT_EQ(DetailFuncDisplayName("x", "", &ownWithBreak), "我的  录入");
}


TEST(OneTypoTest, OneLetterWrongMissingExtraOrSwappedAnywhereInTheText) {
  struct Case {
    const char* typed;
    const char* text;
    bool near;
  };
  for (const Case& c : std::vector<Case>{
           {"voucher", "voucher entry", true},     // no error at all
           {"vouchre", "my voucher entry", true},  // two neighbours swapped
           {"ovucher", "voucher", true},           // ... at the start
           {"voucehr", "voucher", true},           // ... at the end
           {"vouxher", "voucher", true},           // one wrong
           {"vocher", "voucher", true},            // one missing
           {"vouccher", "voucher", true},          // one extra
           {"xoucher", "voucher", true},
           {"vouche", "vouc", false},              // two missing
           {"ovuchre", "voucher", false},          // two swaps
           {"vxuxher", "voucher", false},          // two wrong
           {"voucher", "", false},
           {"", "voucher", false},
       }) {
    EXPECT_EQ(store::WithinOneTypo(c.typed, c.text), c.near) << c.typed << " in " << c.text;
  }
}

// The index against a plain scan of the same functions, on random names drawn
// from a small alphabet so that texts share many characters, pairs and pinyin
// letters, with texts long enough for typing errors.
// An index large enough to be made by two threads, a chunk of functions at a
// time: every function is found by its own code and its name's pinyin, also
// at the chunks' edges, and the level above it by its name.
TEST(SearchIndexTest, ALargeIndexFindsEveryFunctionByItsOwnTexts) {
  std::vector<store::SearchPlace> places(3);
  for (size_t p = 0; p < places.size(); ++p) {
    places[p].topClassId = 1;
    places[p].subSysId = 10;
    places[p].subFuncId = static_cast<int32_t>(100 + p);
    places[p].subFuncName = "功能" + std::to_string(p);
  }
  std::vector<store::SearchFunction> functions(9000);
  for (size_t i = 0; i < functions.size(); ++i) {
    store::SearchFunction& fn = functions[i];
    fn.detailFuncId = static_cast<int32_t>(i + 1);
    fn.place = static_cast<uint32_t>(i * places.size() / functions.size());
    fn.name = "凭证" + std::to_string(i);
    fn.helpCode = "C" + std::to_string(i) + "X";
    fn.otherNames = {"Voucher " + std::to_string(i)};
  }
  const store::SearchIndex index(places, functions);
  ASSERT_EQ(index.size(), functions.size());
  for (size_t i = 0; i < functions.size(); ++i) {
    if (i % 1024 >= 2 && i % 1024 <= 1021 && i % 37 != 0) continue;
    const auto byCode = index.find(functions[i].helpCode, 1);
    ASSERT_EQ(byCode.size(), 1u) << i;
    EXPECT_EQ(index.detailFuncId(byCode[0].function), functions[i].detailFuncId) << i;
    EXPECT_EQ(byCode[0].rank, SearchRank::HelpCode) << i;
    const auto byPinyin = index.find("pingzheng" + std::to_string(i), 5000);
    EXPECT_TRUE(std::any_of(byPinyin.begin(), byPinyin.end(), [&](const store::SearchMatch& m) {
      return !m.level && index.detailFuncId(m.function) == functions[i].detailFuncId && m.rank == SearchRank::PinyinPrefix;
    })) << i;
  }
  const auto level = index.find("功能2", 1);
  ASSERT_EQ(level.size(), 1u);
  EXPECT_TRUE(level[0].level);
}

// Help codes lie sorted by their text: those alike in their first eight letters
// too, each found by its whole code (and a code two functions share, for both).
TEST(SearchIndexTest, HelpCodesAlikeInTheirFirstEightLettersAreEachFoundExactly) {
  std::vector<std::string> codes{"ABCDEFGH2", "ABCDEFGH10", "ABCDEFGH", "ABCDEFGH1", "ABCDEFGZ", "ABCDEFGH10X", "B7", "AB"};
  for (int i = 0; i < 150; ++i) codes.push_back("ABCDEFGH" + std::to_string(i % 75 * 7));  // each twice
  std::vector<store::SearchPlace> places(1);
  std::vector<store::SearchFunction> functions(codes.size());
  for (size_t i = 0; i < codes.size(); ++i) {
    functions[i].detailFuncId = static_cast<int32_t>(i + 1);
    functions[i].name = "功能" + std::to_string(i);
    functions[i].helpCode = codes[i];
  }
  const store::SearchIndex index(places, functions);
  for (size_t i = 0; i < codes.size(); ++i) {
    std::vector<int32_t> exact;
    for (const store::SearchMatch& m : index.find(codes[i], 10))
      if (m.rank == SearchRank::HelpCode) exact.push_back(index.detailFuncId(m.function));
    std::vector<int32_t> expected;
    for (size_t j = 0; j < codes.size(); ++j)
      if (codes[j] == codes[i]) expected.push_back(static_cast<int32_t>(j + 1));
    EXPECT_EQ(exact, expected) << codes[i];
  }
}

// A function found under a level says what the level matched: the name that
// holds the text as written before one whose pinyin holds it.
TEST(SearchIndexTest, AFunctionUnderALevelTellsWhatTheLevelMatched) {
  std::vector<store::SearchPlace> places(1);
  places[0] = {1, 10, 100, "财务", "总账凭证", "录入", {},
               std::make_shared<const std::vector<std::string>>(std::vector<std::string>{"Bookkeeping"}), {}};
  std::vector<store::SearchFunction> functions(2);
  for (int i = 0; i < 2; ++i) functions[i].detailFuncId = i + 1, functions[i].name = "录入" + std::to_string(i);
  const store::SearchIndex index(places, functions);
  const auto found = index.find("ping", 10);
  ASSERT_EQ(found.size(), 3u);
  for (const store::SearchMatch& m : found) EXPECT_EQ(index.matchedText(m), "Bookkeeping") << m.function << m.level;
}

TEST(SearchIndexTest, AgreesWithAPlainScanOnRandomNames) {
  const std::vector<std::string> alphabet{"a", "B", "c", "凭", "证", "录", "入", "行", " ", "Ａ", "1", "2", "p", "z", "i", "n", "g"};
  std::mt19937 rng(7);
  auto word = [&](int maxLength) {
    std::string w;
    const int n = static_cast<int>(rng() % static_cast<unsigned>(maxLength)) + 1;
    for (int i = 0; i < n; ++i) w += alphabet[rng() % alphabet.size()];
    return w;
  };
  std::vector<store::SearchPlace> places(1);
  std::vector<store::SearchFunction> functions;
  const std::string latin = "abcpzing";
  auto latinWord = [&](size_t n) {
    std::string w;
    for (size_t i = 0; i < n; ++i) w += latin[rng() % latin.size()];
    return w;
  };
  for (int i = 0; i < 400; ++i) {
    store::SearchFunction fn;
    fn.detailFuncId = i;
    fn.name = word(6);
    fn.helpCode = rng() % 4 ? word(3) : "";
    fn.helpCode1 = rng() % 3 ? "" : word(3);
    fn.otherNames = {word(8), rng() % 2 ? word(5) : "", latinWord(9)};
    functions.push_back(fn);
  }
  // A stretch of a function's Latin name with one typing error.
  auto mistyped = [&] {
    std::string w = functions[rng() % functions.size()].otherNames[2].substr(rng() % 3, 5 + rng() % 2);
    const size_t at = rng() % (w.size() - 1);
    switch (rng() % 4) {
      case 0: w[at] = latin[rng() % latin.size()]; break;
      case 1: w.erase(at, 1); w += latin[rng() % latin.size()]; break;
      case 2: w.insert(at, 1, latin[rng() % latin.size()]); break;
      default: std::swap(w[at], w[at + 1]);
    }
    return w;
  };
  const store::SearchIndex index(places, functions);

  // Every rule of search_index.h, checked on every function: the best rank of
  // the text (or one word of it) in the function's texts, 9 when none.
  auto rankOf = [&](const store::SearchFunction& fn, const std::string& q, bool withTypos) {
    std::string letters;
    bool latin = q.find_first_of("abcdefghijklmnopqrstuvwxyz") != std::string::npos;
    size_t letterCount = 0;
    for (char c : q) {
      if (c != ' ') letters += c;
      if (c >= 'a' && c <= 'z') ++letterCount;
      else if (!(c >= '0' && c <= '9') && c != ' ') latin = false;
    }
    const bool typos = withTypos && latin && letterCount >= 5;
    std::vector<std::string> names{fn.name};
    names.insert(names.end(), fn.otherNames.begin(), fn.otherNames.end());
    int rank = 9;
    auto better = [&](int r) { rank = std::min(rank, r); };
    for (const std::string* code : {&fn.helpCode, &fn.helpCode1}) {
      const std::string t = store::FoldSearchText(*code);
      if (t.empty()) continue;
      if (t == q) better(0);
      if (t.starts_with(q)) better(1);
      if (t.find(q) != std::string::npos) better(6);
      if (typos && store::WithinOneTypo(q, t)) better(8);
    }
    for (const std::string& name : names) {
      const std::string t = store::FoldSearchText(name);
      if (t.empty()) continue;
      if (t.starts_with(q)) better(2);
      if (t.find(q) != std::string::npos) better(6);
      if (typos && store::WithinOneTypo(q, t)) better(8);
      bool chinese = false;
      const auto units = store::PinyinUnits(name, chinese);
      const bool starts = latin && letters == q && letters.size() >= 2;
      if (!chinese) {
        std::vector<std::string_view> words;
        store::NameWords(t, words);
        if (starts && store::WordStartsMatchAt(words, 0, letters)) better(5);
        continue;
      }
      if (!latin) continue;
      for (size_t i = 0; i < units.size(); ++i) {
        if (letters == q && store::InitialsMatchAt(units, i, letters)) better(i == 0 ? 3 : letters.size() >= 2 ? 6 : 9);
        if (letters.size() >= 2 && store::FullPinyinMatchAt(units, i, q)) better(i == 0 ? 4 : 6);
      }
      if (starts && store::StartsMatchAt(units, 0, letters)) better(5);
      if (typos) {
        std::vector<std::string> spellings;
        const size_t count = store::FullSpellings(units, 16, spellings);
        for (size_t k = 0; k < count; ++k)
          if (store::WithinOneTypo(letters, spellings[k])) better(8);
      }
    }
    return rank;
  };
  auto namesAny = [&](const std::string& w) {
    return std::any_of(functions.begin(), functions.end(), [&](const auto& fn) { return rankOf(fn, w, false) < 9; });
  };
  // The words: split at blanks and scripts, and a Chinese run that names
  // nothing cut after the longest beginning that does.
  auto wordsOf = [&](const std::string& q) {
    std::vector<std::string> out;
    for (std::string rest : store::SearchWords(q)) {
      for (;;) {
        const auto cps = store::CodePoints(rest);
        if (cps.size() < 3 || cps[0] < 0x3400 || namesAny(rest)) break;
        size_t cut = 0;
        for (size_t n = cps.size() - 1; n >= 1 && !cut; --n)
          if (namesAny(rest.substr(0, n * 3))) cut = n * 3;  // the alphabet's Chinese take three bytes
        if (!cut) break;
        out.push_back(rest.substr(0, cut));
        rest = rest.substr(cut);
      }
      out.push_back(rest);
    }
    return out;
  };
  // The whole text, and of several words each function every word finds,
  // ranked as its worst word; the better of the two counts, the whole text's
  // first at one rank.
  auto expected = [&](const std::string& text, size_t limit) {
    const std::string q = store::FoldSearchText(text);
    std::vector<std::tuple<int, int, uint32_t>> all;
    std::vector<std::pair<int, uint32_t>> ranked;
    if (q.empty()) return ranked;
    const std::vector<std::string> words = wordsOf(q);
    for (uint32_t f = 0; f < functions.size(); ++f) {
      const int whole = rankOf(functions[f], q, true);
      int byWords = 9;
      if (words.size() > 1) {
        byWords = 0;
        for (const auto& w : words) byWords = std::max(byWords, rankOf(functions[f], w, false));
      }
      const int rank = std::min(whole, byWords);
      if (rank < 9) all.emplace_back(rank, whole <= byWords ? 0 : 1, f);
    }
    std::sort(all.begin(), all.end());
    for (const auto& [rank, group, f] : all) ranked.emplace_back(rank, f);
    if (ranked.size() > limit) ranked.resize(limit);
    return ranked;
  };

  int nonEmpty = 0, pinyin = 0, typos = 0, starts = 0, several = 0;
  // Full pinyin and initials mixed: the beginning of a reading of each of a
  // Chinese name's first units.
  auto mixed = [&] {
    for (;;) {
      bool chinese = false;
      const auto units = store::PinyinUnits(functions[rng() % functions.size()].otherNames[0], chinese);
      if (!chinese || units.size() < 2) continue;
      std::string w;
      const size_t n = 2 + rng() % (units.size() - 1);
      for (size_t i = 0; i < n; ++i) {
        const std::string_view r = units[i].spelling(rng() % units[i].spellings());
        w += r.substr(0, 1 + rng() % r.size());
      }
      return w;
    }
  };
  for (int round = 0; round < 1100; ++round) {
    const std::string text = round >= 900       ? mixed()
                             : round % 4 == 0 ? word(1)
                             : round % 4 == 1 ? word(4)
                             : round % 4 == 2 ? word(7)
                                              : mistyped();
    const size_t limit = round % 2 ? 5 : 1000;
    std::vector<std::pair<int, uint32_t>> got;
    for (const auto& m : index.find(text, limit)) {
      got.emplace_back(static_cast<int>(m.rank), m.function);
      pinyin += m.by == store::MatchedBy::PinyinInitials || m.by == store::MatchedBy::Pinyin;
      starts += m.rank == SearchRank::StartsPrefix;
      several += store::SearchWords(store::FoldSearchText(text)).size() > 1;
      typos += m.rank == SearchRank::Typo;
    }
    auto want = expected(text, limit);
    ASSERT_EQ(got, want) << "query [" << text << "] limit " << limit;
    nonEmpty += !want.empty();
  }
  // The queries did find things, by pinyin and with typing errors too.
  EXPECT_GT(nonEmpty, 300);
  EXPECT_GT(pinyin, 20);
  EXPECT_GT(typos, 20);
  EXPECT_GT(starts, 20);
  EXPECT_GT(several, 100);

  // The same bytes, used where they lie, answer the same.
  auto copy = std::make_shared<std::string>(index.bytes());
  const auto again = store::SearchIndex::fromBytes(*copy, copy);
  for (const char* text : {"pz", "a", "凭证", "ping", "1"}) {
    const auto a = index.find(text, 50), b = again.find(text, 50);
    ASSERT_EQ(a.size(), b.size()) << text;
    for (size_t i = 0; i < a.size(); ++i) EXPECT_EQ(a[i].function, b[i].function) << text;
  }
  // Damaged bytes are refused or, where every number still points inside the
  // index, read without leaving it.
  std::mt19937 damage(11);
  for (int round = 0; round < 300; ++round) {
    auto spoilt = std::make_shared<std::string>(*copy);
    for (int k = 0; k < 4; ++k) (*spoilt)[damage() % spoilt->size()] ^= static_cast<char>(1 + damage() % 255);
    try {
      const auto read = store::SearchIndex::fromBytes(*spoilt, spoilt);
      for (const char* text : {"pz", "a", "凭证", "pingz", "1", "bcpzin"}) {
        for (const auto& m : read.find(text, 50)) {
          ASSERT_LT(m.function, read.size());
          read.function(m.function);
          read.matchedText(m);
        }
      }
    } catch (const std::runtime_error&) {
    }
  }
  // Bytes that are not a whole index are refused, not read.
  for (size_t cut : {size_t{0}, size_t{16}, copy->size() / 2, copy->size() - 8}) {
    auto part = std::make_shared<std::string>(copy->substr(0, cut));
    EXPECT_THROW(store::SearchIndex::fromBytes(*part, part), std::runtime_error) << cut;
  }
}

}  // namespace
}  // namespace wayfind::storetest
