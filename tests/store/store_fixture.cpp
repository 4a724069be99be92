#include "store_fixture.h"

#include <unistd.h>

#include "platform/automation/conversions.h"
#include "store/search.h"

namespace wayfind::storetest {

namespace {

constexpr int32_t kNullable = platform::fieldattr::kMayBeNull | platform::fieldattr::kIsNullable |
                              platform::fieldattr::kUpdatable;

struct Spec {
  const char* name;
  DataType type;
  int32_t size;
};

RecordsetPtr build(std::initializer_list<Spec> fields) {
  auto rs = std::make_shared<Recordset>();
  for (const auto& f : fields) rs->appendField(f.name, f.type, f.size, kNullable);
  rs->open();
  return rs;
}

constexpr DataType I = DataType::Integer;
constexpr DataType T = DataType::VarWChar;

}  // namespace

RecordsetPtr makeTopClass() {
  return build({{"FTopClassID", I, 0}, {"FTopClassName", T, 80}, {"FIndex", I, 0}, {"FVisible", I, 0},
                {"FAcctType", T, 255}, {"FShowSysType", I, 0}});
}

RecordsetPtr makeSubSystem() {
  return build({{"FSubSysID", I, 0}, {"FTopClassID", I, 0}, {"FName", T, 80}, {"FIndex", I, 0},
                {"FVisible", I, 0}, {"FAcctType", T, 255}, {"FRefresh", I, 0}, {"FClassName", T, 255},
                {"FClassParam", T, 255}});
}

RecordsetPtr makeSubFunc() {
  return build({{"FSubFuncID", I, 0}, {"FSubSysID", I, 0}, {"FFuncName", T, 80}, {"FIndex", I, 0},
                {"FVisible", I, 0}, {"FAcctType", T, 255}, {"FRefresh", I, 0}, {"FSetEnable", I, 0},
                {"FClassName", T, 255}, {"FClassParam", T, 255}});
}

RecordsetPtr makeDetailFunc() {
  return build({{"FDetailFuncID", I, 0}, {"FSubFuncID", I, 0}, {"FFuncName", T, 80},
                {"FFuncName_en", T, 80}, {"FFuncName_cht", T, 80}, {"FShowName", T, 8},
                {"FHelpCode", T, 50}, {"FHelpCode1", T, 50}, {"FIndex", I, 0}, {"FVisible", I, 0},
                {"FEnable", I, 0}, {"FAcctType", T, 255}, {"FClassName", T, 255},
                {"FClassParam", T, 255}, {"FFuncType", I, 0}});
}

RecordsetPtr makeProfile() { return build({{"FName", T, 50}, {"FValue", T, 255}}); }

RecordsetPtr makeAcctType() {
  return build({{"FAcctType", I, 0}, {"FNumber", T, 50}, {"FShowName", T, 80}, {"FDeleted", I, 0}});
}

void addRow(const RecordsetPtr& rs, const std::map<std::string, Variant>& values) {
  rs->AddNew();
  for (const auto& [field, value] : values) rs->setValue(field, value);
}

DictionaryPtr emptyTemplate(const std::string& timeStamp) {
  auto d = std::make_shared<Dictionary>();
  d->SetValue("TopClass", Variant(makeTopClass()));
  d->SetValue("SubSystem", Variant(makeSubSystem()));
  d->SetValue("SubFunc", Variant(makeSubFunc()));
  d->SetValue("DetailFunc", Variant(makeDetailFunc()));
  d->SetValue("Profile", Variant(makeProfile()));
  d->SetValue("AcctType", Variant(makeAcctType()));
  d->SetValue("TimeStamp", Variant(timeStamp));
  return d;
}

DictionaryPtr emptyUserData(const std::string& timeStamp) {
  auto d = std::make_shared<Dictionary>();
  d->SetValue("TopClass", Variant(makeTopClass()));
  d->SetValue("SubSystem", Variant(makeSubSystem()));
  d->SetValue("SubFunc", Variant(makeSubFunc()));
  d->SetValue("DetailFunc", Variant(makeDetailFunc()));
  d->SetValue("Profile", Variant(makeProfile()));
  d->SetValue("TimeStamp", Variant(timeStamp));
  return d;
}

RecordsetPtr tableOf(const DictionaryPtr& dict, const std::string& key) {
  return dict->GetValue(key).objectAs<Recordset>();
}

std::vector<Variant> column(const RecordsetPtr& rs, const std::string& field) {
  std::vector<Variant> out;
  if (rs->isBOF() && rs->isEOF()) return out;
  for (rs->MoveFirst(); !rs->isEOF(); rs->MoveNext()) out.push_back(rs->value(field));
  if (!out.empty()) rs->MoveFirst();
  return out;
}

std::vector<int32_t> ids(const RecordsetPtr& rs, const std::string& field) {
  std::vector<int32_t> out;
  for (const auto& v : column(rs, field)) out.push_back(platform::CLng(v));
  return out;
}

void StoreTest::SetUp() {
  store::DataInfo::instance().reset();
  store::CallLogState::instance().reset();
  context::LanguageState::instance().reset();

  char pattern[] = "/tmp/wayfind-store-XXXXXX";
  ASSERT_NE(::mkdtemp(pattern), nullptr);
  cacheDir = std::filesystem::path(pattern) / "cache";
  store::SetCacheFolder(cacheDir.string());

  share->values["PropsString"] = Variant("UserID=16394;UserName=王芳;T8Version=9.0;Language=chs");
  share->values["SetupType"] = Variant("Industry");
  share->values["UUID"] = Variant("demo");
  share->values["UserName"] = Variant("王芳");
  server->templateDict = emptyTemplate("T1");
  server->userDict = emptyUserData("U1");

  using platform::ScopedRegistration;
  using platform::sharedFactory;
  regShare = std::make_unique<ScopedRegistration>(erp::progid::kShareProps, sharedFactory(share));
  regLang = std::make_unique<ScopedRegistration>(erp::progid::kLangInfo, sharedFactory(lang));
  regServer = std::make_unique<ScopedRegistration>(erp::progid::kServerDataInfo, sharedFactory(server));
  regDatas = std::make_unique<ScopedRegistration>(erp::progid::kServerDatasInfo, sharedFactory(datas));
  noLog = std::make_unique<platform::ScopedUnregistration>(erp::progid::kLog);
}

void StoreTest::TearDown() {
  store::FunctionSearch::instance().waitForSaving();  // an index being saved into the folder removed below
  noLog.reset();
  regDatas.reset();
  regServer.reset();
  regLang.reset();
  regShare.reset();
  store::SetCacheFolder("");
  store::DataInfo::instance().reset();
  store::CallLogState::instance().reset();
  context::LanguageState::instance().reset();
  std::error_code ec;
  std::filesystem::remove_all(cacheDir.parent_path(), ec);
}

void StoreTest::setLanguage(const std::string& code) {
  lang->code = code;
  context::LanguageState::instance().reset();
}

void StoreTest::newProcess() {
  store::DataInfo::instance().reset();
  context::LanguageState::instance().reset();
}

}  // namespace wayfind::storetest
