#include "erp/storage/schema_tables.h"

#include <cctype>
#include <deque>
#include <string_view>

#include "erp/storage/field_sizes.h"
#include "erp/storage/storage_error.h"
#include "platform/navigation/columns.h"

namespace wayfind::erp::storage::schema {

Column integer(const char* name) { return Column{.name = name}; }
Column revision(const char* name) { return Column{.name = name, .type = ColumnType::Revision}; }
Column text(const char* name, int32_t size) { return Column{.name = name, .type = ColumnType::Text, .size = size}; }
Column identity(const char* name) { return Column{.name = name, .type = ColumnType::Identity}; }

namespace {
constexpr const char* kLevelTables[4][2] = {{"t_NavTopClass", "t_NavUserTopClass"},
                                            {"t_NavSubSystem", "t_NavUserSubSystem"},
                                            {"t_NavSubFunc", "t_NavUserSubFunc"},
                                            {"t_NavDetailFunc", "t_NavUserDetailFunc"}};
}  // namespace

const char* templateTable(nav::Level level) { return kLevelTables[nav::LevelNumber(level) - 1][0]; }
const char* userTable(nav::Level level) { return kLevelTables[nav::LevelNumber(level) - 1][1]; }

namespace {

using nav::Level;

constexpr const char* kUser = "t_User(FUserID)";
// Profile values held 255 characters until version 3.
constexpr int32_t kProfileValueV1 = 255;

Column index() { return integer("FIndex").notNullable().byDefault("0"); }
Column flag(const char* name) { return integer(name).notNullable().byDefault("0"); }
Column name(const char* field) { return text(field, size::kName).notNullable(); }
Column userId() { return integer("FUserID").notNullable().refers(kUser, true); }
Column id(const char* field) { return integer(field).notNullable(); }
Column profileName() { return text("FName", size::kProfileName); }
Column profileValue() {
  return text("FValue", size::kProfileValue).notNullable().widened(3, kProfileValueV1);
}

// Names the tables keep for as long as the process runs (a column's name of a
// translation, a reference).
const char* kept(std::string text) {
  static std::deque<std::string> texts;
  return texts.emplace_back(std::move(text)).c_str();
}

Column columnOf(const nav::ColumnInfo& c, const char* name) {
  return (c.type == nav::ColumnType::Text ? text(name, c.size) : integer(name)).added(c.addedIn);
}

// The template's constraints of c.
Column& constrained(Column& column, const nav::ColumnInfo& c) {
  if (c.notNull) column.notNullable();
  if (c.defaultValue) column.byDefault(c.defaultValue);
  return column;
}

// The twins of a translated name: one per language with columns of its own.
template <class Add>
void eachTranslation(const nav::ColumnInfo& c, Add add) {
  nav::ForEachTranslation(
      [&](const nav::LanguageInfo& lang) { add(kept(std::string(c.name) + lang.columnSuffix)); });
}

// A level's template table: its key, the link to its parent's table, and its
// columns as the catalogue describes them; a translated name's twins hold an
// empty text where there is no translation.
std::vector<Column> templateColumns(Level level) {
  std::vector<Column> out;
  for (const nav::ColumnInfo& c : nav::ColumnsOf(level)) {
    Column column = columnOf(c, c.name);
    if (c.role == nav::ColumnRole::Id) {
      out.push_back(column.key());
      continue;
    }
    if (c.role == nav::ColumnRole::Parent) {
      const nav::LevelInfo& parent = nav::InfoOf(static_cast<Level>(nav::LevelNumber(level) - 1));
      const char* reference = kept(std::string("t_Nav") + parent.table + "(" + parent.idField + ")");
      out.push_back(column.notNullable().refers(reference));
      continue;
    }
    out.push_back(constrained(column, c));
    if (c.translated != nav::Translated::No)
      eachTranslation(c, [&](const char* twin) { out.push_back(columnOf(c, twin).notNullable().byDefault("''")); });
  }
  return out;
}

// A level's table of the users' rows: the user, the columns of the key in the
// key's order, then the other columns the user's rows keep, in the catalogue's
// order. They may be Null (the template's value holds) but where the catalogue
// says otherwise.
std::vector<Column> userColumns(Level level, std::string_view primaryKey) {
  const auto columns = nav::ColumnsOf(level);
  auto isKey = [&](const nav::ColumnInfo& c) {
    return c.role == nav::ColumnRole::Id || c.role == nav::ColumnRole::Parent;
  };
  std::vector<Column> out{userId()};
  for (size_t from = 0; from < primaryKey.size();) {
    size_t to = primaryKey.find(',', from);
    if (to == std::string_view::npos) to = primaryKey.size();
    std::string_view part = primaryKey.substr(from, to - from);
    while (!part.empty() && part.front() == ' ') part.remove_prefix(1);
    if (const nav::ColumnInfo* c = nav::FindColumn(level, part); c && isKey(*c))
      out.push_back(id(c->name));
    from = to + 1;
  }
  for (const nav::ColumnInfo& c : columns) {
    if (!nav::InUserRows(c)) continue;
    if (isKey(c)) {
      if (primaryKey.find(c.name) == std::string_view::npos) out.push_back(id(c.name));
      continue;
    }
    Column column = columnOf(c, c.name);
    out.push_back(c.userAsTemplate ? constrained(column, c) : column);
    if (c.translated == nav::Translated::Everywhere)
      eachTranslation(c, [&](const char* twin) { out.push_back(columnOf(c, twin)); });
  }
  return out;
}

std::vector<Table> makeTables() {
  using W = Writers;
  return {
      {"t_WayfindMeta", 1, W::Owner, {text("FKey").key(), text("FValue").notNullable()}},
      {"t_NavVersion", 1, W::RowOwner,
       {integer("FUserID").key(), revision("FRevision").notNullable(),
        revision("FStamp").notNullable().byDefault("0").added(7)}},
      {"t_User", 1, W::Owner,
       {integer("FUserID").key(), name("FName"), flag("FForbidden"),
        text("FDescription", size::kDescription).notNullable().byDefault("''")}},
      {"t_Group", 1, W::Owner,
       {integer("FGroupID").notNullable().refers(kUser, true), userId()},
       "FGroupID, FUserID",
       {{"ix_Group_User", "FUserID"}}},
      {"t_AccessRight", 1, W::Owner,
       {integer("FSubjectID").notNullable().refers(kUser, true), id("FObjectType"), id("FObjectID"),
        id("FRights")},
       "FSubjectID, FObjectType, FObjectID"},
      {"t_AcctProfile", 1, W::Administrators, {profileName().key(), profileValue()}},
      {templateTable(Level::TopClass), 1, W::Administrators, templateColumns(Level::TopClass)},
      {templateTable(Level::SubSystem), 1, W::Administrators, templateColumns(Level::SubSystem), nullptr,
       {{"ix_NavSubSystem_Top", "FTopClassID"}}},
      {templateTable(Level::SubFunc), 1, W::Administrators, templateColumns(Level::SubFunc), nullptr,
       {{"ix_NavSubFunc_Sys", "FSubSysID"}}},
      {templateTable(Level::DetailFunc), 1, W::Administrators, templateColumns(Level::DetailFunc), nullptr,
       {{"ix_NavDetailFunc_Sub", "FSubFuncID"},
        {"ix_NavDetailFunc_Help", "FHelpCode"},
        {"ix_NavDetailFunc_Help1", "FHelpCode1"}}},
      {"t_NavProfile", 1, W::Administrators, {profileName().key(), profileValue()}},
      {"t_NavAcctType", 1, W::Administrators,
       {integer("FAcctType").key(), text("FNumber", size::kAcctNumber).notNullable().uniqueValues(),
        name("FShowName"), flag("FDeleted")}},
      // A user's rows: a NULL leaves the template's value in force.
      {userTable(Level::TopClass), 1, W::RowOwner, userColumns(Level::TopClass, "FUserID, FTopClassID"),
       "FUserID, FTopClassID",
       {{"ix_NavUserTopClass_Node", "FTopClassID", 4}}},
      {userTable(Level::SubSystem), 1, W::RowOwner, userColumns(Level::SubSystem, "FUserID, FSubSysID"),
       "FUserID, FSubSysID",
       {{"ix_NavUserSubSystem_Top", "FUserID, FTopClassID"}, {"ix_NavUserSubSystem_Node", "FSubSysID", 4}}},
      {userTable(Level::SubFunc), 1, W::RowOwner, userColumns(Level::SubFunc, "FUserID, FSubFuncID"),
       "FUserID, FSubFuncID",
       {{"ix_NavUserSubFunc_Sys", "FUserID, FSubSysID"}, {"ix_NavUserSubFunc_Node", "FSubFuncID", 4}}},
      {userTable(Level::DetailFunc), 1, W::RowOwner,
       userColumns(Level::DetailFunc, "FUserID, FSubFuncID, FDetailFuncID"),
       "FUserID, FSubFuncID, FDetailFuncID",
       {{"ix_NavUserDetailFunc_Id", "FUserID, FDetailFuncID"},
        {"ix_NavUserDetailFunc_Help", "FHelpCode"},
        {"ix_NavUserDetailFunc_Node", "FDetailFuncID", 4}}},
      {"t_NavUserProfile", 1, W::RowOwner,
       {userId(), profileName().notNullable(), profileValue()},
       "FUserID, FName"},
      {"t_NavFuncGroup", 1, W::RowOwner,
       {identity("FFuncGroupID"), userId(), text("FFuncGroupName", size::kGroupName).notNullable(),
        text("FShowName", size::kGroupName).notNullable().byDefault("''"), index()},
       nullptr,
       {{"ix_NavFuncGroup_User", "FUserID, FIndex"}}},
      {"t_NavFuncGroupItem", 1, W::GroupOwner,
       {integer("FFuncGroupID").notNullable().refers("t_NavFuncGroup(FFuncGroupID)", true), id("FPosition"),
        id("FDetailFuncID"), text("FFuncName", size::kName).notNullable().byDefault("''"),
        text("FHelpCode", size::kHelpCode).notNullable().byDefault("''"),
        text("FShowName", size::kName).notNullable().byDefault("''")},
       "FFuncGroupID, FPosition"},
      // The template's subsystems' installation and refresh state (no row:
      // installed, nothing pending), and the rows SetUnInsSys hid (user 0 is the
      // template) so that RefreshActivFunc can show them again.
      {"t_NavSysState", 2, W::Administrators,
       {integer("FSubSysID").key().refers("t_NavSubSystem(FSubSysID)", true),
        integer("FInstalled").notNullable().byDefault("1"), flag("FBaseDataRefresh")}},
      // A user notes their own row too: one made from a template row hidden there.
      {"t_NavUnInsHidden", 2, W::RowOwner, {id("FUserID"), id("FSubSysID")}, "FUserID, FSubSysID"},
      // The server's own: which role is which ERP user, and the rows the middle
      // tier's serialising locks are taken on.
      {"t_UserRole", 5, W::Owner,
       {integer("FUserID").key().refers(kUser, true), text("FRoleName").notNullable().uniqueValues()},
       nullptr, {}, true},
      {"t_WayfindLock", 5, W::Private, {id("FSpace"), id("FID")}, "FSpace, FID", {}, true},
      // Custom identifiers that a change is about to store: (level, identifier),
      // with the transaction that claimed it. Empty at rest.
      {"t_WayfindIdClaim", 6, W::Private, {id("FLevel"), id("FID"), revision("FTxn").notNullable()}, "FLevel, FID",
       {}, true},
      // Custom identifiers whose items were deleted, (level, identifier): never
      // handed out again, so an edit still open on a deleted item cannot land on
      // a new one. Written by the users' tables' delete triggers only; no unique
      // key, so that no session ever waits on another's insert.
      {"t_WayfindRetiredId", 9, W::Owner, {id("FLevel"), id("FID")}, nullptr,
       {{"ix_WayfindRetiredId", "FLevel, FID", 9}}},
  };
}

}  // namespace

const std::vector<Table>& tables() {
  static const std::vector<Table> all = makeTables();
  return all;
}

const Table& table(const char* name) {
  const std::string wanted = folded(name);
  for (const Table& t : tables())
    if (folded(t.name) == wanted) return t;
  raiseRefused(kStorageSource, std::string("no table ") + name);
}

std::string folded(const char* name) {
  std::string out(name);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

}  // namespace wayfind::erp::storage::schema
