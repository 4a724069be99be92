// The search index: folded texts, posting lists, and the ranked walk.
#include "store/search_index.h"

#include <algorithm>

#include "store/search_text.h"

namespace wayfind::store {

namespace {

// Posting-list keys: a kind and one or two code points (21 bits each).
enum Kind : uint64_t { kAnyOne = 0, kAnyPair = 1, kStartOne = 2, kStartPair = 3 };

uint64_t keyOf(Kind kind, char32_t a, char32_t b = 0) {
  return (static_cast<uint64_t>(kind) << 42) | (static_cast<uint64_t>(a) << 21) | static_cast<uint64_t>(b);
}

// The first position from pos on whose value is not below target, found by
// galloping: the walk moves forward through a long list in few steps.
size_t seek(const std::vector<uint32_t>& list, size_t pos, uint32_t target) {
  if (pos >= list.size() || list[pos] >= target) return pos;
  size_t step = 1;
  size_t low = pos;
  while (pos + step < list.size() && list[pos + step] < target) {
    low = pos + step;
    step *= 2;
  }
  const size_t high = std::min(list.size(), pos + step + 1);
  return static_cast<size_t>(std::lower_bound(list.begin() + static_cast<std::ptrdiff_t>(low),
                                              list.begin() + static_cast<std::ptrdiff_t>(high), target) -
                             list.begin());
}

// Calls visit(function) for every function on all the lists, in ascending order,
// until visit answers false. lists[0] is the shortest.
template <class Visit>
void walkIntersection(const std::vector<const std::vector<uint32_t>*>& lists, Visit visit) {
  std::vector<size_t> cursor(lists.size(), 0);
  for (uint32_t candidate : *lists[0]) {
    bool onAll = true;
    for (size_t k = 1; k < lists.size(); ++k) {
      const auto& list = *lists[k];
      cursor[k] = seek(list, cursor[k], candidate);
      if (cursor[k] == list.size()) return;  // no later candidate can be on this list
      if (list[cursor[k]] != candidate) {
        onAll = false;
        break;
      }
    }
    if (onAll && !visit(candidate)) return;
  }
}

bool inSorted(const std::vector<uint32_t>& sorted, uint32_t value) {
  return std::binary_search(sorted.begin(), sorted.end(), value);
}

}  // namespace

SearchIndex::SearchIndex(std::vector<SearchPlace> places, std::vector<SearchFunction> functions)
    : places_(std::move(places)), functions_(std::move(functions)) {
  texts_.reserve(functions_.size());
  std::vector<std::string> folded;
  for (uint32_t f = 0; f < functions_.size(); ++f) {
    const SearchFunction& fn = functions_[f];
    folded.clear();
    auto add = [&](const std::string& text) {
      std::string t = FoldSearchText(text);
      if (!t.empty() && std::find(folded.begin(), folded.end(), t) == folded.end()) folded.push_back(std::move(t));
    };
    add(fn.helpCode);
    add(fn.helpCode1);
    add(fn.name);
    for (const auto& other : fn.otherNames) add(other);

    for (const std::string* code : {&fn.helpCode, &fn.helpCode1}) {
      std::string key = FoldSearchText(*code);
      if (key.empty()) continue;
      auto& list = helpCodes_[key];
      if (list.empty() || list.back() != f) list.push_back(f);
    }
    indexFunction(f, folded);
  }
}

void SearchIndex::indexFunction(uint32_t function, const std::vector<std::string>& folded) {
  auto post = [&](uint64_t key) {
    auto& list = postings_[key];
    if (list.empty() || list.back() != function) list.push_back(function);
  };
  texts_.push_back({static_cast<uint32_t>(spans_.size()), static_cast<uint16_t>(folded.size())});
  for (const std::string& text : folded) {
    spans_.push_back({static_cast<uint32_t>(folded_.size()), static_cast<uint32_t>(text.size())});
    folded_ += text;
    const std::vector<char32_t> cps = CodePoints(text);
    post(keyOf(kStartOne, cps[0]));
    if (cps.size() > 1) post(keyOf(kStartPair, cps[0], cps[1]));
    for (size_t i = 0; i < cps.size(); ++i) {
      post(keyOf(kAnyOne, cps[i]));
      if (i + 1 < cps.size()) post(keyOf(kAnyPair, cps[i], cps[i + 1]));
    }
  }
}

const SearchIndex::PostingList* SearchIndex::list(uint64_t key) const {
  auto it = postings_.find(key);
  return it == postings_.end() ? nullptr : &it->second;
}

bool SearchIndex::listsFor(const std::vector<char32_t>& query, bool atStart,
                           std::vector<const PostingList*>& lists) const {
  std::vector<uint64_t> keys;
  if (query.size() == 1) {
    keys.push_back(keyOf(atStart ? kStartOne : kAnyOne, query[0]));
  } else {
    for (size_t i = 0; i + 1 < query.size(); ++i)
      keys.push_back(keyOf(atStart && i == 0 ? kStartPair : kAnyPair, query[i], query[i + 1]));
  }
  std::sort(keys.begin(), keys.end());
  keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
  lists.clear();
  for (uint64_t key : keys) {
    const PostingList* l = list(key);
    if (!l) return false;
    lists.push_back(l);
  }
  std::sort(lists.begin(), lists.end(), [](const PostingList* a, const PostingList* b) { return a->size() < b->size(); });
  return true;
}

bool SearchIndex::startsAny(uint32_t function, std::string_view query) const {
  const FunctionTexts& t = texts_[function];
  for (uint32_t s = t.first; s < t.first + t.count; ++s) {
    std::string_view text(folded_.data() + spans_[s].offset, spans_[s].length);
    if (text.starts_with(query)) return true;
  }
  return false;
}

bool SearchIndex::containsAny(uint32_t function, std::string_view query) const {
  const FunctionTexts& t = texts_[function];
  for (uint32_t s = t.first; s < t.first + t.count; ++s) {
    std::string_view text(folded_.data() + spans_[s].offset, spans_[s].length);
    if (text.find(query) != std::string_view::npos) return true;
  }
  return false;
}

std::vector<SearchMatch> SearchIndex::find(std::string_view text, size_t limit) const {
  std::vector<SearchMatch> matches;
  const std::string query = FoldSearchText(text);
  if (query.empty() || limit == 0) return matches;
  const std::vector<char32_t> cps = CodePoints(query);

  // 1. Functions whose help code is the text.
  std::vector<uint32_t> exact;
  if (auto it = helpCodes_.find(query); it != helpCodes_.end()) {
    for (uint32_t f : it->second) {
      if (matches.size() == limit) return matches;
      matches.push_back({f, SearchRank::HelpCode});
      exact.push_back(f);
    }
  }

  // 2. Functions with a name or help code that begins with the text.
  std::vector<uint32_t> prefixed;
  std::vector<const PostingList*> lists;
  if (matches.size() < limit && listsFor(cps, true, lists)) {
    walkIntersection(lists, [&](uint32_t f) {
      if (inSorted(exact, f) || !startsAny(f, query)) return true;
      matches.push_back({f, SearchRank::Prefix});
      prefixed.push_back(f);
      return matches.size() < limit;
    });
  }

  // 3. Functions with the text anywhere in a name or help code.
  if (matches.size() < limit && listsFor(cps, false, lists)) {
    walkIntersection(lists, [&](uint32_t f) {
      if (inSorted(exact, f) || inSorted(prefixed, f) || !containsAny(f, query)) return true;
      matches.push_back({f, SearchRank::Contains});
      return matches.size() < limit;
    });
  }
  return matches;
}

}  // namespace wayfind::store
