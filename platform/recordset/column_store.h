// ColumnStore: the rows of a record set kept column by column. Each field holds
// its values in one array of the width its type needs (four bytes for SmallInt,
// Integer and Boolean, eight for BigInt, Double, Currency and Date, eight for a
// text: its place and length in the table's text area), Nulls in one bit per
// row, and every text of the table in one byte area. A 50,000-row template table
// then takes a handful of allocations instead of one per row and one per long
// text, loads with sequential writes, and needs about as much memory as its file.
//
// Only Variant fields keep whole Variants (they may hold anything, objects too).
// Values arrive already converted for their field (convertForField); the store
// does not convert or check them again.
//
// Cell is a view of one stored value that costs no allocation: comparisons,
// filters, sorts and indexes read cells; value() builds a Variant for callers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "platform/automation/variant.h"
#include "platform/recordset/field.h"

namespace wayfind::platform {

// One stored value, without copying it. type is Null for Null (a stored value is
// never Empty); integer holds Integer, Long and LongLong values and a Boolean as
// 1 / 0; number holds Double and Date values; text views a String. variant points
// at the stored Variant for cells of Variant fields (and is null otherwise).
struct Cell {
  VarType type = VarType::Null;
  int64_t integer = 0;
  double number = 0.0;
  std::string_view text;
  const Variant* variant = nullptr;

  bool isNull() const { return type == VarType::Null || type == VarType::Empty; }
  bool isInteger() const {
    return type == VarType::Integer || type == VarType::Long || type == VarType::LongLong;
  }
};

// The cell that views v (v must outlive the cell).
Cell cellOf(const Variant& v);
// The Variant a cell stands for.
Variant variantOf(const Cell& c);

class ColumnStore {
 public:
  enum class Kind : uint8_t { Int16, Int32, Int64, Double, Date, Bool, Text, Any };

  ColumnStore() = default;
  ColumnStore(const ColumnStore&) = delete;
  ColumnStore& operator=(const ColumnStore&) = delete;
  ~ColumnStore();

  // Drops every row and lays the columns out for fields.
  void reset(const std::vector<FieldInfo>& fields);

  size_t size() const { return rows_; }
  bool empty() const { return rows_ == 0; }
  size_t fieldCount() const { return columns_.size(); }

  // A text cell, the most read, is answered here without a call.
  Cell cell(size_t row, size_t field) const {
    const Column& col = columns_[field];
    if (col.kind != Kind::Text) return otherCell(row, field);
    checkRow(field, row);
    return textCell(col, row);
  }
  // The cells of count rows of one field from row first on (a column read in
  // one go: its late checks made once per chunk, not once per cell).
  void cells(size_t field, size_t first, size_t count, Cell* out) const;
  // Appends to out, ascending, the rows whose cell of field is the integer
  // key: the rows an index on the field lists for key. One pass over the
  // column; a typed column is compared as it lies.
  void rowsHolding(size_t field, int64_t key, std::vector<uint32_t>& out) const;
  Variant value(size_t row, size_t field) const { return variantOf(cell(row, field)); }

  // Appends a row of Nulls.
  void appendNullRow();
  // Makes room for rows rows without adding any.
  void reserveRows(size_t rows);
  // Writes a value converted for the field (Null, or the field's own type; any
  // value in a Variant field).
  void set(size_t row, size_t field, const Variant& converted);
  // Copies a cell of another store whose field has the same kind.
  void copyCell(size_t row, size_t field, const ColumnStore& from, size_t fromRow, size_t fromField);
  // Copies the cells of fromRows (rows of another store, whose field has the
  // same kind) into this field's rows from first on.
  void copyColumn(size_t field, size_t first, const ColumnStore& from, size_t fromField,
                  const std::vector<uint32_t>& fromRows);
  Kind kind(size_t field) const { return columns_[field].kind; }
  // The kind of column a field of type t is kept in.
  static Kind kindFor(DataType t);
  // Bytes of the texts in field's cells of rows (0 for a field that is not Text).
  size_t textBytesOf(size_t field, const std::vector<uint32_t>& rows) const;
  // Makes room for bytes more bytes of text at once, so that copies of several
  // text columns grow the text area once.
  void reserveTextForCopies(size_t bytes);

  // ---- bulk loading ----
  // Appends count rows, all Null, ready to be written cell by cell with the
  // put... functions (which do no checking beyond their field's kind) and
  // reserves room for textBytes bytes of text.
  void appendRowsForLoading(size_t count, size_t textBytes);
  void putNull(size_t row, size_t field) { setNullBit(columns_[field], row, true); }
  void putNarrow(size_t row, size_t field, uint32_t v) {
    Column& c = columns_[field];
    c.narrow[row] = v;
    setNullBit(c, row, false);
  }
  void putWide(size_t row, size_t field, uint64_t v) {
    Column& c = columns_[field];
    c.wide[row] = v;
    setNullBit(c, row, false);
  }
  void putText(size_t row, size_t field, std::string_view text);
  void putAny(size_t row, size_t field, Variant v);
  // Gives back text room reserved but not used.
  void finishLoading();

  // ---- loading in place ----
  // A typed column as it lies in a loaded file: values (rows x 4 bytes for
  // Int16, Int32 and Bool, rows x 8 for the rest; a text's cell is its place
  // in the text area shifted left by 32 bits, or'ed with its length) and one
  // Null bit per row. Both 8-byte aligned. Ignored for Variant fields.
  struct LoadedColumn {
    void* values = nullptr;
    uint64_t* nulls = nullptr;
  };
  // Makes the rows of an empty store those of a loaded file without copying
  // them: the typed columns and the text area stay where they lie, in memory
  // that keeper keeps alive for as long as the store uses it. Variant fields
  // get rows Nulls, to be written with putAny. The store owns that memory as
  // its own from then on: writes change the cells in place, and adding rows
  // or texts moves the cells or texts into memory of the store's own.
  void adoptLoaded(size_t rows, const std::vector<LoadedColumn>& columns, char* text, size_t textSize,
                   std::shared_ptr<const void> keeper);

  // ---- checking loaded cells where they are first read ----
  // What vouches for the bytes of a loaded file that were not checked when it
  // loaded. vouchFor checks the bytes at at (each piece of the file once) and
  // raises when they are not as saved; damaged raises for a cell whose bytes
  // are as saved but whose value the file cannot hold.
  class LoadedBytes {
   public:
    virtual ~LoadedBytes() = default;
    virtual void vouchFor(const void* at, size_t bytes) const = 0;
    [[noreturn]] virtual void damaged(const char* what) const = 0;
  };
  // After adoptLoaded: the typed cells are checked as they are first read (or
  // copied, or saved), a chunk of kCheckedRows rows of one column at a time:
  // their bytes through bytes, and what bytes cannot vouch for (a Boolean 0 or
  // 1, a SmallInt in range, a text inside the text area and no longer than
  // textLimits[field] characters, 0 for no limit). The first write to the store,
  // or adding rows, checks every cell first, since it changes bytes in place.
  void checkWhenRead(std::shared_ptr<const LoadedBytes> bytes, std::vector<size_t> textLimits);
  static constexpr size_t kCheckedRows = 256;
  // Checks every cell not checked yet (a no-op for a store that was checked whole).
  void checkEveryCell() const;

  // Bytes held for the rows (arrays, Null bits, text area, Variant cells).
  size_t memoryBytes() const;

  // ---- saving as the rows lie ----
  // A typed column's values (rows x 4 or x 8 bytes, as LoadedColumn), its Null
  // bits (one per row, bits past the last row undefined), and the text area its
  // text cells point into. A value under a Null bit is undefined. nullptr for a
  // Variant field.
  const void* columnValues(size_t field) const;
  const uint64_t* columnNulls(size_t field) const;
  std::string_view textArea() const;
  // Bytes of the text area no cell points to any more.
  size_t textGarbage() const { return textGarbage_; }

 private:
  // The value arrays and Null bits of every column live in one block of the
  // store (block_), so a small result set costs one allocation for its cells,
  // not two per column.
  struct Column {
    Kind kind = Kind::Any;
    uint32_t* narrow = nullptr;  // Int16, Int32, Bool
    uint64_t* wide = nullptr;    // Int64, Double and Date bits, Text (offset << 32 | length)
    std::vector<Variant> any;    // Any
    uint64_t* nulls = nullptr;   // one bit per row, set for Null
  };

  // The cells of a loaded store not checked yet (checkWhenRead), per field one
  // bit per chunk of kCheckedRows rows that was.
  struct LateCheck {
    std::shared_ptr<const LoadedBytes> bytes;
    std::vector<size_t> textLimits;
    std::vector<std::vector<uint64_t>> checked;
    size_t left = 0;  // chunks not checked yet
  };
  Cell cellIn(const Column& col, size_t row) const;  // a cell already checked
  Cell otherCell(size_t row, size_t field) const;   // cell() of a column not of texts
  Cell textCell(const Column& col, size_t row) const {  // of a column of texts, checked
    Cell c;
    if (nullBit(col, row)) return c;
    c.type = VarType::String;
    const uint64_t ref = col.wide[row];
    c.text = std::string_view(text_ + (ref >> 32), static_cast<size_t>(ref & 0xFFFFFFFFu));
    return c;
  }
  // Appends to out the rows from first to end whose non-Null cell equals key.
  template <typename T>
  void collectEqual(const Column& col, const T* cells, T key, size_t first, size_t end,
                    std::vector<uint32_t>& out) const;
  void checkChunk(size_t field, size_t chunk) const;
  // Checks the rows from first to end of one field; false for a Variant field,
  // which needs no check.
  bool checkCells(size_t field, size_t first, size_t end) const;
  void checkRow(size_t field, size_t row) const {
    if (late_) [[unlikely]] checkChunk(field, row / kCheckedRows);
  }
  void checkRows(size_t field, const std::vector<uint32_t>& rows) const;
  // Before a write: every cell checked, so that later checks see the bytes as saved.
  void checkBeforeWrite() {
    if (late_) [[unlikely]] checkEveryCell();
  }
  mutable std::unique_ptr<LateCheck> late_;

  static bool nullBit(const Column& c, size_t row) { return (c.nulls[row >> 6] >> (row & 63)) & 1u; }
  static void setNullBit(Column& c, size_t row, bool on) {
    const uint64_t bit = uint64_t{1} << (row & 63);
    if (on) c.nulls[row >> 6] |= bit; else c.nulls[row >> 6] &= ~bit;
  }
  uint64_t storeText(std::string_view text);
  void reserveText(size_t bytes);
  void reserveTextForCopies(const ColumnStore& from, size_t fromField, const std::vector<uint32_t>& fromRows);
  void growText(size_t capacity);
  void releaseText();
  void compactText();
  // Moves the cells into a block with room for capacity rows.
  void growRows(size_t capacity);

  std::vector<Column> columns_;
  size_t rows_ = 0;
  size_t capacity_ = 0;          // rows the block has room for
  uint64_t* block_ = nullptr;    // every column's values and Null bits
  size_t blockWords_ = 0;
  // The text area: every text of the table, one after the other.
  char* text_ = nullptr;
  size_t textSize_ = 0;
  size_t textCapacity_ = 0;
  size_t textGarbage_ = 0;  // bytes of texts that were overwritten
  bool textLarge_ = false;  // the area is a large mapping (large_memory.h), not malloc's
  bool textLoaded_ = false;  // the area lies in a loaded file's buffer (adoptLoaded)
  // Bytes of the cells and texts that lie in a loaded file's buffer, and what
  // keeps that buffer alive.
  size_t loadedCellBytes_ = 0;
  std::shared_ptr<const void> loaded_;
  void dropLoadedIfUnused();
};

}  // namespace wayfind::platform
