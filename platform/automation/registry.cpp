#include "platform/automation/registry.h"

#include "platform/automation/conversions.h"

namespace wayfind::platform {

Registry& Registry::instance() {
  static Registry registry;
  return registry;
}

void Registry::add(const std::string& progId, Factory factory, const std::string& classId) {
  std::lock_guard lock(mutex_);
  const std::string key = toUpperAscii(progId);
  auto old = byProgId_.find(key);
  if (old != byProgId_.end() && !old->second.classId.empty()) byClassId_.erase(toUpperAscii(old->second.classId));
  byProgId_[key] = Entry{std::move(factory), classId};
  if (!classId.empty()) byClassId_[toUpperAscii(classId)] = key;
}

void Registry::remove(const std::string& progId) {
  std::lock_guard lock(mutex_);
  auto it = byProgId_.find(toUpperAscii(progId));
  if (it == byProgId_.end()) return;
  if (!it->second.classId.empty()) byClassId_.erase(toUpperAscii(it->second.classId));
  byProgId_.erase(it);
}

bool Registry::contains(const std::string& progId) const {
  std::lock_guard lock(mutex_);
  return byProgId_.count(toUpperAscii(progId)) > 0;
}

std::optional<Registry::Entry> Registry::entry(const std::string& progId) const {
  std::lock_guard lock(mutex_);
  auto it = byProgId_.find(toUpperAscii(progId));
  if (it == byProgId_.end()) return std::nullopt;
  return it->second;
}

std::string Registry::classIdOf(const std::string& progId) const {
  auto e = entry(progId);
  return e ? e->classId : std::string();
}

ObjectPtr Registry::create(const std::string& progIdOrClassId) const {
  Factory factory;
  {
    std::lock_guard lock(mutex_);
    const std::string key = toUpperAscii(progIdOrClassId);
    auto it = byProgId_.find(key);
    if (it == byProgId_.end()) {
      auto c = byClassId_.find(key);
      if (c != byClassId_.end()) it = byProgId_.find(c->second);
    }
    if (it != byProgId_.end()) factory = it->second.factory;
  }
  // The factory runs outside the lock: it may create other components itself.
  if (!factory) raise(err::kCantCreateObject, progIdOrClassId);
  ObjectPtr obj = factory();
  if (!obj) raise(err::kCantCreateObject, progIdOrClassId);
  return obj;
}

void Registry::reset() {
  std::lock_guard lock(mutex_);
  byProgId_.clear();
  byClassId_.clear();
}

ScopedRegistration::ScopedRegistration(std::string progId, Registry::Factory factory, std::string classId)
    : progId_(std::move(progId)), previous_(Registry::instance().entry(progId_)) {
  Registry::instance().add(progId_, std::move(factory), classId);
}

ScopedRegistration::~ScopedRegistration() {
  if (previous_)
    Registry::instance().add(progId_, previous_->factory, previous_->classId);
  else
    Registry::instance().remove(progId_);
}

ScopedUnregistration::ScopedUnregistration(std::string progId)
    : progId_(std::move(progId)), previous_(Registry::instance().entry(progId_)) {
  Registry::instance().remove(progId_);
}

ScopedUnregistration::~ScopedUnregistration() {
  if (previous_) Registry::instance().add(progId_, previous_->factory, previous_->classId);
}

}  // namespace wayfind::platform
