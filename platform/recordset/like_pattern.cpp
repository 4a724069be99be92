// LIKE matching by literal pieces: the first piece must start the text, the last
// must end it, and the ones between are found left to right. Taking the leftmost
// occurrence of each middle piece is always safe because wildcards absorb any run.
#include "platform/recordset/like_pattern.h"

namespace wayfind::platform {

namespace {

char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool isWildcard(char c) { return c == '%' || c == '*'; }

// Does `piece` (already upper-case) occur in `text` at `at`?
bool pieceAt(std::string_view text, size_t at, const std::string& piece) {
  if (at + piece.size() > text.size()) return false;
  for (size_t i = 0; i < piece.size(); ++i)
    if (upper(text[at + i]) != piece[i]) return false;
  return true;
}

size_t findPiece(std::string_view text, size_t from, const std::string& piece) {
  if (piece.size() > text.size()) return std::string_view::npos;
  for (size_t at = from; at + piece.size() <= text.size(); ++at)
    if (pieceAt(text, at, piece)) return at;
  return std::string_view::npos;
}

}  // namespace

LikePattern::LikePattern(std::string_view pattern) {
  anchoredStart_ = pattern.empty() || !isWildcard(pattern.front());
  anchoredEnd_ = pattern.empty() || !isWildcard(pattern.back());
  std::string piece;
  for (char c : pattern) {
    if (isWildcard(c)) {
      if (!piece.empty()) pieces_.push_back(std::move(piece));
      piece.clear();
    } else {
      piece.push_back(upper(c));
    }
  }
  if (!piece.empty()) pieces_.push_back(std::move(piece));
}

bool LikePattern::matches(std::string_view text) const {
  if (pieces_.empty()) return !(anchoredStart_ && anchoredEnd_) || text.empty();
  size_t first = 0, last = pieces_.size();
  size_t pos = 0, end = text.size();
  if (anchoredStart_) {
    if (!pieceAt(text, 0, pieces_[0])) return false;
    pos = pieces_[0].size();
    first = 1;
  }
  if (anchoredEnd_ && last > first) {
    const std::string& tail = pieces_[last - 1];
    if (tail.size() > end - pos || !pieceAt(text, end - tail.size(), tail)) return false;
    end -= tail.size();
    --last;
  } else if (anchoredEnd_ && pos != end) {
    // A pattern without wildcards must match the whole text.
    return false;
  }
  std::string_view middle = text.substr(0, end);
  for (size_t i = first; i < last; ++i) {
    size_t at = findPiece(middle, pos, pieces_[i]);
    if (at == std::string_view::npos) return false;
    pos = at + pieces_[i].size();
  }
  return true;
}

}  // namespace wayfind::platform
