// Recordset structure, row storage, cursor and field values. Filter, sort and
// find are in recordset_query.cpp.
#include "platform/recordset/recordset.h"

#include <algorithm>

#include "platform/automation/automation_error.h"
#include "platform/automation/conversions.h"
#include "platform/recordset/field_value.h"
#include "platform/recordset/recordset_impl.h"

namespace wayfind::platform {

namespace {

constexpr int32_t kObjectClosed = 3704;

[[noreturn]] void badArguments(const std::string& what) {
  raise(err::kBadArguments, kRecordsetSource, what);
}

[[noreturn]] void closed() {
  raise(kObjectClosed, kRecordsetSource, "Operation is not allowed when the object is closed.");
}

[[noreturn]] void unknownField(std::string_view name) {
  raise(err::kItemNotFound, kRecordsetSource,
        standardDescription(err::kItemNotFound) + " (field '" + std::string(name) + "')");
}

}  // namespace

// ---- Impl helpers ----

namespace {

// The schema of a set without fields, shared by every new set until its first
// appendField.
const std::shared_ptr<RecordsetSchema>& noFields() {
  static const auto schema = std::make_shared<RecordsetSchema>();
  return schema;
}

}  // namespace

const std::shared_ptr<const SortOrder>& storageOrder() {
  static const auto order = std::make_shared<const SortOrder>();
  return order;
}

Recordset::Impl::Impl() : schema(noFields()), sortOrder(storageOrder()) {}

std::vector<FieldInfo>& Recordset::Impl::ownFields() {
  if (schema.use_count() > 1 || schema == noFields()) {
    auto own = std::make_shared<RecordsetSchema>();
    own->fields = schema->fields;
    own->byName = schema->byName;
    schema = std::move(own);
  }
  return schema->fields;
}

uint32_t Recordset::Impl::currentRow() const {
  if (!onRow()) raise(err::kNoCurrentRecord, kRecordsetSource);
  return view[static_cast<size_t>(cursor)];
}

int Recordset::Impl::fieldFor(int index) const {
  if (index < 0 || index >= static_cast<int>(fields().size()))
    unknownField("#" + std::to_string(index));
  return index;
}

// ---- structure ----

Recordset::Recordset() : impl_(std::make_unique<Impl>()) {}
Recordset::~Recordset() = default;

void Recordset::appendField(std::string_view name, DataType type, int32_t definedSize,
                            int32_t attributes) {
  if (impl_->open && !impl_->rows.empty()) badArguments("Fields cannot be appended to a record set that has rows.");
  if (trimSpaces(name).empty()) badArguments("A field needs a name.");
  if (hasField(name)) badArguments("The record set already has a field '" + std::string(name) + "'.");
  if (!isKnownDataType(static_cast<int32_t>(type)))
    badArguments("Unknown field type " + std::to_string(static_cast<int32_t>(type)) + ".");
  if (definedSize < 0) badArguments("A field's defined size cannot be negative.");
  FieldInfo info;
  info.name = std::string(name);
  info.type = type;
  info.definedSize = definedSize;
  info.attributes = attributes;
  // Criteria and sorts bound to the old fields stay with them: a shared schema
  // is left to the sets sharing it, a set's own loses its caches.
  if (impl_->schema.use_count() > 1 || impl_->schema == noFields()) {
    auto schema = std::make_shared<RecordsetSchema>();
    schema->fields = impl_->fields();
    schema->byName = impl_->schema->byName;
    impl_->schema = std::move(schema);
  } else {
    std::lock_guard lock(impl_->schema->mutex);
    impl_->schema->criteria.clear();
    impl_->schema->sorts.clear();
  }
  RecordsetSchema& schema = *impl_->schema;
  schema.byName.emplace(info.name, static_cast<int>(schema.fields.size()));
  schema.fields.push_back(std::move(info));
  impl_->rows.reset(impl_->fields());
  impl_->indexes.reset(fieldCount());
}

void Recordset::setPrecision(int index, uint8_t precision, uint8_t numericScale) {
  if (index < 0 || index >= fieldCount()) raise(err::kSubscriptOutOfRange, kRecordsetSource);
  const FieldInfo& now = impl_->fields()[static_cast<size_t>(index)];
  if (now.precision == precision && now.numericScale == numericScale) return;
  FieldInfo& f = impl_->ownFields()[static_cast<size_t>(index)];
  f.precision = precision;
  f.numericScale = numericScale;
}

int Recordset::fieldCount() const { return static_cast<int>(impl_->fields().size()); }

const FieldInfo& Recordset::fieldInfo(int index) const {
  if (index < 0 || index >= fieldCount()) raise(err::kSubscriptOutOfRange, kRecordsetSource);
  return impl_->fields()[static_cast<size_t>(index)];
}

int Recordset::fieldIndex(std::string_view name) const {
  const auto& fields = impl_->fields();
  // Names are unique without regard to case, so a name spelt exactly as the
  // field is that field; the usual spelling is found without folding letters.
  const auto& byName = impl_->schema->byName;
  if (auto it = byName.find(name); it != byName.end()) return it->second;
  for (size_t i = 0; i < fields.size(); ++i)
    if (iequals(fields[i].name, name)) return static_cast<int>(i);
  return -1;
}

int Recordset::requireField(std::string_view name) const {
  int index = fieldIndex(name);
  if (index < 0) unknownField(name);
  return index;
}

void Recordset::open() {
  if (impl_->open) return;
  impl_->open = true;
  impl_->indexes.reset(fieldCount());
  impl_->rebuildView();
}

bool Recordset::isOpen() const { return impl_->open; }

std::shared_ptr<Recordset> Recordset::cloneStructure() const {
  auto copy = std::make_shared<Recordset>();
  copy->impl_->schema = impl_->schema;
  copy->impl_->rows.reset(copy->impl_->fields());
  copy->impl_->useIndexes = impl_->useIndexes;
  copy->open();
  return copy;
}

void Recordset::setUseIndexes(bool on) { impl_->useIndexes = on; }
bool Recordset::usesIndexes() const { return impl_->useIndexes; }

// ---- cursor ----

bool Recordset::isBOF() const { return impl_->view.empty() || impl_->cursor == Impl::kAtBOF; }
bool Recordset::isEOF() const { return impl_->view.empty() || impl_->cursor == Impl::kAtEOF; }

void Recordset::MoveFirst() { impl_->cursor = impl_->view.empty() ? Impl::kAtEOF : 0; }

void Recordset::MoveLast() {
  impl_->cursor = impl_->view.empty() ? Impl::kAtEOF : static_cast<int64_t>(impl_->view.size()) - 1;
}

void Recordset::MoveNext() {
  if (isEOF()) raise(err::kNoCurrentRecord, kRecordsetSource);
  int64_t next = impl_->cursor == Impl::kAtBOF ? 0 : impl_->cursor + 1;
  impl_->cursor = next >= static_cast<int64_t>(impl_->view.size()) ? Impl::kAtEOF : next;
}

void Recordset::MovePrevious() {
  if (isBOF()) raise(err::kNoCurrentRecord, kRecordsetSource);
  int64_t prev = impl_->cursor == Impl::kAtEOF ? static_cast<int64_t>(impl_->view.size()) - 1
                                               : impl_->cursor - 1;
  impl_->cursor = prev < 0 ? Impl::kAtBOF : prev;
}

int32_t Recordset::RecordCount() const { return static_cast<int32_t>(impl_->view.size()); }

int32_t Recordset::AbsolutePosition() const {
  if (impl_->view.empty()) return kPosUnknown;
  if (impl_->cursor == Impl::kAtBOF) return kPosBOF;
  if (impl_->cursor == Impl::kAtEOF) return kPosEOF;
  return static_cast<int32_t>(impl_->cursor + 1);
}

void Recordset::setAbsolutePosition(int32_t position) {
  if (position < 1 || position > RecordCount())
    badArguments("Position " + std::to_string(position) + " is outside 1.." + std::to_string(RecordCount()) + ".");
  impl_->cursor = position - 1;
}

// ---- rows ----

void Recordset::AddNew() {
  if (!impl_->open) closed();
  Impl& d = *impl_;
  d.rows.appendNullRow();
  auto row = static_cast<uint32_t>(d.rows.size() - 1);
  // A new row stays visible whatever the filter, until the next filter or sort.
  d.view.list().push_back(row);
  if (d.viewPositionValid) {
    d.viewPosition.resize(d.rows.size(), -1);
    d.viewPosition[row] = static_cast<int32_t>(d.view.size() - 1);
  }
  d.cursor = static_cast<int64_t>(d.view.size()) - 1;
}

void Recordset::appendStoredRow(std::vector<Variant> values) {
  if (!impl_->open) closed();
  Impl& d = *impl_;
  if (values.size() != d.fields().size())
    badArguments("A row needs " + std::to_string(d.fields().size()) + " values, not " +
                 std::to_string(values.size()) + ".");
  // Convert every value before storing any, so a bad value leaves no half row.
  for (size_t f = 0; f < values.size(); ++f) values[f] = convertForField(d.fields()[f], values[f]);
  d.rows.appendNullRow();
  auto row = static_cast<uint32_t>(d.rows.size() - 1);
  for (size_t f = 0; f < values.size(); ++f) d.rows.set(row, f, values[f]);
  d.indexes.onAppend(row, d.rows);
  d.addToView(row);
}

void Recordset::appendCopiesOf(const Recordset& source, const std::vector<int>& targetFields) {
  appendCopies(source, source.impl_->view.list(), targetFields);
}

void Recordset::appendCopiesOfRows(const Recordset& source, const std::vector<uint32_t>& storedRows) {
  const size_t stored = source.impl_->rows.size();
  for (uint32_t row : storedRows)
    if (row >= stored) raise(err::kSubscriptOutOfRange, kRecordsetSource);
  std::vector<int> same(source.impl_->fields().size());
  for (size_t f = 0; f < same.size(); ++f) same[f] = static_cast<int>(f);
  appendCopies(source, storedRows, same);
}

void Recordset::appendCopies(const Recordset& source, const std::vector<uint32_t>& rows,
                             const std::vector<int>& targetFields) {
  if (!impl_->open) closed();
  Impl& d = *impl_;
  const Impl& s = *source.impl_;
  if (targetFields.size() != s.fields().size())
    badArguments("A copy needs a target field for each of the " + std::to_string(s.fields().size()) + " fields.");
  // A field copies its cells as they are stored when both sides store the same
  // type and the target takes every text the source holds; otherwise each value
  // goes through the target field's conversion, as setValue does.
  constexpr size_t kInlineFields = 64;
  char directInline[kInlineFields];
  std::vector<char> directMore;
  char* direct = directInline;
  if (targetFields.size() > kInlineFields) {
    directMore.resize(targetFields.size());
    direct = directMore.data();
  }
  bool allDirect = true;
  for (size_t f = 0; f < targetFields.size(); ++f) {
    const FieldInfo& to = d.fields()[static_cast<size_t>(d.fieldFor(targetFields[f]))];
    const FieldInfo& from = s.fields()[f];
    direct[f] = to.type == from.type && to.type != DataType::Variant &&
                (to.definedSize == 0 || (from.definedSize > 0 && from.definedSize <= to.definedSize));
    allDirect = allDirect && direct[f];
  }
  // Values that need converting are converted before any row is added, so a
  // value the target refuses leaves the target as it was.
  const size_t count = rows.size();
  std::vector<std::vector<Variant>> converted;
  if (!allDirect) {
    converted.resize(targetFields.size());
    for (size_t f = 0; f < targetFields.size(); ++f) {
      if (direct[f]) continue;
      const FieldInfo& to = d.fields()[static_cast<size_t>(targetFields[f])];
      converted[f].reserve(count);
      for (uint32_t sourceRow : rows) converted[f].push_back(convertForField(to, s.rows.value(sourceRow, f)));
    }
  }
  // Then all the rows at once, column by column.
  const auto first = static_cast<uint32_t>(d.rows.size());
  size_t textBytes = 0;
  for (size_t f = 0; f < targetFields.size(); ++f)
    if (direct[f]) textBytes += s.rows.textBytesOf(f, rows);
  d.rows.reserveTextForCopies(textBytes);
  d.rows.appendRowsForLoading(count, 0);
  for (size_t f = 0; f < targetFields.size(); ++f) {
    const auto to = static_cast<size_t>(targetFields[f]);
    if (direct[f]) {
      d.rows.copyColumn(to, first, s.rows, f, rows);
    } else {
      for (size_t i = 0; i < count; ++i) d.rows.set(first + i, to, converted[f][i]);
    }
  }
  RowList& view = d.view.list();
  if (view.capacity() < view.size() + count) view.reserve(std::max(view.size() + count, 2 * view.capacity()));
  for (uint32_t row = first; row < first + count; ++row) {
    view.push_back(row);
    if (d.viewPositionValid) {
      d.viewPosition.resize(d.rows.size(), -1);
      d.viewPosition[row] = static_cast<int32_t>(d.view.size() - 1);
    }
    d.indexes.onAppend(row, d.rows);
  }
  if (count > 0) d.cursor = static_cast<int64_t>(d.view.size()) - 1;
}

ColumnStore& Recordset::beginBulkLoad(size_t rows, size_t textBytes) {
  if (!impl_->open) closed();
  impl_->rows.appendRowsForLoading(rows, textBytes);
  return impl_->rows;
}

const ColumnStore& Recordset::storedColumns() const { return impl_->rows; }

void Recordset::endBulkLoad() {
  Impl& d = *impl_;
  d.rows.finishLoading();
  d.indexes.reset(fieldCount());
  d.rebuildView();
}

size_t Recordset::memoryBytes() const {
  const Impl& d = *impl_;
  size_t bytes = sizeof(Recordset) + sizeof(Impl) + d.rows.memoryBytes() + (d.view.capacity() + d.spareView.capacity()) * sizeof(uint32_t) +
                 d.viewPosition.capacity() * sizeof(int32_t) + d.indexes.memoryBytes();
  for (const FieldInfo& f : d.fields()) bytes += sizeof(FieldInfo) + (f.name.size() > 15 ? f.name.capacity() + 1 : 0);
  return bytes;
}

size_t Recordset::storedRowCount() const { return impl_->rows.size(); }

Variant Recordset::storedValue(size_t row, int field) const {
  if (row >= impl_->rows.size()) raise(err::kSubscriptOutOfRange, kRecordsetSource);
  return impl_->rows.value(row, static_cast<size_t>(impl_->fieldFor(field)));
}

uint32_t Recordset::currentStoredRow() const { return impl_->currentRow(); }

Cell Recordset::storedCell(size_t row, int field) const {
  if (row >= impl_->rows.size()) raise(err::kSubscriptOutOfRange, kRecordsetSource);
  return impl_->rows.cell(row, static_cast<size_t>(impl_->fieldFor(field)));
}

// ---- values ----

Variant Recordset::value(std::string_view field) const { return value(requireField(field)); }

Variant Recordset::value(int index) const {
  int field = impl_->fieldFor(index);
  return impl_->rows.value(impl_->currentRow(), static_cast<size_t>(field));
}

Cell Recordset::cell(int index) const {
  return impl_->rows.cell(impl_->currentRow(), static_cast<size_t>(impl_->fieldFor(index)));
}

void Recordset::setValue(std::string_view field, const Variant& v) { setValue(requireField(field), v); }

void Recordset::setValueFrom(int index, const Recordset& source, int sourceIndex) {
  const Impl& s = *source.impl_;
  const auto from = static_cast<size_t>(s.fieldFor(sourceIndex));
  setValueFromStored(index, source, s.currentRow(), static_cast<int>(from));
}

void Recordset::setValueFromStored(int index, const Recordset& source, uint32_t sourceRow, int sourceIndex) {
  const Impl& s = *source.impl_;
  const auto from = static_cast<size_t>(s.fieldFor(sourceIndex));
  if (sourceRow >= s.rows.size()) raise(err::kSubscriptOutOfRange, kRecordsetSource);
  Impl& d = *impl_;
  const auto to = static_cast<size_t>(d.fieldFor(index));
  const uint32_t row = d.currentRow();
  const FieldInfo& toInfo = d.fields()[to];
  const FieldInfo& fromInfo = s.fields()[from];
  // The stored cell is what the conversion would store when both fields store
  // the same type and every text of the source fits the target.
  const bool direct = &source != this && toInfo.type == fromInfo.type && toInfo.type != DataType::Variant &&
                      (toInfo.definedSize == 0 || (fromInfo.definedSize > 0 && fromInfo.definedSize <= toInfo.definedSize));
  if (!direct) {
    setValue(index, s.rows.value(sourceRow, from));
    return;
  }
  const Cell old = d.rows.cell(row, to);
  d.rows.copyCell(row, to, s.rows, sourceRow, from);
  d.indexes.onWrite(row, static_cast<int>(to), old, d.rows.cell(row, to));
}

void Recordset::setValue(int index, const Variant& v) {
  Impl& d = *impl_;
  int field = d.fieldFor(index);
  uint32_t row = d.currentRow();
  Variant stored = convertForField(d.fields()[static_cast<size_t>(field)], v);
  const auto f = static_cast<size_t>(field);
  // The index reads only the integers of the two cells, which the cells copy.
  const Cell old = d.rows.cell(row, f);
  d.rows.set(row, f, stored);
  d.indexes.onWrite(row, field, old, d.rows.cell(row, f));
}

std::string fieldText(const Recordset& rs, std::string_view field) { return textOrEmpty(rs.value(field)); }

}  // namespace wayfind::platform
