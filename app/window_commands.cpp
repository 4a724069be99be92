#include "app/window_commands.h"

#include <mutex>

#include "app/command_line.h"
#include "platform/modules/module_loader.h"

namespace wayfind::app {

#ifdef WAYFIND_WITH_WINDOWS

namespace {

struct Proxy {
  const char* name;
  const char* summary;
};

// The same names and summaries as the windows' module gives its commands.
constexpr Proxy kWindowCommands[] = {
    {"console-screenshot", "render the console showing a view to a PNG picture"},
    {"console", "the main console window: tree, favourites, help codes, search"},
    {"edit", "the main-console editor on its own"},
    {"favourites --edit", "the favourites editor on its own"},
    {"options", "the options dialog on its own"},
    {"screenshot", "render a window to a PNG picture, without a display"},
};

void loadWindows() {
  static std::once_flag once;
  std::call_once(once, [] {
    const auto add = platform::moduleEntry<void (*)()>("libwayfind_gui.so", "wayfind_gui_add_commands", "the windows");
    add();
  });
}

}  // namespace

void addWindowCommandsOnDemand() {
  for (const auto& p : kWindowCommands) {
    AddedCommand command;
    command.name = p.name;
    command.summary = p.summary;
    command.prepare = loadWindows;
    addCommand(std::move(command));
  }
}

#else

void addWindowCommandsOnDemand() {}

#endif

}  // namespace wayfind::app
