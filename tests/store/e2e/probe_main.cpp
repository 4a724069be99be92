// A second process on the same database and cache folder:
//   store_e2e_probe <database> <cache folder> <user id> read <subsystem id>
//     prints "id<TAB>name" of the subsystem's sub-functions, one a line;
//   store_e2e_probe <database> <cache folder> <user id> rename <subsystem id> <sub-function id> <name>
//     renames the sub-function for the user through the middle tier's
//     "ZelWayfind.DatasUpdate", as the main-console editor's save does.
#include <cstdlib>
#include <iostream>
#include <string>

#include "context/login_props.h"
#include "e2e_env.h"
#include "erp/api/progids.h"
#include "erp/api/server_datas_update.h"
#include "platform/automation/registry.h"
#include "platform/automation/automation_error.h"
#include "platform/automation/conversions.h"
#include "store/data_info.h"
#include "store/queries.h"

int main(int argc, char** argv) {
  using namespace wayfind;
  if (argc < 6) {
    std::cerr << "usage: store_e2e_probe <database> <cache> <user> read|rename <subsystem> [<subfunc> <name>]\n";
    return 2;
  }
  try {
    const std::filesystem::path database = argv[1];
    const int32_t user = std::atoi(argv[3]);
    const std::string mode = argv[4];
    const int32_t subSys = std::atoi(argv[5]);
    storee2e::startErp(database, argv[2], user);
    if (mode == "rename" && argc >= 8) {
      auto server = platform::Registry::instance().createAs<erp::api::IServerDatasUpdate>(
          erp::progid::kServerDatasUpdate);
      int32_t subFunc = std::atoi(argv[6]);
      std::string name = argv[7];
      server->UpdateSubSysFuncName(context::PropsString(), subFunc, name);
      return 0;
    }
    store::Initial();
    auto rs = store::GetSubFunc(subSys);
    for (; !rs->isEOF(); rs->MoveNext()) {
      std::cout << platform::CStr(rs->value("FSubFuncID")) << '\t' << platform::CStr(rs->value("FFuncName"))
                << '\n';
    }
    return 0;
  } catch (const platform::AutomationError& e) {
    std::cerr << "error " << e.number() << ": " << e.description() << '\n';
    return 1;
  }
}
