// A host of WayfindInfo: it registers the embedded ERP and the component's three
// public classes, logs a user in, creates WayfindInfo.DatasInfo by its ProgID and
// prints the user's top classes; with --options it opens the options dialog
// through WayfindInfo.Application, as an ERP client's console does.
#include <cstdlib>
#include <iostream>
#include <string>

#include "launcher/application.h"
#include "launcher/register_windows.h"
#include "erp/api/progids.h"
#include "erp/client/data_services.h"
#include "erp/client/register_client.h"
#include "erp/frmres/frm_res_loader.h"
#include "erp/middletier/register_server.h"
#include "erp/storage/database.h"
#include "platform/automation/automation_error.h"
#include "platform/automation/conversions.h"
#include "platform/automation/dispatch.h"
#include "platform/automation/registry.h"
#include "store/datas_info.h"
#include "update/datas_update.h"
#include "wayfind_version.h"
#include "widgets/windows_runtime.h"

using namespace wayfind;

int main(int argc, char** argv) {
  std::string database = "wayfind-host.db", language = "chs";
  int32_t user = 16385;
  bool options = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--db" && i + 1 < argc) database = argv[++i];
    else if (a == "--user" && i + 1 < argc) user = std::atoi(argv[++i]);
    else if (a == "--lang" && i + 1 < argc) language = argv[++i];
    else if (a == "--options") options = true;
    else {
      std::cerr << "usage: wayfind_host [--db FILE] [--user ID] [--lang chs|en|cht] [--options]\n";
      return 2;
    }
  }
  try {
    // The ERP this host runs on (the embedded one: an SQLite file with the demo
    // company), then the component.
    erp::client::registerClientComponents();
    erp::client::registerDataServices();
    erp::middletier::registerServerComponents();
    erp::storage::CurrentDatabase::set(database);
    store::registerDatasInfo();
    update::registerDatasUpdate();
    launcher::registerApplication();
    erp::client::setLoginLanguage(language);
    erp::client::publishLogin(erp::client::makeLogin(user, "host", "Industry", "host-example"));

    std::cout << "WayfindInfo " << WAYFIND_VERSION << ", user " << user << "'s top classes:\n";
    auto info = store::newDatasInfo();
    auto tops = info->GetTopClass();
    for (tops->MoveFirst(); !tops->isEOF(); tops->MoveNext())
      std::cout << "  " << platform::CStr(tops->value("FTopClassID")) << "  " << platform::CStr(tops->value("FTopClassName"))
                << "\n";

    if (options) {
      int qtArgc = 1;
      char* qtArgv[] = {argv[0], nullptr};
      auto app = widgets::makeApplication(qtArgc, qtArgv);
      erp::frmres::registerFrmResLoader();  // the ERP client service the windows use
      launcher::registerAllWindows();
      widgets::WindowsSession windows;
      auto object = platform::Registry::instance().create(erp::progid::kApplication);
      platform::Args none;
      std::dynamic_pointer_cast<platform::Dispatchable>(object)->invoke("ShowOption", none);
    }
  } catch (const platform::AutomationError& e) {
    std::cerr << "wayfind_host: error " << e.number() << " (" << e.source() << "): " << e.description() << "\n";
    return 1;
  }
  return 0;
}
