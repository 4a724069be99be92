// Recordset: a disconnected, client-side record set in the manner of ADO. It owns
// its rows; a filter (the ADO criteria language) and a sort select and order the
// visible view, and a cursor with BOF/EOF markers moves through that view.
//
//   auto rs = std::make_shared<Recordset>();
//   rs->appendField("FSubFuncID", DataType::Integer);
//   rs->appendField("FFuncName", DataType::VarWChar, 80);
//   rs->open();
//   rs->AddNew();  rs->setValue("FSubFuncID", 7);  rs->setValue("FFuncName", "凭证");
//   rs->setFilter("FSubFuncID = 7");
//   while (!rs->isEOF()) { use(rs->value("FFuncName")); rs->MoveNext(); }
//
// Rows are kept column by column (column_store.h); value() and storedValue()
// give a copy of the stored value, so keep the Variant itself, not a reference
// into it (`const std::string& s = rs.value(0).asString()` would dangle).
//
// Field names compare without regard to letter case; an unknown field raises 3265.
// A value written is converted to the field's type; a text longer than a text
// field's defined size raises 3367 instead of being stored. Equality clauses on
// integer fields are answered from a hash index built on first use and kept
// current as rows are added or changed.
//
// Comparisons in filters and Find: texts ignore ASCII letter case; numbers compare
// numerically (a number field also takes a numeric text such as '5'); a Null value
// satisfies only "= Null", and "<> Null" holds for every non-Null value; a number
// and a text that is no number never satisfy a clause. LIKE treats % and * as any
// run of characters; _ is an ordinary character. An unknown field in a criteria
// or sort text raises 3265, a malformed text 3001; either leaves the set as it was.
//
// The view is computed when a filter or sort is set. Rows added by AddNew stay in
// the view (at its end) until the next filter or sort; rows added by
// appendStoredRow join it only when they pass the filter, at their sorted place.
// AbsolutePosition of an empty view is kPosUnknown.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <span>
#include <string_view>
#include <vector>

#include "platform/automation/object.h"
#include "platform/automation/variant.h"
#include "platform/recordset/column_store.h"
#include "platform/recordset/field.h"

namespace wayfind::platform {

enum class SearchDirection { Forward = 1, Backward = -1 };

// ADO's special AbsolutePosition values.
inline constexpr int32_t kPosUnknown = -1;
inline constexpr int32_t kPosBOF = -2;
inline constexpr int32_t kPosEOF = -3;

class Recordset : public Object {
 public:
  Recordset();
  ~Recordset() override;
  Recordset(const Recordset&) = delete;
  Recordset& operator=(const Recordset&) = delete;

  // ---- structure (before open) ----
  // Appends a field; 3001 for an empty or duplicate name or an unknown type, or
  // after open() when rows exist.
  void appendField(std::string_view name, DataType type, int32_t definedSize = 0,
                   int32_t attributes = 0);
  void setPrecision(int index, uint8_t precision, uint8_t numericScale = 0);
  int fieldCount() const;
  const FieldInfo& fieldInfo(int index) const;   // 9 when out of range
  int fieldIndex(std::string_view name) const;   // -1 when unknown
  int requireField(std::string_view name) const; // 3265 when unknown
  bool hasField(std::string_view name) const { return fieldIndex(name) >= 0; }

  // Opens with no source and no connection. Appending rows needs an open set.
  void open();
  bool isOpen() const;

  // ---- cursor over the visible view ----
  // ADO's BOF and EOF (EOF itself is a C macro).
  bool isBOF() const;
  bool isEOF() const;
  void MoveFirst();
  void MoveLast();
  void MoveNext();      // 3021 when already at EOF
  void MovePrevious();  // 3021 when already at BOF
  int32_t RecordCount() const;          // rows in the filtered view
  int32_t AbsolutePosition() const;     // 1-based; kPosBOF / kPosEOF at the markers
  void setAbsolutePosition(int32_t position);  // 3001 when out of 1..RecordCount

  // Appends an empty row (every field Null) to the set and to the current view,
  // and puts the cursor on it.
  void AddNew();

  // ---- values of the current row ----
  // 3021 "No current record" at BOF or EOF; 3265 for an unknown field.
  Variant value(std::string_view field) const;
  Variant value(int index) const;
  // The current row's value of a field without a copy (a text as a view into
  // the record set), valid until the record set changes or moves.
  Cell cell(int index) const;
  void setValue(std::string_view field, const Variant& v);
  void setValue(int index, const Variant& v);
  // setValue(index, source.value(sourceIndex)), copying the stored value
  // without building a Variant when both fields store the same type: for
  // copying fields between the current rows of two sets. Errors as the two
  // calls raise them, the source's first.
  void setValueFrom(int index, const Recordset& source, int sourceIndex);
  // The same from a stored row of the source, wherever its cursor is (9 when
  // there is no such row).
  void setValueFromStored(int index, const Recordset& source, uint32_t sourceRow, int sourceIndex);

  // ---- filter, sort, find ----
  // Sets the ADO criteria text (empty text removes the filter) and moves to the
  // first visible row. A malformed text raises 3001 and keeps the previous filter.
  void setFilter(std::string_view criteria);
  const std::string& filter() const;
  // Appends the stored rows from first up to end, in the order they are stored,
  // that the criteria text admits as a filter would (empty text: every one);
  // the filter, the view and the cursor stay as they are. For reading a large
  // set a part at a time. Raises as setFilter for a text it cannot take.
  void matchingRows(std::string_view criteria, size_t first, size_t end, std::vector<uint32_t>& out);
  // The same among the given stored rows, in their order.
  void matchingRows(std::string_view criteria, std::span<const uint32_t> among, std::vector<uint32_t>& out);
  // Comma-separated fields, each optionally ASC or DESC; stable; Null first when
  // ascending. Applies to the filtered view and moves to the first row. Empty text
  // restores storage order. 3001 for a malformed text, 3265 for an unknown field.
  void setSort(std::string_view sort);
  const std::string& sort() const;
  // One clause ("FDetailFuncID=12"), searched from the current row (skipping
  // skipRecords rows first) in the direction given. No match leaves the cursor at
  // EOF (forward) or BOF (backward). Returns true when found. From BOF a forward
  // search starts at the first row, from EOF a backward one at the last row. More
  // than one clause raises 3001 and leaves the cursor where it was.
  bool Find(std::string_view criterion, int32_t skipRecords = 0,
            SearchDirection direction = SearchDirection::Forward);

  // ---- whole-set access (cloning, saving, loading) ----
  size_t storedRowCount() const;  // every row, whatever the filter
  Variant storedValue(size_t row, int field) const;
  // The same value as a view that copies nothing; valid until the set changes.
  Cell storedCell(size_t row, int field) const;
  // The stored row the cursor is on (3021 at BOF or EOF), to be read later
  // with storedCell whatever the view is then.
  uint32_t currentStoredRow() const;
  // Appends a whole row (one value per field, converted to the field types)
  // without moving the cursor or changing the view; for loaders.
  void appendStoredRow(std::vector<Variant> values);
  // Appends a copy of every visible row of source, in view order, as AddNew and
  // setValue of each field would: source field i goes to targetFields[i], the
  // rows join the view at its end and the cursor ends on the last of them.
  void appendCopiesOf(const Recordset& source, const std::vector<int>& targetFields);
  // The same for the given stored rows of a source whose fields are this set's,
  // in the order given, whatever its filter.
  void appendCopiesOfRows(const Recordset& source, const std::vector<uint32_t>& storedRows);

  // Loaders: appends rows Null in every field, to be written straight into the
  // column store (values already of their field's type; textBytes of text
  // expected), then endBulkLoad() rebuilds the view and drops the indexes.
  ColumnStore& beginBulkLoad(size_t rows, size_t textBytes);
  // The stored rows as they lie, for writing them out whole (the file form).
  const ColumnStore& storedColumns() const;
  void endBulkLoad();

  // Bytes held by the rows, the view and the built indexes.
  size_t memoryBytes() const;

  // A new open set with the same fields (name, type, defined size, attributes,
  // precision, scale) and no rows.
  std::shared_ptr<Recordset> cloneStructure() const;

  // Whether filters and Find may answer integer equality clauses from the hash
  // indexes (default true). Off, every row is evaluated; results are the same.
  // For benchmarks and tests that compare the two.
  void setUseIndexes(bool on);
  bool usesIndexes() const;

 private:
  void appendCopies(const Recordset& source, const std::vector<uint32_t>& rows, const std::vector<int>& targetFields);

  struct Impl;
  std::unique_ptr<Impl> impl_;
};

using RecordsetPtr = std::shared_ptr<Recordset>;

// The text of a field of the current row, Null as the empty text (textOrEmpty);
// 3265 for an unknown field, as value() raises.
std::string fieldText(const Recordset& rs, std::string_view field);

}  // namespace wayfind::platform
