#include "erp/client/lang_info.h"

#include <cstdlib>
#include <mutex>
#include <optional>

namespace wayfind::erp::client {

namespace {

struct LoginLanguage {
  std::mutex mutex;
  std::optional<std::string> code;
};

LoginLanguage& setting() {
  static LoginLanguage s;
  return s;
}

}  // namespace

std::string loginLanguage() {
  auto& s = setting();
  std::lock_guard lock(s.mutex);
  if (s.code) return *s.code;
  const char* env = std::getenv("WAYFIND_LANGUAGE");
  return env ? std::string(env) : std::string();
}

void setLoginLanguage(const std::string& code) {
  auto& s = setting();
  std::lock_guard lock(s.mutex);
  s.code = code;
}

void resetLoginLanguage() {
  auto& s = setting();
  std::lock_guard lock(s.mutex);
  s.code.reset();
}

}  // namespace wayfind::erp::client
