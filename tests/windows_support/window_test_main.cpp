// The main of every window test executable: one QApplication on Qt's offscreen
// platform for the whole run, destroyed after the tests (and their forms), and
// every window registered as the program registers them.
#include <gtest/gtest.h>

#include "launcher/register_windows.h"
#include "widgets/form_registry.h"
#include "widgets/windows_runtime.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  auto app = wayfind::widgets::makeApplication(argc, argv);
  wayfind::launcher::registerAllWindows();
  const int result = RUN_ALL_TESTS();
  wayfind::widgets::FormRegistry::instance().releaseAll();
  return result;
}
