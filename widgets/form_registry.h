// The form registry: each window is "the process-wide instance of its form,
// created on first use", and any window opens another by name without linking the
// folder it lives in.
//
//   // in the folder's registerWindows(), which the program calls once
//   registerForm<dlgGroup>();                           // uses dlgGroup::kFormName
//
//   // anywhere
//   auto& dlg = forms().instance<dlgGroup>();          // typed, when the header is at hand
//   Form* f = forms().form("dlgGroup");                // by name (429 when unknown)
//
// A registration may carry a screenshot preparation: what to do to a loaded form
// so its picture shows it at work (select a node, fill a grid). The screenshot
// command and the translation check open every registered form.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "widgets/form.h"

namespace wayfind::widgets {

class FormRegistry {
 public:
  using Factory = std::function<Form*()>;
  using Prepare = std::function<void(Form&)>;

  static FormRegistry& instance();

  // Registers (or replaces) a form.
  bool add(const std::string& name, Factory factory, Prepare screenshotPrepare = {});
  bool contains(const std::string& name) const;
  std::vector<std::string> names() const;  // sorted
  Prepare screenshotPrepare(const std::string& name) const;

  // The instance of a form, created on first use; 429 when no form has the name.
  Form* form(const std::string& name);
  // The instance when it exists, else nullptr.
  Form* existing(const std::string& name) const;
  template <class T>
  T& instance() {
    return *static_cast<T*>(form(T::kFormName));
  }
  // Destroys the instance (the next use creates a new one).
  void release(const std::string& name);
  // Destroys every instance (before the application object goes).
  void releaseAll();

  ~FormRegistry();

 private:
  struct Entry {
    Factory factory;
    Prepare prepare;
  };
  std::map<std::string, Entry> entries_;
  std::map<std::string, Form*> instances_;
};

inline FormRegistry& forms() { return FormRegistry::instance(); }

// Registers form class Class (a Form with a static kFormName and a default
// constructor), with what prepares its screenshot if it has one.
template <class Class>
void registerForm(FormRegistry::Prepare screenshotPrepare = {}) {
  FormRegistry::instance().add(
      Class::kFormName, []() -> Form* { return new Class(); }, std::move(screenshotPrepare));
}

}  // namespace wayfind::widgets
