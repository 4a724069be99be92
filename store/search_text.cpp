// Folding texts for the search: one case, one width, one variant form, blanks
// collapsed.
#include "store/search_text.h"

#include "store/hanzi.h"

namespace wayfind::store {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one code point at text[pos], moving pos past it. A byte that does not
// begin a well-formed sequence (stray continuation, overlong form, surrogate,
// beyond U+10FFFF, cut short) gives U+FFFD and consumes that one byte.
char32_t decodeAt(std::string_view text, size_t& pos) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(pos);
  if (lead < 0x80) {
    ++pos;
    return lead;
  }
  int length = 0;
  char32_t cp = 0;
  char32_t lowest = 0;
  if ((lead & 0xE0) == 0xC0) {
    length = 2, cp = lead & 0x1F, lowest = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, cp = lead & 0x0F, lowest = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, cp = lead & 0x07, lowest = 0x10000;
  } else {
    ++pos;
    return kReplacement;
  }
  if (pos + static_cast<size_t>(length) > text.size()) {
    ++pos;
    return kReplacement;
  }
  for (int i = 1; i < length; ++i) {
    const unsigned char next = byte(pos + static_cast<size_t>(i));
    if ((next & 0xC0) != 0x80) {
      ++pos;
      return kReplacement;
    }
    cp = (cp << 6) | (next & 0x3F);
  }
  if (cp < lowest || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    ++pos;
    return kReplacement;
  }
  pos += static_cast<size_t>(length);
  return cp;
}

// Writes cp's UTF-8 bytes at out; answers the end of what it wrote.
char* encode(char32_t cp, char* out) {
  if (cp < 0x80) {
    *out++ = static_cast<char>(cp);
  } else if (cp < 0x800) {
    *out++ = static_cast<char>(0xC0 | (cp >> 6));
    *out++ = static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    *out++ = static_cast<char>(0xE0 | (cp >> 12));
    *out++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    *out++ = static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    *out++ = static_cast<char>(0xF0 | (cp >> 18));
    *out++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    *out++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    *out++ = static_cast<char>(0x80 | (cp & 0x3F));
  }
  return out;
}

// Every kind of space a pasted text may carry: typographic spaces, the
// narrow no-break space, line and paragraph separators.
bool isBlank(char32_t cp) {
  return cp == ' ' || cp == '\t' || cp == '\r' || cp == '\n' || cp == '\v' || cp == '\f' || cp == 0xA0 ||
         cp == 0x1680 || (cp >= 0x2000 && cp <= 0x200A) || cp == 0x2028 || cp == 0x2029 || cp == 0x202F ||
         cp == 0x205F || cp == 0x3000;
}

// Characters that show nothing (zero-width spaces and joiners, the word
// joiner, a byte-order mark copied along with a text): no part of a word.
bool isInvisible(char32_t cp) { return (cp >= 0x200B && cp <= 0x200D) || cp == 0x2060 || cp == 0xFEFF; }

}  // namespace

// One width, one case, one variant form.
char32_t FoldSearchChar(char32_t cp) {
  if (cp >= 0xFF01 && cp <= 0xFF5E) cp = cp - 0xFF01 + 0x21;  // full-width ASCII forms
  if (cp >= 'A' && cp <= 'Z') return cp + 0x20;
  if (cp < 0x80) return cp;
  if ((cp >= 0xC0 && cp <= 0xDE && cp != 0xD7)) return cp + 0x20;       // Latin-1 capitals
  if (cp >= 0x391 && cp <= 0x3A9 && cp != 0x3A2) return cp + 0x20;     // Greek capitals
  if (cp >= 0x410 && cp <= 0x42F) return cp + 0x20;                    // Cyrillic capitals
  if (cp >= 0x400 && cp <= 0x40F) return cp + 0x50;                    // Cyrillic Ѐ to Џ
  return hanzi::FoldVariant(cp);
}

std::string_view LimitSearchText(std::string_view text) {
  size_t chars = 0;
  for (size_t i = 0; i < text.size(); ++i)
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 && ++chars > kSearchTextChars) return text.substr(0, i);
  return text;
}

std::string FoldSearchText(std::string_view text) {
  std::string out;
  FoldSearchText(text, out);
  return out;
}

void FoldSearchText(std::string_view text, std::string& out) {
  // Written in place into room enough for the longest outcome: a byte folds to
  // at most three (a stray byte becomes U+FFFD), a sequence to at most twice
  // its length.
  out.resize(text.size() * 3);
  char* const begin = out.data();
  char* at = begin;
  bool pendingBlank = false;
  size_t pos = 0;
  while (pos < text.size()) {
    // Help codes and English names are ASCII: a byte at a time, as decoding
    // and folding would have it.
    if (const auto c = static_cast<unsigned char>(text[pos]); c < 0x80) {
      ++pos;
      if (c == ' ' || (c >= '\t' && c <= '\r')) {
        pendingBlank = at != begin;
        continue;
      }
      if (pendingBlank) {
        *at++ = ' ';
        pendingBlank = false;
      }
      *at++ = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 0x20 : c);
      continue;
    }
    const char32_t cp = decodeAt(text, pos);
    if (isInvisible(cp)) continue;
    if (isBlank(cp)) {
      pendingBlank = at != begin;
      continue;
    }
    if (pendingBlank) {
      *at++ = ' ';
      pendingBlank = false;
    }
    at = encode(FoldSearchChar(cp), at);
  }
  out.resize(static_cast<size_t>(at - begin));
}

bool EndsAfterAWord(std::string_view text) {
  bool word = false, blank = false;
  for (size_t pos = 0; pos < text.size();) {
    const char32_t cp = decodeAt(text, pos);
    if (isInvisible(cp)) continue;
    blank = isBlank(cp);
    word = word || !blank;
  }
  return word && blank;
}

char32_t NextCodePoint(std::string_view utf8, size_t& pos) { return decodeAt(utf8, pos); }

std::vector<char32_t> CodePoints(std::string_view utf8) {
  std::vector<char32_t> cps;
  CodePoints(utf8, cps);
  return cps;
}

void CodePoints(std::string_view utf8, std::vector<char32_t>& out) {
  out.clear();
  out.reserve(utf8.size());
  size_t pos = 0;
  while (pos < utf8.size()) out.push_back(decodeAt(utf8, pos));
}

}  // namespace wayfind::store
