// Every registered window, opened in English and in traditional Chinese, has a
// translation for each caption: those in its layout (what the window resource
// loader reports as untranslated) and, in English, those the window sets itself
// while it loads and prepares (any caption still showing Chinese). New windows
// are checked as soon as they are registered.
#include <gtest/gtest.h>

#include "erp/api/frm_res_loader.h"
#include "erp/frmres/frm_res_loader.h"
#include "launcher/register_windows.h"
#include "widgets/form_registry.h"
#include "windows_support/window_test_support.h"


namespace wayfind::widgets {
namespace {

struct Case {
  std::string window;
  std::string language;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.window << " in " << c.language; }

// The cases are made while the tests are registered, before main registers the
// windows, so this registers them itself.
std::vector<Case> everyWindowInBothLanguages() {
  launcher::registerAllWindows();
  std::vector<Case> out;
  for (const auto& name : forms().names())
    for (const char* lang : {"en", "cht"}) out.push_back({name, lang});
  return out;
}

class WindowTranslationsTest : public windowtests::WindowTest, public ::testing::WithParamInterface<Case> {};

TEST_P(WindowTranslationsTest, EveryCaptionHasATranslation) {
  const Case& c = GetParam();
  setLanguage(c.language);
  forms().release(c.window);
  Form* form = forms().form(c.window);

  // The layout's captions, as the loader finds them before the window loads.
  erp::frmres::FrmResLoader loader;
  platform::ObjectPtr window = form->automationObject();
  platform::ObjectPtr reserved;
  auto list = std::dynamic_pointer_cast<erp::api::TextList>(
      loader.LoadFrmResStrings(window, c.language, "", "T8Base", reserved));
  ASSERT_TRUE(list);
  EXPECT_TRUE(list->items().empty()) << c.window << " in " << c.language << ": no translation for\n"
                                     << windowtests::join(list->items());

  // What the window shows once loaded and prepared as its screenshot shows it.
  form->Load();
  if (auto prepare = forms().screenshotPrepare(c.window)) prepare(*form);
  if (c.language == "en") {
    const auto shown = erp::frmres::chineseCaptionsShown(form);
    EXPECT_TRUE(shown.empty()) << c.window << " in English still shows\n" << windowtests::join(shown);
  }
  form->Unload();
  forms().release(c.window);
}

std::string caseName(const ::testing::TestParamInfo<Case>& info) {
  std::string name = info.param.window + "_" + info.param.language;
  for (char& ch : name)
    if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
  return name;
}

INSTANTIATE_TEST_SUITE_P(AllWindows, WindowTranslationsTest, ::testing::ValuesIn(everyWindowInBothLanguages()),
                         caseName);

TEST(WindowRegistryTest, EveryWindowFolderRegisteredItsWindows) {
  launcher::registerAllWindows();
  // At least the windows the console's commands open by name.
  for (const char* name : {"dlgSetProp", "dlgSetNormal", "dlgOptions", "dlgProperties", "dlgAddItem",
                           "frmSelectUser", "dlgGroup", "frmAllFunc"})
    EXPECT_TRUE(forms().contains(name)) << name;
}

}  // namespace
}  // namespace wayfind::widgets
