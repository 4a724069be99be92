// "PropsMgr.ShareProps": the login properties the host publishes, keyed by process
// identifier and property name. The objects are created per call, so the values
// live in one process-wide table that every object reads and writes.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "erp/api/share_props.h"

namespace wayfind::erp::client {

class SharePropsTable {
 public:
  static SharePropsTable& instance();
  // Empty for a property that was not published. Names compare exactly.
  platform::Variant get(int32_t processId, const std::string& name) const;
  void set(int32_t processId, const std::string& name, const platform::Variant& value);
  void clear();  // tests

 private:
  mutable std::mutex mutex_;
  std::map<std::pair<int32_t, std::string>, platform::Variant> values_;
};

class ShareProps : public api::IShareProps {
 public:
  platform::Variant GetProperty(int32_t& processId, std::string& name) override;
  void SetProperty(int32_t processId, const std::string& name, const platform::Variant& value) override;
};

// The entries of a properties text, in order: "name=value" separated by ";". A
// value holding ";", or starting with "{" after any spaces, is written in braces
// ("Server={a;b}"). Raises 5 for a name that
// is empty or holds "=", ";", "{" or "}", and for a value that holds both ";" and
// "}" (the text could not be read back).
std::string buildPropsString(const std::vector<std::pair<std::string, std::string>>& entries);

// What the host publishes when a user logs in.
struct LoginProperties {
  std::string propsString;  // "UserID=...;UserName=...;T8Version=...;..."
  std::string userName;
  std::string setupType;
  std::string uuid;
};

// Publishes PropsString, UserName, SetupType and UUID for processId (default: this
// process).
void publishLogin(const LoginProperties& login);
void publishLogin(const LoginProperties& login, int32_t processId);

// A login for user id and name with edition "9.0" on account database acctDb.
LoginProperties makeLogin(int32_t userId, const std::string& userName, const std::string& setupType,
                          const std::string& uuid, const std::string& acctDb = "demo");

}  // namespace wayfind::erp::client
