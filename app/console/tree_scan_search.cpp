// A search that reads the user's whole visible tree once through DatasInfo and
// matches the names the user sees and the help codes, without regard to the case
// of ASCII letters. The tree is read again after treeChanged(). Ranks: an exact
// help code first, then names or codes that start with the text, then the rest;
// within a rank the tree's own order.
#include <algorithm>
#include <cctype>

#include "app/console/function_search.h"
#include "app/console/nav_source.h"

namespace wayfind::app::console {

namespace {

std::string folded(const std::string& s) {
  std::string out = s;
  std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return std::tolower(c); });
  return out;
}

std::string trimmed(const std::string& s) {
  const auto first = s.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  return s.substr(first, s.find_last_not_of(" \t\r\n") - first + 1);
}

class TreeScanSearch : public FunctionSearch {
 public:
  std::vector<SearchHit> find(const std::string& text, size_t limit) override {
    const std::string needle = folded(trimmed(text));
    if (needle.empty() || limit == 0) return {};
    if (!loaded_) load();
    std::vector<std::pair<int, size_t>> ranked;  // rank, position in the tree
    for (size_t i = 0; i < entries_.size(); ++i) {
      const auto& e = entries_[i];
      int rank = -1;
      if (!e.code.empty() && e.code == needle) rank = 0;
      else if (e.name.rfind(needle, 0) == 0 || e.code.rfind(needle, 0) == 0) rank = 1;
      else if (e.name.find(needle) != std::string::npos || e.code.find(needle) != std::string::npos) rank = 2;
      if (rank >= 0) ranked.emplace_back(rank, i);
    }
    std::stable_sort(ranked.begin(), ranked.end(), [](auto& a, auto& b) { return a.first < b.first; });
    std::vector<SearchHit> hits;
    for (size_t i = 0; i < ranked.size() && hits.size() < limit; ++i) hits.push_back(entries_[ranked[i].second].hit);
    return hits;
  }

  void treeChanged() override {
    loaded_ = false;
    entries_.clear();
  }

 private:
  struct Entry {
    SearchHit hit;
    std::string name;  // folded
    std::string code;  // folded
  };

  void load() {
    NavSource source;
    std::vector<Entry> entries;
    for (const auto& top : source.topClasses()) {
      for (const auto& sys : source.subSystems(top.id)) {
        for (const auto& sub : source.subFuncs(sys.id)) {
          for (const auto& det : source.detailFuncs(sub.id)) {
            Entry e;
            e.hit = {top.id, sys.id, sub.id, det.id, det.name, det.helpCode,
                     top.name + " / " + sys.name + " / " + sub.name};
            e.name = folded(det.name);
            e.code = folded(det.helpCode);
            entries.push_back(std::move(e));
          }
        }
      }
    }
    entries_ = std::move(entries);
    loaded_ = true;
  }

  bool loaded_ = false;
  std::vector<Entry> entries_;
};

}  // namespace

std::unique_ptr<FunctionSearch> makeFunctionSearch() { return std::make_unique<TreeScanSearch>(); }

}  // namespace wayfind::app::console
