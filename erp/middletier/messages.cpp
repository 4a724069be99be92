#include "erp/middletier/messages.h"

#include <map>
#include <vector>

#include "erp/text/resource_folder.h"
#include "erp/text/translation_table.h"
#include "platform/automation/conversions.h"
#include "platform/navigation/columns.h"
#include "platform/navigation/languages.h"

namespace wayfind::erp::middletier {

namespace {

thread_local std::string t_language = "chs";

std::string translate(const std::string& chinese) {
  if (nav::IsWrittenLanguage(t_language)) return chinese;
  try {
    auto table = text::TranslationCache::instance().table(
        text::translationFile(text::resourceFolder() / "lang", "ZelWayfind", t_language));
    if (const std::string* found = table->find(chinese)) return *found;
  } catch (...) {
    // A missing or broken table leaves the message in Chinese: the refusal itself
    // must still reach the caller.
  }
  return chinese;
}

}  // namespace

void setCallLanguage(const std::string& language) { t_language = language; }
const std::string& callLanguage() { return t_language; }

std::string say(const std::string& chinese, std::initializer_list<std::string> values) {
  // One pass over the looked-up text: a value is never searched for marks, so a
  // name that contains "%1" stays as typed.
  const std::string templ = translate(chinese);
  const std::vector<std::string> args(values);
  std::string out;
  for (size_t i = 0; i < templ.size(); ++i) {
    if (templ[i] == '%' && i + 1 < templ.size() && templ[i + 1] >= '1' && templ[i + 1] <= '9') {
      size_t end = i + 1;
      size_t n = 0;
      while (end < templ.size() && templ[end] >= '0' && templ[end] <= '9') n = n * 10 + (templ[end++] - '0');
      if (n >= 1 && n <= args.size()) {
        out += args[n - 1];
        i = end - 1;
        continue;
      }
    }
    out += templ[i];
  }
  return out;
}

std::string quoted(const std::string& name) {
  const nav::LanguageInfo& lang = nav::LanguageOfCode(t_language);
  return lang.openQuote + name + lang.closeQuote;
}

const char* listSeparator() { return nav::LanguageOfCode(t_language).listSeparator; }

std::string fieldLabel(std::string_view key) {
  static const std::map<std::string, const char*, std::less<>> labels = [] {
    std::map<std::string, const char*, std::less<>> m;
    // The rows' columns by the keys the editors set them with (columns.h) ...
    for (const nav::LevelInfo& level : nav::kLevels)
      for (const nav::ColumnInfo& c : nav::ColumnsOf(level.level))
        for (const char* k : c.keys)
          if (k && c.label) m[platform::toUpperAscii(k)] = c.label;
    // ... and the parameters of the update methods.
    for (const char* k : {"STRFUNCNAME", "SNEWNAME"}) m[k] = "名称";
    m["FFUNCNAME_EN"] = "英文名称";
    m["FFUNCNAME_CHT"] = "繁体中文名称";
    m["STRSHOWNAME"] = "显示名称";
    m["STRHELPCODE"] = "助记码";
    m["SFILENAME"] = "帮助文件";
    m["STRNAME"] = "设置项名称";
    m["STRVALUE"] = "设置值";
    m["STRFUNCGROUPNAME"] = "常用功能组名称";
    m["STRGROUPNAME"] = "常用功能组名称";
    return m;
  }();
  auto it = labels.find(platform::toUpperAscii(std::string(key)));
  return it == labels.end() ? std::string(key) : say(it->second);
}

}  // namespace wayfind::erp::middletier
