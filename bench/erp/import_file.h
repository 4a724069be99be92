// The template file the import benchmarks read: a user's own customisation,
// exported, with as many custom detail functions as asked under the template's
// first sub-function.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "erp/middletier/server_datas_info.h"
#include "erp/storage/database.h"
#include "platform/containers/dictionary.h"
#include "platform/recordset/recordset.h"

namespace wayfind::bench {

// props: the importer's login properties; helpCodes: give each function a help code.
inline platform::DictionaryPtr bigImportFile(const std::filesystem::path& db, const std::string& props, int32_t importer,
                                             int functions, bool helpCodes) {
  erp::middletier::ServerDatasInfo datas(db);
  auto d = datas.ExportUserData(props);
  auto first = erp::storage::connectionFor(db)->prepare("SELECT MIN(FSubFuncID) FROM t_NavSubFunc");
  first.step();
  const int32_t subFunc = first.int32(0);
  auto rs = d->GetValue("DetailFunc").objectAs<platform::Recordset>();
  const int n = rs->fieldCount();
  for (int i = 0; i < functions; ++i) {
    std::vector<platform::Variant> row(static_cast<size_t>(n), platform::Variant::null());
    for (int f = 0; f < n; ++f) {
      const std::string name = rs->fieldInfo(f).name;
      if (name == "FUserID") row[f] = platform::Variant(importer);
      else if (name == "FSubFuncID") row[f] = platform::Variant(subFunc);
      else if (name == "FDetailFuncID") row[f] = platform::Variant(1500000000 + i);
      else if (name == "FFuncName") row[f] = platform::Variant("导入的功能" + std::to_string(i));
      else if (name == "FHelpCode" && helpCodes) row[f] = platform::Variant("drgn" + std::to_string(i));
      else if (name == "FIndex") row[f] = platform::Variant(i + 1);
      else if (name == "FVisible" || name == "FEnable") row[f] = platform::Variant(1);
      else if (name == "FClassName") row[f] = platform::Variant("/opt/imported");
    }
    rs->appendStoredRow(std::move(row));
  }
  return d;
}

}  // namespace wayfind::bench
