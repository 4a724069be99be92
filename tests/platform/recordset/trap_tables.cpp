// Builders of the trap tables shared by the filter, sort and find tests.
#include "trap_tables.h"

#include "platform/automation/conversions.h"

namespace wayfind::test {

using namespace platform;

RecordsetPtr makeTreeTable() {
  auto rs = std::make_shared<Recordset>();
  rs->appendField("FTopClassID", DataType::Integer);
  rs->appendField("FSubSysID", DataType::Integer);
  rs->appendField("FSubFuncID", DataType::Integer);
  rs->appendField("FDetailFuncID", DataType::Integer);
  rs->appendField("FAcctType", DataType::VarWChar, 255);
  rs->appendField("FVisible", DataType::SmallInt);
  rs->appendField("FIndex", DataType::Integer);
  rs->appendField("FName", DataType::VarWChar, 20);
  rs->open();
  struct Row {
    int parent;
    Variant acct;
    int visible;
    Variant index;
  };
  const std::vector<Row> rows = {
      {5, Variant::null(), 1, 3},  // r0
      {5, "", 1, 2},               // r1
      {5, ",1,", 0, 2},            // r2
      {5, ",11,", 1, 1},           // r3
      {5, ",12,", 1, Variant::null()},  // r4
      {5, ",1,3,", 1, 1},          // r5
      {4, "", 1, 1},               // r6
      {6, ",1,", 1, 1},            // r7
      {50, "", 1, 1},              // r8
      {5, ",3,", 1, 0},            // r9
      {15, ",1,", 1, 0},           // r10
  };
  for (size_t i = 0; i < rows.size(); ++i) {
    const Row& r = rows[i];
    rs->AddNew();
    rs->setValue("FTopClassID", r.parent);
    rs->setValue("FSubSysID", r.parent);
    rs->setValue("FSubFuncID", r.parent);
    rs->setValue("FDetailFuncID", static_cast<int32_t>(1000 + i));
    rs->setValue("FAcctType", r.acct);
    rs->setValue("FVisible", r.visible);
    rs->setValue("FIndex", r.index);
    rs->setValue("FName", "r" + std::to_string(i));
  }
  rs->MoveFirst();
  return rs;
}

std::vector<std::string> labels(Recordset& rs) {
  std::vector<std::string> out;
  if (rs.RecordCount() == 0) return out;
  rs.MoveFirst();
  while (!rs.isEOF()) {
    out.push_back(CStr(rs.value("FName")));
    rs.MoveNext();
  }
  return out;
}

RecordsetPtr makeMixedFields() {
  auto rs = std::make_shared<Recordset>();
  rs->appendField("FName", DataType::VarWChar, 10);
  rs->appendField("FID", DataType::Integer);
  rs->appendField("FText", DataType::VarWChar, 50);
  rs->appendField("FAmount", DataType::Double);
  rs->appendField("FDay", DataType::Date);
  rs->appendField("FFlag", DataType::Boolean);
  rs->appendField("FAny", DataType::Variant);
  return rs;
}

RecordsetPtr makeAcctTypeTable() {
  auto rs = std::make_shared<Recordset>();
  rs->appendField("FAcctType", DataType::Integer);
  rs->appendField("FNumber", DataType::VarWChar, 10);
  rs->appendField("FShowName", DataType::VarWChar, 40);
  rs->appendField("FDeleted", DataType::SmallInt);
  rs->appendField("FName", DataType::VarWChar, 10);
  rs->open();
  rs->appendStoredRow({1, "01", "工业", 0, "a1"});
  rs->appendStoredRow({2, "02", "商业", 1, "a2"});
  rs->appendStoredRow({12, "12", "医药", 0, "a12"});
  return rs;
}

RecordsetPtr makeProfileTable() {
  auto rs = std::make_shared<Recordset>();
  rs->appendField("FName", DataType::VarWChar, 50);
  rs->appendField("FValue", DataType::VarWChar, 255);
  rs->open();
  rs->appendStoredRow({"CLICK_ACTIVATE", "1"});
  rs->appendStoredRow({"RIGHT_ALIGN", Variant::null()});
  return rs;
}

RecordsetPtr makeHelpCodeTable() {
  auto rs = std::make_shared<Recordset>();
  rs->appendField("FDetailFuncID", DataType::Integer);
  rs->appendField("FHelpCode", DataType::VarWChar, 20);
  rs->appendField("FHelpCode1", DataType::VarWChar, 20);
  rs->appendField("FName", DataType::VarWChar, 10);
  rs->open();
  rs->appendStoredRow({1, Variant::null(), "PZ", "h1"});
  rs->appendStoredRow({2, "pz", "XX", "h2"});
  rs->appendStoredRow({3, "ZZ", Variant::null(), "h3"});
  return rs;
}

}  // namespace wayfind::test
