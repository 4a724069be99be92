// Fakes of the components the store talks to, builders of navigation tables, and
// a fixture that gives every test a fresh store, its own cache folder and a login.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "context/language.h"
#include "erp/api/language.h"
#include "erp/api/progids.h"
#include "erp/api/server_data_info.h"
#include "erp/api/server_datas_info.h"
#include "erp/api/share_props.h"
#include "platform/automation/automation_error.h"
#include "platform/automation/registry.h"
#include "platform/containers/dictionary.h"
#include "platform/recordset/recordset.h"
#include "store/cache_files.h"
#include "store/call_log.h"
#include "store/data_info.h"

namespace wayfind::storetest {

using platform::DataType;
using platform::Dictionary;
using platform::DictionaryPtr;
using platform::Recordset;
using platform::RecordsetPtr;
using platform::Variant;

class FakeShareProps : public erp::api::IShareProps {
 public:
  std::map<std::string, Variant> values;
  Variant GetProperty(int32_t&, std::string& name) override {
    auto it = values.find(name);
    return it == values.end() ? Variant() : it->second;
  }
  void SetProperty(int32_t, const std::string& name, const Variant& value) override { values[name] = value; }
};

class FakeLangInfo : public erp::api::ILangInfo {
 public:
  std::string code = "chs";
  std::string CurrentLanguage() override { return code; }
};

// "ZelWayfind.clsDataInfo": versions and dictionaries set by the test, calls
// counted. A dictionary is handed out as a fresh copy, as it would arrive from a
// server, so tests never share record sets with the store by accident.
class FakeServerDataInfo : public erp::api::IServerDataInfo {
 public:
  std::string templateVersion = "T1";
  std::string userVersion = "U1";
  DictionaryPtr templateDict;
  DictionaryPtr userDict;
  int templateVerCalls = 0, templateCalls = 0, userVerCalls = 0, userCalls = 0;
  std::vector<std::string> propsSeen;

  std::string GetTemplateVer(const std::string& props) override {
    ++templateVerCalls;
    propsSeen.push_back(props);
    return templateVersion;
  }
  DictionaryPtr GetTemplate(const std::string&) override {
    ++templateCalls;
    return copy(templateDict);
  }
  std::string GetUserTemplateVer(const std::string&) override {
    ++userVerCalls;
    return userVersion;
  }
  DictionaryPtr GetUserData(const std::string&) override {
    ++userCalls;
    return copy(userDict);
  }
  int dictionaryCalls() const { return templateCalls + userCalls; }

 private:
  static DictionaryPtr copy(const DictionaryPtr& d) {
    if (!d) return nullptr;
    auto c = std::make_shared<Dictionary>();
    if (!c->deserialize(d->serialize())) throw std::runtime_error("copy failed");
    return c;
  }
};

// "ZelWayfind.DatasInfo": only what the store asks of it.
class FakeServerDatasInfo : public erp::api::IServerDatasInfo {
 public:
  RecordsetPtr helpRows;
  std::string lastHelpCode;
  Variant nextIndex = Variant(int32_t{7});
  Variant nextId = Variant(int32_t{10000042});
  bool fail = false;

  std::string GetSubSysClass(const std::string&, int32_t& id, int32_t& type) override {
    if (fail) platform::raise(5, "fake", "server down");
    return "Class" + std::to_string(id) + "_" + std::to_string(type);
  }
  std::string GetSubSysName(const std::string&, int32_t& id) override {
    if (fail) platform::raise(5, "fake", "server down");
    return "Sys" + std::to_string(id);
  }
  RecordsetPtr GetHelpCodeInfo(const std::string&, std::string& code) override {
    lastHelpCode = code;
    if (fail) platform::raise(5, "fake", "server down");
    return helpRows;
  }
  Variant GetNextIndex(const std::string&, int32_t&, int32_t&) override { return nextIndex; }
  Variant GetNextID(const std::string&, int32_t&, int32_t&) override { return nextId; }
  DictionaryPtr ExportUserData(const std::string&) override { return nullptr; }
  Variant GetNormalFuncGroup(const std::string&) override { return {}; }
  Variant GetDetailNormalFunc(const std::string&, int32_t&) override { return {}; }
};

// ---- table builders: the fields of the middle tier's record sets ----

RecordsetPtr makeTopClass();
RecordsetPtr makeSubSystem();
RecordsetPtr makeSubFunc();
RecordsetPtr makeDetailFunc();
RecordsetPtr makeProfile();
RecordsetPtr makeAcctType();

// Appends a row given as field -> value.
void addRow(const RecordsetPtr& rs, const std::map<std::string, Variant>& values);

// A template dictionary with empty tables of every key and TimeStamp.
DictionaryPtr emptyTemplate(const std::string& timeStamp);
DictionaryPtr emptyUserData(const std::string& timeStamp);
RecordsetPtr tableOf(const DictionaryPtr& dict, const std::string& key);

// The values of one field over the visible rows, in view order.
std::vector<Variant> column(const RecordsetPtr& rs, const std::string& field);
std::vector<int32_t> ids(const RecordsetPtr& rs, const std::string& field);

// Fresh store, own cache folder, fake login, language, and both server fakes.
class StoreTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  void setProps(const std::string& propsString) { share->values["PropsString"] = Variant(propsString); }
  void setSetupType(const std::string& setupType) { share->values["SetupType"] = Variant(setupType); }
  void setLanguage(const std::string& code);
  // The template's and the user's dictionaries as the server will deliver them.
  DictionaryPtr& templ() { return server->templateDict; }
  DictionaryPtr& user() { return server->userDict; }
  // A new process: the store forgets everything, the files stay.
  void newProcess();

  std::filesystem::path cacheDir;
  std::shared_ptr<FakeShareProps> share = std::make_shared<FakeShareProps>();
  std::shared_ptr<FakeLangInfo> lang = std::make_shared<FakeLangInfo>();
  std::shared_ptr<FakeServerDataInfo> server = std::make_shared<FakeServerDataInfo>();
  std::shared_ptr<FakeServerDatasInfo> datas = std::make_shared<FakeServerDatasInfo>();

 private:
  std::unique_ptr<platform::ScopedRegistration> regShare, regLang, regServer, regDatas;
  std::unique_ptr<platform::ScopedUnregistration> noLog;
};

}  // namespace wayfind::storetest
