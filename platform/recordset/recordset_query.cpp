// Recordset filter, sort and Find: the view is rebuilt from storage whenever a
// filter or sort is set, using the integer hash indexes where a criteria text
// allows it.
#include <algorithm>
#include <mutex>
#include <numeric>

#include "platform/automation/automation_error.h"
#include "platform/automation/conversions.h"
#include "platform/recordset/criteria_parser.h"
#include "platform/recordset/criteria_shape.h"
#include "platform/recordset/recordset.h"
#include "platform/recordset/recordset_impl.h"

namespace wayfind::platform {

namespace {

constexpr size_t kMaxBoundTexts = 256;

// Below this many visible rows Find simply walks the view.
constexpr size_t kIndexedFindThreshold = 64;
// Below this many stored rows a filter evaluates every row: building a hash
// index costs more than looking at a few dozen rows (a merged result, say).
constexpr size_t kIndexedFilterThreshold = 64;
// A view's room kept for the next filter: rows of a parent, not of a table.
constexpr size_t kMaxSpareView = 4096;

bool blank(std::string_view text) { return text.find_first_not_of(" \t\r\n") == std::string_view::npos; }

}  // namespace

namespace {

// Scratch space of a thread for finding a text's shape: nothing to allocate
// once it has seen a text as long.
struct ShapeScratch {
  std::string shape;
  std::vector<criteria::Span> numbers;
  std::vector<double> values;
};

// A number literal's value as the parser reads it; the usual identifiers (up to
// 15 digits, which a double holds exactly) without going through the general
// conversion.
std::optional<double> numberValue(std::string_view written) {
  size_t start = written[0] == '-' || written[0] == '+' ? 1 : 0;
  const size_t digits = written.size() - start;
  if (digits == 0 || digits > 15) return parseNumber(written);
  int64_t v = 0;
  for (size_t i = start; i < written.size(); ++i) {
    const char c = written[i];
    if (c < '0' || c > '9') return parseNumber(written);
    v = v * 10 + (c - '0');
  }
  const auto d = static_cast<double>(v);
  return written[0] == '-' ? -d : d;
}

}  // namespace

std::shared_ptr<const BoundCriteria> Recordset::Impl::bound(std::string_view text) {
  thread_local ShapeScratch scratch;
  ShapeScratch& t = scratch;
  std::string& shape = t.shape;
  std::vector<criteria::Span>& numbers = t.numbers;
  std::vector<double>& values = t.values;
  if (!criteria::shapeOf(text, shape, numbers)) return BoundCriteria::bind(criteria::parse(text), fields());
  values.clear();
  for (const criteria::Span& n : numbers) {
    auto v = numberValue(text.substr(n.offset, n.length));
    if (!v) return BoundCriteria::bind(criteria::parse(text), fields());  // raises as the parser does
    values.push_back(*v);
  }

  RecordsetSchema& s = *schema;
  {
    std::lock_guard lock(s.mutex);
    auto it = s.criteria.find(std::string_view(shape));
    if (it != s.criteria.end()) {
      const auto& known = it->second;
      if (known->hasNumbers(values.data())) return known;
      if (known->takesOtherNumbers()) {
        auto made = known->withNumbers(values.data());
        it->second = made;
        return made;
      }
    }
  }

  // A new shape (or numbers that are no slots): parse and bind the text. The
  // shape is kept only when the parser read numbers exactly where the lexer saw
  // them, so that every text of the shape parses into the same tree.
  std::vector<criteria::Span> parsed;
  criteria::Node node = criteria::parse(text, parsed);
  auto made = BoundCriteria::bind(node, fields());
  bool sameNumbers = parsed.size() == numbers.size();
  for (size_t i = 0; sameNumbers && i < parsed.size(); ++i)
    sameNumbers = parsed[i].offset == numbers[i].offset && parsed[i].length == numbers[i].length;
  if (sameNumbers) {
    std::lock_guard lock(s.mutex);
    if (s.criteria.size() >= kMaxBoundTexts) s.criteria.clear();
    s.criteria.insert_or_assign(shape, made);
  }
  return made;
}

std::shared_ptr<const SortOrder> Recordset::Impl::boundSort(std::string_view text) {
  if (blank(text)) return storageOrder();
  RecordsetSchema& s = *schema;
  {
    std::lock_guard lock(s.mutex);
    auto it = s.sorts.find(text);
    if (it != s.sorts.end()) return it->second;
  }
  auto made = std::make_shared<const SortOrder>(SortOrder::parse(text, fields()));
  std::lock_guard lock(s.mutex);
  if (s.sorts.size() >= kMaxBoundTexts) s.sorts.clear();
  s.sorts.insert_or_assign(std::string(text), made);
  return made;
}

void ViewRows::settle() const {
  if (!pending()) return;
  static std::mutex making;
  std::lock_guard<std::mutex> lock(making);
  if (!pending()) return;
  list_.resize(whole_);
  std::iota(list_.begin(), list_.end(), 0u);
  pending_.store(false, std::memory_order_release);
}

void Recordset::Impl::rebuildView() {
  // The old view's list becomes the room for the next unless it is large (a
  // whole table's).
  auto keepSpare = [this](RowList old) {
    spareView = std::move(old);
    if (spareView.capacity() > kMaxSpareView) spareView = RowList();
  };
  if (!filter && sortOrder->empty()) {
    keepSpare(view.take());
    view.setWhole(rows.size());
  } else {
    // The new view goes into the spare list's room.
    RowList next = std::move(spareView);
    next.clear();
    if (!filter) {
      next.resize(rows.size());
      std::iota(next.begin(), next.end(), 0u);
    } else {
      RowSpan candidates;
      RowList owned;
      uint64_t satisfied = 0;
      if (useIndexes && rows.size() >= kIndexedFilterThreshold &&
          filter->candidates(indexes, rows, candidates, owned, satisfied)) {
        next.reserve(candidates.size());
        for (uint32_t r : candidates)
          if (filter->matches(rows, r, satisfied)) next.push_back(r);
      } else {
        for (uint32_t r = 0, n = static_cast<uint32_t>(rows.size()); r < n; ++r)
          if (filter->matches(rows, r)) next.push_back(r);
      }
    }
    if (!sortOrder->empty()) sortOrder->apply(next, rows);
    keepSpare(view.take());
    view.assign(std::move(next));
  }
  cursor = view.empty() ? kAtEOF : 0;
  viewPositionValid = false;
  viewPosition.clear();
}

void Recordset::Impl::addToView(uint32_t row) {
  if (filter && !filter->matches(rows, row)) return;
  RowList& list = view.list();
  auto at = list.end();
  if (!sortOrder->empty())
    at = std::upper_bound(list.begin(), list.end(), row,
                          [&](uint32_t a, uint32_t b) { return sortOrder->before(a, b, rows); });
  auto position = static_cast<int64_t>(at - list.begin());
  list.insert(at, row);
  if (cursor >= position) ++cursor;
  if (position + 1 == static_cast<int64_t>(view.size()) && viewPositionValid) {
    viewPosition.resize(rows.size(), -1);
    viewPosition[row] = static_cast<int32_t>(position);
  } else {
    viewPositionValid = false;
  }
}

void Recordset::Impl::ensureViewPositions() {
  if (viewPositionValid) return;
  viewPosition.assign(rows.size(), -1);
  for (size_t p = 0; p < view.size(); ++p) viewPosition[view[p]] = static_cast<int32_t>(p);
  viewPositionValid = true;
}

// ---- filter ----

void Recordset::setFilter(std::string_view criteria) {
  Impl& d = *impl_;
  if (blank(criteria)) {
    d.filter.reset();
    d.filterText.clear();
  } else {
    auto bound = d.bound(criteria);  // raises before anything changes
    d.filter = std::move(bound);
    d.filterText.assign(criteria);
  }
  d.rebuildView();
}

const std::string& Recordset::filter() const { return impl_->filterText; }

void Recordset::matchingRows(std::string_view criteria, size_t first, size_t end, std::vector<uint32_t>& out) {
  Impl& d = *impl_;
  end = std::min(end, d.rows.size());
  if (blank(criteria)) {
    for (size_t r = first; r < end; ++r) out.push_back(static_cast<uint32_t>(r));
    return;
  }
  const std::shared_ptr<const BoundCriteria> bound = d.bound(criteria);
  for (size_t r = first; r < end; ++r)
    if (bound->matches(d.rows, static_cast<uint32_t>(r))) out.push_back(static_cast<uint32_t>(r));
}

void Recordset::matchingRows(std::string_view criteria, std::span<const uint32_t> among, std::vector<uint32_t>& out) {
  Impl& d = *impl_;
  if (blank(criteria)) {
    for (uint32_t r : among)
      if (r < d.rows.size()) out.push_back(r);
    return;
  }
  const std::shared_ptr<const BoundCriteria> bound = d.bound(criteria);
  for (uint32_t r : among)
    if (r < d.rows.size() && bound->matches(d.rows, r)) out.push_back(r);
}

// ---- sort ----

void Recordset::setSort(std::string_view sort) {
  Impl& d = *impl_;
  auto order = d.boundSort(sort);  // raises before anything changes
  d.sortOrder = std::move(order);
  if (d.sortOrder->empty()) d.sortText.clear(); else d.sortText.assign(sort);
  d.sortOrder->apply(d.view.list(), d.rows);
  d.cursor = d.view.empty() ? Impl::kAtEOF : 0;
  d.viewPositionValid = false;
}

const std::string& Recordset::sort() const { return impl_->sortText; }

// ---- find ----

bool Recordset::Find(std::string_view criterion, int32_t skipRecords, SearchDirection direction) {
  Impl& d = *impl_;
  auto bound = d.bound(criterion);
  if (!bound->isSingleClause())
    raise(err::kBadArguments, kRecordsetSource,
          "Find takes a single comparison, not '" + std::string(criterion) + "'.");

  const auto size = static_cast<int64_t>(d.view.size());
  const bool forward = direction != SearchDirection::Backward;
  int64_t start;
  if (forward) {
    start = d.cursor == Impl::kAtBOF ? 0 : d.cursor == Impl::kAtEOF ? size : d.cursor;
    start += skipRecords;
    if (start < 0) start = 0;
  } else {
    start = d.cursor == Impl::kAtEOF ? size - 1 : d.cursor == Impl::kAtBOF ? -1 : d.cursor;
    start -= skipRecords;
    if (start >= size) start = size - 1;
  }

  int64_t found = -1;
  RowSpan candidates;
  RowList owned;
  uint64_t satisfied = 0;
  if (d.useIndexes && static_cast<size_t>(size) >= kIndexedFindThreshold &&
      bound->candidates(d.indexes, d.rows, candidates, owned, satisfied) &&
      candidates.size() * 4 < static_cast<size_t>(size)) {
    d.ensureViewPositions();
    for (uint32_t r : candidates) {
      int64_t p = r < d.viewPosition.size() ? d.viewPosition[r] : -1;
      if (p < 0 || (forward ? p < start : p > start)) continue;
      if (found >= 0 && (forward ? p >= found : p <= found)) continue;
      if (bound->matches(d.rows, r, satisfied)) found = p;
    }
  } else if (forward) {
    for (int64_t p = start; p < size; ++p)
      if (bound->matches(d.rows, d.view[static_cast<size_t>(p)])) { found = p; break; }
  } else {
    for (int64_t p = start; p >= 0; --p)
      if (bound->matches(d.rows, d.view[static_cast<size_t>(p)])) { found = p; break; }
  }

  if (found >= 0) {
    d.cursor = found;
    return true;
  }
  d.cursor = d.view.empty() ? Impl::kAtEOF : (forward ? Impl::kAtEOF : Impl::kAtBOF);
  return false;
}

}  // namespace wayfind::platform
