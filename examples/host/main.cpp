// A host of WayfindInfo: wayfind_host DATABASE USER [chs|cht|en] [--options]
#include <wayfind/session.h>
#include <wayfind/tree.h>

#include <charconv>
#include <cstdint>
#include <iostream>
#include <string>
#ifdef WAYFIND_HOST_WINDOWS
#include <QApplication>
#include <wayfind/windows.h>
#endif

int main(int argc, char** argv) {
  if (argc < 3) return std::cerr << "usage: wayfind_host DATABASE USER [chs|cht|en] [--options]\n", 2;
  const std::string userText = argv[2];
  int32_t user = 0;
  const auto [end, ec] = std::from_chars(userText.data(), userText.data() + userText.size(), user);
  if (ec != std::errc() || end != userText.data() + userText.size())
    return std::cerr << "wayfind_host: USER is an ERP user id (16385, say), not \"" << userText << "\"\n", 2;
  try {
    auto session = wayfind::Session::open({.database = argv[1], .user = user,
                                           .language = argc > 3 ? argv[3] : "chs"});
    for (const wayfind::Node& top : wayfind::topClasses(session)) {
      std::cout << top.id << "  " << top.name << "\n";
      for (const wayfind::Node& sys : wayfind::children(session, top)) std::cout << "    " << sys.name << "\n";
    }
#ifdef WAYFIND_HOST_WINDOWS
    if (argc > 4 && std::string(argv[4]) == "--options") {
      QApplication app(argc, argv);
      wayfind::Windows(session).show(wayfind::Window::Options);
    }
#endif
  } catch (const wayfind::Error& e) {
    return std::cerr << "error " << e.number() << ": " << e.what() << "\n", 1;
  }
}
