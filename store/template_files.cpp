#include "store/template_files.h"

#include "context/language.h"
#include "context/login_props.h"
#include "erp/api/progids.h"
#include "erp/api/server_datas_info.h"
#include "erp/api/server_datas_update.h"
#include "platform/automation/registry.h"
#include "platform/containers/atomic_file.h"
#include "platform/containers/dictionary.h"
#include "platform/recordset/recordset.h"

namespace wayfind::store {

namespace {

constexpr const char* kImportSource = "WayfindInfo.DataInfo.Import";
constexpr const char* kUserDataTables[] = {"TopClass", "SubSystem", "SubFunc", "DetailFunc", "Profile"};

[[noreturn]] void invalidTemplateFile() {
  throw platform::AutomationError(platform::err::kInvalidProcedureCall, kImportSource,
                                  context::GetLangText("无效或错误的模板文件，请重新选择。"));
}

}  // namespace

bool LooksLikeUserData(const platform::Dictionary& dict) {
  for (const char* key : kUserDataTables) {
    if (!dict.Lookup(key)) return false;
    if (!dict.GetValue(key).objectAs<platform::Recordset>()) return false;
  }
  return true;
}

void Export(const std::string& strFile) {
  const std::string props = context::PropsString();
  platform::DictionaryPtr dict;
  {
    auto server = erp::api::newServerDatasInfo();
    dict = server->ExportUserData(props);
  }
  if (!dict)
    throw platform::AutomationError(platform::err::kInvalidProcedureCall, erp::progid::kServerDatasInfo,
                                    "ExportUserData returned no dictionary.");
  // Save writes a temporary file beside the target and renames it over the target.
  dict->Save(strFile);
}

void Import(const std::string& strFile) {
  // A pipe, a device or a folder is no template file: said so plainly, and
  // never opened to wait for a writer.
  if (auto kind = platform::nonRegularKind(strFile))
    throw platform::AutomationError(platform::err::kFileError, kImportSource,
                                    "Cannot read the file \"" + strFile + "\": it is " + *kind +
                                        ", not a regular file.");
  auto dict = std::make_shared<platform::Dictionary>();
  // Load reports failure instead of raising; a file that is not a saved dictionary,
  // or one that is not shaped like exported user data, is refused before the
  // server sees anything. The tables are asked for while the file is loaded: a
  // large file of another shape is then refused from its structure alone.
  static const std::vector<std::string> tables(std::begin(kUserDataTables), std::end(kUserDataTables));
  if (!dict->LoadExpecting(strFile, tables) || !LooksLikeUserData(*dict)) invalidTemplateFile();
  const std::string props = context::PropsString();
  auto server = erp::api::newServerDatasUpdate();
  server->ImportUserData(props, dict);
}

}  // namespace wayfind::store
