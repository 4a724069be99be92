#include "erp/storage/schema_tables.h"

#include <cctype>

#include "erp/storage/field_sizes.h"
#include "erp/storage/storage_error.h"

namespace wayfind::erp::storage::schema {

Column integer(const char* name) { return Column{.name = name}; }
Column revision(const char* name) { return Column{.name = name, .type = ColumnType::Revision}; }
Column text(const char* name, int32_t size) { return Column{.name = name, .type = ColumnType::Text, .size = size}; }
Column identity(const char* name) { return Column{.name = name, .type = ColumnType::Identity}; }

namespace {

constexpr const char* kUser = "t_User(FUserID)";
// Profile values held 255 characters until version 3.
constexpr int32_t kProfileValueV1 = 255;

// The columns every level of the tree has after its names: the account types
// it shows for, its place and whether it shows.
Column acctType() { return text("FAcctType", size::kAcctList).notNullable().byDefault("''"); }
Column index() { return integer("FIndex").notNullable().byDefault("0"); }
Column visible() { return integer("FVisible").notNullable().byDefault("1"); }
Column flag(const char* name) { return integer(name).notNullable().byDefault("0"); }
Column className() { return text("FClassName", size::kClass); }
Column classParam() { return text("FClassParam", size::kClass); }
Column name(const char* field) { return text(field, size::kName).notNullable(); }
Column translation(const char* field) { return text(field, size::kName).notNullable().byDefault("''"); }
Column userId() { return integer("FUserID").notNullable().refers(kUser, true); }
Column id(const char* field) { return integer(field).notNullable(); }
Column profileName() { return text("FName", size::kProfileName); }
Column profileValue() {
  return text("FValue", size::kProfileValue).notNullable().widened(3, kProfileValueV1);
}

std::vector<Table> makeTables() {
  using W = Writers;
  return {
      {"t_WayfindMeta", 1, W::Owner, {text("FKey").key(), text("FValue").notNullable()}},
      {"t_NavVersion", 1, W::RowOwner, {integer("FUserID").key(), revision("FRevision").notNullable()}},
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
      {"t_NavTopClass", 1, W::Administrators,
       {integer("FTopClassID").key(), name("FTopClassName"), translation("FTopClassName_en"),
        translation("FTopClassName_cht"), acctType(), index(), visible(), flag("FShowSysType"), className(),
        classParam()}},
      {"t_NavSubSystem", 1, W::Administrators,
       {integer("FSubSysID").key(), id("FTopClassID").refers("t_NavTopClass(FTopClassID)"), name("FName"),
        translation("FName_en"), translation("FName_cht"), acctType(), index(), visible(), flag("FRefresh"),
        className(), classParam(), text("FHelpFile", size::kClass)},
       nullptr,
       {{"ix_NavSubSystem_Top", "FTopClassID"}}},
      {"t_NavSubFunc", 1, W::Administrators,
       {integer("FSubFuncID").key(), id("FSubSysID").refers("t_NavSubSystem(FSubSysID)"), name("FFuncName"),
        translation("FFuncName_en"), translation("FFuncName_cht"), acctType(), index(), visible(),
        flag("FRefresh"), flag("FSetEnable"), className(), classParam()},
       nullptr,
       {{"ix_NavSubFunc_Sys", "FSubSysID"}}},
      {"t_NavDetailFunc", 1, W::Administrators,
       {integer("FDetailFuncID").key(), id("FSubFuncID").refers("t_NavSubFunc(FSubFuncID)"), name("FFuncName"),
        translation("FFuncName_en"), translation("FFuncName_cht"), text("FShowName", size::kName),
        text("FHelpCode", size::kHelpCode).notNullable().byDefault("''"),
        text("FHelpCode1", size::kHelpCode).notNullable().byDefault("''"), acctType(), index(), visible(),
        integer("FEnable").notNullable().byDefault("1"), flag("FFuncType"), className(), classParam()},
       nullptr,
       {{"ix_NavDetailFunc_Sub", "FSubFuncID"},
        {"ix_NavDetailFunc_Help", "FHelpCode"},
        {"ix_NavDetailFunc_Help1", "FHelpCode1"}}},
      {"t_NavProfile", 1, W::Administrators, {profileName().key(), profileValue()}},
      {"t_NavAcctType", 1, W::Administrators,
       {integer("FAcctType").key(), text("FNumber", size::kAcctNumber).notNullable().uniqueValues(),
        name("FShowName"), flag("FDeleted")}},
      // A user's rows: a NULL leaves the template's value in force.
      {"t_NavUserTopClass", 1, W::RowOwner,
       {userId(), id("FTopClassID"), text("FTopClassName", size::kName), acctType(), integer("FIndex"),
        integer("FVisible"), className(), classParam()},
       "FUserID, FTopClassID",
       {{"ix_NavUserTopClass_Node", "FTopClassID", 4}}},
      {"t_NavUserSubSystem", 1, W::RowOwner,
       {userId(), id("FSubSysID"), id("FTopClassID"), text("FName", size::kName), acctType(), integer("FIndex"),
        integer("FVisible"), className(), classParam(), text("FHelpFile", size::kClass)},
       "FUserID, FSubSysID",
       {{"ix_NavUserSubSystem_Top", "FUserID, FTopClassID"}, {"ix_NavUserSubSystem_Node", "FSubSysID", 4}}},
      {"t_NavUserSubFunc", 1, W::RowOwner,
       {userId(), id("FSubFuncID"), id("FSubSysID"), text("FFuncName", size::kName), acctType(),
        integer("FIndex"), integer("FVisible"), className(), classParam()},
       "FUserID, FSubFuncID",
       {{"ix_NavUserSubFunc_Sys", "FUserID, FSubSysID"}, {"ix_NavUserSubFunc_Node", "FSubFuncID", 4}}},
      {"t_NavUserDetailFunc", 1, W::RowOwner,
       {userId(), id("FSubFuncID"), id("FDetailFuncID"), text("FFuncName", size::kName),
        text("FFuncName_en", size::kName), text("FFuncName_cht", size::kName), text("FShowName", size::kName),
        text("FHelpCode", size::kHelpCode), acctType(), integer("FIndex"), integer("FVisible"),
        integer("FEnable"), integer("FFuncType"), className(), classParam()},
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
      {"t_NavUnInsHidden", 2, W::Administrators, {id("FUserID"), id("FSubSysID")}, "FUserID, FSubSysID"},
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
