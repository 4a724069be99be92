// Column storage of a record set's rows and the cell views read from it.
#include "platform/recordset/column_store.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

#include "platform/automation/automation_error.h"
#include "platform/automation/conversions.h"
#include "platform/recordset/large_memory.h"

namespace wayfind::platform {

namespace {

ColumnStore::Kind kindOf(DataType t) {
  switch (t) {
    case DataType::SmallInt: return ColumnStore::Kind::Int16;
    case DataType::Integer: return ColumnStore::Kind::Int32;
    case DataType::BigInt: return ColumnStore::Kind::Int64;
    case DataType::Double:
    case DataType::Currency: return ColumnStore::Kind::Double;
    case DataType::Date: return ColumnStore::Kind::Date;
    case DataType::Boolean: return ColumnStore::Kind::Bool;
    case DataType::VarWChar:
    case DataType::LongVarWChar: return ColumnStore::Kind::Text;
    case DataType::Variant: break;
  }
  return ColumnStore::Kind::Any;
}

uint64_t bitsOf(double d) {
  uint64_t b;
  std::memcpy(&b, &d, sizeof b);
  return b;
}

double doubleOf(uint64_t b) {
  double d;
  std::memcpy(&d, &b, sizeof d);
  return d;
}

size_t wordsFor(size_t rows) { return (rows + 63) / 64; }

}  // namespace

Cell cellOf(const Variant& v) {
  Cell c;
  c.type = v.type();
  c.variant = &v;
  switch (c.type) {
    case VarType::Integer: c.integer = v.asInteger(); break;
    case VarType::Long: c.integer = v.asLong(); break;
    case VarType::LongLong: c.integer = v.asLongLong(); break;
    case VarType::Boolean: c.integer = v.asBool() ? 1 : 0; break;
    case VarType::Double: c.number = v.asDouble(); break;
    case VarType::Date: c.number = v.asDate().serial; break;
    case VarType::String: c.text = v.asString(); break;
    case VarType::Empty: c.type = VarType::Null; break;
    default: break;
  }
  return c;
}

Variant variantOf(const Cell& c) {
  if (c.variant) return *c.variant;
  switch (c.type) {
    case VarType::Integer: return Variant(static_cast<int16_t>(c.integer));
    case VarType::Long: return Variant(static_cast<int32_t>(c.integer));
    case VarType::LongLong: return Variant(c.integer);
    case VarType::Boolean: return Variant(c.integer != 0);
    case VarType::Double: return Variant(c.number);
    case VarType::Date: return Variant(Date{c.number});
    case VarType::String: return Variant(c.text);
    default: return Variant::null();
  }
}

ColumnStore::Kind ColumnStore::kindFor(DataType t) { return kindOf(t); }

ColumnStore::~ColumnStore() {
  releaseText();
  std::free(block_);
}

void ColumnStore::growRows(size_t capacity) {
  checkEveryCell();
  const size_t nullWords = wordsFor(capacity);
  size_t words = 0;
  for (const Column& col : columns_) {
    switch (col.kind) {
      case Kind::Int16:
      case Kind::Int32:
      case Kind::Bool: words += (capacity + 1) / 2; break;
      case Kind::Any: break;
      default: words += capacity; break;
    }
    words += nullWords;
  }
  // Zeroed, so that no cell of a row is ever read unwritten.
  auto* fresh = static_cast<uint64_t*>(std::calloc(words > 0 ? words : 1, sizeof(uint64_t)));
  if (!fresh) throw std::bad_alloc();
  const size_t oldNullWords = wordsFor(rows_);
  uint64_t* at = fresh;
  for (Column& col : columns_) {
    switch (col.kind) {
      case Kind::Int16:
      case Kind::Int32:
      case Kind::Bool: {
        auto* narrow = reinterpret_cast<uint32_t*>(at);
        if (rows_ > 0) std::memcpy(narrow, col.narrow, rows_ * sizeof(uint32_t));
        col.narrow = narrow;
        at += (capacity + 1) / 2;
        break;
      }
      case Kind::Any: col.any.reserve(capacity); break;
      default:
        if (rows_ > 0) std::memcpy(at, col.wide, rows_ * sizeof(uint64_t));
        col.wide = at;
        at += capacity;
        break;
    }
    // (Variant fields of a loaded store have no Null bits to keep.)
    if (oldNullWords > 0 && col.nulls) std::memcpy(at, col.nulls, oldNullWords * sizeof(uint64_t));
    col.nulls = at;
    at += nullWords;
  }
  std::free(block_);
  block_ = fresh;
  blockWords_ = words;
  capacity_ = capacity;
  loadedCellBytes_ = 0;
  dropLoadedIfUnused();
}

void ColumnStore::dropLoadedIfUnused() {
  if (loaded_ && loadedCellBytes_ == 0 && !textLoaded_) loaded_.reset();
}

void ColumnStore::releaseText() {
  if (textLoaded_)
    ;  // the loaded file's buffer is freed by its keeper
  else if (textLarge_)
    freeLarge(text_, textCapacity_);
  else
    std::free(text_);
  text_ = nullptr;
  textCapacity_ = 0;
  textLarge_ = false;
  textLoaded_ = false;
}

// Moves the area to one of capacity bytes; a large area is a mapping of its own.
// A loaded area is never resized in place: it moves into an area of its own.
void ColumnStore::growText(size_t capacity) {
  checkEveryCell();
  if (!textLarge_ && !textLoaded_ && capacity < kLargeBufferBytes) {
    char* grown = static_cast<char*>(std::realloc(text_, capacity));
    if (!grown) throw std::bad_alloc();
    text_ = grown;
    textCapacity_ = capacity;
    return;
  }
  const bool large = capacity >= kLargeBufferBytes;
  char* grown = static_cast<char*>(large ? allocateLarge(capacity) : std::malloc(capacity));
  if (!grown) throw std::bad_alloc();
  if (textSize_ > 0) std::memcpy(grown, text_, textSize_);
  releaseText();
  text_ = grown;
  textCapacity_ = capacity;
  textLarge_ = large;
  dropLoadedIfUnused();
}

void ColumnStore::reset(const std::vector<FieldInfo>& fields) {
  columns_.clear();
  columns_.resize(fields.size());
  for (size_t f = 0; f < fields.size(); ++f) columns_[f].kind = kindOf(fields[f].type);
  rows_ = 0;
  std::free(block_);
  block_ = nullptr;
  blockWords_ = capacity_ = 0;
  releaseText();
  textSize_ = textGarbage_ = 0;
  loadedCellBytes_ = 0;
  loaded_.reset();
  late_.reset();
}

const void* ColumnStore::columnValues(size_t field) const {
  checkEveryCell();
  const Column& c = columns_[field];
  if (c.kind == Kind::Any) return nullptr;
  return c.narrow ? static_cast<const void*>(c.narrow) : static_cast<const void*>(c.wide);
}

const uint64_t* ColumnStore::columnNulls(size_t field) const {
  checkEveryCell();
  const Column& c = columns_[field];
  return c.kind == Kind::Any ? nullptr : c.nulls;
}

std::string_view ColumnStore::textArea() const {
  checkEveryCell();
  return {text_, textSize_};
}

Cell ColumnStore::otherCell(size_t row, size_t field) const {
  const Column& col = columns_[field];
  if (col.kind != Kind::Any) checkRow(field, row);
  return cellIn(col, row);
}

void ColumnStore::cells(size_t field, size_t first, size_t count, Cell* out) const {
  if (count == 0) return;
  const Column& col = columns_[field];
  if (col.kind != Kind::Any && late_) {
    for (size_t chunk = first / kCheckedRows; chunk <= (first + count - 1) / kCheckedRows; ++chunk) checkChunk(field, chunk);
  }
  for (size_t i = 0; i < count; ++i) out[i] = cellIn(col, first + i);
}

void ColumnStore::rowsHolding(size_t field, int64_t key, std::vector<uint32_t>& out) const {
  const Column& col = columns_[field];
  if (col.kind == Kind::Any) {
    for (size_t r = 0; r < rows_; ++r) {
      const Cell c = cellOf(col.any[r]);
      if (c.isInteger() && c.integer == key) out.push_back(static_cast<uint32_t>(r));
    }
    return;
  }
  // Booleans, numbers with a fraction, dates and texts are never integer cells.
  const bool narrow = col.kind == Kind::Int16 || col.kind == Kind::Int32;
  if (!narrow && col.kind != Kind::Int64) return;
  if (narrow && (key < INT32_MIN || key > INT32_MAX)) return;
  // A narrow cell holds its value sign-extended to 32 bits.
  const auto narrowKey = static_cast<uint32_t>(static_cast<int32_t>(key));
  const auto wideKey = static_cast<uint64_t>(key);
  for (size_t first = 0; first < rows_; first += kCheckedRows) {
    if (late_) checkChunk(field, first / kCheckedRows);
    const size_t end = std::min(rows_, first + kCheckedRows);
    if (narrow)
      collectEqual(col, col.narrow, narrowKey, first, end, out);
    else
      collectEqual(col, col.wide, wideKey, first, end, out);
  }
}

template <typename T>
void ColumnStore::collectEqual(const Column& col, const T* cells, T key, size_t first, size_t end,
                               std::vector<uint32_t>& out) const {
  // A key is rare in a column: a run of cells is first compared at once (the
  // compiler does it with vector instructions), and looked at cell by cell only
  // when it holds the key.
  constexpr size_t kRun = 16;
  size_t r = first;
  for (; r + kRun <= end; r += kRun) {
    bool any = false;
    for (size_t i = 0; i < kRun; ++i) any |= cells[r + i] == key;
    if (!any) continue;
    for (size_t i = r; i < r + kRun; ++i)
      if (cells[i] == key && !nullBit(col, i)) out.push_back(static_cast<uint32_t>(i));
  }
  for (; r < end; ++r)
    if (cells[r] == key && !nullBit(col, r)) out.push_back(static_cast<uint32_t>(r));
}

Cell ColumnStore::cellIn(const Column& col, size_t row) const {
  if (col.kind == Kind::Any) return cellOf(col.any[row]);
  Cell c;
  if (nullBit(col, row)) return c;
  switch (col.kind) {
    case Kind::Int16:
      c.type = VarType::Integer;
      c.integer = static_cast<int32_t>(col.narrow[row]);
      break;
    case Kind::Int32:
      c.type = VarType::Long;
      c.integer = static_cast<int32_t>(col.narrow[row]);
      break;
    case Kind::Bool:
      c.type = VarType::Boolean;
      c.integer = col.narrow[row] != 0;
      break;
    case Kind::Int64:
      c.type = VarType::LongLong;
      c.integer = static_cast<int64_t>(col.wide[row]);
      break;
    case Kind::Double:
      c.type = VarType::Double;
      c.number = doubleOf(col.wide[row]);
      break;
    case Kind::Date:
      c.type = VarType::Date;
      c.number = doubleOf(col.wide[row]);
      break;
    case Kind::Text: return textCell(col, row);
    case Kind::Any: break;
  }
  return c;
}

void ColumnStore::appendNullRow() { appendRowsForLoading(1, 0); }

void ColumnStore::reserveRows(size_t rows) {
  if (rows > capacity_) growRows(rows);
}

void ColumnStore::appendRowsForLoading(size_t count, size_t textBytes) {
  const size_t rows = rows_ + count;
  if (rows > capacity_) growRows(rows_ == 0 || rows > capacity_ * 2 ? rows : capacity_ * 2);
  const size_t firstWord = wordsFor(rows_), words = wordsFor(rows);
  for (Column& col : columns_) {
    if (col.kind == Kind::Any) col.any.resize(rows, Variant::null());
    // Every new row starts Null.
    for (size_t r = rows_; r < rows && (r & 63) != 0; ++r) setNullBit(col, r, true);
    for (size_t w = firstWord; w < words; ++w) col.nulls[w] = ~uint64_t{0};
  }
  rows_ = rows;
  if (textBytes > 0) reserveText(textSize_ + textBytes);
}

void ColumnStore::reserveText(size_t bytes) {
  if (bytes <= textCapacity_) return;
  size_t capacity = textCapacity_ < 256 ? 256 : textCapacity_;
  while (capacity < bytes) capacity *= 2;
  // A loader asks for the most its texts can take: exactly that, not the next
  // power of two.
  if (bytes >= kLargeBufferBytes && textSize_ == 0) capacity = bytes;
  growText(capacity);
}

uint64_t ColumnStore::storeText(std::string_view text) {
  if (textSize_ + text.size() > std::numeric_limits<uint32_t>::max() ||
      text.size() > std::numeric_limits<uint32_t>::max())
    raise(err::kOverflow, "Recordset", "The texts of one record set cannot exceed 4 GB.");
  // The text may be one of this store's own (a copy within the table): keep
  // its place, not its address, across a reallocation.
  const bool own = text_ && text.data() >= text_ && text.data() < text_ + textSize_;
  const size_t ownOffset = own ? static_cast<size_t>(text.data() - text_) : 0;
  if (textSize_ + text.size() > textCapacity_) {
    size_t capacity = textCapacity_ < 256 ? 256 : textCapacity_ * 2;
    while (capacity < textSize_ + text.size()) capacity *= 2;
    growText(capacity);
  }
  const char* from = own ? text_ + ownOffset : text.data();
  if (!text.empty()) std::memmove(text_ + textSize_, from, text.size());
  const uint64_t ref = (uint64_t{textSize_} << 32) | text.size();
  textSize_ += text.size();
  return ref;
}

void ColumnStore::putText(size_t row, size_t field, std::string_view text) {
  Column& c = columns_[field];
  c.wide[row] = storeText(text);
  setNullBit(c, row, false);
}

void ColumnStore::putAny(size_t row, size_t field, Variant v) { columns_[field].any[row] = std::move(v); }

void ColumnStore::set(size_t row, size_t field, const Variant& v) {
  checkBeforeWrite();
  Column& col = columns_[field];
  if (col.kind == Kind::Any) {
    col.any[row] = v;
    return;
  }
  if (col.kind == Kind::Text && !nullBit(col, row)) textGarbage_ += col.wide[row] & 0xFFFFFFFFu;
  if (v.isNull() || v.isEmpty()) {
    setNullBit(col, row, true);
  } else {
    switch (col.kind) {
      case Kind::Int16: col.narrow[row] = static_cast<uint32_t>(static_cast<int32_t>(v.asInteger())); break;
      case Kind::Int32: col.narrow[row] = static_cast<uint32_t>(v.asLong()); break;
      case Kind::Bool: col.narrow[row] = v.asBool() ? 1 : 0; break;
      case Kind::Int64: col.wide[row] = static_cast<uint64_t>(v.asLongLong()); break;
      case Kind::Double: col.wide[row] = bitsOf(v.asDouble()); break;
      case Kind::Date: col.wide[row] = bitsOf(v.asDate().serial); break;
      case Kind::Text: col.wide[row] = storeText(v.asString()); break;
      case Kind::Any: break;
    }
    setNullBit(col, row, false);
  }
  if (textGarbage_ > (size_t{1} << 20) && textGarbage_ * 2 > textSize_) compactText();
}

void ColumnStore::copyCell(size_t row, size_t field, const ColumnStore& from, size_t fromRow,
                           size_t fromField) {
  checkBeforeWrite();
  from.checkRow(fromField, fromRow);
  const Column& src = from.columns_[fromField];
  Column& dst = columns_[field];
  if (src.kind != dst.kind || dst.kind == Kind::Any) {
    set(row, field, from.value(fromRow, fromField));
    return;
  }
  if (dst.kind == Kind::Text && !nullBit(dst, row)) textGarbage_ += dst.wide[row] & 0xFFFFFFFFu;
  if (nullBit(src, fromRow)) {
    setNullBit(dst, row, true);
    return;
  }
  switch (dst.kind) {
    case Kind::Int16:
    case Kind::Int32:
    case Kind::Bool: dst.narrow[row] = src.narrow[fromRow]; break;
    case Kind::Text: dst.wide[row] = storeText(from.cell(fromRow, fromField).text); break;
    default: dst.wide[row] = src.wide[fromRow]; break;
  }
  setNullBit(dst, row, false);
}

void ColumnStore::copyColumn(size_t field, size_t first, const ColumnStore& from, size_t fromField,
                             const std::vector<uint32_t>& fromRows) {
  checkBeforeWrite();
  from.checkRows(fromField, fromRows);
  const Column& src = from.columns_[fromField];
  Column& dst = columns_[field];
  if (src.kind != dst.kind || dst.kind == Kind::Any) {
    for (size_t i = 0; i < fromRows.size(); ++i) copyCell(first + i, field, from, fromRows[i], fromField);
    return;
  }
  if (dst.kind == Kind::Text) {
    // The room for all the texts first, then each text copied straight after
    // the last one.
    reserveTextForCopies(from, fromField, fromRows);
    for (size_t i = 0; i < fromRows.size(); ++i) {
      const size_t row = first + i, fromRow = fromRows[i];
      if (!nullBit(dst, row)) textGarbage_ += dst.wide[row] & 0xFFFFFFFFu;
      if (nullBit(src, fromRow)) {
        setNullBit(dst, row, true);
        continue;
      }
      const uint64_t ref = src.wide[fromRow];
      const auto length = static_cast<size_t>(ref & 0xFFFFFFFFu);
      if (length > 0) std::memmove(text_ + textSize_, from.text_ + (ref >> 32), length);
      dst.wide[row] = (uint64_t{textSize_} << 32) | length;
      textSize_ += length;
      setNullBit(dst, row, false);
    }
    return;
  }
  const bool narrow = dst.kind == Kind::Int16 || dst.kind == Kind::Int32 || dst.kind == Kind::Bool;
  for (size_t i = 0; i < fromRows.size(); ++i) {
    const size_t row = first + i, fromRow = fromRows[i];
    if (nullBit(src, fromRow)) {
      setNullBit(dst, row, true);
      continue;
    }
    if (narrow) {
      dst.narrow[row] = src.narrow[fromRow];
    } else {
      dst.wide[row] = src.wide[fromRow];
    }
    setNullBit(dst, row, false);
  }
}

size_t ColumnStore::textBytesOf(size_t field, const std::vector<uint32_t>& rows) const {
  const Column& col = columns_[field];
  if (col.kind != Kind::Text) return 0;
  checkRows(field, rows);
  size_t bytes = 0;
  for (uint32_t r : rows)
    if (!nullBit(col, r)) bytes += col.wide[r] & 0xFFFFFFFFu;
  return bytes;
}

void ColumnStore::reserveTextForCopies(size_t bytes) {
  if (textSize_ + bytes > std::numeric_limits<uint32_t>::max())
    raise(err::kOverflow, "Recordset", "The texts of one record set cannot exceed 4 GB.");
  reserveText(textSize_ + bytes);
}

void ColumnStore::reserveTextForCopies(const ColumnStore& from, size_t fromField,
                                       const std::vector<uint32_t>& fromRows) {
  reserveTextForCopies(from.textBytesOf(fromField, fromRows));
}

void ColumnStore::compactText() {
  // What the cells hold, counted rather than taken as the area less its garbage:
  // cells of a loaded file may share bytes, and each gets bytes of its own here.
  size_t live = 0;
  for (const Column& col : columns_) {
    if (col.kind != Kind::Text) continue;
    for (size_t r = 0; r < rows_; ++r)
      if (!nullBit(col, r)) live += col.wide[r] & 0xFFFFFFFFu;
  }
  if (live > std::numeric_limits<uint32_t>::max()) return;  // as much as a record set holds: left as it is
  char* fresh = static_cast<char*>(std::malloc(live > 0 ? live : 1));
  if (!fresh) return;  // keep the garbage rather than fail a write that succeeded
  size_t at = 0;
  for (Column& col : columns_) {
    if (col.kind != Kind::Text) continue;
    for (size_t r = 0; r < rows_; ++r) {
      if (nullBit(col, r)) continue;
      const uint64_t ref = col.wide[r];
      const size_t length = ref & 0xFFFFFFFFu;
      std::memcpy(fresh + at, text_ + (ref >> 32), length);
      col.wide[r] = (uint64_t{at} << 32) | length;
      at += length;
    }
  }
  releaseText();
  text_ = fresh;
  textSize_ = at;
  textCapacity_ = live > 0 ? live : 1;
  textGarbage_ = 0;
  dropLoadedIfUnused();
}

void ColumnStore::finishLoading() {
  if (textLoaded_) return;
  if (textLarge_) {
    if (textSize_ == 0)
      releaseText();
    else
      textCapacity_ = shrinkLarge(text_, textCapacity_, textSize_);
    return;
  }
  if (textCapacity_ > textSize_ && text_) {
    const size_t keep = textSize_ > 0 ? textSize_ : 1;
    if (char* shrunk = static_cast<char*>(std::realloc(text_, keep))) {
      text_ = shrunk;
      textCapacity_ = keep;
    }
  }
}

void ColumnStore::adoptLoaded(size_t rows, const std::vector<LoadedColumn>& columns, char* text, size_t textSize,
                              std::shared_ptr<const void> keeper) {
  if (rows_ != 0 || columns.size() != columns_.size())
    raise(err::kBadArguments, "Recordset", "Loaded columns need an empty store of the same fields.");
  std::free(block_);
  block_ = nullptr;
  blockWords_ = 0;
  releaseText();
  textSize_ = textGarbage_ = 0;
  loadedCellBytes_ = 0;
  const size_t nullBytes = wordsFor(rows) * sizeof(uint64_t);
  for (size_t f = 0; f < columns_.size(); ++f) {
    Column& col = columns_[f];
    col.narrow = nullptr;
    col.wide = nullptr;
    col.nulls = nullptr;
    switch (col.kind) {
      case Kind::Any: col.any.assign(rows, Variant::null()); continue;
      case Kind::Int16:
      case Kind::Int32:
      case Kind::Bool:
        col.narrow = static_cast<uint32_t*>(columns[f].values);
        loadedCellBytes_ += rows * sizeof(uint32_t);
        break;
      default:
        col.wide = static_cast<uint64_t*>(columns[f].values);
        loadedCellBytes_ += rows * sizeof(uint64_t);
        break;
    }
    col.nulls = columns[f].nulls;
    loadedCellBytes_ += nullBytes;
  }
  late_.reset();
  rows_ = capacity_ = rows;
  text_ = textSize > 0 ? text : nullptr;
  textSize_ = textCapacity_ = textSize;
  textLoaded_ = textSize > 0;
  loaded_ = std::move(keeper);
  dropLoadedIfUnused();
}

void ColumnStore::checkWhenRead(std::shared_ptr<const LoadedBytes> bytes, std::vector<size_t> textLimits) {
  const size_t chunks = (rows_ + kCheckedRows - 1) / kCheckedRows;
  if (chunks == 0 || !bytes) return;
  auto late = std::make_unique<LateCheck>();
  late->bytes = std::move(bytes);
  late->textLimits = std::move(textLimits);
  late->textLimits.resize(columns_.size(), 0);
  late->checked.resize(columns_.size());
  for (size_t f = 0; f < columns_.size(); ++f) {
    const bool typed = columns_[f].kind != Kind::Any;
    // A Variant field was decoded whole when the file loaded.
    late->checked[f].assign(wordsFor(chunks), typed ? 0 : ~uint64_t{0});
    if (typed) late->left += chunks;
  }
  if (late->left > 0) late_ = std::move(late);
}

void ColumnStore::checkChunk(size_t field, size_t chunk) const {
  LateCheck& late = *late_;
  uint64_t& word = late.checked[field][chunk >> 6];
  const uint64_t bit = uint64_t{1} << (chunk & 63);
  if (word & bit) return;
  const size_t first = chunk * kCheckedRows;
  if (!checkCells(field, first, std::min(rows_, first + kCheckedRows))) return;
  word |= bit;
  if (--late.left == 0) late_.reset();
}

bool ColumnStore::checkCells(size_t field, size_t first, size_t end) const {
  const LateCheck& late = *late_;
  const Column& col = columns_[field];
  const LoadedBytes& bytes = *late.bytes;
  bytes.vouchFor(col.nulls + first / 64, (wordsFor(end) - first / 64) * sizeof(uint64_t));
  switch (col.kind) {
    case Kind::Int16:
    case Kind::Int32:
    case Kind::Bool: {
      bytes.vouchFor(col.narrow + first, (end - first) * sizeof(uint32_t));
      uint32_t bad = 0;
      if (col.kind == Kind::Bool)
        for (size_t r = first; r < end; ++r) bad |= col.narrow[r] >> 1;
      else if (col.kind == Kind::Int16)  // sign-extended: the top 17 bits all equal
        for (size_t r = first; r < end; ++r) bad |= (col.narrow[r] + 0x8000u) >> 16;
      if (bad != 0) bytes.damaged(col.kind == Kind::Bool ? "a Boolean that is neither 0 nor 1" : "a SmallInt out of range");
      break;
    }
    case Kind::Text: {
      bytes.vouchFor(col.wide + first, (end - first) * sizeof(uint64_t));
      uint64_t low = UINT64_MAX, high = 0;
      for (size_t r = first; r < end; ++r) {
        if (nullBit(col, r)) continue;
        const uint64_t offset = col.wide[r] >> 32, length = col.wide[r] & 0xFFFFFFFFu;
        if (offset + length > textSize_) bytes.damaged("a text outside the table's texts");
        low = std::min(low, offset);
        high = std::max(high, offset + length);
      }
      if (high > low) bytes.vouchFor(text_ + low, high - low);
      const size_t limit = late.textLimits[field];
      if (limit > 0)
        for (size_t r = first; r < end; ++r) {
          if (nullBit(col, r)) continue;
          const uint64_t offset = col.wide[r] >> 32, length = col.wide[r] & 0xFFFFFFFFu;
          // A text no longer in bytes than the limit cannot be longer in characters.
          if (length > limit && charLength(std::string_view(text_ + offset, length)) > limit)
            bytes.damaged("a text longer than its field allows");
        }
      break;
    }
    case Kind::Any: return false;
    default: bytes.vouchFor(col.wide + first, (end - first) * sizeof(uint64_t)); break;
  }
  return true;
}

void ColumnStore::checkRows(size_t field, const std::vector<uint32_t>& rows) const {
  // Rows that crowd a chunk check it whole, once. A few rows of a chunk (a
  // sub-function's functions lie far apart in a table saved in the order they
  // were added) are checked each on its own: checking their chunks whole would
  // read, and sum, the bytes and texts of kCheckedRows rows for each of them.
  constexpr size_t kCrowded = kCheckedRows / 8;
  for (size_t i = 0; late_ && i < rows.size();) {
    const size_t chunk = rows[i] / kCheckedRows;
    size_t next = i + 1;
    while (next < rows.size() && rows[next] / kCheckedRows == chunk) ++next;
    if (next - i >= kCrowded)
      checkChunk(field, chunk);
    else if (!((late_->checked[field][chunk >> 6] >> (chunk & 63)) & 1u))
      for (size_t k = i; k < next; ++k) checkCells(field, rows[k], size_t{rows[k]} + 1);
    i = next;
  }
}

void ColumnStore::checkEveryCell() const {
  for (size_t f = 0; late_ && f < columns_.size(); ++f)
    for (size_t chunk = 0; late_ && chunk * kCheckedRows < rows_; ++chunk) checkChunk(f, chunk);
}

size_t ColumnStore::memoryBytes() const {
  size_t bytes = columns_.capacity() * sizeof(Column) + textCapacity_ + blockWords_ * sizeof(uint64_t) +
                 loadedCellBytes_;
  for (const Column& col : columns_) {
    bytes += col.any.capacity() * sizeof(Variant);
    for (const Variant& v : col.any)
      if (v.isString() && v.asString().capacity() > 15) bytes += v.asString().capacity() + 1;
  }
  return bytes;
}

}  // namespace wayfind::platform
