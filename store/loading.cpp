// LoadTemplate, LoadUserData and the parsing of the user id.
#include "store/loading.h"

#include <functional>

#include "context/login_props.h"
#include "erp/api/progids.h"
#include "erp/api/server_data_info.h"
#include "platform/automation/conversions.h"
#include "platform/automation/registry.h"
#include "store/cache_files.h"
#include "store/data_info.h"
#include "store/store_errors.h"

namespace wayfind::store {

namespace {

using erp::api::IServerDataInfo;
using platform::DictionaryPtr;
using platform::Recordset;

std::shared_ptr<IServerDataInfo> serverDataInfo() {
  return erp::api::newServerDataInfo();
}

// Splits off the text before the first sep; without sep the whole text is the
// piece and nothing remains.
std::string takeUntil(std::string& rest, char sep) {
  size_t pos = rest.find(sep);
  std::string piece;
  if (pos == std::string::npos) {
    piece = std::move(rest);
    rest.clear();
  } else {
    piece = rest.substr(0, pos);
    rest.erase(0, pos + 1);
  }
  return piece;
}

// The cache file's path, or empty text when the cache folder cannot be had: the
// navigation tree then comes from the server alone.
std::string cachePathOrNone(const std::string& name, int32_t userId) {
  try {
    return CacheFilePath(name, userId);
  } catch (const platform::AutomationError& e) {
    if (e.number() == platform::err::kFileError) return {};
    throw;
  }
}

// The record set under key, or null when the dictionary lacks the key (the slot
// is then left as it is). A value that is not a record set raises 13.
bool takeTable(const DictionaryPtr& dict, const char* key, platform::RecordsetPtr& slot) {
  if (!dict->Lookup(key)) return false;
  auto rs = dict->GetValue(key).objectAs<Recordset>();
  if (!rs) platform::raise(platform::err::kTypeMismatch, kStoreSource,
                           std::string("Not a record set: ") + key);
  slot = std::move(rs);
  return true;
}

// The levels' tables and the profile of a template or a user's dictionary.
template <class Tables>
void takeTreeTables(const DictionaryPtr& dict, Tables& t) {
  takeTable(dict, "TopClass", t.TopClass);
  takeTable(dict, "SubSystem", t.SubSystem);
  takeTable(dict, "SubFunc", t.SubFunc);
  takeTable(dict, "DetailFunc", t.DetailFunc);
  takeTable(dict, "Profile", t.Profile);
}

LoadedVersion versionOf(const DictionaryPtr& dict, const std::string& props) {
  LoadedVersion v;
  try {
    v.timeStamp = platform::CStr(dict->GetValue("TimeStamp", platform::Variant(std::string())));
    v.identity = props;
    v.known = true;
  } catch (...) {
    v = LoadedVersion();
  }
  return v;
}

// The dictionary for version: from the cache file when it matches, otherwise from
// the server (and saved to the file). An empty file name means no cache file.
DictionaryPtr fetchDictionary(const std::string& name, const std::string& version,
                              const std::string& file,
                              const std::function<DictionaryPtr()>& fromServer) {
  DictionaryPtr dict = file.empty() ? nullptr : ReadCachedDictionary(name, version, file);
  if (dict) return dict;
  dict = fromServer();
  if (!dict) raiseNotSet("the server returned no " + name + " dictionary");
  if (!file.empty()) WriteCachedDictionary(name, file, dict);
  return dict;
}

}  // namespace

std::optional<int32_t> UserIdFromProps(const std::string& propsString) {
  std::string rest = propsString;
  while (!rest.empty()) {
    std::string name = platform::trimSpaces(takeUntil(rest, '='));
    rest = platform::trimSpaces(rest);
    std::string value;
    if (!rest.empty() && rest.front() == '{') {
      rest.erase(0, 1);
      value = takeUntil(rest, '}');
      takeUntil(rest, ';');  // whatever stands between "}" and the next ";"
    } else {
      value = takeUntil(rest, ';');
    }
    value = platform::trimSpaces(value);
    if (name == "UserID") return platform::CLng(platform::Variant(value));
  }
  return std::nullopt;
}

void LoadTemplate() { LoadTemplate(context::PropsString()); }

void LoadTemplate(const std::string& props) {
  auto& store = DataInfo::instance();
  const std::string version = serverDataInfo()->GetTemplateVer(props);
  if (store.loadedTemplate.known && store.loadedTemplate.identity == props &&
      store.loadedTemplate.timeStamp == version) {
    return;  // the slots already hold this version
  }
  const std::string file = cachePathOrNone("Template", 0);
  DictionaryPtr dict = fetchDictionary("Template", version, file,
                                       [&] { return serverDataInfo()->GetTemplate(props); });
  store.loadedTemplate = LoadedVersion();
  auto& t = store.templ;
  takeTreeTables(dict, t);
  takeTable(dict, "AcctType", t.AcctType);
  store.loadedTemplate = versionOf(dict, props);
}

void LoadUserData() { LoadUserData(context::PropsString()); }

void LoadUserData(const std::string& props) {
  auto& store = DataInfo::instance();
  const std::string version = serverDataInfo()->GetUserTemplateVer(props);
  // Without a user id the file name cannot tell users apart: no cache file, and
  // no reuse of tables loaded for an unknown user.
  const std::optional<int32_t> userId = UserIdFromProps(props);
  if (userId && store.loadedUser.known && store.loadedUser.identity == props &&
      store.loadedUser.timeStamp == version) {
    return;
  }
  const std::string file = userId ? cachePathOrNone("UserTemplate", *userId) : std::string();
  DictionaryPtr dict = fetchDictionary("UserTemplate", version, file,
                                       [&] { return serverDataInfo()->GetUserData(props); });
  store.loadedUser = LoadedVersion();
  auto& u = store.user;
  takeTreeTables(dict, u);
  if (userId) store.loadedUser = versionOf(dict, props);
}

}  // namespace wayfind::store
