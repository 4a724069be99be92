// The component's classes by their ProgIDs, called by method name: for hosts
// written against the late-bound classes ("WayfindInfo.DatasInfo",
// "WayfindInfo.DatasUpdate", and "WayfindInfo.Application" while a
// wayfind::Windows is alive, see windows.h), and for scripts.
//
//   wayfind::Object info = wayfind::create(session, "WayfindInfo.DatasInfo");
//   wayfind::Value tops = info.invoke("GetTopClass");
//   for (const auto& row : std::get<wayfind::TablePtr>(tops)->rows) ...
//
// Each create makes a new object, as the class's ProgID would; the objects share
// the session's store, and end with the session: once it is closed, a call on
// one throws Error 5. A ProgID that nothing registered throws Error 429 with the
// ProgIDs there are; an unknown method throws Error 438; a wrong argument Error 13
// or 449 (a required one missing).
//
// The classes behave as their callers in the ERP know them: "WayfindInfo.DatasUpdate"
// passes over a refusal of the middle tier in its Create*, DeleteItem, Refresh*, ReFreshStatus,
// SetDefault, SetUnInsSys, UpdateSysBaseData and RefreshActivFunc (a Create*
// then answers 0; read again to know what happened), and what a late-bound
// object changed shows in the tree, the search and setting() after
// Session::reload(). The calls of changes.h and favourites.h throw Error on a
// refusal and show their changes at once.
//
// Values cross as Value: Empty (std::monostate), Null, a Boolean, a whole number,
// a Double (a date is its serial number: days since 1899-12-30), a text (UTF-8),
// a Table (a record set the method answered, copied: its visible rows in order),
// or an Object (any other object, to be passed back to a method).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "wayfind/error.h"
#include "wayfind/export.h"

namespace wayfind {

class Session;
class Object;
struct Table;
struct Null {
  friend bool operator==(const Null&, const Null&) = default;
};
using TablePtr = std::shared_ptr<const Table>;
using Value = std::variant<std::monostate, Null, bool, int64_t, double, std::string, TablePtr, Object>;

class WAYFIND_EXPORT Object {
 public:
  Object();  // Nothing: invoking it throws Error 91
  ~Object();
  Object(const Object&);
  Object& operator=(const Object&);

  explicit operator bool() const noexcept { return static_cast<bool>(impl_); }

  // Calls method with args; an argument the method changes (ByRef) is written
  // back into args.
  Value invoke(std::string_view method, std::vector<Value>& args);
  Value invoke(std::string_view method, std::vector<Value>&& args = {});
  // The methods it answers to by name.
  std::vector<std::string> methodNames() const;

  struct Impl;
  explicit Object(std::shared_ptr<Impl> impl);
  const std::shared_ptr<Impl>& impl() const { return impl_; }

 private:
  std::shared_ptr<Impl> impl_;
};

struct WAYFIND_EXPORT Table {
  std::vector<std::string> columns;
  std::vector<std::vector<Value>> rows;
  // The column's index, or -1 (names compare without regard to case).
  int column(std::string_view name) const;
};

// A new object of the class registered under progId.
WAYFIND_EXPORT Object create(Session& session, const std::string& progId);

// A dictionary object (keys in the order given, compared without regard to
// case), for the methods that take one ("UpdateTopClass" and its kin).
WAYFIND_EXPORT Object makeDictionary(Session& session, const std::vector<std::pair<std::string, Value>>& entries);

}  // namespace wayfind
