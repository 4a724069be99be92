#include "editor/query_rows.h"

#include "context/language.h"
#include "platform/automation/conversions.h"
#include "platform/navigation/levels.h"

namespace wayfind::editor {

using platform::Recordset;
using platform::Variant;

namespace {

int32_t numberOf(const Variant& v) { return v.isNull() || v.isEmpty() ? 0 : platform::CLng(v); }
bool flagOf(const Variant& v) { return !(v.isNull() || v.isEmpty()) && platform::CDbl(v) != 0; }

// Reads the outline rows of a level; every field is required before any record
// is read, so an unfit record set fails even when it is empty.
template <class Keep>
std::vector<OutlineRow> readOutline(Recordset& rs, const char* idField, const char* nameField, Keep keep) {
  const int id = rs.requireField(idField), name = rs.requireField(nameField);
  const int visible = rs.requireField("FVisible"), index = rs.requireField("FIndex");
  std::vector<OutlineRow> rows;
  if (rs.RecordCount() == 0) return rows;
  for (rs.MoveFirst(); !rs.isEOF(); rs.MoveNext()) {
    if (!keep(rs)) continue;
    rows.push_back({numberOf(rs.value(id)), platform::textOrEmpty(rs.value(name)), flagOf(rs.value(visible)),
                    numberOf(rs.value(index))});
  }
  return rows;
}

}  // namespace

std::vector<OutlineRow> ReadTopClasses(Recordset& rs) {
  const int name = rs.requireField("FTopClassName");
  const int showSys = rs.requireField("FShowSysType");
  const int id = rs.requireField("FTopClassID");
  const std::string console = context::GetLangText("我的T/8");
  return readOutline(rs, "FTopClassID", "FTopClassName", [&](Recordset& r) {
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

std::vector<OutlineRow> ReadSubSystems(Recordset& rs) {
  return readOutline(rs, "FSubSysID", "FName", [](Recordset&) { return true; });
}

std::vector<OutlineRow> ReadSubFuncs(Recordset& rs) {
  return readOutline(rs, "FSubFuncID", "FFuncName", [](Recordset&) { return true; });
}

std::vector<DetailRow> ReadDetailFuncs(Recordset& rs) {
  const int id = rs.requireField("FDetailFuncID"), name = rs.requireField("FFuncName");
  const int help = rs.requireField("FHelpCode"), visible = rs.requireField("FVisible");
  const int enable = rs.requireField("FEnable"), index = rs.requireField("FIndex");
  std::vector<DetailRow> rows;
  if (rs.RecordCount() == 0) return rows;
  for (rs.MoveFirst(); !rs.isEOF(); rs.MoveNext()) {
    rows.push_back({numberOf(rs.value(id)), platform::textOrEmpty(rs.value(name)), platform::textOrEmpty(rs.value(help)),
                    flagOf(rs.value(visible)), flagOf(rs.value(enable)), numberOf(rs.value(index))});
  }
  return rows;
}

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
