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
  const int n = static_cast<int>(fields.size());
  while (st.step()) {
    std::vector<platform::Variant> row;
    row.reserve(fields.size());
    for (int c = 0; c < n; ++c) row.push_back(st.value(c));
    rs->appendStoredRow(std::move(row));
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
