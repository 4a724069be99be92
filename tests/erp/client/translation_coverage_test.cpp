// Every Chinese text the program can show must have an English and a traditional
// Chinese translation in resources/lang. The texts are found as the Chinese string
// literals of the sources, so a new message that is not added to both tables
// fails here.
//
// Not scanned: tests/ and the folders whose Chinese literals are data rather than
// displayed texts: erp/demo (the demo company's navigation tree and users, which
// carry their own name columns per language) and erp/storage (database contents).
// The middle tier's messages have tables of their own (ZelWayfind.*.tsv): every
// Chinese literal of erp/middletier must be there.
// A literal elsewhere that is only data may be exempted by putting the comment
// "lang:data" on its line. Literals that span lines (the command line's usage
// texts) are documents, not looked-up texts: a looked-up text is one line, and a
// composite message is built from separately looked-up one-line pieces.
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include <gtest/gtest.h>

#include "erp/text/translation_table.h"
#include "platform/automation/conversions.h"

namespace wayfind::erp::client {
namespace {

namespace fs = std::filesystem;
using text::TranslationTable;

const fs::path kSourceDir = WAYFIND_SOURCE_DIR;
const char* const kDataFolders[] = {"erp/demo", "erp/storage", "erp/middletier"};
// The tables and the folders whose texts they translate.
struct Tables {
  const char* base;
  std::vector<const char*> folders;
};
const Tables kTables[] = {
    {"T8Base", {"platform", "erp", "context", "store", "update", "app", "launcher", "editor", "options", "favourites", "dialogs",
                "widgets"}},
    {"ZelWayfind", {"erp/middletier"}},
};

struct Literal {
  std::string text;
  std::string where;  // file:line
};

bool hasChinese(const std::string& s) {
  // UTF-8 of U+4E00..U+9FFF: lead byte 0xE4..0xE9.
  for (unsigned char c : s)
    if (c >= 0xE4 && c <= 0xE9) return true;
  return false;
}

// The string literals of a C++ source, outside comments, with escapes of quotes
// and backslashes undone.
std::vector<Literal> stringLiterals(const std::string& src, const std::string& file) {
  std::vector<Literal> out;
  std::vector<size_t> lineStarts{0};
  for (size_t i = 0; i < src.size(); ++i)
    if (src[i] == '\n') lineStarts.push_back(i + 1);
  auto lineOf = [&](size_t pos) {
    return static_cast<size_t>(std::upper_bound(lineStarts.begin(), lineStarts.end(), pos) - lineStarts.begin());
  };
  auto lineText = [&](size_t line) {
    size_t b = lineStarts[line - 1];
    size_t e = src.find('\n', b);
    return src.substr(b, e == std::string::npos ? std::string::npos : e - b);
  };
  size_t i = 0;
  while (i < src.size()) {
    if (src.compare(i, 2, "//") == 0) {
      i = src.find('\n', i);
      if (i == std::string::npos) break;
    } else if (src.compare(i, 2, "/*") == 0) {
      i = src.find("*/", i + 2);
      if (i == std::string::npos) break;
      i += 2;
    } else if (src[i] == 'R' && i + 1 < src.size() && src[i + 1] == '"' &&
               (i == 0 || !(std::isalnum(static_cast<unsigned char>(src[i - 1])) || src[i - 1] == '_') ||
                src[i - 1] == '8' || src[i - 1] == 'u' || src[i - 1] == 'U' || src[i - 1] == 'L')) {
      const size_t open = src.find('(', i + 2);
      if (open == std::string::npos) break;
      const std::string close = ")" + src.substr(i + 2, open - i - 2) + "\"";
      const size_t end = src.find(close, open + 1);
      if (end == std::string::npos) break;
      out.push_back({src.substr(open + 1, end - open - 1), file + ":" + std::to_string(lineOf(i))});
      i = end + close.size();
    } else if (src[i] == '"' || src[i] == '\'') {
      const char quote = src[i];
      const size_t start = i;
      std::string text;
      for (++i; i < src.size() && src[i] != quote && src[i] != '\n'; ++i) {
        if (src[i] == '\\' && i + 1 < src.size()) {
          ++i;
          text += (src[i] == 'n') ? '\n' : (src[i] == 't') ? '\t' : src[i];
        } else {
          text += src[i];
        }
      }
      ++i;
      if (quote == '"') out.push_back({text, file + ":" + std::to_string(lineOf(start))});
    } else {
      ++i;
    }
  }
  // Exempted lines.
  std::vector<Literal> kept;
  for (auto& l : out) {
    const size_t line = std::stoul(l.where.substr(l.where.rfind(':') + 1));
    if (lineText(line).find("lang:data") == std::string::npos) kept.push_back(std::move(l));
  }
  return kept;
}

bool inDataFolder(const fs::path& file, const fs::path& scanned) {
  const std::string rel = fs::relative(file, kSourceDir).generic_string();
  for (const char* folder : kDataFolders)
    if (rel.starts_with(std::string(folder) + "/") && !fs::equivalent(kSourceDir / folder, scanned)) return true;
  return false;
}

std::vector<Literal> chineseLiteralsOf(const std::vector<const char*>& folders) {
  std::vector<Literal> found;
  for (const char* folder : folders) {
    const fs::path dir = kSourceDir / folder;
    if (!fs::is_directory(dir)) continue;
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
      const auto ext = entry.path().extension();
      if (!entry.is_regular_file() || (ext != ".cpp" && ext != ".h") || inDataFolder(entry.path(), dir)) continue;
      std::ifstream in(entry.path(), std::ios::binary);
      std::stringstream buf;
      buf << in.rdbuf();
      for (auto& l : stringLiterals(buf.str(), fs::relative(entry.path(), kSourceDir).generic_string()))
        if (hasChinese(l.text) && l.text.find('\n') == std::string::npos) found.push_back(std::move(l));
    }
  }
  return found;
}

TranslationTable table(const std::string& language, const std::string& base = "T8Base") {
  return TranslationTable::load(kSourceDir / "resources" / "lang" / (base + "." + language + ".tsv"));
}

TEST(TranslationCoverage, TheScannerFindsLiteralsOutsideComments) {
  const std::string src =
      "// \"注释\"\n"
      "auto a = GetLangText(\" 名称 \");  /* \"块注释\" */\n"
      "auto b = \"引号\\\"内\";\n"
      "auto c = R\"x(原始\"文本)x\";\n"
      "auto d = \"演示数据\";  // lang:data\n"
      "char e = '\"'; auto f = \"删除\";\n";
  auto literals = stringLiterals(src, "f.cpp");
  std::vector<std::string> texts;
  for (auto& l : literals) texts.push_back(l.text);
  EXPECT_EQ(texts, (std::vector<std::string>{" 名称 ", "引号\"内", "原始\"文本", "删除"}));
  EXPECT_EQ(literals[0].where, "f.cpp:2");
}

TEST(TranslationCoverage, EveryChineseTextOfTheSourcesIsTranslated) {
  for (const auto& t : kTables) {
    const auto en = table("en", t.base);
    const auto cht = table("cht", t.base);
    std::set<std::string> reported;
    for (const auto& literal : chineseLiteralsOf(t.folders)) {
      const std::string key = platform::trimSpaces(literal.text);
      if (!reported.insert(key + "@" + literal.where).second) continue;
      EXPECT_NE(en.find(key), nullptr) << literal.where << ": no English translation of \"" << key << "\" in " << t.base;
      EXPECT_NE(cht.find(key), nullptr) << literal.where << ": no traditional Chinese translation of \"" << key
                                        << "\" in " << t.base;
    }
  }
}

TEST(TranslationCoverage, BothTablesTranslateTheSameTextsCompletely) {
  const std::regex placeholder("%[1-9]");
  auto placeholders = [&](const std::string& s) {
    std::multiset<std::string> found;
    for (std::sregex_iterator it(s.begin(), s.end(), placeholder), end; it != end; ++it) found.insert(it->str());
    return found;
  };
  for (const auto& t : kTables) {
    SCOPED_TRACE(t.base);
    const auto en = table("en", t.base);
    const auto cht = table("cht", t.base);
    for (const auto* pair : {&en, &cht}) {
      const auto& other = pair == &en ? cht : en;
      for (const auto& [text, translation] : pair->entries()) {
        EXPECT_TRUE(hasChinese(text)) << "\"" << text << "\" is not a Chinese text";
        EXPECT_EQ(text, platform::trimSpaces(text)) << "keys are trimmed: \"" << text << "\"";
        EXPECT_FALSE(platform::trimSpaces(translation).empty()) << "empty translation of \"" << text << "\"";
        EXPECT_NE(other.find(text), nullptr) << "\"" << text << "\" is translated in one table only";
        EXPECT_EQ(placeholders(translation), placeholders(text)) << "placeholders of \"" << text << "\"";
      }
    }
    // English translations are English.
    for (const auto& [text, translation] : en.entries())
      EXPECT_FALSE(hasChinese(translation)) << "\"" << text << "\" -> \"" << translation << "\"";
    EXPECT_GE(en.entries().size(), 100u);
  }
}

// The simplified characters of the client's own texts, each of which is written
// differently in traditional Chinese ("台" is left out: it is the usual form in
// "主控台" and "平台" there too).
constexpr const char* kSimplifiedOnly =
    "与业个为义于会关决击刚删动单发号启图复对导将层属岚应开当录径态户执择据数无时显机权条构标"
    "没点码确称类级组细织终绝统继绩续编节获见认记许设识询该语误请读败资载辑输边过还进选错长门闭项须";

TEST(TranslationCoverage, TraditionalChineseUsesNoSimplifiedCharacters) {
  std::vector<std::string> simplified;
  for (const char* p = kSimplifiedOnly; *p; p += 3) simplified.emplace_back(p, 3);  // 3-byte UTF-8 each
  for (const auto& t : kTables) {
    const auto cht = table("cht", t.base);
    for (const auto& [text, translation] : cht.entries())
      for (const auto& c : simplified)
        EXPECT_EQ(translation.find(c), std::string::npos) << "\"" << translation << "\" holds the simplified " << c;
  }
}

}  // namespace
}  // namespace wayfind::erp::client
