#include "editor/query_rows.h"

#include "context/language.h"
#include "platform/automation/conversions.h"
#include "editor/grid_columns.h"
#include "platform/navigation/levels.h"

namespace wayfind::editor {

using platform::Recordset;
using platform::Variant;

namespace {

int32_t numberOf(const Variant& v) { return v.isNull() || v.isEmpty() ? 0 : platform::CLng(v); }
bool flagOf(const Variant& v) { return !(v.isNull() || v.isEmpty()) && platform::CDbl(v) != 0; }

std::string cellOf(nav::EditorCell cell, const Variant& v) {
  switch (cell) {
    case nav::EditorCell::Check: return flagOf(v) ? "1" : "0";
    case nav::EditorCell::Order: return std::to_string(numberOf(v));
    default: return platform::textOrEmpty(v);
  }
}

// Reads the rows of a level; every field is required before any record is read,
// so an unfit record set fails even when it is empty.
template <class Keep>
std::vector<GridRow> readRows(Recordset& rs, nav::Level level, Keep keep) {
  const int id = rs.requireField(nav::InfoOf(level).idField);
  const auto columns = EditorColumns(level);
  std::vector<int> fields;
  for (const nav::ColumnInfo* c : columns) fields.push_back(rs.requireField(c->name));
  std::vector<GridRow> rows;
  if (rs.RecordCount() == 0) return rows;
  for (rs.MoveFirst(); !rs.isEOF(); rs.MoveNext()) {
    if (!keep(rs)) continue;
    GridRow row{numberOf(rs.value(id)), {}};
    for (size_t i = 0; i < columns.size(); ++i)
      row.cells.push_back(cellOf(columns[i]->editor.cell, rs.value(fields[i])));
    rows.push_back(std::move(row));
  }
  return rows;
}

bool all(Recordset&) { return true; }

}  // namespace

std::vector<GridRow> ReadTopClasses(Recordset& rs) {
  const int name = rs.requireField("FTopClassName");
  const int showSys = rs.requireField("FShowSysType");
  const int id = rs.requireField("FTopClassID");
  const std::string console = context::GetLangText("我的T/8");
  return readRows(rs, nav::Level::TopClass, [&](Recordset& r) {
    const Variant& n = r.value(name);
    if (n.isNull() || platform::CStr(n) == console) return false;
    const Variant& s = r.value(showSys);
    // A custom top class has no template row, so nothing ever fills its system
    // flag; it is the user's own and always listed. A template row without the
    // flag is left out.
    if (s.isNull()) return nav::IsCustomItem(nav::Level::TopClass, numberOf(r.value(id)));
    return platform::CDbl(s) != 2;
  });
}

std::vector<GridRow> ReadSubSystems(Recordset& rs) { return readRows(rs, nav::Level::SubSystem, all); }

std::vector<GridRow> ReadSubFuncs(Recordset& rs) { return readRows(rs, nav::Level::SubFunc, all); }

std::vector<GridRow> ReadDetailFuncs(Recordset& rs) { return readRows(rs, nav::Level::DetailFunc, all); }

std::optional<size_t> FindDuplicateHelpCode(const std::vector<std::string>& helpCodes, size_t row) {
  if (helpCodes.size() <= 1 || row >= helpCodes.size()) return std::nullopt;
  const std::string code = platform::trimSpaces(helpCodes[row]);
  if (code.empty()) return std::nullopt;
  for (size_t i = 0; i < helpCodes.size(); ++i) {
    if (i != row && platform::trimSpaces(helpCodes[i]) == code) return i;
  }
  return std::nullopt;
}

}  // namespace wayfind::editor
