// The search index: reading its bytes in place, and the ranked walk
// (search_index_build.cpp builds them).
#include "store/search_index.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <type_traits>
#include <unordered_map>
#include <unordered_set>

#include "platform/navigation/columns.h"
#include "store/pinyin_match.h"
#include "store/search_index_layout.h"
#include "store/search_postings.h"
#include "store/search_text.h"

namespace wayfind::store {

namespace {

template <class T>
const T* sectionAs(std::string_view bytes, const SectionRec& s, size_t& count) {
  if (s.offset % 8 != 0 || s.offset > bytes.size() || s.size > bytes.size() - s.offset || s.size % sizeof(T) != 0)
    throw std::runtime_error("a section of the search index lies outside it");
  count = s.size / sizeof(T);
  return reinterpret_cast<const T*>(bytes.data() + s.offset);
}

}  // namespace

// ------------------------------------------------------------------ in place

SearchIndex::SearchIndex() : SearchIndex(std::vector<SearchPlace>(), std::vector<SearchFunction>()) {}

SearchIndex::SearchIndex(const std::vector<SearchPlace>& places, const std::vector<SearchFunction>& functions) {
  std::shared_ptr<IndexBytes> blob = buildSearchIndexBytes(places, functions);
  bytes_ = std::string_view(blob->data.get(), blob->size);
  holder_ = std::move(blob);
  attach();
}

SearchIndex SearchIndex::fromBytes(std::string_view bytes, std::shared_ptr<const void> holder) {
  SearchIndex index(0);
  index.bytes_ = bytes;
  index.holder_ = std::move(holder);
  index.attach();
  return index;
}

SearchIndex::SearchIndex(int) {}

void SearchIndex::attach() {
  if (reinterpret_cast<uintptr_t>(bytes_.data()) % 8 != 0 || bytes_.size() < sizeof(Header))
    throw std::runtime_error("too short or misaligned for a search index");
  Header h;
  std::memcpy(&h, bytes_.data(), sizeof h);
  if (h.magic != kMagic || h.format != kFormat) throw std::runtime_error("not a search index of this form");
  auto layout = std::make_shared<Layout>();
  size_t n = 0;
  layout->strings = sectionAs<char>(bytes_, h.sections[kStrings], layout->stringsSize);
  layout->places = sectionAs<PlaceRec>(bytes_, h.sections[kPlaces], n);
  if (n != h.places) throw std::runtime_error("the search index's places are cut short");
  layout->functions = sectionAs<FuncRec>(bytes_, h.sections[kFunctions], n);
  if (n != size_t{h.functions} + 1) throw std::runtime_error("the search index's functions are cut short");
  layout->texts = sectionAs<TextRec>(bytes_, h.sections[kTexts], layout->textCount);
  layout->codes = sectionAs<uint32_t>(bytes_, h.sections[kCodes], layout->codeCount);
  layout->keys = sectionAs<uint64_t>(bytes_, h.sections[kKeys], layout->keyCount);
  layout->lists = sectionAs<ListRec>(bytes_, h.sections[kLists], n);
  if (n != layout->keyCount) throw std::runtime_error("the search index's lists do not match its keys");
  layout->postings = sectionAs<uint8_t>(bytes_, h.sections[kPostings], layout->postingsSize);
  layout->skips = sectionAs<PostingSkip>(bytes_, h.sections[kSkips], layout->skipCount);
  layout->levels = sectionAs<LevelRec>(bytes_, h.sections[kLevels], layout->levelCount);
  size_t levelBytes = 0;
  const char* levelIndex = sectionAs<char>(bytes_, h.sections[kLevelIndex], levelBytes);
  if (layout->stringsSize == 0 || layout->strings[0] != '\0') throw std::runtime_error("the search index's texts are damaged");

  // Every number that points somewhere else is checked once here, so reading
  // cannot leave the bytes.
  uint32_t previous = 0;
  for (uint32_t f = 0; f <= h.functions; ++f) {
    const FuncRec& r = layout->functions[f];
    if (r.firstText < previous || r.firstText > layout->textCount ||
        (f < h.functions && (r.placeAndEnabled & ~kEnabledBit) >= h.places))
      throw std::runtime_error("a function of the search index is damaged");
    previous = r.firstText;
  }
  for (size_t l = 0; l < layout->levelCount; ++l) {
    const LevelRec& r = layout->levels[l];
    if (r.depth < 1 || r.depth > 3 || r.first > r.end || r.end > h.functions ||
        (r.parent != kNoLevel && r.parent >= l) || ((r.parent == kNoLevel) != (r.depth == 1)) ||
        (l > 0 && r.first < layout->levels[l - 1].first))
      throw std::runtime_error("a level of the search index is damaged");
  }
  if (layout->functions[h.functions].firstText != layout->textCount)
    throw std::runtime_error("the search index's texts do not match its functions");
  for (size_t t = 0; t < layout->textCount; ++t) {
    if ((layout->texts[t].folded >> kKindShift) > kChineseName) throw std::runtime_error("a text of the search index is damaged");
  }
  for (size_t c = 0; c < layout->codeCount; ++c) {
    if (layout->codes[c] >= layout->textCount) throw std::runtime_error("a help code of the search index is damaged");
  }
  layout->functionCount = h.functions;
  for (size_t k = 0; k < layout->keyCount; ++k) {
    const ListRec& l = layout->lists[k];
    if (l.firstSkip == kBitmapList) {
      if (l.offset % 8 != 0 || l.offset > layout->postingsSize ||
          BitmapBytes(h.functions) > layout->postingsSize - l.offset)
        throw std::runtime_error("a list of the search index is damaged");
      continue;
    }
    const size_t skips = l.count == 0 ? 0 : (l.count - 1) / kPostingBlock;
    if (l.offset > layout->postingsSize || l.firstSkip > layout->skipCount || skips > layout->skipCount - l.firstSkip)
      throw std::runtime_error("a list of the search index is damaged");
  }
  functionCount_ = h.functions;
  placeCount_ = h.places;
  layout_ = layout.get();
  layoutHolder_ = std::move(layout);
  if (levelBytes > 0) {
    auto levels = std::make_shared<SearchIndex>(fromBytes(std::string_view(levelIndex, levelBytes), holder_));
    if (levels->size() != layout_->levelCount || levels->levels_)
      throw std::runtime_error("the search index's levels do not match their names");
    levels_ = std::move(levels);
    levelCache_ = std::make_shared<LevelCache>();
  } else if (layout_->levelCount != 0) {
    throw std::runtime_error("the search index's levels have no names");
  }
}

size_t SearchIndex::levelCount() const { return layout_->levelCount; }

IndexedLevel SearchIndex::level(uint32_t l) const {
  // A level's ids and names, and those of the levels above it, are those of the
  // place of its first function.
  const LevelRec& r = layout_->levels[l];
  IndexedPlace p = r.first < functionCount_ ? place(function(r.first).place) : IndexedPlace{};
  if (r.depth < 3) p.subFuncId = 0, p.subFuncName = {};
  if (r.depth < 2) p.subSysId = 0, p.subSysName = {};
  return {static_cast<int>(r.depth), p, levels_->function(l).name, r.first, r.end};
}

std::string_view SearchIndex::text(uint32_t ref) const {
  ref &= kRefMask;
  const Layout& l = *layout_;
  size_t at = ref, n = 0;
  for (int shift = 0; shift < 35; shift += 7) {
    if (at >= l.stringsSize) return {};
    const auto b = static_cast<uint8_t>(l.strings[at++]);
    n |= static_cast<size_t>(b & 0x7F) << shift;
    if (!(b & 0x80)) {
      if (n > l.stringsSize - at) return {};
      return {l.strings + at, n};
    }
  }
  return {};
}

IndexedFunction SearchIndex::function(uint32_t f) const {
  const FuncRec& r = layout_->functions[f];
  return {r.id, r.placeAndEnabled & ~kEnabledBit, (r.placeAndEnabled & kEnabledBit) != 0,
          text(r.name), text(r.code), text(r.code1), text(r.cls), text(r.param)};
}

int32_t SearchIndex::detailFuncId(uint32_t f) const { return layout_->functions[f].id; }

IndexedPlace SearchIndex::place(uint32_t p) const {
  const PlaceRec& r = layout_->places[p];
  return {r.top, r.sys, r.sub, text(r.topName), text(r.sysName), text(r.subName)};
}

std::string_view SearchIndex::matchedText(const SearchMatch& match) const {
  if (match.text & kLevelText) {
    SearchMatch inLevels = match;
    inLevels.text &= ~kLevelText;
    return levels_ ? levels_->matchedText(inLevels) : std::string_view();
  }
  return match.text < layout_->textCount ? text(layout_->texts[match.text].raw) : std::string_view();
}

// ------------------------------------------------------------------ queries

// The levels one word names, by the level index's own ranks: how it names each
// (ascending by level), and the runs of functions under them (ascending, apart;
// nested levels joined).
struct SearchIndex::NamedLevels {
  struct Run {
    uint32_t first, end;             // functions
    uint32_t firstLevel, endLevel;   // the levels that begin among them
  };
  std::vector<SearchMatch> named;
  std::vector<Run> runs;
  size_t levelsUnder = 0;            // the levels that begin in the runs
  std::vector<uint64_t> bits;     // one per level: named
  std::vector<uint32_t> before;   // for each word of bits, the levels named before it

  bool has(uint32_t level) const { return level / 64 < bits.size() && ((bits[level / 64] >> (level % 64)) & 1); }
  // A named level's place in named: the levels named before it.
  uint32_t place(uint32_t level) const {
    const uint64_t lower = bits[level / 64] & ((uint64_t{1} << (level % 64)) - 1);
    return before[level / 64] + static_cast<uint32_t>(std::popcount(lower));
  }
  const SearchMatch* find(uint32_t level) const { return has(level) ? &named[place(level)] : nullptr; }
};

class SearchIndex::Query {
 public:
  // levels: also the functions under levels the text names; typos: also the
  // functions one typing error away.
  Query(const SearchIndex& index, std::string_view folded, size_t limit, bool levels = true, bool typos = true)
      : index_(index), l_(*index.layout_), q_(folded), limit_(limit), cps_(CodePoints(folded)), levels_(levels),
        typos_(typos) {
    latin_ = true;
    bool letter = false;
    for (char c : q_) {
      if (c >= 'a' && c <= 'z') letter = true, ++letterCount_;
      else if (!isDigit(c) && c != ' ') latin_ = false;
      if (c != ' ') letters_ += c;
    }
    latin_ = latin_ && letter;
    // Initials are typed one letter per character, without blanks; a blank
    // separates syllables of full pinyin.
    initials_ = latin_ && letters_.size() == q_.size();
    if (limit_ > 4096) seenAll_.assign(index.size(), false);
  }

  bool incomplete() const { return incomplete_; }

  std::vector<SearchMatch> run() {
    exactCodes();
    if (full()) return std::move(out_);
    if (!codePrefixesBySort()) prefixes(kCodeStartOne, kCodeStartPair, SearchRank::HelpCodePrefix, kCode);
    if (full()) return std::move(out_);
    prefixes(kNameStartOne, kNameStartPair, SearchRank::NamePrefix, kName);
    if (latin_) {
      if (initials_) initialsPrefix();
      if (letters_.size() >= 2) pinyinPrefix();
      if (initials_ && letters_.size() >= 2) startsPrefix();
    }
    contains();
    if (levels_ && index_.levels_) underLevels();
    if (typos_ && latin_ && letterCount_ >= 5) typos();
    return std::move(out_);
  }

  // Levels the text names, each with how (numbers of the level index).
  static std::vector<SearchMatch> levelsNamed(const SearchIndex& index, std::string_view folded,
                                              size_t limit = SIZE_MAX) {
    if (!index.levels_) return {};
    Query q(*index.levels_, folded, limit, false, false);
    return q.run();
  }

 private:
  bool full() const { return out_.size() >= limit_; }

  bool seen(uint32_t f) const {
    if (!seenAll_.empty()) return seenAll_[f];
    return std::find(seenFew_.begin(), seenFew_.end(), f) != seenFew_.end();
  }
  void emit(uint32_t f, SearchRank rank, MatchedBy by, uint32_t text) {
    out_.push_back({f, rank, by, text});
    if (!seenAll_.empty()) seenAll_[f] = true;
    else seenFew_.push_back(f);
  }

  uint32_t firstText(uint32_t f) const { return l_.functions[f].firstText; }
  uint32_t endText(uint32_t f) const { return l_.functions[f + 1].firstText; }
  TextKind kind(uint32_t t) const { return static_cast<TextKind>(l_.texts[t].folded >> kKindShift); }
  std::string_view folded(uint32_t t) const { return index_.text(l_.texts[t].folded); }
  std::string_view raw(uint32_t t) const { return index_.text(l_.texts[t].raw); }

  PostingList list(uint64_t key) const { return l_.list(key); }

  // The lists of every pair of neighbouring characters of the text (or of its
  // one character): a function that holds the text is on all of them. whole: the
  // pairs are all the text's (not a piece of it for typing errors).
  void textPairs(const std::vector<char32_t>& cps, size_t from, size_t to, std::vector<PostingList>& lists,
                 bool whole = true) {
    if (to - from == 1) {
      lists.push_back(list(keyOf(kAnyOne, cps[from])));
      return;
    }
    const PostingList* digits = whole ? digitPairs() : nullptr;
    for (size_t i = from; i + 1 < to; ++i) {
      if (digits && cps[i] < 0x80 && cps[i + 1] < 0x80 && isDigit(static_cast<char>(cps[i])) &&
          isDigit(static_cast<char>(cps[i + 1]))) {
        lists.push_back(*digits);
        continue;
      }
      lists.push_back(list(keyOf(kAnyPair, cps[i], cps[i + 1])));
    }
  }
  // The same over pinyin letters; two digits side by side are found as text.
  void pinyinPairs(KeyKind kind, std::string_view s, std::vector<PostingList>& lists, bool whole = true) {
    const PostingList* digits = whole && letters_ == q_ ? digitPairs() : nullptr;
    for (size_t i = 0; i + 1 < s.size(); ++i) {
      const auto a = static_cast<unsigned char>(s[i]), b = static_cast<unsigned char>(s[i + 1]);
      if (isDigit(s[i]) && isDigit(s[i + 1])) {
        lists.push_back(digits ? *digits : list(keyOf(kAnyPair, a, b)));
        continue;
      }
      lists.push_back(list(keyOf(kind, a, b)));
    }
  }

  // The functions whose texts hold every pair of digits of the text, found once
  // for all the ranks that need them (numbers are in many names, so each pair's
  // list is long and their intersection much shorter); nullptr when the text has
  // fewer than two such pairs or too many functions hold them.
  const PostingList* digitPairs() {
    if (digitsTried_) return digitsUsable_ ? &digitsList_ : nullptr;
    digitsTried_ = true;
    std::vector<PostingList> lists;
    for (size_t i = 0; i + 1 < cps_.size(); ++i) {
      if (cps_[i] < 0x80 && cps_[i + 1] < 0x80 && isDigit(static_cast<char>(cps_[i])) &&
          isDigit(static_cast<char>(cps_[i + 1])))
        lists.push_back(list(keyOf(kAnyPair, cps_[i], cps_[i + 1])));
    }
    Candidates c;
    c.addGroup(lists);
    if (lists.size() < 2) return nullptr;
    uint32_t from = 0, f = 0;
    while (c.nextFrom(from, f) && f < index_.size()) {
      if (digits_.size() == 65536) {
        digits_.clear();
        return nullptr;
      }
      digits_.push_back(f);
      from = f + 1;
    }
    static const uint32_t none = 0;
    digitsList_ = {};
    digitsList_.plain = digits_.empty() ? &none : digits_.data();
    digitsList_.count = static_cast<uint32_t>(digits_.size());
    digitsUsable_ = true;
    return &digitsList_;
  }
  uint64_t pinyinStart(KeyKind kind, std::string_view s) const {
    const auto a = static_cast<unsigned char>(s[0]), b = static_cast<unsigned char>(s[1]);
    return isDigit(s[0]) && isDigit(s[1]) ? keyOf(kNameStartPair, a, b) : keyOf(kind, a, b);
  }

  // Checks the candidates in tree order until the answer is full (or check
  // answers false).
  template <class Check>
  void walk(Candidates& candidates, Check check) {
    uint32_t from = 0, f = 0;
    // Lists are ascending: a number beyond the functions (only a damaged index
    // holds one) ends the walk.
    while (!full() && candidates.nextFrom(from, f) && f < index_.size()) {
      if (!seen(f)) {
        if constexpr (std::is_same_v<decltype(check(f)), bool>) {
          if (!check(f)) return;
        } else {
          check(f);
        }
      }
      from = f + 1;
    }
  }

  void exactCodes() {
    auto foldedCode = [&](uint32_t t) { return folded(t); };
    const uint32_t* begin = l_.codes;
    const uint32_t* end = l_.codes + l_.codeCount;
    const uint32_t* lo = std::partition_point(begin, end, [&](uint32_t t) { return foldedCode(t) < q_; });
    for (const uint32_t* it = lo; it != end && foldedCode(*it) == q_ && !full(); ++it) {
      const uint32_t f = functionOfText(*it);
      if (!seen(f)) emit(f, SearchRank::HelpCode, MatchedBy::HelpCode, *it);
    }
  }

  // The help codes that begin with the text lie side by side in the sorted
  // codes: when there are few, their functions are sorted into tree order here
  // instead of walking lists (false: too many, walk the lists, which then meet
  // matches at once).
  bool codePrefixesBySort() {
    const uint32_t* begin = l_.codes;
    const uint32_t* end = l_.codes + l_.codeCount;
    const uint32_t* lo = std::partition_point(begin, end, [&](uint32_t t) { return folded(t) < q_; });
    const uint32_t* hi = std::partition_point(lo, end, [&](uint32_t t) { return folded(t).starts_with(q_); });
    if (hi - lo > 512) return false;
    std::vector<std::pair<uint32_t, uint32_t>> found;  // function, text
    for (const uint32_t* it = lo; it != hi; ++it) found.emplace_back(functionOfText(*it), *it);
    std::sort(found.begin(), found.end());
    for (const auto& [f, t] : found) {
      if (full()) break;
      if (!seen(f)) emit(f, SearchRank::HelpCodePrefix, MatchedBy::HelpCode, t);
    }
    return true;
  }

  uint32_t functionOfText(uint32_t t) const {
    const FuncRec* begin = l_.functions;
    const FuncRec* end = l_.functions + index_.size() + 1;
    const FuncRec* it = std::upper_bound(begin, end, t, [](uint32_t v, const FuncRec& r) { return v < r.firstText; });
    return static_cast<uint32_t>(it - begin) - 1;
  }

  void prefixes(KeyKind one, KeyKind pair, SearchRank rank, TextKind wanted) {
    std::vector<PostingList> lists;
    lists.push_back(list(cps_.size() == 1 ? keyOf(one, cps_[0]) : keyOf(pair, cps_[0], cps_[1])));
    if (cps_.size() > 2) textPairs(cps_, 1, cps_.size(), lists);
    Candidates c;
    c.addGroup(std::move(lists));
    walk(c, [&](uint32_t f) {
      for (uint32_t t = firstText(f); t < endText(f); ++t) {
        if ((kind(t) == kCode) != (wanted == kCode)) continue;
        if (folded(t).starts_with(q_)) {
          emit(f, rank, wanted == kCode ? MatchedBy::HelpCode : MatchedBy::Name, t);
          return;
        }
      }
    });
  }

  // Whether one of the function's Chinese names matches by pinyin from its first
  // unit (atStart) or from any unit; the text that did in text.
  template <class Match>
  bool pinyinMatch(uint32_t f, bool atStart, uint32_t& text, Match match) {
    for (uint32_t t = firstText(f); t < endText(f); ++t) {
      if (kind(t) != kChineseName) continue;
      bool chinese = false;
      PinyinUnits(raw(t), units_, chinese);
      const size_t last = atStart ? std::min<size_t>(1, units_.size()) : units_.size();
      for (size_t i = 0; i < last; ++i) {
        if (match(units_, i)) {
          text = t;
          return true;
        }
      }
    }
    return false;
  }

  void initialsPrefix() {
    std::vector<PostingList> lists;
    if (letters_.size() == 1) {
      lists.push_back(list(keyOf(kInitStartOne, static_cast<unsigned char>(letters_[0]))));
    } else {
      lists.push_back(list(pinyinStart(kInitStartPair, letters_)));
      pinyinPairs(kInitPair, letters_, lists);
    }
    Candidates c;
    c.addGroup(std::move(lists));
    walk(c, [&](uint32_t f) {
      uint32_t t = 0;
      if (pinyinMatch(f, true, t, [&](const auto& units, size_t i) { return InitialsMatchAt(units, i, letters_); }))
        emit(f, SearchRank::InitialsPrefix, MatchedBy::PinyinInitials, t);
    });
  }

  void pinyinPrefix() {
    std::vector<PostingList> lists;
    lists.push_back(list(pinyinStart(kFullStartPair, letters_)));
    pinyinPairs(kFullPair, letters_, lists);
    Candidates c;
    c.addGroup(std::move(lists));
    walk(c, [&](uint32_t f) {
      uint32_t t = 0;
      if (pinyinMatch(f, true, t, [&](const auto& units, size_t i) { return FullPinyinMatchAt(units, i, q_); }))
        emit(f, SearchRank::PinyinPrefix, MatchedBy::Pinyin, t);
    });
  }

  // Full pinyin and initials mixed, or the beginnings of words, from a name's
  // start: the first two letters are the start of one spelling, or the first
  // letters of the first two units (words).
  //
  // Digits stand for themselves, one unit each, so two typed side by side are
  // two neighbours in the name: their pair's list narrows each group. A walk
  // checks at most kStartsCandidates functions (then the answer may miss some,
  // and says so), as where every name begins with the same syllable.
  void startGroups(Candidates& c) {
    std::vector<PostingList> digits;
    for (size_t i = 1; i + 1 < letters_.size(); ++i) {
      if (isDigit(letters_[i]) && isDigit(letters_[i + 1]))
        digits.push_back(list(keyOf(kAnyPair, static_cast<unsigned char>(letters_[i]), static_cast<unsigned char>(letters_[i + 1]))));
    }
    for (KeyKind k : {kFullStartPair, kInitStartPair, kNameStartPair}) {
      std::vector<PostingList> lists{list(pinyinStart(k, letters_))};
      lists.insert(lists.end(), digits.begin(), digits.end());
      c.addGroup(std::move(lists));
    }
  }

  // The text of the function whose start the typed text spells piece by piece,
  // and how (false: none).
  bool startsAt(uint32_t f, uint32_t& text, MatchedBy& by) {
    for (uint32_t t = firstText(f); t < endText(f); ++t) {
      if (kind(t) == kCode) continue;
      if (kind(t) == kName && !folded(t).starts_with(letters_[0])) continue;  // its first word begins otherwise
      bool match = false;
      if (kind(t) == kChineseName) {
        bool chinese = false;
        PinyinUnits(raw(t), units_, chinese);
        match = StartsMatchAt(units_, 0, letters_);
        by = MatchedBy::Pinyin;
      } else {
        NameWords(folded(t), words_);
        match = WordStartsMatchAt(words_, 0, letters_);
        by = MatchedBy::WordStarts;
      }
      if (match) {
        text = t;
        return true;
      }
    }
    return false;
  }

  void startsPrefix() {
    Candidates c;
    startGroups(c);
    size_t looked = 0;
    walk(c, [&](uint32_t f) {
      if (++looked > kStartsCandidates) {
        incomplete_ = true;
        return false;
      }
      uint32_t t = 0;
      MatchedBy by = MatchedBy::Pinyin;
      if (startsAt(f, t, by)) emit(f, SearchRank::StartsPrefix, by, t);
      return true;
    });
  }

  // The functions whose starts the text spells, found once as startsPrefix
  // finds them (among as many candidates), as a list for a word's candidates.
  PostingList startsList() {
    if (!startsFound_) {
      startsFound_ = true;
      Candidates c;
      startGroups(c);
      uint32_t from = 0, f = 0, t = 0;
      MatchedBy by = MatchedBy::Pinyin;
      for (size_t looked = 0; looked < kStartsCandidates && c.nextFrom(from, f) && f < index_.size(); ++looked) {
        if (startsAt(f, t, by)) starts_.push_back(f);
        from = f + 1;
      }
    }
    static const uint32_t none = 0;
    PostingList l;
    l.plain = starts_.empty() ? &none : starts_.data();
    l.count = static_cast<uint32_t>(starts_.size());
    return l;
  }

  // ---- one word of a longer text (SearchIndex::Words)
 public:
  // The functions that may hold the text as a word of a longer text, by any of
  // their own texts at a rank below below (a superset: check tells).
  void wordCandidates(Candidates& c, SearchRank below = SearchRank::Typo) {
    std::vector<PostingList> lists;
    if (below <= SearchRank::Contains) {
      prefixCandidates(c, below);
      return;
    }
    textPairs(cps_, 0, cps_.size(), lists);
    c.addGroup(std::move(lists));
    if (!latin_) return;
    if (letters_.size() == 1) {
      c.addGroup({list(keyOf(kInitStartOne, static_cast<unsigned char>(letters_[0])))});
      return;
    }
    if (initials_) {
      lists.clear();
      pinyinPairs(kInitPair, letters_, lists);
      c.addGroup(std::move(lists));
      c.addGroup({startsList()});
    }
    lists.clear();
    pinyinPairs(kFullPair, letters_, lists);
    c.addGroup(std::move(lists));
  }

  // The candidates of the ranks before Contains, as run's stages find them;
  // before HelpCodePrefix, the functions whose help code the text is.
  void prefixCandidates(Candidates& c, SearchRank below) {
    if (below <= SearchRank::HelpCodePrefix) {
      exact_.clear();
      const uint32_t* end = l_.codes + l_.codeCount;
      const uint32_t* it = std::partition_point(l_.codes, end, [&](uint32_t t) { return folded(t) < q_; });
      for (; it != end && folded(*it) == q_; ++it) exact_.push_back(functionOfText(*it));
      std::sort(exact_.begin(), exact_.end());
      static const uint32_t none = 0;
      PostingList l;
      l.plain = exact_.empty() ? &none : exact_.data();
      l.count = static_cast<uint32_t>(exact_.size());
      c.addGroup({l});
      return;
    }
    auto startGroup = [&](KeyKind one, KeyKind pair) {
      std::vector<PostingList> lists;
      lists.push_back(list(cps_.size() == 1 ? keyOf(one, cps_[0]) : keyOf(pair, cps_[0], cps_[1])));
      if (cps_.size() > 2) textPairs(cps_, 1, cps_.size(), lists);
      c.addGroup(std::move(lists));
    };
    startGroup(kCodeStartOne, kCodeStartPair);
    if (below <= SearchRank::NamePrefix) return;
    startGroup(kNameStartOne, kNameStartPair);
    if (!latin_) return;
    if (letters_.size() == 1) {
      if (initials_) c.addGroup({list(keyOf(kInitStartOne, static_cast<unsigned char>(letters_[0])))});
      return;
    }
    std::vector<PostingList> lists;
    if (initials_) {
      lists.push_back(list(pinyinStart(kInitStartPair, letters_)));
      pinyinPairs(kInitPair, letters_, lists);
      c.addGroup(std::move(lists));
      lists.clear();
    }
    lists.push_back(list(pinyinStart(kFullStartPair, letters_)));
    pinyinPairs(kFullPair, letters_, lists);
    c.addGroup(std::move(lists));
    if (initials_) c.addGroup({startsList()});
  }

  // How the function's own texts hold the text at best, as run ranks it (but
  // for typing errors).
  std::optional<SearchMatch> check(uint32_t f) {
    std::optional<SearchMatch> best;
    auto take = [&](SearchRank rank, MatchedBy by, uint32_t t) {
      if (!best || rank < best->rank) best = SearchMatch{f, rank, by, t};
    };
    auto better = [&](SearchRank rank) { return !best || rank < best->rank; };
    for (uint32_t t = firstText(f); t < endText(f); ++t) {
      const std::string_view text = folded(t);
      if (kind(t) == kCode) {
        if (text == q_) take(SearchRank::HelpCode, MatchedBy::HelpCode, t);
        else if (text.starts_with(q_)) take(SearchRank::HelpCodePrefix, MatchedBy::HelpCode, t);
        else if (text.find(q_) != std::string_view::npos) take(SearchRank::Contains, MatchedBy::HelpCode, t);
        continue;
      }
      if (text.starts_with(q_)) take(SearchRank::NamePrefix, MatchedBy::Name, t);
      else if (text.find(q_) != std::string_view::npos) take(SearchRank::Contains, MatchedBy::Name, t);
      if (!latin_ || !better(SearchRank::InitialsPrefix)) continue;
      if (kind(t) == kChineseName) {
        bool chinese = false;
        PinyinUnits(raw(t), units_, chinese);
        if (initials_ && InitialsMatchAt(units_, 0, letters_)) take(SearchRank::InitialsPrefix, MatchedBy::PinyinInitials, t);
        else if (FullPinyinMatchAt(units_, 0, q_)) take(SearchRank::PinyinPrefix, MatchedBy::Pinyin, t);
        else if (initials_ && StartsMatchAt(units_, 0, letters_)) take(SearchRank::StartsPrefix, MatchedBy::Pinyin, t);
        else if (letters_.size() >= 2 && better(SearchRank::Contains)) {
          for (size_t i = 1; i < units_.size(); ++i) {
            if (initials_ && InitialsMatchAt(units_, i, letters_)) take(SearchRank::Contains, MatchedBy::PinyinInitials, t);
            else if (FullPinyinMatchAt(units_, i, q_)) take(SearchRank::Contains, MatchedBy::Pinyin, t);
            else continue;
            break;
          }
        }
      } else if (initials_ && letters_.size() >= 2 && better(SearchRank::StartsPrefix)) {
        NameWords(text, words_);
        if (WordStartsMatchAt(words_, 0, letters_)) take(SearchRank::StartsPrefix, MatchedBy::WordStarts, t);
      }
    }
    return best;
  }

 private:
  // The functions under the levels the text names, in tree order, each by the
  // deepest named level over it. Only as many as the answer still takes: the
  // levels that may be named are met in tree order and each is checked when it
  // is met, so a word that names most levels costs the few looked at, not all.
  void underLevels() {
    Query names(*index_.levels_, q_, 1, false, false);
    Candidates candidates;
    // (Where more than kStartsCandidates levels begin alike, a level found only
    // by the beginnings of its words is looked for among the first of them.)
    names.wordCandidates(candidates);
    std::unordered_map<uint32_t, std::optional<SearchMatch>> checked;
    auto named = [&](uint32_t l) -> const std::optional<SearchMatch>& {
      auto it = checked.find(l);
      if (it == checked.end()) {
        std::optional<SearchMatch> m = names.check(l);
        // The text that says why: of a level named only somewhere inside its
        // names, the one the search of the levels takes.
        if (m && m->rank == SearchRank::Contains) {
          if (std::optional<SearchMatch> c = names.containsMatch(l)) m = c;
        }
        it = checked.emplace(l, m).first;
      }
      return it->second;
    };
    const auto levelCount = static_cast<uint32_t>(l_.levelCount);
    uint32_t from = 0, l = 0, walked = 0;  // functions before walked are done
    while (!full() && candidates.nextFrom(from, l) && l < levelCount) {
      from = l + 1;
      const LevelRec& r = l_.levels[l];
      if (r.first < walked || !named(l)) continue;  // under a level walked, or not named
      for (uint32_t f = r.first; f < r.end && !full(); ++f) {
        if (seen(f)) continue;
        for (uint32_t up = index_.innermostLevel(f); up != kNoLevel; up = l_.levels[up].parent) {
          if (const auto& m = named(up)) {
            emit(f, SearchRank::Level, MatchedBy::Level, m->text | kLevelText);
            break;
          }
        }
      }
      walked = r.end;
    }
  }

  void contains() {
    Candidates c;
    std::vector<PostingList> lists;
    textPairs(cps_, 0, cps_.size(), lists);
    c.addGroup(std::move(lists));
    if (latin_ && letters_.size() >= 2) {
      if (initials_) {
        lists.clear();
        pinyinPairs(kInitPair, letters_, lists);
        c.addGroup(std::move(lists));
      }
      lists.clear();
      pinyinPairs(kFullPair, letters_, lists);
      c.addGroup(std::move(lists));
    }
    walk(c, [&](uint32_t f) {
      if (const std::optional<SearchMatch> m = containsMatch(f)) emit(f, m->rank, m->by, m->text);
    });
  }

  // How the function's texts hold the text anywhere: a text that holds it as
  // written first, then pinyin initials, then full pinyin, each from any unit.
  std::optional<SearchMatch> containsMatch(uint32_t f) {
    for (uint32_t t = firstText(f); t < endText(f); ++t) {
      if (folded(t).find(q_) != std::string_view::npos)
        return SearchMatch{f, SearchRank::Contains, kind(t) == kCode ? MatchedBy::HelpCode : MatchedBy::Name, t};
    }
    if (!latin_ || letters_.size() < 2) return std::nullopt;
    uint32_t t = 0;
    if (initials_ && pinyinMatch(f, false, t, [&](const auto& units, size_t i) { return InitialsMatchAt(units, i, letters_); }))
      return SearchMatch{f, SearchRank::Contains, MatchedBy::PinyinInitials, t};
    if (pinyinMatch(f, false, t, [&](const auto& units, size_t i) { return FullPinyinMatchAt(units, i, q_); }))
      return SearchMatch{f, SearchRank::Contains, MatchedBy::Pinyin, t};
    return std::nullopt;
  }

  // Candidates for a text typed with one error. Cut it in three pieces: one
  // letter wrong, missing or extra spoils at most one piece, so a text that holds
  // the typed one with such an error holds two whole pieces; two letters swapped
  // across the cut between two pieces leaves the third whole, and both pieces
  // but for the letters next to the cut. One group of lists for each way.
  using Range = std::pair<size_t, size_t>;
  static std::vector<std::vector<Range>> typoGroups(size_t n) {
    const size_t a = std::max<size_t>(2, n / 3), c = a, b = n - a - c;
    const Range p1{0, a}, p2{a, a + b}, p3{a + b, n};
    const Range p1Cut{0, a - 1}, p2Front{a + 1, a + b}, p2Cut{a, a + b - 1}, p3Back{a + b + 1, n};
    return {{p1, p2}, {p1, p3}, {p2, p3}, {p1Cut, p2Front, p3}, {p1, p2Cut, p3Back}};
  }

  void typos() {
    Candidates c;
    for (const auto& group : typoGroups(cps_.size())) {
      std::vector<PostingList> lists;
      for (auto [from, to] : group)
        if (to > from) textPairs(cps_, from, to, lists, false);
      c.addGroup(std::move(lists));
    }
    if (letters_.size() >= 5) {
      // Pinyin letters have no lists of one letter: a piece of one letter adds
      // nothing (each group keeps a piece of two letters or more).
      for (const auto& group : typoGroups(letters_.size())) {
        std::vector<PostingList> lists;
        for (auto [from, to] : group)
          if (to > from + 1) pinyinPairs(kFullPair, std::string_view(letters_).substr(from, to - from), lists, false);
        c.addGroup(std::move(lists));
      }
    }
    const OneTypoMatcher typed(q_), spelled(letters_);
    std::vector<std::string> spellings;
    size_t looked = 0;
    walk(c, [&](uint32_t f) {
      if (++looked > kTypoCandidates) {
        incomplete_ = true;
        return false;
      }
      for (uint32_t t = firstText(f); t < endText(f); ++t) {
        if (typed.in(folded(t))) {
          emit(f, SearchRank::Typo, kind(t) == kCode ? MatchedBy::HelpCode : MatchedBy::Name, t);
          return true;
        }
      }
      for (uint32_t t = firstText(f); t < endText(f); ++t) {
        if (kind(t) != kChineseName) continue;
        bool chinese = false;
        PinyinUnits(raw(t), units_, chinese);
        const size_t n = FullSpellings(units_, 16, spellings);
        for (size_t k = 0; k < n; ++k) {
          if (spelled.in(spellings[k])) {
            emit(f, SearchRank::Typo, MatchedBy::Pinyin, t);
            return true;
          }
        }
      }
      return true;
    });
  }

  const SearchIndex& index_;
  const Layout& l_;
  std::string q_;
  size_t limit_;
  std::vector<char32_t> cps_;
  bool latin_ = false;
  bool initials_ = false;
  size_t letterCount_ = 0;
  std::string letters_;  // the text without blanks
  std::vector<SearchMatch> out_;
  std::vector<PinyinUnit> units_;  // of the name being checked
  std::vector<std::string_view> words_;
  bool startsFound_ = false;
  std::vector<uint32_t> starts_;  // startsList
  std::vector<uint32_t> exact_;   // prefixCandidates
  bool levels_ = true;
  bool typos_ = true;
  bool digitsTried_ = false;
  bool digitsUsable_ = false;
  std::vector<uint32_t> digits_;
  PostingList digitsList_;
  bool incomplete_ = false;
  std::vector<uint32_t> seenFew_;
  std::vector<bool> seenAll_;
};

// ------------------------------------------------------------------ words

std::vector<std::string> SearchWords(std::string_view folded) {
  std::vector<std::string> words;
  std::string word;
  int script = -1;  // of the word so far: 1 Chinese, 0 anything else
  auto flush = [&] {
    if (!word.empty()) words.push_back(std::move(word));
    word.clear();
    script = -1;
  };
  for (char32_t c : CodePoints(folded)) {
    if (c == ' ') {
      flush();
      continue;
    }
    const int here = (c >= 0x3400 && c <= 0x9FFF) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0x20000 && c <= 0x3FFFF);
    if (script >= 0 && here != script) flush();
    script = here;
    char buf[4];
    size_t n = 0;
    if (c < 0x80) buf[n++] = static_cast<char>(c);
    else if (c < 0x800) buf[n++] = static_cast<char>(0xC0 | (c >> 6)), buf[n++] = static_cast<char>(0x80 | (c & 0x3F));
    else if (c < 0x10000)
      buf[n++] = static_cast<char>(0xE0 | (c >> 12)), buf[n++] = static_cast<char>(0x80 | ((c >> 6) & 0x3F)),
      buf[n++] = static_cast<char>(0x80 | (c & 0x3F));
    else
      buf[n++] = static_cast<char>(0xF0 | (c >> 18)), buf[n++] = static_cast<char>(0x80 | ((c >> 12) & 0x3F)),
      buf[n++] = static_cast<char>(0x80 | ((c >> 6) & 0x3F)), buf[n++] = static_cast<char>(0x80 | (c & 0x3F));
    word.append(buf, n);
  }
  flush();
  return words;
}

namespace {

// At most so many matches of a text's words.
constexpr size_t kWordMatchesCap = 65536;

}  // namespace

// A word's levels, found again only for a word the last keystrokes did not
// have: while the user types the next word, the words before it name the same
// levels, and the answer's explanation asks for the same words as its search.
// An entry made for a larger limit serves a smaller one: the levels a word names
// best come first either way.
struct SearchIndex::LevelCache {
  static constexpr size_t kWords = 6;
  struct Entry {
    std::string word;
    size_t limit;
    std::shared_ptr<const NamedLevels> levels;
  };
  std::mutex mutex;
  std::vector<Entry> recent;  // the latest first
};

std::shared_ptr<const SearchIndex::NamedLevels> SearchIndex::namedLevels(const std::string& word, size_t limit) const {
  if (!levels_) return std::make_shared<const NamedLevels>();
  if (levelCache_) {
    std::lock_guard lock(levelCache_->mutex);
    auto& recent = levelCache_->recent;
    for (size_t i = 0; i < recent.size(); ++i) {
      if (recent[i].word != word || recent[i].limit < limit) continue;
      const auto at = recent.begin() + static_cast<std::ptrdiff_t>(i);
      std::rotate(recent.begin(), at, at + 1);
      return recent.front().levels;
    }
  }
  auto found = std::make_shared<NamedLevels>();
  const std::vector<SearchMatch> named = Query::levelsNamed(*this, word, limit);
  // Each level is named once: its bit, then its place among the named in tree
  // order is the count of bits before it.
  found->bits.assign((layout_->levelCount + 63) / 64, 0);
  for (const SearchMatch& m : named) found->bits[m.function / 64] |= uint64_t{1} << (m.function % 64);
  found->before.resize(found->bits.size());
  uint32_t counted = 0;
  for (size_t i = 0; i < found->bits.size(); ++i) {
    found->before[i] = counted;
    counted += static_cast<uint32_t>(std::popcount(found->bits[i]));
  }
  found->named.resize(named.size());
  for (const SearchMatch& m : named) found->named[found->place(m.function)] = m;
  // Levels are numbered in tree order, so their runs begin in ascending order.
  for (const SearchMatch& m : found->named) {
    const LevelRec& r = layout_->levels[m.function];
    if (!found->runs.empty() && r.first < found->runs.back().end) {
      found->runs.back().end = std::max(found->runs.back().end, r.end);
      continue;
    }
    found->runs.push_back({r.first, r.end, 0, 0});
  }
  // One walk over the levels (in tree order) finds where each run's levels lie.
  const LevelRec* levels = layout_->levels;
  uint32_t at = 0;
  const auto count = static_cast<uint32_t>(layout_->levelCount);
  for (NamedLevels::Run& run : found->runs) {
    while (at < count && levels[at].first < run.first) ++at;
    run.firstLevel = at;
    while (at < count && levels[at].first < run.end) ++at;
    run.endLevel = at;
    found->levelsUnder += run.endLevel - run.firstLevel;
  }
  if (levelCache_) {
    std::lock_guard lock(levelCache_->mutex);
    auto& recent = levelCache_->recent;
    recent.insert(recent.begin(), LevelCache::Entry{word, limit, found});
    if (recent.size() > LevelCache::kWords) recent.pop_back();
  }
  return found;
}

// The deepest level over function f (its sub-function's run): the last level
// that begins at or before it, as levels are numbered in tree order with a
// level before the levels under it.
uint32_t SearchIndex::innermostLevel(uint32_t f) const {
  const LevelRec* begin = layout_->levels;
  const LevelRec* end = begin + layout_->levelCount;
  const LevelRec* it = std::upper_bound(begin, end, f, [](uint32_t v, const LevelRec& r) { return v < r.first; });
  if (it == begin) return kNoLevel;
  const auto l = static_cast<uint32_t>(it - begin - 1);
  return f < begin[l].end ? l : kNoLevel;
}

// The words of a text, each ready to be checked against functions and levels:
// what its own texts give, and which levels (and the functions under them) it
// names.
class SearchIndex::Words {
  static constexpr size_t kRanks = static_cast<size_t>(SearchRank::Typo) + 1;
  // The first rank at which limit are found, counting the better ones (kRanks:
  // none yet): beyond it nothing more can be among the first limit.
  static size_t cutAt(const size_t (&atRank)[kRanks], size_t limit) {
    size_t sum = 0;
    for (size_t r = 0; r < kRanks; ++r)
      if ((sum += atRank[r]) >= limit) return r;
    return kRanks;
  }

 public:
  // levelLimit: of one word, the levels it names best (enough for the levels
  // found; functions found under levels then say so by their match alone).
  Words(const SearchIndex& index, const std::vector<std::string>& words, size_t levelLimit = SIZE_MAX)
      : index_(index) {
    if (words.size() > 1) levelLimit = SIZE_MAX;
    for (const std::string& w : words) {
      Word word;
      word.text = w;
      word.own = std::make_unique<Query>(index, w, 1);
      word.levels = index.namedLevels(w, levelLimit);
      words_.push_back(std::move(word));
    }
  }

  size_t size() const { return words_.size(); }

  // What word w finds in function f: its own texts, else a level above it (the
  // deepest named one says best what matched).
  std::optional<SearchMatch> inFunction(size_t w, uint32_t f) const {
    const Word& word = words_[w];
    std::optional<SearchMatch> m = word.own->check(f);
    if (m) return m;
    if (word.levels->named.empty()) return std::nullopt;
    const auto& runs = word.levels->runs;
    auto run = std::upper_bound(runs.begin(), runs.end(), f, [](uint32_t v, const NamedLevels::Run& r) { return v < r.end; });
    if (run == runs.end() || f < run->first) return std::nullopt;
    for (uint32_t l = index_.innermostLevel(f); l != kNoLevel; l = index_.layout_->levels[l].parent) {
      if (const SearchMatch* named = word.levels->find(l))
        return SearchMatch{f, SearchRank::Level, MatchedBy::Level, named->text | kLevelText};
    }
    return std::nullopt;
  }

  // What word w finds in level l: its own names, else the names of a level above.
  std::optional<SearchMatch> inLevel(size_t w, uint32_t l) const {
    const NamedLevels& named = *words_[w].levels;
    if (const SearchMatch* m = named.find(l)) return SearchMatch{l, m->rank, m->by, m->text | kLevelText, true};
    for (uint32_t up = index_.layout_->levels[l].parent; up != kNoLevel; up = index_.layout_->levels[up].parent) {
      if (const SearchMatch* m = named.find(up)) return SearchMatch{l, SearchRank::Level, MatchedBy::Level, m->text | kLevelText, true};
    }
    return std::nullopt;
  }

  // Every word found, ranked as the worst; level: l is a level (one of whose
  // own names a word must find). below: only a rank better than this counts.
  std::optional<SearchMatch> all(uint32_t n, bool level, size_t below = kRanks) const {
    std::optional<SearchMatch> worst;
    bool own = false;
    for (size_t w = 0; w < words_.size(); ++w) {
      const std::optional<SearchMatch> m = level ? inLevel(w, n) : inFunction(w, n);
      if (!m || static_cast<size_t>(m->rank) >= below) return std::nullopt;
      own = own || m->by != MatchedBy::Level;
      if (!worst || m->rank > worst->rank) worst = m;
    }
    if (level && !own) return std::nullopt;
    return worst;
  }

  // The levels every word finds that can be among the first limit by rank, in
  // tree order. Such a level is named by one of the words and lies under the
  // levels each word names: the fewer of the two sets proposes them (a word that
  // names every sub-function need not). Once limit have been found at a rank or
  // better, a level counts only at a better rank, as for functions below.
  std::vector<SearchMatch> levels(size_t limit = SIZE_MAX) const {
    size_t named = 0, fewest = SIZE_MAX;
    const NamedLevels* narrowest = nullptr;
    for (const Word& word : words_) named += word.levels->named.size();
    for (const Word& word : words_) {
      if (word.levels->levelsUnder < std::min(fewest, named)) fewest = word.levels->levelsUnder, narrowest = word.levels.get();
    }
    std::vector<SearchMatch> out;
    size_t atRank[kRanks] = {};
    size_t cut = kRanks;
    auto take = [&](uint32_t l) {
      const std::optional<SearchMatch> m = all(l, true, cut);
      if (!m) return;
      out.push_back(*m);
      ++atRank[static_cast<size_t>(m->rank)];
      cut = cutAt(atRank, limit);
    };
    // Once only a rank better than Level counts, every word must name a level
    // itself: the levels named by all, from level from on, a word of bits at a time.
    const auto byLevel = static_cast<size_t>(SearchRank::Level);
    auto namedByAll = [&](uint32_t from) {
      const size_t words = words_.front().levels->bits.size();
      for (size_t i = from / 64; i < words && cut > 0; ++i) {
        uint64_t all = i == from / 64 ? ~uint64_t{0} << (from % 64) : ~uint64_t{0};
        for (const Word& word : words_) all &= word.levels->bits[i];
        for (; all && cut > 0; all &= all - 1) take(static_cast<uint32_t>(i * 64 + std::countr_zero(all)));
      }
    };
    if (narrowest) {
      for (const NamedLevels::Run& run : narrowest->runs) {
        for (uint32_t l = run.firstLevel; l < run.endLevel && cut > 0; ++l) {
          if (cut <= byLevel) {
            namedByAll(l);
            return out;
          }
          bool own = false;  // named by a word itself, as a level found must be
          for (size_t w = 0; w < words_.size() && !own; ++w) own = words_[w].levels->has(l);
          if (own) take(l);
        }
      }
      return out;
    }
    // The levels any word names, in tree order.
    const size_t words = words_.front().levels->bits.size();
    for (size_t i = 0; i < words && cut > 0; ++i) {
      uint64_t any = 0;
      for (const Word& word : words_) any |= word.levels->bits[i];
      for (; any && cut > 0; any &= any - 1) {
        const auto l = static_cast<uint32_t>(i * 64 + std::countr_zero(any));
        if (cut <= byLevel) {
          namedByAll(l);
          return out;
        }
        take(l);
      }
    }
    return out;
  }

  // The functions every word finds, in tree order, that can be among the first
  // limit by rank: once limit have been found at a rank or better, a function
  // counts only at a better rank, and when that rank is better than Level, a
  // word that reaches a function only by a level above it passes it over.
  std::vector<SearchMatch> functions(size_t limit, bool& incomplete) {
    size_t atRank[kRanks] = {};
    size_t cut = kRanks;  // a function counts only at a rank below this
    // Each word's candidates for the ranks that still count: fewer as the cut
    // comes down past Contains and NamePrefix.
    std::vector<Candidates> own;
    auto tier = [&] { return std::min(cut, static_cast<size_t>(SearchRank::Contains) + 1); };
    size_t ownTier = 0;
    auto prepareOwn = [&] {
      ownTier = tier();
      own.assign(words_.size(), Candidates());
      const auto below = static_cast<SearchRank>(std::min(cut, kRanks - 1));
      for (size_t w = 0; w < words_.size(); ++w) words_[w].own->wordCandidates(own[w], below);
    };
    prepareOwn();
    auto next = [&](size_t w, uint32_t from, uint32_t& to) {
      uint32_t a = UINT32_MAX;
      if (!own[w].nextFrom(from, a)) a = UINT32_MAX;
      uint32_t b = UINT32_MAX;
      if (cut > static_cast<size_t>(SearchRank::Level)) {
        const auto& runs = words_[w].levels->runs;
        auto run = std::upper_bound(runs.begin(), runs.end(), from, [](uint32_t v, const NamedLevels::Run& r) { return v < r.end; });
        if (run != runs.end()) b = std::max(from, run->first);
      }
      to = std::min(a, b);
      return to < index_.size();
    };
    std::vector<SearchMatch> out;
    uint32_t x = 0;
    while (cut > 0) {
      size_t agreed = 0;
      for (size_t w = 0; agreed < words_.size(); w = (w + 1) % words_.size()) {
        uint32_t y = 0;
        if (!next(w, x, y)) return out;
        if (y == x) {
          ++agreed;
        } else {
          x = y;
          agreed = 1;
        }
      }
      if (auto m = all(x, false); m && static_cast<size_t>(m->rank) < cut) {
        if (out.size() == kWordMatchesCap) {
          incomplete = true;
          return out;
        }
        out.push_back(*m);
        ++atRank[static_cast<size_t>(m->rank)];
        cut = cutAt(atRank, limit);
        if (tier() != ownTier && cut > 0) prepareOwn();
      }
      ++x;
    }
    return out;
  }

 private:
  struct Word {
    std::string text;
    std::unique_ptr<Query> own;
    std::shared_ptr<const NamedLevels> levels;  // which levels it names, and how
  };
  const SearchIndex& index_;
  std::vector<Word> words_;
};

namespace {

// Best rank first; at one rank the levels, then what the whole text found, then
// what its words found, each in the order given.
void rankInOrder(std::vector<SearchMatch>& out, size_t levels, size_t whole) {
  auto group = [&](size_t i) { return i < levels ? 0 : i < levels + whole ? 1 : 2; };
  std::vector<size_t> order(out.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    if (out[a].rank != out[b].rank) return out[a].rank < out[b].rank;
    return group(a) < group(b);
  });
  std::vector<SearchMatch> sorted;
  sorted.reserve(out.size());
  for (size_t i : order) sorted.push_back(out[i]);
  out = std::move(sorted);
}

}  // namespace

namespace {

bool chineseWord(std::string_view w) {
  const std::vector<char32_t> cps = CodePoints(w);
  return cps.size() >= 3 && cps[0] >= 0x3400;
}

}  // namespace

// A run of Chinese characters that names nothing as a whole ("总账凭证") is read
// as the words it begins with: the longest beginning that names something, then
// the rest the same way.
std::vector<std::string> SearchIndex::wordsOf(std::string_view folded) const {
  std::vector<std::string> out;
  for (std::string& word : SearchWords(folded)) {
    auto names = [&](std::string_view w) {
      if (!Query(*this, w, 1, false, false).run().empty()) return true;
      return levels_ && !Query(*levels_, w, 1, false, false).run().empty();
    };
    std::string_view rest = word;
    // No name is longer than kNameChars: a longer beginning names nothing, and is
    // not looked for (a pasted paragraph would cost the cube of its length).
    const auto longerThanAName = [](std::string_view w) { return CodePoints(w).size() > static_cast<size_t>(nav::kNameChars); };
    while (chineseWord(rest) && (longerThanAName(rest) || !names(rest))) {
      const std::vector<char32_t> cps = CodePoints(rest);
      size_t cut = 0, bytes = 0;
      std::vector<size_t> ends;  // byte length of each beginning
      for (char32_t c : cps) ends.push_back(bytes += c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4);
      for (size_t n = std::min(cps.size() - 1, static_cast<size_t>(nav::kNameChars)); n >= 1 && !cut; --n)
        if (names(rest.substr(0, ends[n - 1]))) cut = ends[n - 1];
      if (!cut) break;
      out.emplace_back(rest.substr(0, cut));
      rest.remove_prefix(cut);
    }
    out.emplace_back(rest);
  }
  return out;
}

std::vector<SearchMatch> SearchIndex::find(std::string_view text, size_t limit, bool* incomplete) const {
  if (incomplete) *incomplete = false;
  const std::string query = FoldSearchText(LimitSearchText(text));
  if (query.empty() || limit == 0 || functionCount_ == 0) return {};
  const std::vector<std::string> words = wordsOf(query);
  Words prepared(*this, words, limit);
  std::vector<SearchMatch> out = prepared.levels(limit);
  const size_t levels = out.size();
  // Of several words, a function ranks by the better of the whole text and its
  // words. The whole text's first limit are enough: one it finds later has limit
  // before it either way.
  const bool several = words.size() > 1;
  Query q(*this, query, limit, !several);
  std::vector<SearchMatch> whole = q.run();
  bool cut = q.incomplete();
  size_t wholeCount = whole.size();
  if (several) {
    std::vector<SearchMatch> byWords = prepared.functions(limit, cut);
    std::unordered_map<uint32_t, SearchRank> wordRank;
    for (const SearchMatch& m : byWords) wordRank.emplace(m.function, m.rank);
    std::unordered_set<uint32_t> taken;
    std::vector<SearchMatch> kept;
    for (const SearchMatch& m : whole) {
      auto w = wordRank.find(m.function);
      if (w != wordRank.end() && w->second < m.rank) continue;  // ranks by its words
      kept.push_back(m);
      taken.insert(m.function);
    }
    wholeCount = kept.size();
    out.insert(out.end(), kept.begin(), kept.end());
    for (const SearchMatch& m : byWords)
      if (!taken.count(m.function)) out.push_back(m);
  } else {
    out.insert(out.end(), whole.begin(), whole.end());
  }
  rankInOrder(out, levels, wholeCount);
  if (out.size() > limit) out.resize(limit);
  if (incomplete) *incomplete = cut;
  // A blank after the last word says another word comes next, and a text of
  // several words needs every level each word names: the last word's are found
  // now, before the user types the next letter, not all on that keystroke.
  if (EndsAfterAWord(text)) namedLevels(words.back(), SIZE_MAX);
  return out;
}

std::vector<std::optional<SearchMatch>> SearchIndex::matchFunctions(const std::vector<uint32_t>& functions,
                                                                    std::string_view text) const {
  std::vector<std::optional<SearchMatch>> out;
  const std::string query = FoldSearchText(text);
  if (query.empty()) return std::vector<std::optional<SearchMatch>>(functions.size());
  Words prepared(*this, wordsOf(query));
  for (uint32_t f : functions) out.push_back(f < functionCount_ ? prepared.all(f, false) : std::nullopt);
  return out;
}

std::vector<std::vector<WordMatch>> SearchIndex::explain(const std::vector<SearchMatch>& matches,
                                                         std::string_view text) const {
  std::vector<std::vector<WordMatch>> out;
  const std::vector<std::string> words = wordsOf(FoldSearchText(text));
  Words prepared(*this, words, matches.size());
  for (const SearchMatch& match : matches) {
    std::vector<WordMatch> each;
    for (size_t w = 0; w < words.size(); ++w) {
      // A word the whole text found but it alone does not (a typing error in
      // it) is told by the whole match.
      const std::optional<SearchMatch> m =
          match.level ? prepared.inLevel(w, match.function) : prepared.inFunction(w, match.function);
      const SearchMatch& by = m ? *m : match;
      each.push_back({words[w], by.rank, by.by, std::string(matchedText(by))});
    }
    out.push_back(std::move(each));
  }
  return out;
}

}  // namespace wayfind::store
