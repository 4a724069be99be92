// The entry of the module libwayfind_gui: the program opens it when a command
// that needs the windows runs (app/window_commands.h), and this puts the real
// window commands in the place of the program's stand-ins.
#include "app/console/console_screenshot.h"
#include "app/console/window_commands.h"
#include "app/screenshot/screenshot.h"

extern "C" __attribute__((visibility("default"))) void wayfind_gui_add_commands() {
  wayfind::app::console::addWindowCommands();
  wayfind::app::screenshot::addScreenshotCommand();
}
