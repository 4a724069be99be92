// A process locale whose decimal point is a comma, as a window's process gets
// from a desktop set to German or French (Qt takes the environment's locale).
// Made with localedef into a scratch folder, so no locale need be installed.
#pragma once

#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace wayfind::testing {

// Puts LC_NUMERIC to such a locale until the object goes; active() is false when
// localedef could not make it.
class CommaLocale {
 public:
  CommaLocale() {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("wayfind-comma-locale-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::ofstream(dir / "comma.src") << "LC_NUMERIC\ndecimal_point \"<U002C>\"\nthousands_sep \"<U002E>\"\n"
                                        "grouping 3;3\nEND LC_NUMERIC\n";
    const std::string make = "localedef -c -i '" + (dir / "comma.src").string() + "' '" + (dir / "comma").string() +
                             "' >/dev/null 2>&1";
    [[maybe_unused]] const int made = std::system(make.c_str());
    ::setenv("LOCPATH", dir.string().c_str(), 1);
    active_ = std::setlocale(LC_NUMERIC, "comma") != nullptr;
    ::unsetenv("LOCPATH");
    fs::remove_all(dir);
  }
  ~CommaLocale() { std::setlocale(LC_NUMERIC, "C"); }
  CommaLocale(const CommaLocale&) = delete;
  CommaLocale& operator=(const CommaLocale&) = delete;
  bool active() const { return active_; }

 private:
  bool active_ = false;
};

}  // namespace wayfind::testing
