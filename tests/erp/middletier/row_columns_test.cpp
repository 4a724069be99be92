// The navigation rows' columns as stored databases, cache files and template
// files have them. They are made from one catalogue (columns.h); an entry moved
// or changed there must not move a stored column or a record set's field.
#include <gtest/gtest.h>

#include <string>

#include "erp/middletier/nav_tables.h"
#include "erp/storage/schema_tables.h"

using namespace wayfind::erp;

namespace {

std::string tableColumns(const char* table) {
  std::string out;
  for (const auto& c : storage::schema::table(table).columns) {
    out += out.empty() ? "" : " ";
    out += c.name;
    if (c.size) out += "(" + std::to_string(c.size) + ")";
    if (c.notNull) out += "!";
    if (c.defaultValue) out += std::string("=") + c.defaultValue;
  }
  return out;
}

std::string recordsetFields(const std::vector<storage::FieldSpec>& fields) {
  std::string out;
  for (const auto& f : fields) {
    out += out.empty() ? "" : " ";
    out += f.name;
    if (f.size) out += "(" + std::to_string(f.size) + ")";
  }
  return out;
}

TEST(RowColumns, TablesAndRecordSetsKeepTheirColumnsInPlace) {
  const struct {
    const char* table;
    const char* columns;
  } tables[] = {
      {"t_NavTopClass",
       "FTopClassID FTopClassName(80)! FTopClassName_en(80)!='' FTopClassName_cht(80)!='' FAcctType(255)!='' "
       "FIndex!=0 FVisible!=1 FShowSysType!=0 FClassName(255) FClassParam(255)"},
      {"t_NavSubSystem",
       "FSubSysID FTopClassID! FName(80)! FName_en(80)!='' FName_cht(80)!='' FAcctType(255)!='' FIndex!=0 "
       "FVisible!=1 FRefresh!=0 FClassName(255) FClassParam(255) FHelpFile(255)"},
      {"t_NavSubFunc",
       "FSubFuncID FSubSysID! FFuncName(80)! FFuncName_en(80)!='' FFuncName_cht(80)!='' FAcctType(255)!='' "
       "FIndex!=0 FVisible!=1 FRefresh!=0 FSetEnable!=0 FClassName(255) FClassParam(255)"},
      {"t_NavDetailFunc",
       "FDetailFuncID FSubFuncID! FFuncName(80)! FFuncName_en(80)!='' FFuncName_cht(80)!='' FShowName(80) "
       "FHelpCode(50)!='' FHelpCode1(50)!='' FAcctType(255)!='' FIndex!=0 FVisible!=1 FEnable!=1 FFuncType!=0 "
       "FClassName(255) FClassParam(255)"},
      {"t_NavUserTopClass",
       "FUserID! FTopClassID! FTopClassName(80) FAcctType(255)!='' FIndex FVisible FClassName(255) "
       "FClassParam(255)"},
      {"t_NavUserSubSystem",
       "FUserID! FSubSysID! FTopClassID! FName(80) FAcctType(255)!='' FIndex FVisible FClassName(255) "
       "FClassParam(255) FHelpFile(255)"},
      {"t_NavUserSubFunc",
       "FUserID! FSubFuncID! FSubSysID! FFuncName(80) FAcctType(255)!='' FIndex FVisible FClassName(255) "
       "FClassParam(255)"},
      {"t_NavUserDetailFunc",
       "FUserID! FSubFuncID! FDetailFuncID! FFuncName(80) FFuncName_en(80) FFuncName_cht(80) FShowName(80) "
       "FHelpCode(50) FAcctType(255)!='' FIndex FVisible FEnable FFuncType FClassName(255) FClassParam(255)"},
  };
  for (const auto& t : tables) EXPECT_EQ(tableColumns(t.table), t.columns) << t.table;

  const struct {
    const char* table;
    const char* templateFields;
    const char* userFields;
  } levels[] = {
      {"TopClass",
       "FTopClassID FTopClassName(80) FAcctType(255) FIndex FVisible FShowSysType FClassName(255) FClassParam(255)",
       "FTopClassID FTopClassName(80) FAcctType(255) FIndex FVisible FClassName(255) FClassParam(255)"},
      {"SubSystem",
       "FSubSysID FTopClassID FName(80) FAcctType(255) FIndex FVisible FRefresh FClassName(255) FClassParam(255) "
       "FHelpFile(255)",
       "FSubSysID FTopClassID FName(80) FAcctType(255) FIndex FVisible FClassName(255) FClassParam(255) "
       "FHelpFile(255)"},
      {"SubFunc",
       "FSubFuncID FSubSysID FFuncName(80) FAcctType(255) FIndex FVisible FRefresh FSetEnable FClassName(255) "
       "FClassParam(255)",
       "FSubFuncID FSubSysID FFuncName(80) FAcctType(255) FIndex FVisible FClassName(255) FClassParam(255)"},
      {"DetailFunc",
       "FDetailFuncID FSubFuncID FFuncName(80) FFuncName_en(80) FFuncName_cht(80) FShowName(80) FHelpCode(50) "
       "FHelpCode1(50) FAcctType(255) FIndex FVisible FEnable FFuncType FClassName(255) FClassParam(255)",
       "FDetailFuncID FSubFuncID FFuncName(80) FFuncName_en(80) FFuncName_cht(80) FShowName(80) FHelpCode(50) "
       "FAcctType(255) FIndex FVisible FEnable FFuncType FClassName(255) FClassParam(255)"},
  };
  for (const auto& l : levels) {
    EXPECT_EQ(recordsetFields(middletier::templateFields(l.table)), l.templateFields) << l.table;
    EXPECT_EQ(recordsetFields(middletier::userFields(l.table)), l.userFields) << l.table;
  }
}

}  // namespace
