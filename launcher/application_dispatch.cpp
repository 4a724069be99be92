// The late-bound face of Application: its three methods by name, in slot order.
#include "launcher/application.h"

namespace wayfind::launcher {

using namespace platform;

namespace {

const MethodTable<Application>& table() {
  static const MethodTable<Application> t = [] {
    MethodTable<Application> d;
    d.add("ShowSetNormal", 0, [](Application& current, Args&) { return Variant(current.ShowSetNormal()); });
    d.add("ShowSetProp", 0, [](Application& current, Args&) { return Variant(current.ShowSetProp()); });
    d.add("ShowOption", 0, [](Application& current, Args&) {
      current.ShowOption();
      return Variant();
    });
    return d;
  }();
  return t;
}

}  // namespace

Variant Application::invoke(std::string_view name, Args& args) { return table().invoke(*this, name, args, kProgId); }

std::vector<std::string> Application::methodNames() const { return table().names(); }

}  // namespace wayfind::launcher
