#include "favourites/normal_rows.h"

#include "context/login_props.h"
#include "platform/automation/conversions.h"
#include "platform/containers/dictionary.h"

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
    if (platform::trimSpaces(show).empty()) {
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

}  // namespace wayfind::favourites
