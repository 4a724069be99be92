// The search index: reading its bytes in place, and the ranked walk
// (search_index_build.cpp builds them).
#include "store/search_index.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <type_traits>
#include <unordered_map>
#include <unordered_set>

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
  auto blob = std::make_shared<std::string>(buildSearchIndexBytes(places, functions));
  bytes_ = *blob;
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

IndexedPlace SearchIndex::place(uint32_t p) const {
  const PlaceRec& r = layout_->places[p];
  return {r.top, r.sys, r.sub, text(r.topName), text(r.sysName), text(r.subName)};
}

std::string_view SearchIndex::matchedText(const SearchMatch& match) const {
  return match.text < layout_->textCount ? text(layout_->texts[match.text].raw) : std::string_view();
}

// ------------------------------------------------------------------ queries

class SearchIndex::Query {
 public:
  Query(const SearchIndex& index, std::string_view folded, size_t limit)
      : index_(index), l_(*index.layout_), q_(folded), limit_(limit), cps_(CodePoints(folded)) {
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
    }
    contains();
    if (latin_ && letterCount_ >= 5) typos();
    return std::move(out_);
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

  void contains() {
    Candidates c;
    std::vector<PostingList> lists;
    textPairs(cps_, 0, cps_.size(), lists);
    c.addGroup(std::move(lists));
    const bool pinyin = latin_ && letters_.size() >= 2;
    if (pinyin) {
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
      for (uint32_t t = firstText(f); t < endText(f); ++t) {
        if (folded(t).find(q_) != std::string_view::npos) {
          emit(f, SearchRank::Contains, kind(t) == kCode ? MatchedBy::HelpCode : MatchedBy::Name, t);
          return;
        }
      }
      if (!pinyin) return;
      uint32_t t = 0;
      if (initials_ && pinyinMatch(f, false, t, [&](const auto& units, size_t i) { return InitialsMatchAt(units, i, letters_); }))
        emit(f, SearchRank::Contains, MatchedBy::PinyinInitials, t);
      else if (pinyinMatch(f, false, t, [&](const auto& units, size_t i) { return FullPinyinMatchAt(units, i, q_); }))
        emit(f, SearchRank::Contains, MatchedBy::Pinyin, t);
    });
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
  bool digitsTried_ = false;
  bool digitsUsable_ = false;
  std::vector<uint32_t> digits_;
  PostingList digitsList_;
  bool incomplete_ = false;
  std::vector<uint32_t> seenFew_;
  std::vector<bool> seenAll_;
};

std::vector<SearchMatch> SearchIndex::find(std::string_view text, size_t limit, bool* incomplete) const {
  if (incomplete) *incomplete = false;
  const std::string query = FoldSearchText(text);
  if (query.empty() || limit == 0 || functionCount_ == 0) return {};
  Query q(*this, query, limit);
  std::vector<SearchMatch> out = q.run();
  if (incomplete) *incomplete = q.incomplete();
  return out;
}

}  // namespace wayfind::store
