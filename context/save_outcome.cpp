#include "context/save_outcome.h"

#include "context/language.h"
#include "erp/api/message_service.h"
#include "erp/api/storage_failures.h"

namespace wayfind::context {

namespace {

// More lines than this make a question nobody reads; the rest are counted.
constexpr size_t kListedConflicts = 8;

}  // namespace

std::string SaveFailureDescription(const platform::AutomationError& error) {
  switch (erp::api::ClassifyStorageFailure(error)) {
    case erp::api::StorageFailure::Busy:
      return GetLangText("另一位用户正在保存，请稍等片刻再保存一次。您的修改仍保留在窗口中。");
    case erp::api::StorageFailure::Lost:
      return GetLangText("与数据库的连接中断了，请稍后再保存一次。您的修改仍保留在窗口中。");
    case erp::api::StorageFailure::Other:
      return GetLangText("数据库没能保存这些修改。您的修改仍保留在窗口中，请稍后再试；如果一直失败，请告知系统管理员。");
    case erp::api::StorageFailure::None: break;
  }
  return error.description();
}

std::string ConflictQuestion(const std::vector<erp::api::SaveConflict>& conflicts) {
  std::string text = GetLangText("您打开窗口后，其他用户也修改了下列项目：") + "\r\n";
  size_t listed = 0;
  for (const auto& c : conflicts) {
    if (listed++ == kListedConflicts) break;
    text += "\r\n\u2022 " + FormatLangText("%1 的%2：其他用户的是“%3”，您的是“%4”",
                                    {platform::Variant(c.item), platform::Variant(c.field), platform::Variant(c.theirs),
                                     platform::Variant(c.mine)});
  }
  if (conflicts.size() > kListedConflicts)
    text += "\r\n" + FormatLangText("……另有 %1 处", {platform::Variant(int32_t(conflicts.size() - kListedConflicts))});
  text += "\r\n\r\n" + GetLangText("是否保留您的修改？选“是”保留您的修改，选“否”采用其他用户的修改。");
  return text;
}

bool AskKeepMine(const std::vector<erp::api::SaveConflict>& conflicts) {
  if (conflicts.empty()) return true;
  return erp::api::messages().askYesNo(ConflictQuestion(conflicts));
}

}  // namespace wayfind::context
