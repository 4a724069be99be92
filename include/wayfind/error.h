// wayfind::Error is what every call of the public API throws when it fails.
//
// It carries the component's error number (the automation error numbers: 429
// for a class that cannot be created, 5 for a call made at the wrong time, 13 for
// a value of the wrong type, the middle tier's own numbers for a refused change),
// the source that raised it, and a description written for the user. what()
// is the description.
//
//   try {
//     auto session = wayfind::Session::open({.database = "erp.db", .user = 16385});
//   } catch (const wayfind::Error& e) {
//     std::cerr << e.number() << " " << e.source() << ": " << e.what() << "\n";
//   }
//
// A call that throws changes nothing: a refused change leaves the database as it
// was, and the session stays usable.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include "wayfind/export.h"

namespace wayfind {

class WAYFIND_EXPORT Error : public std::runtime_error {
 public:
  Error(int32_t number, std::string source, const std::string& description);
  ~Error() override;

  int32_t number() const noexcept { return number_; }
  const std::string& source() const noexcept { return source_; }

 private:
  int32_t number_;
  std::string source_;
};

}  // namespace wayfind
