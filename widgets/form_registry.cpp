#include "widgets/form_registry.h"

#include <QCoreApplication>

#include "platform/automation/automation_error.h"

namespace wayfind::widgets {

FormRegistry& FormRegistry::instance() {
  static FormRegistry registry;
  return registry;
}

FormRegistry::~FormRegistry() {
  // Widgets outliving the application object cannot be destroyed any more; the
  // process is ending, so they are left to it.
  if (!QCoreApplication::instance()) return;
  releaseAll();
}

bool FormRegistry::add(const std::string& name, Factory factory, Prepare screenshotPrepare) {
  entries_[name] = Entry{std::move(factory), std::move(screenshotPrepare)};
  return true;
}

bool FormRegistry::contains(const std::string& name) const { return entries_.count(name) > 0; }

std::vector<std::string> FormRegistry::names() const {
  std::vector<std::string> out;
  for (const auto& [name, entry] : entries_) out.push_back(name);
  return out;
}

FormRegistry::Prepare FormRegistry::screenshotPrepare(const std::string& name) const {
  auto it = entries_.find(name);
  return it == entries_.end() ? Prepare() : it->second.prepare;
}

Form* FormRegistry::form(const std::string& name) {
  if (auto it = instances_.find(name); it != instances_.end()) return it->second;
  auto entry = entries_.find(name);
  if (entry == entries_.end())
    platform::raise(platform::err::kCantCreateObject, "WayfindInfo", "No window is registered as " + name + ".");
  Form* form = entry->second.factory();
  if (!form) platform::raise(platform::err::kCantCreateObject, "WayfindInfo", "The window " + name + " could not be made.");
  instances_[name] = form;
  return form;
}

Form* FormRegistry::existing(const std::string& name) const {
  auto it = instances_.find(name);
  return it == instances_.end() ? nullptr : it->second;
}

void FormRegistry::release(const std::string& name) {
  auto it = instances_.find(name);
  if (it == instances_.end()) return;
  Form* form = it->second;
  instances_.erase(it);
  delete form;
}

void FormRegistry::releaseAll() {
  auto all = std::move(instances_);
  instances_.clear();
  for (auto& [name, form] : all) delete form;
}

}  // namespace wayfind::widgets
