#include "erp/storage/recordset_builder.h"

#include <algorithm>
#include <limits>

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

platform::RecordsetPtr recordsetFromStatement(Statement& st, const std::vector<FieldSpec>& fields,
                                              size_t expectedRows) {
  auto rs = makeRecordset(fields);
  const size_t n = fields.size();
  // The rows go into the record set's columns a batch at a time (integers as
  // they are, texts into its one area): no Variant per cell, and no copy of the
  // whole result beside the record set. A value of another kind than its
  // field's (a text in an integer field, a real) ends the fast way: that row
  // and the rest go in converted, one by one.
  constexpr size_t kBatchRows = 1024;
  constexpr uint64_t kNullCell = ~uint64_t{0};
  std::vector<uint64_t> cells;  // row by row: integer bits, or text offset << 32 | length
  cells.reserve(kBatchRows * n);
  std::string texts;
  size_t batch = 0;  // rows in cells
  platform::ColumnStore* store = nullptr;
  auto flush = [&] {
    if (batch == 0) return;
    const size_t first = store ? store->size() : 0;
    if (!store) {
      store = &rs->beginBulkLoad(0, 0);
      // A server's result is here whole: its size is known without counting.
      const size_t expected = expectedRows > 0 ? expectedRows : st.rowsInResult().value_or(0);
      if (expected > 0) store->reserveRows(expected);
    }
    store->appendRowsForLoading(batch, texts.size());
    for (size_t r = 0; r < batch; ++r) {
      for (size_t c = 0; c < n; ++c) {
        const uint64_t cell = cells[r * n + c];
        if (cell == kNullCell) continue;  // a new row starts Null
        if (fields[c].type == platform::DataType::VarWChar)
          store->putText(first + r, c, std::string_view(texts).substr(cell >> 32, cell & 0xFFFFFFFFu));
        else
          store->putNarrow(first + r, c, static_cast<uint32_t>(cell));
      }
    }
    cells.clear();
    texts.clear();
    batch = 0;
  };
  bool slow = false;
  while (!slow && st.step()) {
    const size_t rowStart = cells.size();
    const size_t textStart = texts.size();
    for (size_t c = 0; c < n && !slow; ++c) {
      const int col = static_cast<int>(c);
      const ValueKind kind = st.kind(col);
      if (kind == ValueKind::Null) {
        cells.push_back(kNullCell);
      } else if (fields[c].type == platform::DataType::Integer && kind == ValueKind::Integer) {
        const int64_t v = st.int64(col);
        if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max()) slow = true;
        else cells.push_back(static_cast<uint32_t>(static_cast<int32_t>(v)));
      } else if (fields[c].type == platform::DataType::VarWChar && kind == ValueKind::Text) {
        const std::string_view text = st.textView(col);
        // Only a text longer in bytes than the field's size may be too long.
        if (fields[c].size > 0 && text.size() > static_cast<size_t>(fields[c].size) &&
            platform::charLength(text) > static_cast<size_t>(fields[c].size))
          slow = true;
        else if (texts.size() + text.size() > std::numeric_limits<uint32_t>::max()) slow = true;
        else {
          cells.push_back(uint64_t{texts.size()} << 32 | text.size());
          texts.append(text);
        }
      } else {
        slow = true;
      }
    }
    if (slow) {
      cells.resize(rowStart);  // the row is taken again below
      texts.resize(textStart);
    } else if (++batch == kBatchRows) {
      flush();
    }
  }
  flush();
  if (store) rs->endBulkLoad();
  if (slow) {
    // The current row first, then the rest, each converted for its field (which
    // raises what a wrong value deserves).
    do {
      std::vector<platform::Variant> row;
      row.reserve(n);
      for (size_t c = 0; c < n; ++c) row.push_back(st.value(static_cast<int>(c)));
      rs->appendStoredRow(std::move(row));
    } while (st.step());
  }
  positionFirst(*rs);
  return rs;
}

platform::RecordsetPtr recordsetTypedFromResult(Statement& st) {
  const int n = st.columnCount();
  std::vector<std::vector<platform::Variant>> rows;
  // What each column held: 1 integer, 2 real, 4 text (bit set).
  std::vector<int> seen(static_cast<size_t>(n), 0);
  std::vector<bool> wide(static_cast<size_t>(n), false);
  std::vector<size_t> longest(static_cast<size_t>(n), 0);
  while (st.step()) {
    std::vector<platform::Variant> row;
    row.reserve(static_cast<size_t>(n));
    for (int c = 0; c < n; ++c) {
      const auto i = static_cast<size_t>(c);
      switch (st.kind(c)) {
        case ValueKind::Integer: {
          seen[i] |= 1;
          const int64_t v = st.int64(c);
          if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max()) wide[i] = true;
          break;
        }
        case ValueKind::Real: seen[i] |= 2; break;
        case ValueKind::Null: break;
        default: {
          seen[i] |= 4;
          longest[i] = std::max(longest[i], platform::charLength(st.text(c)));
        }
      }
      row.push_back(st.value(c));
    }
    rows.push_back(std::move(row));
  }

  auto rs = std::make_shared<platform::Recordset>();
  std::vector<std::string> used;
  for (int c = 0; c < n; ++c) {
    const auto i = static_cast<size_t>(c);
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
    rs->appendField(unique, type, size, kNullableAttributes);
  }
  rs->open();
  for (auto& row : rows) rs->appendStoredRow(std::move(row));
  positionFirst(*rs);
  return rs;
}

}  // namespace wayfind::erp::storage
