// The synthetic company behind "wayfind db synthetic".
#include "app/db_synthetic.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>
#include <system_error>

#include "erp/demo/synthetic_company.h"
#include "platform/automation/automation_error.h"

namespace wayfind::app {

namespace {

constexpr const char* kSource = "wayfind db synthetic";

void removeQuietly(const std::filesystem::path& path) {
  std::error_code ec;
  for (const char* suffix : {"", "-wal", "-shm", "-journal"})
    std::filesystem::remove(path.string() + suffix, ec);
}

}  // namespace

erp::demo::SyntheticCompanySpec syntheticSize(int64_t functions) {
  if (functions < 100 || functions > 5'000'000)
    throw std::invalid_argument("--functions takes a number from 100 to 5000000.");
  const auto n = static_cast<int32_t>(functions);
  erp::demo::SyntheticCompanySpec s;
  s.detailFuncs = n;
  s.subFuncs = std::max(1, n / 10);
  s.subSystems = std::max(1, s.subFuncs / 10);
  s.topClasses = std::min(12, s.subSystems);
  s.users = std::clamp(n / 1000, 1, 50);
  s.userRows = n / 10;
  return s;
}

void createSyntheticCompany(const std::filesystem::path& path, int64_t functions) {
  const erp::demo::SyntheticCompanySpec spec = syntheticSize(functions);
  std::error_code ec;
  if (std::filesystem::exists(path, ec) || ec)
    platform::raise(platform::err::kFileError, kSource, "The file " + path.string() + " already exists.");
  // Built under a temporary name beside the target, so a failure or a crash
  // never leaves a half-made company under the name asked for.
  const std::filesystem::path temp =
      path.parent_path() / std::string(".").append(path.filename().string()).append(".tmp-").append(std::to_string(::getpid()));
  removeQuietly(temp);
  try {
    erp::demo::createSyntheticDatabase(temp, spec);
  } catch (...) {
    removeQuietly(temp);
    throw;
  }
  // Put in place only if nothing took the name meanwhile (a build takes minutes):
  // a file made there since the check above is never replaced.
  int rc = ::renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE);
  if (rc != 0 && (errno == EINVAL || errno == ENOSYS)) {
    // A file system without that kind of rename: a second name, then the first removed.
    rc = ::link(temp.c_str(), path.c_str());
    if (rc == 0) removeQuietly(temp);
  }
  if (rc != 0) {
    const int error = errno;
    removeQuietly(temp);
    platform::raise(platform::err::kFileError, kSource,
                    "Cannot create " + path.string() + ": " +
                        (error == EEXIST ? std::string("the file was made meanwhile") : std::strerror(error)) + ".");
  }
}

}  // namespace wayfind::app
