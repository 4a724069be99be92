#include "favourites/normal_rows.h"

#include "context/login_props.h"
#include "platform/automation/conversions.h"
#include "platform/containers/dictionary.h"
#include "erp/api/server_datas_update.h"

#include <algorithm>

namespace wayfind::favourites {

using platform::Variant;

NormalRow NormalRowOfList(const platform::Recordset& list) {
  return {platform::CLng(list.value("FDetailFuncID")), platform::fieldText(list, "FFuncName"),
          platform::fieldText(list, "FHelpCode"), platform::fieldText(list, "FShowName")};
}

NormalRow NormalRowOfFunction(int32_t detailFuncId, const platform::Recordset& info) {
  const std::string name = platform::fieldText(info, "FFuncName");
  const std::string show = platform::fieldText(info, "FShowName");
  return {detailFuncId, name, platform::fieldText(info, "FHelpCode"),
          context::RemoveLineBreaks(show.empty() ? name : show)};
}

std::optional<NormalListProblem> CheckNormalList(const std::vector<NormalRow>& rows) {
  using Kind = NormalListProblem::Kind;
  // Help codes are counted in a dictionary, which compares its keys without
  // regard to letter case: "PZ" and "pz" are the same code.
  platform::Dictionary count, lastRow;
  for (size_t row = 0; row < rows.size(); ++row) {
    const std::string help = platform::trimSpaces(rows[row].helpCode);
    if (context::HasInvalidChar(help)) return NormalListProblem{Kind::InvalidHelpCode, row};
    if (context::HasInvalidChar(rows[row].showName)) return NormalListProblem{Kind::InvalidShowName, row};
    if (!help.empty()) {
      count.SetValue(help, Variant(platform::CLng(count.GetValue(help, Variant(0))) + 1));
      lastRow.SetValue(help, Variant(static_cast<int32_t>(row)));
    }
  }
  for (const std::string& help : count.Keys()) {
    if (platform::CLng(count.GetValue(help)) <= 1) continue;
    return NormalListProblem{Kind::DuplicateHelpCode, static_cast<size_t>(platform::CLng(lastRow.GetValue(help)))};
  }
  return std::nullopt;
}

platform::VectorPtr NormalListSaveData(const std::vector<NormalRow>& rows, bool& filledShowName) {
  auto data = std::make_shared<platform::Vector>();
  filledShowName = false;
  for (const NormalRow& r : rows) {
    std::string show = r.showName;
    if (platform::isBlankText(show)) {
      show = r.name;
      filledShowName = true;
    }
    auto item = std::make_shared<platform::Dictionary>();
    item->SetValue("FDetailFuncID", Variant(r.detailFuncId));
    item->SetValue("FHelpCode", Variant(r.helpCode));
    item->SetValue("FShowName", Variant(show));
    item->SetValue("FFuncName", Variant(r.name));
    data->Append(Variant(platform::ObjectPtr(item)));
  }
  return data;
}

NormalListSave NormalListMergeData(const std::vector<NormalRow>& rows, const std::vector<NormalRow>& read,
                                   bool& filledShowName) {
  NormalListSave save{NormalListSaveData(rows, filledShowName), std::make_shared<platform::Dictionary>()};
  bool unused = false;
  save.info->SetValue(erp::api::kReadListKey, Variant(platform::ObjectPtr(NormalListSaveData(read, unused))));
  save.rows->Append(Variant(platform::ObjectPtr(save.info)));
  return save;
}

std::vector<NormalRow> ReadRowsKeepingMine(const std::vector<NormalRow>& read, const std::vector<NormalRow>& stored,
                                           const std::vector<erp::api::SaveConflict>& conflicts) {
  std::vector<NormalRow> out = read;
  auto in = [](std::vector<NormalRow>& rows, int32_t id) {
    return std::find_if(rows.begin(), rows.end(), [id](const NormalRow& r) { return r.detailFuncId == id; });
  };
  auto storedRow = [&](int32_t id) -> const NormalRow* {
    auto it = std::find_if(stored.begin(), stored.end(), [id](const NormalRow& r) { return r.detailFuncId == id; });
    return it == stored.end() ? nullptr : &*it;
  };
  for (const auto& c : conflicts) {
    if (c.key == "FIndex") {
      // Their order as read: the rows they hold in their places, any other after them.
      auto place = [&](const NormalRow& r) {
        const NormalRow* s = storedRow(r.detailFuncId);
        return s ? s - stored.data() : static_cast<std::ptrdiff_t>(stored.size());
      };
      std::stable_sort(out.begin(), out.end(), [&](const NormalRow& a, const NormalRow& b) { return place(a) < place(b); });
      continue;
    }
    const NormalRow* theirs = storedRow(c.id);
    auto mine = in(out, c.id);
    if (!theirs) {
      if (mine != out.end()) out.erase(mine);  // they removed it
    } else if (mine == out.end()) {
      out.push_back(*theirs);  // both added it
    } else if (c.key == "FHelpCode") {
      mine->helpCode = theirs->helpCode;
    } else if (c.key == "FShowName") {
      mine->showName = theirs->showName;
    } else {
      *mine = *theirs;  // kept by them with their texts
    }
  }
  return out;
}

}  // namespace wayfind::favourites
