// The process-wide ProgID registry, our replacement for COM class registration.
// A factory is registered under a ProgID (and optionally a class identifier);
// create() makes a new object on every call, so "created by ProgID for each call
// and released" is literal. An unregistered ProgID raises 429. ProgIDs and class
// identifiers compare without regard to letter case, as in the system registry.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "platform/automation/automation_error.h"
#include "platform/automation/object.h"

namespace wayfind::platform {

class Registry {
 public:
  using Factory = std::function<ObjectPtr()>;

  struct Entry {
    Factory factory;
    std::string classId;
  };

  static Registry& instance();

  // Registers (or replaces) the factory for progId.
  void add(const std::string& progId, Factory factory, const std::string& classId = {});
  void remove(const std::string& progId);
  bool contains(const std::string& progId) const;
  std::optional<Entry> entry(const std::string& progId) const;
  // The class identifier registered with progId, or empty text.
  std::string classIdOf(const std::string& progId) const;

  // A new object from the factory registered under progId or under a class
  // identifier; error 429 when there is none or the factory fails to make one.
  ObjectPtr create(const std::string& progIdOrClassId) const;

  // create() cast to the contract T; 429 when missing, 13 when the registered
  // object does not implement T.
  template <class T>
  std::shared_ptr<T> createAs(const std::string& progId) const {
    auto obj = create(progId);
    auto typed = std::dynamic_pointer_cast<T>(obj);
    if (!typed) raise(err::kTypeMismatch, progId);
    return typed;
  }

  void reset();  // forget every registration (tests)

 private:
  mutable std::mutex mutex_;
  std::map<std::string, Entry> byProgId_;   // key: upper-cased ProgID
  std::map<std::string, std::string> byClassId_;  // upper-cased class id -> key of byProgId_
};

// Replaces (or adds) one registration for the lifetime of the guard and puts the
// previous one back afterwards. Tests use it to install fakes and mocks.
class ScopedRegistration {
 public:
  ScopedRegistration(std::string progId, Registry::Factory factory, std::string classId = {});
  ScopedRegistration(const ScopedRegistration&) = delete;
  ScopedRegistration& operator=(const ScopedRegistration&) = delete;
  ~ScopedRegistration();

 private:
  std::string progId_;
  std::optional<Registry::Entry> previous_;
};

// Removes a registration for the lifetime of the guard ("component not installed").
class ScopedUnregistration {
 public:
  explicit ScopedUnregistration(std::string progId);
  ScopedUnregistration(const ScopedUnregistration&) = delete;
  ScopedUnregistration& operator=(const ScopedUnregistration&) = delete;
  ~ScopedUnregistration();

 private:
  std::string progId_;
  std::optional<Registry::Entry> previous_;
};

// A factory that hands out the same object every time (a fake or mock that the
// test keeps a handle on).
template <class T>
Registry::Factory sharedFactory(std::shared_ptr<T> obj) {
  return [obj] { return std::static_pointer_cast<Object>(obj); };
}

}  // namespace wayfind::platform
