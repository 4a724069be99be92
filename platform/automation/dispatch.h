// Late-bound calls on our own public classes: invoke(name, args) with method names
// compared without regard to letter case and arguments passed by reference (what
// the method writes back is in args afterwards). An unknown name raises 438.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/automation/automation_error.h"
#include "platform/automation/variant.h"

namespace wayfind::platform {

using Args = std::vector<Variant>;

class Dispatchable {
 public:
  virtual ~Dispatchable() = default;
  virtual Variant invoke(std::string_view name, Args& args) = 0;
  // The method names the object answers, in slot order (for help texts and tests).
  virtual std::vector<std::string> methodNames() const = 0;
};

// A name -> handler table for implementing Dispatchable. Each method declares how
// many arguments it takes at most; a call with more is refused with 450 before
// the method runs (a caller whose extra arguments were silently dropped would
// believe they counted).
class DispatchTable {
 public:
  using Handler = std::function<Variant(Args&)>;

  DispatchTable& add(std::string name, size_t maxArgs, Handler handler);
  Variant invoke(std::string_view name, Args& args, std::string_view source) const;
  std::vector<std::string> names() const { return order_; }

 private:
  struct Method {
    std::string name;
    size_t maxArgs = 0;
    Handler handler;
  };
  std::map<std::string, Method> byUpperName_;
  std::vector<std::string> order_;
};

// A name -> handler table shared by every object of class T: handlers receive the
// object they are called on.
template <class T>
class MethodTable {
 public:
  using Handler = std::function<Variant(T&, Args&)>;

  MethodTable& add(std::string name, size_t maxArgs, Handler handler) {
    table_.add(std::move(name), maxArgs, [handler](Args& args) { return handler(*self_, args); });
    return *this;
  }
  Variant invoke(T& self, std::string_view name, Args& args, std::string_view source) const {
    T* outer = self_;
    self_ = &self;
    struct Restore {
      T*& slot;
      T* value;
      ~Restore() { slot = value; }
    } restore{self_, outer};
    return table_.invoke(name, args, source);
  }
  std::vector<std::string> names() const { return table_.names(); }

 private:
  DispatchTable table_;
  static inline thread_local T* self_ = nullptr;
};

// Argument helpers for handlers. arg() raises 449 "Argument not optional" when the
// argument is missing; optionalArg() gives the default for a missing or Empty one
// (an omitted optional argument arrives as Empty from the command line).
Variant& arg(Args& args, size_t index);
Variant optionalArg(const Args& args, size_t index, const Variant& defaultValue);
bool hasArg(const Args& args, size_t index);

}  // namespace wayfind::platform
