// wayfind search: the help-code lookup and the ranked search of the user's tree.
#include "app/commands.h"

#include "app/json_writer.h"
#include "app/text_output.h"
#include "platform/automation/registry.h"
#include "store/datas_info.h"
#include "store/search.h"

namespace wayfind::app {

using platform::Variant;

namespace {

// The rank as before the finer ranks came: an exact help code, a beginning, a
// part; a match with one typing error is "typo". matchedBy says what matched.
const char* rankName(store::SearchRank rank) {
  switch (rank) {
    case store::SearchRank::HelpCode: return "helpCode";
    case store::SearchRank::HelpCodePrefix:
    case store::SearchRank::NamePrefix:
    case store::SearchRank::InitialsPrefix:
    case store::SearchRank::PinyinPrefix: return "prefix";
    case store::SearchRank::Typo: return "typo";
    default: return "contains";
  }
}

const char* matchedByName(store::MatchedBy by) {
  switch (by) {
    case store::MatchedBy::HelpCode: return "helpCode";
    case store::MatchedBy::PinyinInitials: return "pinyinInitials";
    case store::MatchedBy::Pinyin: return "pinyin";
    default: return "name";
  }
}

std::string searchRowJson(const store::FunctionSearchRow& r) {
  auto num = [](int32_t n) { return std::to_string(n); };
  return "{\"rank\":" + jsonString(rankName(r.rank)) + ",\"topClassId\":" + num(r.topClassId) +
         ",\"subSysId\":" + num(r.subSysId) + ",\"subFuncId\":" + num(r.subFuncId) +
         ",\"detailFuncId\":" + num(r.detailFuncId) + ",\"name\":" + jsonString(r.name) +
         ",\"helpCode\":" + jsonString(r.helpCode) + ",\"helpCode1\":" + jsonString(r.helpCode1) +
         ",\"topClassName\":" + jsonString(r.topClassName) + ",\"subSysName\":" + jsonString(r.subSysName) +
         ",\"subFuncName\":" + jsonString(r.subFuncName) + ",\"path\":" + jsonString(r.path) +
         ",\"className\":" + jsonString(r.className) + ",\"classParam\":" + jsonString(r.classParam) +
         ",\"enabled\":" + (r.enabled ? "true" : "false") + ",\"matchedBy\":" + jsonString(matchedByName(r.matchedBy)) +
         ",\"matched\":" + jsonString(r.matched) + "}";
}

std::string searchRowText(size_t number, const store::FunctionSearchRow& r) {
  std::string line = std::to_string(number) + ". Det " + std::to_string(r.detailFuncId) + "  " + r.name;
  std::string codes = r.helpCode;
  if (!r.helpCode1.empty()) codes += (codes.empty() ? "" : ", ") + r.helpCode1;
  if (!codes.empty()) line += "  [" + codes + "]";
  line += "  " + r.path;
  if (!r.enabled) line += "  (disabled)";
  if (r.matchedBy == store::MatchedBy::PinyinInitials || r.matchedBy == store::MatchedBy::Pinyin ||
      r.rank == store::SearchRank::Typo || r.matched != r.name)
    line += "  (" + std::string(r.rank == store::SearchRank::Typo ? "nearly " : "") + matchedByName(r.matchedBy) +
            (r.matched.empty() ? "" : ": " + r.matched) + ")";
  return line + "\n";
}

}  // namespace

// The exact help-code lookup of the middle tier, then the ranked search of the
// user's tree. Both are read before anything is printed.
int runSearch(const Invocation& inv, std::ostream& out) {
  const std::string& text = inv.positional[0];
  auto info = store::newDatasInfo();
  auto exact = info->GetHelpCodeInfo(text);
  const store::FunctionSearchResult found = store::SearchFunctions(text, inv.limit);
  if (inv.json) {
    std::string rows;
    for (const auto& r : found.rows) rows += (rows.empty() ? "" : ",") + searchRowJson(r);
    out << "{\"helpCode\":" << toJson(Variant(exact)) << ",\"results\":[" << rows
        << "],\"more\":" << (found.more ? "true" : "false") << "}\n";
    return 0;
  }
  std::string report = exact && exact->RecordCount() > 0
                           ? "Help code " + text + ":\n" + formatValue(Variant(exact)) + "\n"
                           : "No function has the help code " + text + ".\n\n";
  if (found.rows.empty()) {
    report += "Nothing in the tree matches " + text + ".\n";
  } else {
    report += "Search " + text + ":\n";
    for (size_t i = 0; i < found.rows.size(); ++i) report += searchRowText(i + 1, found.rows[i]);
    if (found.more) report += "(more than " + std::to_string(inv.limit) + " found; --limit N shows more)\n";
  }
  out << report;
  return 0;
}

}  // namespace wayfind::app
