// wayfind search: the help-code lookup and the ranked search of the user's tree.
#include "app/commands.h"

#include <algorithm>
#include <cstdio>

#include "app/json_writer.h"
#include "app/text_output.h"
#include "platform/automation/registry.h"
#include "store/datas_info.h"
#include "store/search.h"
#include "store/search_habits.h"

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
    case store::SearchRank::PinyinPrefix:
    case store::SearchRank::StartsPrefix: return "prefix";
    case store::SearchRank::Level: return "level";
    case store::SearchRank::Typo: return "typo";
    default: return "contains";
  }
}

const char* matchedByName(store::MatchedBy by) {
  switch (by) {
    case store::MatchedBy::HelpCode: return "helpCode";
    case store::MatchedBy::PinyinInitials: return "pinyinInitials";
    case store::MatchedBy::Pinyin: return "pinyin";
    case store::MatchedBy::WordStarts: return "wordStarts";
    case store::MatchedBy::Level: return "level";
    default: return "name";
  }
}

// The finer rank, best first: what orders the results.
const char* exactRankName(store::SearchRank rank) {
  static const char* const names[] = {"helpCode", "helpCodePrefix", "namePrefix", "initialsPrefix", "pinyinPrefix",
                                      "startsPrefix", "contains", "level", "typo"};
  return names[static_cast<size_t>(rank)];
}

const char* depthName(int depth) {
  static const char* const names[] = {"topClass", "subSystem", "subFunc", "detailFunc"};
  return names[std::clamp(depth, 1, 4) - 1];
}

std::string useScoreJson(double score) {
  // Room for the largest finite score a profile may hold (309 digits before the point).
  char text[400];
  std::snprintf(text, sizeof text, "%.3f", score);
  return text;
}

std::string wordsJson(const std::vector<store::WordMatch>& words) {
  std::string out;
  for (const auto& w : words)
    out += std::string(out.empty() ? "" : ",") + "{\"word\":" + jsonString(w.word) + ",\"matchedBy\":" +
           jsonString(matchedByName(w.by)) + ",\"matched\":" + jsonString(w.matched) + ",\"rank\":" +
           jsonString(exactRankName(w.rank)) + "}";
  return "[" + out + "]";
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
         ",\"matched\":" + jsonString(r.matched) + ",\"matchRank\":" + jsonString(exactRankName(r.rank)) +
         ",\"level\":" + jsonString(depthName(r.depth)) + ",\"useScore\":" + useScoreJson(r.useScore) +
         ",\"words\":" + wordsJson(r.words) + "}";
}

std::string searchRowText(size_t number, const store::FunctionSearchRow& r) {
  if (r.depth < 4) {
    static const char* const kinds[] = {"Top", "Sys", "Sub"};
    const int32_t id = r.depth == 1 ? r.topClassId : r.depth == 2 ? r.subSysId : r.subFuncId;
    return std::to_string(number) + ". " + kinds[r.depth - 1] + " " + std::to_string(id) + "  " + printable(r.name) +
           (r.path.empty() ? "" : "  " + printable(r.path)) + "\n";
  }
  std::string line = std::to_string(number) + ". Det " + std::to_string(r.detailFuncId) + "  " + printable(r.name);
  std::string codes = r.helpCode;
  if (!r.helpCode1.empty()) codes += (codes.empty() ? "" : ", ") + r.helpCode1;
  if (!codes.empty()) line += "  [" + printable(codes) + "]";
  line += "  " + printable(r.path);
  if (!r.enabled) line += "  (disabled)";
  if (r.matchedBy == store::MatchedBy::PinyinInitials || r.matchedBy == store::MatchedBy::Pinyin ||
      r.rank == store::SearchRank::Typo || r.matched != r.name)
    line += "  (" + std::string(r.rank == store::SearchRank::Typo ? "nearly " : "") + matchedByName(r.matchedBy) +
            (r.matched.empty() ? "" : ": " + printable(r.matched)) + ")";
  return line + "\n";
}

}  // namespace

// The exact help-code lookup of the middle tier, then the ranked search of the
// user's tree. Both are read before anything is printed.
int runSearch(const Invocation& inv, std::ostream& out) {
  const std::string& text = inv.positional[0];
  store::SearchHabits::instance().switchOff(inv.noHabits);
  auto info = store::newDatasInfo();
  auto exact = info->GetHelpCodeInfo(text);
  const store::FunctionSearchResult found = store::SearchFunctions(text, inv.limit);
  if (inv.json) {
    std::string rows;
    for (const auto& r : found.rows) {
      if (!rows.empty()) rows += ',';
      rows += searchRowJson(r);
    }
    out << "{\"helpCode\":" << toJson(Variant(exact)) << ",\"results\":[" << rows
        << "],\"more\":" << (found.more ? "true" : "false") << "}" << std::endl;
    store::FunctionSearch::instance().waitForSaving();  // an index made here is saved while the answer shows
    return 0;
  }
  std::string report = exact && exact->RecordCount() > 0
                           ? "Help code " + printable(text) + ":\n" + formatValue(Variant(exact)) + "\n"
                           : "No function has the help code " + text + ".\n\n";
  if (found.rows.empty()) {
    report += "Nothing in the tree matches " + text + ".\n";
  } else {
    report += "Search " + text + ":\n";
    for (size_t i = 0; i < found.rows.size(); ++i) report += searchRowText(i + 1, found.rows[i]);
    if (found.more) report += "(more than " + std::to_string(inv.limit) + " found; --limit N shows more)\n";
  }
  out << report << std::flush;
  store::FunctionSearch::instance().waitForSaving();
  return 0;
}

}  // namespace wayfind::app
