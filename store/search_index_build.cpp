// Building the search index's bytes: every text of every function folded,
// spelled, keyed and posted, then the sections laid out.
#include <algorithm>
#include <array>
#include <atomic>
#include <barrier>
#include <cstdlib>
#include <cstring>
#include <future>
#include <malloc.h>
#include <span>
#include <stdexcept>
#include <thread>
#include <type_traits>
#include <utility>

#include "platform/recordset/large_memory.h"
#include "store/pinyin_match.h"
#include "store/search_index_layout.h"
#include "store/search_text.h"

namespace wayfind::store {

namespace {

bool isDigitUnit(const PinyinUnit& u) { return u.count == 0 && isDigit(u.self); }

// The letters a spelled letter may be typed as (a reading's v also as u).
std::string_view typedAs(char c) {
  static const char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  if (c == 'v') return "vu";
  const char* at = std::strchr(letters, c);
  return at && c ? std::string_view(at, 1) : std::string_view();
}

// A text's hash for the intern table, eight bytes at a time and mixed at the
// end, so that both halves (the place to look and the tag kept there) depend on
// every byte.
uint64_t textHash(std::string_view s) {
  constexpr uint64_t kMix = 0xBF58476D1CE4E5B9ull;
  uint64_t h = s.size() * 0x9E3779B97F4A7C15ull;
  for (size_t i = 0; i < s.size(); i += 8) {
    uint64_t w = 0;
    std::memcpy(&w, s.data() + i, std::min<size_t>(8, s.size() - i));
    h = (h ^ w) * kMix;
    h ^= h >> 31;
  }
  h *= 0x94D049BB133111EBull;
  return h ^ (h >> 29);
}

template <class Out>
void writeLength(Out& out, size_t n) {
  while (n >= 0x80) {
    out.push_back(static_cast<char>((n & 0x7F) | 0x80));
    n >>= 7;
  }
  out.push_back(static_cast<char>(n));
}

// ------------------------------------------------------------------ building

// What a function gives the index before anything is shared: its texts folded
// and spelled, and the keys they are found by. Needs nothing of the index being
// built, so functions are prepared on another thread while earlier ones are added.
// A Prepared is filled again for function after function: its strings and lists
// keep their room, so preparing a function allocates nothing once they have grown.
struct PreparedText {
  TextKind kind;
  std::string folded;
  std::string shown;
};
struct Prepared {
  std::string code, code1;  // the help codes, trimmed
  std::vector<PreparedText> texts;  // the first textCount are this function's
  size_t textCount = 0;
  std::vector<uint64_t> keys;  // the first keyCount are this function's; a key may come more than once
  size_t keyCount = 0;
  std::span<const PreparedText> used() const { return std::span<const PreparedText>(texts).first(textCount); }
  std::span<const uint64_t> usedKeys() const { return std::span<const uint64_t>(keys).first(keyCount); }
};

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

class Preparer {
 public:
  void prepare(const SearchFunction& fn, Prepared& out) {
    out_ = &out;
    out.code.assign(trimmed(fn.helpCode));
    out.code1.assign(trimmed(fn.helpCode1));
    out.textCount = 0;
    out.keyCount = 0;
    for (const std::string* c : {&out.code, &out.code1}) addText(*c, kCode);
    addText(fn.name, kName);
    for (const auto& other : fn.otherNames) addText(other, kName);
  }

 private:
  // Keys are written into room kept from function to function; growing it is
  // the rare case, out of the way of the many posts.
  void post(KeyKind kind, char32_t a, char32_t b = 0) {
    std::vector<uint64_t>& keys = out_->keys;
    if (out_->keyCount == keys.size()) [[unlikely]]
      growKeys(keys);
    keys[out_->keyCount++] = keyOf(kind, a, b);
  }
  [[gnu::noinline]] static void growKeys(std::vector<uint64_t>& keys) { keys.resize(std::max<size_t>(32, keys.size() * 2)); }

  void addText(const std::string& written, TextKind kind) {
    FoldSearchText(written, folded_);
    if (folded_.empty()) return;
    for (const PreparedText& t : out_->used()) {
      if (t.folded == folded_ && (t.kind == kCode) == (kind == kCode)) return;  // the same text again
    }
    bool chinese = false;
    std::vector<PinyinUnit>& units = units_;
    units.clear();
    if (kind == kName) PinyinUnits(written, units, chinese);
    if (chinese) kind = kChineseName;
    if (out_->textCount == out_->texts.size()) out_->texts.emplace_back();
    PreparedText& text = out_->texts[out_->textCount++];
    text.kind = kind;
    text.folded.assign(folded_);
    // As written, to be shown as what matched (and a Chinese name's pinyin is
    // read from the characters it uses).
    text.shown.assign(trimmed(written));
    auto breaks = [](char c) { return c == '\r' || c == '\n' || c == '\t'; };
    if (std::any_of(text.shown.begin(), text.shown.end(), breaks)) {
      text.shown.assign(written);
      std::replace_if(text.shown.begin(), text.shown.end(), breaks, ' ');
      text.shown.assign(trimmed(text.shown));
    }

    std::vector<char32_t>& cps = cps_;
    CodePoints(folded_, cps);
    const bool code = kind == kCode;
    post(code ? kCodeStartOne : kNameStartOne, cps[0]);
    if (cps.size() > 1) post(code ? kCodeStartPair : kNameStartPair, cps[0], cps[1]);
    for (size_t i = 0; i < cps.size(); ++i) {
      post(kAnyOne, cps[i]);
      if (i + 1 < cps.size()) post(kAnyPair, cps[i], cps[i + 1]);
    }
    if (chinese) {
      addPinyinKeys(units);
    } else if (kind == kName) {
      NameWords(folded_, words_);
      if (words_.size() > 1) post(kInitStartPair, static_cast<unsigned char>(words_[0][0]), static_cast<unsigned char>(words_[1][0]));
    }
  }

  void addPinyinKeys(const std::vector<PinyinUnit>& units) {
    std::string& here = here_;
    std::string& next = next_;
    for (size_t i = 0; i < units.size(); ++i) {
      const PinyinUnit& u = units[i];
      InitialLetters(u, here);
      const bool hasNext = i + 1 < units.size();
      const bool digits = hasNext && isDigitUnit(u) && isDigitUnit(units[i + 1]);  // found through kAnyPair
      if (hasNext) InitialLetters(units[i + 1], next);
      if (i == 0) {
        for (char a : here) post(kInitStartOne, static_cast<unsigned char>(a));
      }
      if (hasNext && !digits) {
        for (char a : here) {
          for (char b : next) {
            post(kInitPair, static_cast<unsigned char>(a), static_cast<unsigned char>(b));
            if (i == 0) post(kInitStartPair, static_cast<unsigned char>(a), static_cast<unsigned char>(b));
          }
        }
      }
      for (size_t k = 0; k < u.spellings(); ++k) {
        const std::string_view r = u.spelling(k);
        for (size_t j = 0; j + 1 < r.size(); ++j) {
          for (char a : typedAs(r[j])) {
            for (char b : typedAs(r[j + 1])) {
              post(kFullPair, static_cast<unsigned char>(a), static_cast<unsigned char>(b));
              if (i == 0 && j == 0) post(kFullStartPair, static_cast<unsigned char>(a), static_cast<unsigned char>(b));
            }
          }
        }
        if (hasNext && !digits) {
          for (char a : typedAs(r.back())) {
            for (char b : next) {
              post(kFullPair, static_cast<unsigned char>(a), static_cast<unsigned char>(b));
              if (i == 0 && r.size() == 1) post(kFullStartPair, static_cast<unsigned char>(a), static_cast<unsigned char>(b));
            }
          }
        }
      }
    }
  }

  Prepared* out_ = nullptr;
  std::string folded_, here_, next_;
  std::vector<char32_t> cps_;
  std::vector<PinyinUnit> units_;
  std::vector<std::string_view> words_;
};


// Sorts [first, last) in place by key (64 bits), a byte at a time from byte
// (7: the most significant) down; a part of a few elements, or one whose keys
// are alike in every byte, is sorted by less, which orders by the key first.
template <class T, class Key, class Less>
void sortByKeyBytes(T* first, T* last, int byte, const Key& key, const Less& less) {
  if (last - first <= 64 || byte < 0) {
    std::sort(first, last, less);
    return;
  }
  const int shift = 8 * byte;
  std::array<size_t, 256> count{};
  for (T* x = first; x != last; ++x) ++count[key(*x) >> shift & 0xFF];
  std::array<size_t, 257> start{};
  for (size_t b = 0; b < 256; ++b) start[b + 1] = start[b] + count[b];
  std::array<size_t, 256> next;
  std::copy_n(start.begin(), 256, next.begin());
  for (size_t b = 0; b < 256; ++b) {
    while (next[b] < start[b + 1]) {
      const size_t d = key(first[next[b]]) >> shift & 0xFF;
      if (d == b) {
        ++next[b];
      } else {
        std::swap(first[next[b]], first[next[d]++]);
      }
    }
  }
  for (size_t b = 0; b < 256; ++b)
    if (count[b] > 1) sortByKeyBytes(first + start[b], first + start[b + 1], byte - 1, key, less);
}

// The texts being gathered; when large, in memory mapped for them alone. They
// are copied into the index from the end backwards, and each piece's pages go
// back to the system once copied, so the texts never lie in memory twice.
class TextArea {
 public:
  explicit TextArea(size_t expected) { grow(std::max<size_t>(expected, 4096)); }
  ~TextArea() { release(); }
  TextArea(const TextArea&) = delete;
  TextArea& operator=(const TextArea&) = delete;

  size_t size() const { return size_; }
  char operator[](size_t i) const { return data_[i]; }
  std::string_view view() const { return std::string_view(data_, size_); }
  void push_back(char c) {
    if (size_ == capacity_) grow(capacity_ * 2);
    data_[size_++] = c;
  }
  void append(std::string_view s) {
    if (size_ + s.size() > capacity_) grow(std::max(capacity_ * 2, size_ + s.size()));
    std::memcpy(data_ + size_, s.data(), s.size());
    size_ += s.size();
  }
  // Copies the texts to out, giving their memory back as it goes; empty after.
  void moveTo(char* out) {
    constexpr size_t kPiece = size_t{4} << 20;
    for (size_t end = size_; end > 0;) {
      const size_t from = end > kPiece ? end - kPiece : 0;
      std::memcpy(out + from, data_ + from, end - from);
      if (from > 0 && mapped_) held_ = platform::shrinkLarge(data_, held_, from);
      end = from;
    }
    release();
    size_ = capacity_ = 0;
  }

 private:
  void grow(size_t capacity) {
    const bool mapped = capacity >= platform::kLargeBufferBytes;
    char* fresh = static_cast<char*>(mapped ? platform::allocateLarge(capacity) : std::malloc(capacity));
    if (!fresh) throw std::bad_alloc();
    if (size_ > 0) std::memcpy(fresh, data_, size_);
    release();
    data_ = fresh;
    mapped_ = mapped;
    capacity_ = held_ = capacity;
  }
  void release() {
    if (mapped_) {
      platform::freeLarge(data_, held_);
    } else {
      std::free(data_);
    }
    data_ = nullptr;
    held_ = 0;
  }

  char* data_ = nullptr;
  size_t size_ = 0, capacity_ = 0, held_ = 0;
  bool mapped_ = false;
};

// From this many functions on, an index is made by two threads.
constexpr size_t kLargeIndex = 4096;

class Builder {
 public:
  // Room for what so many functions usually take, so that the records and texts
  // are not copied as they grow (pages never written are never touched).
  Builder(size_t functions, size_t places) : strings_(functions * 128 + 1) {
    functions_.reserve(functions + 1);
    texts_.reserve(functions * 4);
    codes_.reserve(functions * 2);  // at most the two help codes of each
    platform::reserveLarge(places_, places);
    strings_.push_back('\0');
  }

  // A text that many functions share (a class name, a place's names): stored once.
  // The texts are found again through an open-addressed table of their places in
  // the strings (a hash's upper half beside each place), so no text is copied.
  uint32_t intern(std::string_view s) {
    if (s.empty()) return 0;
    // Up to three quarters full: a look compares the hashes' upper halves
    // first, so the longer runs cost little, and the table is half as large.
    if ((internedCount_ + 1) * 4 > interned_.size() * 3) growInterned();
    const uint64_t h = textHash(s);
    const auto tag = static_cast<uint32_t>(h >> 32);
    const size_t mask = interned_.size() - 1;
    for (size_t at = h & mask;; at = (at + 1) & mask) {
      const uint64_t slot = interned_[at];
      if (slot == 0) {
        const uint32_t ref = append(s);
        interned_[at] = static_cast<uint64_t>(tag) << 32 | ref;
        ++internedCount_;
        return ref;
      }
      if (static_cast<uint32_t>(slot >> 32) == tag && view(static_cast<uint32_t>(slot)) == s)
        return static_cast<uint32_t>(slot);
    }
  }

  // A text of the function being added (its names and codes, mostly its own):
  // stored once for the function.
  uint32_t local(std::string_view s) {
    if (s.empty()) return 0;
    for (uint32_t ref : local_)
      if (view(ref) == s) return ref;
    const uint32_t ref = append(s);
    local_.push_back(ref);
    return ref;
  }

  void addPlace(const SearchPlace& p) {
    places_.push_back({p.topClassId, p.subSysId, p.subFuncId, intern(p.topClassName), intern(p.subSysName),
                       intern(p.subFuncName)});
  }

  // A function with its texts as prepare() found them; its keys follow
  // (addKeys), in the order of the functions.
  void addFunction(const SearchFunction& fn, const Prepared& p, uint32_t placeCount) {
    if (fn.place >= placeCount) throw std::out_of_range("a search function's place is not among the places");
    local_.clear();
    functions_.push_back({fn.detailFuncId, fn.place | (fn.enabled ? kEnabledBit : 0), local(fn.name), local(p.code),
                          local(p.code1), intern(fn.className), intern(fn.classParam),
                          static_cast<uint32_t>(texts_.size())});
    for (const PreparedText& t : p.used()) {
      const uint32_t foldedRef = local(t.folded);
      const uint32_t rawRef = local(t.shown);
      if (t.kind == kCode) codes_.push_back(static_cast<uint32_t>(texts_.size()));
      texts_.push_back({foldedRef | (static_cast<uint32_t>(t.kind) << kKindShift), rawRef});
    }
  }

  // The keys of function f, after those of every function before it. Touches
  // nothing addFunction does.
  void addKeys(const Prepared& p, uint32_t f) {
    postings_.add(p.usedKeys(), f);
  }

  void setLevels(std::vector<LevelRec> levels, std::shared_ptr<IndexBytes> levelIndex) {
    levels_ = std::move(levels);
    levelIndex_ = std::move(levelIndex);
  }

  std::shared_ptr<IndexBytes> finish() {
    functions_.push_back({0, 0, 0, 0, 0, 0, 0, static_cast<uint32_t>(texts_.size())});
    // Nothing is interned any more: the table goes before the codes are sorted.
    platform::LargeVector<uint64_t>().swap(interned_);
    const auto functions = static_cast<uint32_t>(functions_.size() - 1);
    const bool large = functions >= kLargeIndex;
    sortCodes();

    // Every section's place is known before a byte is written: the index is
    // laid out once, in one block, and the lists are written straight into it.
    const ListsLayout lists = layOutLists(functions);
    const std::vector<PostingsBuilder::Planned>& plan = lists.plan;
    const size_t postingBytes = lists.postingBytes, skipCount = lists.skipCount;

    Header h{};
    h.magic = kMagic;
    h.format = kFormat;
    h.functions = functions;
    h.places = static_cast<uint32_t>(places_.size());
    const size_t sizes[kSectionCount] = {strings_.size(),
                                         places_.size() * sizeof(PlaceRec),
                                         functions_.size() * sizeof(FuncRec),
                                         texts_.size() * sizeof(TextRec),
                                         codes_.size() * sizeof(uint32_t),
                                         plan.size() * sizeof(uint64_t),
                                         plan.size() * sizeof(ListRec),
                                         postingBytes,
                                         skipCount * sizeof(PostingSkip),
                                         levels_.size() * sizeof(LevelRec),
                                         levelIndex_ ? levelIndex_->size : 0};
    size_t total = sizeof(Header);
    for (int s = 0; s < kSectionCount; ++s) {
      total = (total + 7) / 8 * 8;
      h.sections[s] = {total, sizes[s]};
      total += sizes[s];
    }
    // The block's pages are touched as each section is written, and each part
    // of the build is freed once written: the build never holds two copies of
    // the index.
    auto out = std::make_shared<IndexBytes>();
    out->data.reset(new char[total]);
    out->size = total;
    platform::adviseHugePages(out->data.get(), total);
    char* const base = out->data.get();
    std::memcpy(base, &h, sizeof h);
    size_t written = sizeof h;
    auto start = [&](Section s) {  // zeroes the padding before section s
      std::memset(base + written, 0, h.sections[s].offset - written);
      written = h.sections[s].offset + sizes[s];
      return base + h.sections[s].offset;
    };
    char* at[kSectionCount];
    auto copy = [&](Section s, const void* data) {
      if (sizes[s] > 0) std::memcpy(at[s], data, sizes[s]);
    };
    // A large part goes back to the system at once, and with it what else the
    // build freed on the heap: a LargeVector's mapped room goes when freed, the
    // trim takes the rest, which keeps the build's peak down.
    auto release = [](auto& part) {
      const bool large = part.capacity() * sizeof(part[0]) >= (size_t{1} << 20);
      std::decay_t<decltype(part)>().swap(part);
      if (large) ::malloc_trim(0);
    };
    for (int s = 0; s < kSectionCount; ++s) at[s] = start(static_cast<Section>(s));
    // The lists are written by another thread while this one copies the texts
    // and records (a large index's; each writes its own sections); this one
    // then writes lists too, the two taking a few hundred at a time.
    std::atomic<size_t> nextList{0};
    auto writeSomeLists = [&] {
      static constexpr size_t kPiece = 256;
      const size_t count = lists.plan.size();
      for (size_t i; (i = nextList.fetch_add(kPiece, std::memory_order_relaxed)) < count;)
        writeLists(lists, reinterpret_cast<uint64_t*>(at[kKeys]), reinterpret_cast<ListRec*>(at[kLists]),
                   reinterpret_cast<uint8_t*>(at[kPostings]), reinterpret_cast<PostingSkip*>(at[kSkips]), i,
                   std::min(count, i + kPiece));
    };
    std::future<void> listsWritten;
    if (large) listsWritten = std::async(std::launch::async, writeSomeLists);
    strings_.moveTo(at[kStrings]);
    copy(kPlaces, places_.data());
    release(places_);
    copy(kFunctions, functions_.data());
    release(functions_);
    copy(kTexts, texts_.data());
    release(texts_);
    copy(kCodes, codes_.data());
    release(codes_);
    writeSomeLists();
    if (large) listsWritten.get();
    copy(kLevels, levels_.data());
    copy(kLevelIndex, levelIndex_ ? levelIndex_->data.get() : nullptr);
    return out;
  }

 private:
  // Exact help codes: sorted by their folded text, then in tree order (the
  // texts are read once, not at every comparison).
  void sortCodes() {
    struct Code {
      uint64_t prefix;  // the first eight bytes, most significant first: most codes differ there
      uint32_t at;      // the code's text; its whole text is read only where the prefixes agree
    };
    auto text = [this](const Code& c) { return view(texts_[c.at].folded & kRefMask); };
    platform::LargeVector<Code> byText;
    byText.reserve(codes_.size());
    for (const uint32_t at : codes_) {
      const std::string_view folded = text({0, at});
      uint64_t prefix = 0;
      for (size_t k = 0; k < 8; ++k)
        prefix = prefix << 8 | (k < folded.size() ? static_cast<unsigned char>(folded[k]) : 0u);
      byText.push_back({prefix, at});
    }
    // In place by the prefixes' bytes, then by comparison where they no longer
    // tell codes apart.
    sortByKeyBytes(byText.data(), byText.data() + byText.size(), 7, [](const Code& c) { return c.prefix; },
                   [&text](const Code& a, const Code& b) {
                     if (a.prefix != b.prefix) return a.prefix < b.prefix;
                     if (const int c = text(a).compare(text(b)); c != 0) return c < 0;
                     return a.at < b.at;
                   });
    for (size_t i = 0; i < codes_.size(); ++i) codes_[i] = byText[i].at;
    if (codes_.size() * sizeof(Code) >= (size_t{1} << 20)) ::malloc_trim(0);  // and what the adding freed
  }

  // Where each key's list lies among the postings (a bitmap on a boundary of
  // eight bytes), and how many bytes and skips they take.
  struct ListsLayout {
    std::vector<PostingsBuilder::Planned> plan;
    std::vector<size_t> listAt;
    std::vector<size_t> skipAt;
    size_t postingBytes = 0;
    size_t skipCount = 0;
  };
  ListsLayout layOutLists(uint32_t functions) const {
    ListsLayout out;
    out.plan = postings_.plan(functions);
    out.listAt.resize(out.plan.size());
    out.skipAt.resize(out.plan.size());
    for (size_t i = 0; i < out.plan.size(); ++i) {
      if (out.plan[i].bitmap) out.postingBytes = (out.postingBytes + 7) / 8 * 8;
      out.listAt[i] = out.postingBytes;
      out.postingBytes += out.plan[i].bytes;
      out.skipAt[i] = out.skipCount;
      out.skipCount += out.plan[i].skips;
    }
    if (out.postingBytes > UINT32_MAX) throw std::length_error("the search index's lists exceed 4 GB");
    return out;
  }

  // The keys, their list records, the lists and their skips of lists [from, to),
  // into their sections; each list zeroes the padding before it (and a bitmap its
  // own bytes), so that lists may be written by several threads at once.
  void writeLists(const ListsLayout& layout, uint64_t* keys, ListRec* lists, uint8_t* postings, PostingSkip* skips,
                  size_t from, size_t to) const {
    for (size_t i = from; i < to; ++i) {
      const PostingsBuilder::Planned& p = layout.plan[i];
      const size_t at = layout.listAt[i];
      keys[i] = p.key;
      lists[i] = {p.count, static_cast<uint32_t>(at), p.bitmap ? kBitmapList : static_cast<uint32_t>(layout.skipAt[i])};
      const size_t padding = i == 0 ? 0 : layout.listAt[i - 1] + layout.plan[i - 1].bytes;
      std::memset(postings + padding, 0, at - padding);
      if (p.bitmap) std::memset(postings + at, 0, p.bytes);
      postings_.write(p, postings + at, skips + layout.skipAt[i]);
    }
  }

  void growInterned() {
    const size_t size = std::max<size_t>(1024, interned_.size() * 2);
    platform::LargeVector<uint64_t> old;
    old.reserve(size);
    old.assign(size, 0);
    old.swap(interned_);
    const size_t mask = interned_.size() - 1;
    for (uint64_t slot : old) {
      if (slot == 0) continue;
      size_t at = textHash(view(static_cast<uint32_t>(slot))) & mask;
      while (interned_[at] != 0) at = (at + 1) & mask;
      interned_[at] = slot;
    }
  }

  uint32_t append(std::string_view s) {
    const auto ref = static_cast<uint32_t>(strings_.size());
    if (strings_.size() + s.size() + 10 > kRefMask) throw std::length_error("the search index's texts exceed 1 GB");
    writeLength(strings_, s.size());
    strings_.append(s);
    return ref;
  }

  std::string_view view(uint32_t ref) const {
    size_t at = ref, n = 0;
    for (int shift = 0;; shift += 7) {
      const auto b = static_cast<uint8_t>(strings_[at++]);
      n |= static_cast<size_t>(b & 0x7F) << shift;
      if (!(b & 0x80)) break;
    }
    return strings_.view().substr(at, n);
  }

  TextArea strings_;
  platform::LargeVector<uint64_t> interned_;  // (hash >> 32) << 32 | place in strings_; 0 is empty
  size_t internedCount_ = 0;
  std::vector<PlaceRec> places_;
  platform::LargeVector<FuncRec> functions_;
  platform::LargeVector<TextRec> texts_;
  platform::LargeVector<uint32_t> codes_;
  PostingsBuilder postings_;
  std::vector<uint32_t> local_;                              // texts of the function being added
  std::vector<LevelRec> levels_;
  std::shared_ptr<IndexBytes> levelIndex_;
};

// The levels over the functions, each a run of functions under the same top
// class (subsystem, sub-function) in tree order, with the index of their names.
struct Levels {
  std::vector<LevelRec> records;
  std::shared_ptr<IndexBytes> index;
};

Levels makeLevels(const std::vector<SearchPlace>& places, const std::vector<SearchFunction>& functions) {
  Levels made;
  std::vector<LevelRec>& levels = made.records;
  uint32_t open[3] = {kNoLevel, kNoLevel, kNoLevel};
  for (uint32_t f = 0; f < functions.size(); ++f) {
    if (functions[f].place >= places.size()) break;  // refused by the functions' builder
    const SearchPlace& p = places[functions[f].place];
    bool same = true;  // the same levels as the function before, so far down
    for (uint32_t depth = 1; depth <= 3; ++depth) {
      uint32_t& l = open[depth - 1];
      if (same && l != kNoLevel && levels[l].end == f) {
        const SearchPlace& q = places[functions[levels[l].first].place];
        same = q.topClassId == p.topClassId && (depth < 2 || q.subSysId == p.subSysId) &&
               (depth < 3 || q.subFuncId == p.subFuncId);
      } else {
        same = false;
      }
      if (same) {
        levels[l].end = f + 1;
        continue;
      }
      l = static_cast<uint32_t>(levels.size());
      levels.push_back({depth, depth == 1 ? kNoLevel : open[depth - 2], f, f + 1});
    }
  }
  if (levels.empty()) return made;
  // The levels' names, as functions of an index of their own (in room taken at
  // once, since a large tree has tens of thousands of levels). That index has
  // one empty place: a level's place is that of its first function
  // (SearchIndex::level).
  std::vector<SearchFunction> levelNames;
  platform::reserveLarge(levelNames, levels.size());
  for (const LevelRec& level : levels) {
    const SearchPlace& p = places[functions[level.first].place];
    const uint32_t depth = level.depth;
    SearchFunction& n = levelNames.emplace_back();
    n.place = 0;
    n.detailFuncId = depth == 1 ? p.topClassId : depth == 2 ? p.subSysId : p.subFuncId;
    n.name = depth == 1 ? p.topClassName : depth == 2 ? p.subSysName : p.subFuncName;
    const SearchPlace::NameList& others =
        depth == 1 ? p.topClassOtherNames : depth == 2 ? p.subSysOtherNames : p.subFuncOtherNames;
    if (others) n.otherNames = *others;
  }
  const std::vector<SearchPlace> noPlace(1);
  made.index = buildSearchIndexBytes(noPlace, levelNames, false);
  return made;
}

}  // namespace

std::shared_ptr<IndexBytes> buildSearchIndexBytes(const std::vector<SearchPlace>& places,
                                                  const std::vector<SearchFunction>& functions, bool withLevels) {
  // The levels and the index of their names are made on a thread of their own
  // while the functions are added (a future from std::async waits for its
  // thread however this ends).
  std::future<Levels> levels;
  if (withLevels) levels = std::async(std::launch::async, [&] { return makeLevels(places, functions); });
  Builder b(functions.size(), places.size());
  for (const auto& p : places) b.addPlace(p);
  const auto placeCount = static_cast<uint32_t>(places.size());
  // A large index is made by two threads: this one prepares each chunk of
  // functions and adds their texts, another adds the keys of the chunk before
  // to their lists.
  static constexpr size_t kChunk = 1024;
  const size_t n = functions.size();
  Preparer preparer;
  if (!withLevels || n < kLargeIndex) {
    Prepared p;
    for (size_t f = 0; f < n; ++f) {
      preparer.prepare(functions[f], p);
      b.addFunction(functions[f], p, placeCount);
      b.addKeys(p, static_cast<uint32_t>(f));
    }
  } else {
    // Chunk k lies in buffer k % 2. In round k this thread adds the texts of
    // chunk k - 1 while the other adds its keys; then both prepare chunk k, each
    // taking a few functions at a time, so whichever is done first prepares
    // more of it. The other thread is started once and meets this one at a
    // barrier before and after each round (starting a thread for every chunk
    // cost about 50 µs a chunk).
    std::vector<Prepared> buffers[2];
    Preparer other;  // the other thread's
    std::atomic<size_t> claimed[2];
    auto sizeAt = [&](size_t from) { return from < n ? std::min(kChunk, n - from) : size_t{0}; };
    auto prepareShared = [&functions](Preparer& by, std::vector<Prepared>& chunk, size_t from,
                                      std::atomic<size_t>& next) {
      static constexpr size_t kPiece = 16;
      for (size_t i; (i = next.fetch_add(kPiece, std::memory_order_relaxed)) < chunk.size();) {
        for (size_t end = std::min(chunk.size(), i + kPiece); i < end; ++i) by.prepare(functions[from + i], chunk[i]);
      }
    };
    std::barrier<> meet(2);
    bool stop = false;
    std::exception_ptr otherFailed;
    std::thread helper([&] {
      for (size_t k = 0;; ++k) {
        meet.arrive_and_wait();  // the round is set up
        if (stop) return;
        try {
          if (k > 0) {
            const std::vector<Prepared>& added = buffers[(k - 1) % 2];
            for (size_t i = 0; i < added.size(); ++i) b.addKeys(added[i], static_cast<uint32_t>((k - 1) * kChunk + i));
          }
          prepareShared(other, buffers[k % 2], k * kChunk, claimed[k % 2]);
        } catch (...) {
          otherFailed = std::current_exception();
        }
        meet.arrive_and_wait();  // the round is done
      }
    });
    auto end = [&] {
      stop = true;
      meet.arrive_and_wait();
      helper.join();
    };
    for (size_t k = 0; k == 0 || (k - 1) * kChunk < n; ++k) {
      try {
        buffers[k % 2].resize(sizeAt(k * kChunk));
      } catch (...) {
        end();
        throw;
      }
      claimed[k % 2] = 0;
      meet.arrive_and_wait();
      std::exception_ptr failed;
      try {
        if (k > 0) {
          const std::vector<Prepared>& added = buffers[(k - 1) % 2];
          for (size_t i = 0; i < added.size(); ++i) b.addFunction(functions[(k - 1) * kChunk + i], added[i], placeCount);
        }
        prepareShared(preparer, buffers[k % 2], k * kChunk, claimed[k % 2]);
      } catch (...) {
        failed = std::current_exception();
      }
      meet.arrive_and_wait();
      if (failed || otherFailed) {
        end();
        std::rethrow_exception(failed ? failed : otherFailed);
      }
    }
    end();
  }
  if (withLevels) {
    Levels made = levels.get();
    b.setLevels(std::move(made.records), std::move(made.index));
  }
  return b.finish();
}

}  // namespace wayfind::store
