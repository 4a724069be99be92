// The smallest host, built with pkg-config's flags and nothing else.
#include <wayfind/session.h>
#include <wayfind/tree.h>

#include <iostream>

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  auto session = wayfind::Session::open({.database = argv[1], .language = "en"});
  for (const auto& top : wayfind::topClasses(session)) std::cout << top.id << "  " << top.name << "\n";
}
