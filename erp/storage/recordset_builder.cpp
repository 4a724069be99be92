#include "erp/storage/recordset_builder.h"

#include <algorithm>
#include <bit>
#include <limits>
#include <stdexcept>

#include "platform/automation/conversions.h"

namespace wayfind::erp::storage {

namespace {
constexpr int32_t kNullableAttributes =
    platform::fieldattr::kUpdatable | platform::fieldattr::kMayBeNull | platform::fieldattr::kIsNullable;

void positionFirst(platform::Recordset& rs) {
  if (rs.storedRowCount() > 0) rs.MoveFirst();
}
}  // namespace

platform::RecordsetPtr makeRecordset(const std::vector<FieldSpec>& fields) {
  auto rs = std::make_shared<platform::Recordset>();
  for (const auto& f : fields) rs->appendField(f.name, f.type, f.size, kNullableAttributes);
  rs->open();
  return rs;
}

namespace {

// The rows of a statement going into a record set's columns a batch at a time
// (integers as they are, texts into its one area): no Variant per cell, and no
// copy of the whole result beside the record set.
class BatchedRows {
 public:
  BatchedRows(platform::Recordset& rs, Statement& st, const std::vector<FieldSpec>& fields, size_t expectedRows)
      : rs_(rs), st_(st), fields_(fields), expectedRows_(expectedRows) {
    cells_.reserve(kBatchRows * fields.size());
  }

  // Takes the statement's current row; false, taking nothing, when a value is
  // of another kind than its field's (a text in an integer field, a real) or
  // does not fit it: that row and the rest go in converted, one by one.
  bool take() {
    const size_t rowStart = cells_.size();
    const size_t textStart = texts_.size();
    for (size_t c = 0; c < fields_.size(); ++c) {
      if (!takeCell(c)) {
        cells_.resize(rowStart);
        texts_.resize(textStart);
        return false;
      }
    }
    if (++batch_ == kBatchRows) flush();
    return true;
  }

  void finish() {
    flush();
    if (store_) rs_.endBulkLoad();
  }

 private:
  static constexpr size_t kBatchRows = 1024;
  static constexpr uint64_t kNullCell = ~uint64_t{0};

  bool takeCell(size_t c) {
    const int col = static_cast<int>(c);
    const ValueKind kind = st_.kind(col);
    const FieldSpec& field = fields_[c];
    if (kind == ValueKind::Null) {
      cells_.push_back(kNullCell);
    } else if (field.type == platform::DataType::Integer && kind == ValueKind::Integer) {
      const int64_t v = st_.int64(col);
      if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max()) return false;
      cells_.push_back(static_cast<uint32_t>(static_cast<int32_t>(v)));
    } else if (field.type == platform::DataType::VarWChar && kind == ValueKind::Text) {
      const std::string_view text = st_.textView(col);
      // Only a text longer in bytes than the field's size may be too long.
      if (field.size > 0 && text.size() > static_cast<size_t>(field.size) &&
          platform::charLength(text) > static_cast<size_t>(field.size))
        return false;
      if (texts_.size() + text.size() > std::numeric_limits<uint32_t>::max()) return false;
      cells_.push_back(uint64_t{texts_.size()} << 32 | text.size());
      texts_.append(text);
    } else {
      return false;
    }
    return true;
  }

  void flush() {
    if (batch_ == 0) return;
    const size_t first = store_ ? store_->size() : 0;
    if (!store_) {
      store_ = &rs_.beginBulkLoad(0, 0);
      // A server's result is here whole: its size is known without counting.
      const size_t expected = expectedRows_ > 0 ? expectedRows_ : st_.rowsInResult().value_or(0);
      if (expected > 0) store_->reserveRows(expected);
    }
    store_->appendRowsForLoading(batch_, texts_.size());
    const size_t n = fields_.size();
    for (size_t r = 0; r < batch_; ++r) {
      for (size_t c = 0; c < n; ++c) {
        const uint64_t cell = cells_[r * n + c];
        if (cell == kNullCell) continue;  // a new row starts Null
        if (fields_[c].type == platform::DataType::VarWChar)
          store_->putText(first + r, c, std::string_view(texts_).substr(cell >> 32, cell & 0xFFFFFFFFu));
        else
          store_->putNarrow(first + r, c, static_cast<uint32_t>(cell));
      }
    }
    cells_.clear();
    texts_.clear();
    batch_ = 0;
  }

  platform::Recordset& rs_;
  Statement& st_;
  const std::vector<FieldSpec>& fields_;
  const size_t expectedRows_;
  std::vector<uint64_t> cells_;  // row by row: integer bits, or text offset << 32 | length
  std::string texts_;
  size_t batch_ = 0;  // rows in cells_
  platform::ColumnStore* store_ = nullptr;
};

}  // namespace

platform::RecordsetPtr recordsetFromStatement(Statement& st, const std::vector<FieldSpec>& fields,
                                              size_t expectedRows) {
  auto rs = makeRecordset(fields);
  BatchedRows rows(*rs, st, fields, expectedRows);
  bool slow = false;
  while (!slow && st.step()) slow = !rows.take();
  rows.finish();
  if (slow) {
    // The current row first, then the rest, each converted for its field (which
    // raises what a wrong value deserves).
    do {
      std::vector<platform::Variant> row;
      row.reserve(fields.size());
      for (size_t c = 0; c < fields.size(); ++c) row.push_back(st.value(static_cast<int>(c)));
      rs->appendStoredRow(std::move(row));
    } while (st.step());
  }
  positionFirst(*rs);
  return rs;
}

platform::RecordsetPtr recordsetTypedFromResult(Statement& st) {
  const int n = st.columnCount();
  const auto columns = static_cast<size_t>(n);
  // The result gathered column by column before the types are known: each cell
  // as its kind and 64 bits (an integer, a real's bits, or a text's place in
  // the one text area shifted left by 32 bits, or'ed with its length).
  std::vector<std::vector<uint64_t>> bits(columns);
  std::vector<std::vector<ValueKind>> kinds(columns);
  std::string texts;
  // What each column held: 1 integer, 2 real, 4 text (bit set).
  std::vector<int> seen(columns, 0);
  std::vector<bool> wide(columns, false);
  std::vector<size_t> longest(columns, 0);
  size_t rows = 0;
  while (st.step()) {
    for (size_t i = 0; i < columns; ++i) {
      const int c = static_cast<int>(i);
      ValueKind kind = st.kind(c);
      uint64_t cell = 0;
      switch (kind) {
        case ValueKind::Integer: {
          seen[i] |= 1;
          const int64_t v = st.int64(c);
          if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max()) wide[i] = true;
          cell = static_cast<uint64_t>(v);
          break;
        }
        case ValueKind::Real: {
          seen[i] |= 2;
          cell = std::bit_cast<uint64_t>(st.real(c));
          break;
        }
        case ValueKind::Null: break;
        default: {
          kind = ValueKind::Text;
          seen[i] |= 4;
          const std::string_view text = st.textView(c);
          longest[i] = std::max(longest[i], platform::charLength(text));
          if (texts.size() + text.size() > std::numeric_limits<uint32_t>::max())
            throw std::length_error("A result's texts exceed 4 GiB.");
          cell = uint64_t{texts.size()} << 32 | text.size();
          texts.append(text);
        }
      }
      bits[i].push_back(cell);
      kinds[i].push_back(kind);
    }
    ++rows;
  }

  auto rs = std::make_shared<platform::Recordset>();
  std::vector<std::string> used;
  std::vector<platform::DataType> types(columns);
  for (size_t i = 0; i < columns; ++i) {
    const int c = static_cast<int>(i);
    std::string name = st.columnName(c);
    if (name.empty()) name = "Expr" + std::to_string(c + 1);
    // Two result columns of one name ("SELECT a, a"): keep both, the second renamed.
    std::string unique = name;
    for (int k = 1; std::any_of(used.begin(), used.end(), [&](const std::string& u) { return platform::iequals(u, unique); }); ++k)
      unique = name + "_" + std::to_string(k);
    used.push_back(unique);

    const ValueKind decl = st.declaredKind(c);
    platform::DataType type;
    int32_t size = 0;
    if (seen[i] & 4 || (seen[i] == 0 && (decl == ValueKind::Text || decl == ValueKind::Null))) {
      type = platform::DataType::VarWChar;
      size = static_cast<int32_t>(std::max<size_t>(longest[i], 1));
      if (seen[i] & 3) type = platform::DataType::Variant;  // mixed numbers and texts: keep them as they are
      if (type == platform::DataType::Variant) size = 0;
    } else if (seen[i] & 2 || (seen[i] == 0 && decl == ValueKind::Real)) {
      type = platform::DataType::Double;
    } else {
      type = wide[i] ? platform::DataType::BigInt : platform::DataType::Integer;
    }
    types[i] = type;
    rs->appendField(unique, type, size, kNullableAttributes);
  }
  rs->open();
  if (rows > 0) {
    // Each column written as its field keeps it; every new row starts Null.
    platform::ColumnStore& store = rs->beginBulkLoad(rows, texts.size());
    for (size_t i = 0; i < columns; ++i) {
      const std::vector<uint64_t>& cells = bits[i];
      const std::vector<ValueKind>& kind = kinds[i];
      auto textOf = [&](size_t r) { return std::string_view(texts).substr(cells[r] >> 32, cells[r] & 0xFFFFFFFFu); };
      // A cell as the statement gives it (Statement::value), for the fields
      // that keep values rather than raw bits.
      auto valueOf = [&](size_t r) {
        switch (kind[r]) {
          case ValueKind::Integer: {
            const auto v = static_cast<int64_t>(cells[r]);
            return v >= std::numeric_limits<int32_t>::min() && v <= std::numeric_limits<int32_t>::max()
                       ? platform::Variant(static_cast<int32_t>(v))
                       : platform::Variant(v);
          }
          case ValueKind::Real: return platform::Variant(std::bit_cast<double>(cells[r]));
          case ValueKind::Text: return platform::Variant(std::string(textOf(r)));
          case ValueKind::Null: break;
        }
        return platform::Variant::null();
      };
      for (size_t r = 0; r < rows; ++r) {
        if (kind[r] == ValueKind::Null) continue;
        switch (types[i]) {
          case platform::DataType::VarWChar: store.putText(r, i, textOf(r)); break;
          case platform::DataType::Integer: store.putNarrow(r, i, static_cast<uint32_t>(cells[r])); break;
          case platform::DataType::BigInt: store.putWide(r, i, cells[r]); break;
          case platform::DataType::Double: store.set(r, i, platform::Variant(platform::CDbl(valueOf(r)))); break;
          default: store.putAny(r, i, valueOf(r)); break;
        }
      }
    }
    rs->endBulkLoad();
  }
  positionFirst(*rs);
  return rs;
}

}  // namespace wayfind::erp::storage
