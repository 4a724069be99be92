#include "synthetic_tree.h"

#include <string>

#include "erp/storage/field_sizes.h"
#include "platform/recordset/recordset.h"

namespace wayfind::storebench {

namespace {

using platform::DataType;
using platform::Recordset;
using platform::RecordsetPtr;
using platform::Variant;
namespace sz = erp::storage::size;

constexpr int32_t kAttr = platform::fieldattr::kMayBeNull | platform::fieldattr::kIsNullable;

struct F {
  const char* name;
  DataType type;
  int32_t size;
};

RecordsetPtr table(std::initializer_list<F> fields) {
  auto rs = std::make_shared<Recordset>();
  for (const auto& f : fields) rs->appendField(f.name, f.type, f.size, kAttr);
  rs->open();
  return rs;
}

constexpr DataType I = DataType::Integer;
constexpr DataType T = DataType::VarWChar;

RecordsetPtr topClassTable() {
  return table({{"FTopClassID", I, 0}, {"FTopClassName", T, sz::kName}, {"FAcctType", T, sz::kAcctList},
                {"FIndex", I, 0}, {"FVisible", I, 0}, {"FShowSysType", I, 0}});
}
RecordsetPtr subSystemTable() {
  return table({{"FSubSysID", I, 0}, {"FTopClassID", I, 0}, {"FName", T, sz::kName},
                {"FAcctType", T, sz::kAcctList}, {"FIndex", I, 0}, {"FVisible", I, 0}, {"FRefresh", I, 0},
                {"FClassName", T, sz::kClass}, {"FClassParam", T, sz::kClass}});
}
RecordsetPtr subFuncTable() {
  return table({{"FSubFuncID", I, 0}, {"FSubSysID", I, 0}, {"FFuncName", T, sz::kName},
                {"FAcctType", T, sz::kAcctList}, {"FIndex", I, 0}, {"FVisible", I, 0}, {"FRefresh", I, 0},
                {"FSetEnable", I, 0}, {"FClassName", T, sz::kClass}, {"FClassParam", T, sz::kClass}});
}
RecordsetPtr detailFuncTable() {
  return table({{"FDetailFuncID", I, 0}, {"FSubFuncID", I, 0}, {"FFuncName", T, sz::kName},
                {"FFuncName_en", T, sz::kName}, {"FFuncName_cht", T, sz::kName}, {"FShowName", T, sz::kName},
                {"FHelpCode", T, sz::kHelpCode}, {"FHelpCode1", T, sz::kHelpCode},
                {"FAcctType", T, sz::kAcctList}, {"FIndex", I, 0}, {"FVisible", I, 0}, {"FEnable", I, 0},
                {"FFuncType", I, 0}, {"FClassName", T, sz::kClass}, {"FClassParam", T, sz::kClass}});
}
RecordsetPtr profileTable() { return table({{"FName", T, sz::kProfileName}, {"FValue", T, sz::kProfileValue}}); }

const char* const kAccts[] = {"", ",1,", ",11,", ",1,3,", ",12,", ""};

std::string n(int i) { return std::to_string(i); }

}  // namespace

platform::DictionaryPtr makeTemplate(const TreeSize& s, const std::string& timeStamp) {
  auto top = topClassTable();
  for (int i = 0; i < s.topClasses; ++i)
    top->appendStoredRow({i + 1, "大类" + n(i), kAccts[i % 2], s.topClasses - i, 1, 0});
  auto sys = subSystemTable();
  for (int i = 0; i < s.subSystems; ++i)
    sys->appendStoredRow({i + 1, i % s.topClasses + 1, "系统" + n(i), kAccts[i % 6], i % 7, 1, 0,
                          Variant::null(), Variant::null()});
  auto sub = subFuncTable();
  const int subsPerSys = s.subFuncs / s.subSystems;
  for (int i = 0; i < s.subFuncs; ++i)
    sub->appendStoredRow({kFirstSubFunc + i, i / subsPerSys + 1, "子功能" + n(i), kAccts[i % 6], (i * 7) % 10,
                          i % 9 == 0 ? 0 : 1, 0, 1, Variant::null(), Variant::null()});
  auto det = detailFuncTable();
  const int detailsPerSub = s.detailFuncs / s.subFuncs;
  for (int i = 0; i < s.detailFuncs; ++i) {
    det->appendStoredRow({1000000 + i, kFirstSubFunc + i / detailsPerSub, "明细功能" + n(i),
                          "Function " + n(i), "明細功能" + n(i), Variant::null(), "MX" + n(i), "",
                          kAccts[i % 6], detailsPerSub - i % detailsPerSub, i % 13 == 0 ? 0 : 1, 1, 0,
                          "Zecgl.View" + n(i % 50), "p=" + n(i)});
  }
  auto acct = table({{"FAcctType", I, 0}, {"FNumber", T, sz::kAcctNumber}, {"FShowName", T, sz::kName},
                     {"FDeleted", I, 0}});
  for (int i = 1; i <= 17; ++i) acct->appendStoredRow({i, std::string("T").append(n(i)), std::string("类型").append(n(i)), 0});
  auto prof = profileTable();
  prof->appendStoredRow({"CLICK_ACTIVATE", "1"});

  auto d = std::make_shared<platform::Dictionary>();
  d->SetValue("TopClass", Variant(top));
  d->SetValue("SubSystem", Variant(sys));
  d->SetValue("SubFunc", Variant(sub));
  d->SetValue("DetailFunc", Variant(det));
  d->SetValue("Profile", Variant(prof));
  d->SetValue("AcctType", Variant(acct));
  d->SetValue("TimeStamp", Variant(timeStamp));
  return d;
}

platform::DictionaryPtr makeUserData(const TreeSize& s, const std::string& timeStamp) {
  auto det = detailFuncTable();
  const int detailsPerSub = s.detailFuncs / s.subFuncs;
  // Renames spread evenly over the template's functions.
  const int step = s.detailFuncs / s.userDetailRows;
  for (int k = 0; k < s.userDetailRows; ++k) {
    const int i = k * step + k % step;
    det->appendStoredRow({1000000 + i, kFirstSubFunc + i / detailsPerSub, "我的功能" + n(i), Variant::null(),
                          Variant::null(), Variant::null(), "WD" + n(i), Variant::null(), Variant::null(),
                          (k * 3) % 10, 1, 1, Variant::null(), Variant::null(), Variant::null()});
  }
  for (int k = 0; k < s.userCustomItems; ++k) {
    const int sub = (k * 37) % s.subFuncs;
    det->appendStoredRow({1000000000 + k, kFirstSubFunc + sub, "自定义" + n(k), Variant::null(), Variant::null(),
                          Variant::null(), "ZDY" + n(k), Variant::null(), Variant::null(), 5, 1, 1,
                          Variant::null(), "My.Custom", "k=" + n(k)});
  }
  auto sub = subFuncTable();
  const int subsPerSys = s.subFuncs / s.subSystems;
  for (int k = 0; k < s.userSubFuncRows; ++k) {
    const int i = (k * 10) % s.subFuncs;
    sub->appendStoredRow({kFirstSubFunc + i, i / subsPerSys + 1, "我的子功能" + n(i), Variant::null(), 3, 1,
                          Variant::null(), Variant::null(), Variant::null(), Variant::null()});
  }
  auto d = std::make_shared<platform::Dictionary>();
  d->SetValue("TopClass", Variant(topClassTable()));
  d->SetValue("SubSystem", Variant(subSystemTable()));
  d->SetValue("SubFunc", Variant(sub));
  d->SetValue("DetailFunc", Variant(det));
  d->SetValue("Profile", Variant(profileTable()));
  d->SetValue("TimeStamp", Variant(timeStamp));
  return d;
}

}  // namespace wayfind::storebench
