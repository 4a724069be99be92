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

platform::RecordsetPtr recordsetFromStatement(Statement& st, const std::vector<FieldSpec>& fields) {
  auto rs = makeRecordset(fields);
  const size_t n = fields.size();
  // The rows are gathered column by column (integers as they are, texts in one
  // area) and put into the record set in one bulk load: no Variant per cell.
  // A value of another kind than its field's (a text in an integer field, a
  // real) ends the fast way: that row and the rest go in converted, one by one.
  constexpr uint64_t kNullCell = ~uint64_t{0};
  std::vector<std::vector<uint64_t>> cells(n);  // integer bits, or text offset << 32 | length
  std::string texts;
  size_t rows = 0;
  bool slow = false;
  while (!slow && st.step()) {
    for (size_t c = 0; c < n && !slow; ++c) {
      const int col = static_cast<int>(c);
      const ValueKind kind = st.kind(col);
      if (kind == ValueKind::Null) {
        cells[c].push_back(kNullCell);
      } else if (fields[c].type == platform::DataType::Integer && kind == ValueKind::Integer) {
        const int64_t v = st.int64(col);
        if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max()) slow = true;
        else cells[c].push_back(static_cast<uint32_t>(static_cast<int32_t>(v)));
      } else if (fields[c].type == platform::DataType::VarWChar && kind == ValueKind::Text) {
        const std::string_view text = st.textView(col);
        // Only a text longer in bytes than the field's size may be too long.
        if (fields[c].size > 0 && text.size() > static_cast<size_t>(fields[c].size) &&
            platform::charLength(text) > static_cast<size_t>(fields[c].size))
          slow = true;
        else if (texts.size() + text.size() > std::numeric_limits<uint32_t>::max()) slow = true;
        else {
          cells[c].push_back(uint64_t{texts.size()} << 32 | text.size());
          texts.append(text);
        }
      } else {
        slow = true;
      }
    }
    if (slow) {
      for (auto& column : cells) column.resize(rows);  // the row is taken again below
    } else {
      ++rows;
    }
  }
  if (rows > 0) {
    platform::ColumnStore& store = rs->beginBulkLoad(rows, texts.size());
    for (size_t c = 0; c < n; ++c) {
      const bool text = fields[c].type == platform::DataType::VarWChar;
      for (size_t r = 0; r < rows; ++r) {
        const uint64_t cell = cells[c][r];
        if (cell == kNullCell) store.putNull(r, c);
        else if (text) store.putText(r, c, std::string_view(texts).substr(cell >> 32, cell & 0xFFFFFFFFu));
        else store.putNarrow(r, c, static_cast<uint32_t>(cell));
      }
    }
    rs->endBulkLoad();
  }
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
