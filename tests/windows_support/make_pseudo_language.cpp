// Makes the resources folder of the pseudo-language: a copy of the translation
// tables of SOURCE/lang with a table "BASE.qps.tsv" beside each base name (every
// text any language translates, see pseudo_language.h), and the other folders of
// SOURCE linked in, so the tests find everything else where they always do.
//   make_pseudo_language SOURCE OUTPUT
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <string>

#include "windows_support/pseudo_language.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: make_pseudo_language SOURCE OUTPUT\n";
    return 2;
  }
  const fs::path source = argv[1];
  const fs::path output = argv[2];
  try {
    fs::create_directories(output / "lang");
    for (const auto& entry : fs::directory_iterator(source)) {
      const fs::path link = output / entry.path().filename();
      if (!entry.is_directory() || entry.path().filename() == "lang" || fs::exists(fs::symlink_status(link))) continue;
      fs::create_directory_symlink(fs::absolute(entry.path()), link);
    }
    // The texts of each base name, as the tables give them (escapes kept).
    std::map<std::string, std::set<std::string>> texts;
    for (const auto& entry : fs::directory_iterator(source / "lang")) {
      const std::string name = entry.path().filename().string();
      if (entry.path().extension() != ".tsv" || name.ends_with(".qps.tsv")) continue;
      fs::copy_file(entry.path(), output / "lang" / name, fs::copy_options::overwrite_existing);
      auto& set = texts[name.substr(0, name.find('.'))];
      std::ifstream in(entry.path());
      std::string line;
      while (std::getline(in, line)) {
        if (line.starts_with("\xEF\xBB\xBF")) line.erase(0, 3);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const size_t tab = line.find('\t');
        if (line.empty() || line[0] == '#' || tab == std::string::npos) continue;
        set.insert(line.substr(0, tab));
      }
    }
    for (const auto& [base, keys] : texts) {
      const fs::path file = output / "lang" / (base + ".qps.tsv");
      std::ofstream out(file.string() + ".tmp", std::ios::binary);
      out << "# Made by make_pseudo_language from the tables of " << base << ": each text in markers, 40 % longer.\n";
      for (const std::string& key : keys) out << key << '\t' << wayfind::windowtests::pseudoText(key) << '\n';
      out.close();
      if (!out) throw std::runtime_error("cannot write " + file.string());
      fs::rename(file.string() + ".tmp", file);
    }
  } catch (const std::exception& e) {
    std::cerr << "make_pseudo_language: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
