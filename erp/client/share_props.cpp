#include "erp/client/share_props.h"

#include <unistd.h>
#include <algorithm>

#include "platform/automation/automation_error.h"

namespace wayfind::erp::client {

SharePropsTable& SharePropsTable::instance() {
  static SharePropsTable table;
  return table;
}

platform::Variant SharePropsTable::get(int32_t processId, const std::string& name) const {
  std::lock_guard lock(mutex_);
  auto it = values_.find({processId, name});
  return it == values_.end() ? platform::Variant() : it->second;
}

void SharePropsTable::set(int32_t processId, const std::string& name, const platform::Variant& value) {
  std::lock_guard lock(mutex_);
  values_[{processId, name}] = value;
}

void SharePropsTable::clear() {
  std::lock_guard lock(mutex_);
  values_.clear();
}

platform::Variant ShareProps::GetProperty(int32_t& processId, std::string& name) {
  return SharePropsTable::instance().get(processId, name);
}

void ShareProps::SetProperty(int32_t processId, const std::string& name, const platform::Variant& value) {
  SharePropsTable::instance().set(processId, name, value);
}

namespace {

// Whether a value is written in braces: it holds a ";", or starts with "{" once
// readers have trimmed its blanks.
bool needsBraces(const std::string& value) {
  const size_t firstNonSpace = value.find_first_not_of(' ');
  return value.find(';') != std::string::npos || (firstNonSpace != std::string::npos && value[firstNonSpace] == '{');
}

}  // namespace

std::string buildPropsString(const std::vector<std::pair<std::string, std::string>>& entries) {
  std::string text;
  for (const auto& [name, value] : entries) {
    if (name.empty() || name.find_first_of("=;{}") != std::string::npos)
      throw platform::AutomationError(platform::err::kInvalidProcedureCall, "PropsMgr.ShareProps",
                                      "invalid property entry name \"" + name + "\"");
    const bool braced = needsBraces(value);
    if (braced && value.find('}') != std::string::npos)
      throw platform::AutomationError(platform::err::kInvalidProcedureCall, "PropsMgr.ShareProps",
                                      "the value of \"" + name + "\" cannot be written as a property entry");
    if (!text.empty()) text += ';';
    text += name + "=" + (braced ? "{" + value + "}" : value);
  }
  return text;
}

void publishLogin(const LoginProperties& login) { publishLogin(login, static_cast<int32_t>(::getpid())); }

void publishLogin(const LoginProperties& login, int32_t processId) {
  auto& table = SharePropsTable::instance();
  table.set(processId, "PropsString", login.propsString);
  table.set(processId, "UserName", login.userName);
  table.set(processId, "SetupType", login.setupType);
  table.set(processId, "UUID", login.uuid);
}

LoginProperties makeLogin(int32_t userId, const std::string& userName, const std::string& setupType,
                          const std::string& uuid, const std::string& acctDb) {
  LoginProperties login;
  // A name with a ";" and a "}" has no form as an entry; the entry then carries
  // it with ")" for "}" (the middle tier goes by UserID, and the UserName
  // property keeps the name as it is).
  std::string nameEntry = userName;
  if (needsBraces(nameEntry)) std::replace(nameEntry.begin(), nameEntry.end(), '}', ')');
  login.propsString = buildPropsString(
      {{"UserID", std::to_string(userId)}, {"UserName", nameEntry}, {"T8Version", "9.0"}, {"AcctDB", acctDb}});
  login.userName = userName;
  login.setupType = setupType;
  login.uuid = uuid;
  return login;
}

}  // namespace wayfind::erp::client
