#include "erp/middletier/caller.h"

#include <charconv>

#include "erp/middletier/messages.h"
#include "erp/storage/storage_error.h"
#include "platform/automation/conversions.h"
#include "platform/automation/props_entries.h"
#include "platform/navigation/languages.h"

namespace wayfind::erp::middletier {

std::optional<std::string> propsEntry(std::string_view props, std::string_view name) {
  std::optional<std::string> found;
  platform::ForEachPropsEntry(props, [&](std::string_view key, std::string_view value) {
    if (key == name) found = std::string(value);
    return found.has_value();
  });
  return found;
}

std::optional<int32_t> userIdFromProps(std::string_view props) {
  const auto text = propsEntry(props, "UserID");
  if (!text || text->empty()) return std::nullopt;
  int32_t id = 0;
  const char* first = text->data();
  const char* last = first + text->size();
  if (*first == '+') ++first;
  const auto [ptr, ec] = std::from_chars(first, last, id);
  if (ec != std::errc() || ptr != last) return std::nullopt;
  return id;
}

std::string languageFromProps(std::string_view props) {
  auto lang = propsEntry(props, "Language");
  if (!lang) {
    // The host writes the name as "Language"; accept another letter case too.
    platform::ForEachPropsEntry(props, [&](std::string_view key, std::string_view value) {
      if (platform::iequals(key, "Language")) lang = std::string(value);
      return lang.has_value();
    });
  }
  if (lang) {
    const std::string l = platform::toLowerAscii(*lang);
    if (nav::FindLanguage(l)) return l;
  }
  return "chs";
}

Caller requireCaller(storage::Connection& conn, std::string_view props, const std::string& source,
                     const std::vector<storage::Statement*>& alongside) {
  // Every message of this call speaks the caller's language, this one's first.
  const std::string language = languageFromProps(props);
  setCallLanguage(language);
  const auto id = userIdFromProps(props);
  if (!id) storage::raiseRefused(source, say("登录属性中没有有效的用户标识 (UserID)。"));
  if (!conn.hasUser(*id, alongside)) storage::raiseRefused(source, say("用户 %1 不存在。", {std::to_string(*id)}));
  // On a server that keeps the rights, the connection's own role says who is
  // calling; a login that names somebody else is refused here, clearly, before
  // the server refuses its writes.
  if (const auto serverUser = conn.serverUserId(); serverUser && *serverUser != *id) {
    if (*serverUser == 0)
      storage::raiseRefused(source, say("数据库连接的角色不对应任何 ERP 用户，不能以用户 %1 的身份操作。",
                                        {std::to_string(*id)}));
    storage::raiseRefused(source, say("登录属性中的用户 %1 与数据库连接的用户 %2 不一致。",
                                      {std::to_string(*id), std::to_string(*serverUser)}));
  }
  return Caller{*id, language};
}

}  // namespace wayfind::erp::middletier
