// wayfind/objects.h: the registry's classes by ProgID, their values carried over
// as wayfind::Value.
#include "wayfind/objects.h"

#include <algorithm>
#include <cctype>
#include <climits>

#include "api/guard.h"
#include "erp/api/progids.h"
#include "platform/automation/dispatch.h"
#include "platform/automation/registry.h"
#include "platform/automation/variant.h"
#include "platform/containers/dictionary.h"
#include "platform/recordset/recordset.h"
#include "wayfind/session.h"

namespace wayfind {

struct Object::Impl {
  platform::ObjectPtr object;
  // The session it was made in: its calls read and change that session's user's
  // rows, so they end with the session.
  uint64_t session = api::openSessionNumber();
};

namespace api {
Value valueOf(const platform::Variant& v);
}  // namespace api

namespace {

// "Object variable not set": a call on Nothing.
constexpr int32_t kObjectNotSet = 91;

platform::Variant toVariant(const Value& value) {
  struct Visit {
    platform::Variant operator()(std::monostate) const { return {}; }
    platform::Variant operator()(Null) const { return platform::Variant::null(); }
    platform::Variant operator()(bool b) const { return b; }
    platform::Variant operator()(int64_t n) const {
      if (n >= INT32_MIN && n <= INT32_MAX) return static_cast<int32_t>(n);
      return n;
    }
    platform::Variant operator()(double d) const { return d; }
    platform::Variant operator()(const std::string& s) const { return s; }
    platform::Variant operator()(const TablePtr&) const {
      api::failCall("A Table is a copy of what a method answered and cannot be passed back; pass an Object.");
    }
    platform::Variant operator()(const Object& o) const {
      return o ? platform::Variant(o.impl()->object) : platform::Variant(platform::ObjectPtr());
    }
  };
  return std::visit(Visit{}, value);
}

TablePtr tableOf(platform::Recordset& rs) {
  auto table = std::make_shared<Table>();
  for (int i = 0; i < rs.fieldCount(); ++i) table->columns.push_back(rs.fieldInfo(i).name);
  if (rs.RecordCount() > 0) {
    for (rs.MoveFirst(); !rs.isEOF(); rs.MoveNext()) {
      std::vector<Value> row;
      for (int i = 0; i < rs.fieldCount(); ++i) row.push_back(api::valueOf(rs.value(i)));
      table->rows.push_back(std::move(row));
    }
    rs.MoveFirst();
  }
  return table;
}

}  // namespace

namespace api {

Value valueOf(const platform::Variant& v) {
  switch (v.type()) {
    case platform::VarType::Empty: return std::monostate{};
    case platform::VarType::Null: return Null{};
    case platform::VarType::Boolean: return v.asBool();
    case platform::VarType::Integer: return int64_t{v.asInteger()};
    case platform::VarType::Long: return int64_t{v.asLong()};
    case platform::VarType::LongLong: return v.asLongLong();
    case platform::VarType::Double: return v.asDouble();
    case platform::VarType::Date: return v.asDate().serial;
    case platform::VarType::String: return v.asString();
    case platform::VarType::Object: break;
  }
  if (auto rs = v.objectAs<platform::Recordset>()) return tableOf(*rs);
  if (!v.asObject()) return Object();
  return Object(std::make_shared<Object::Impl>(Object::Impl{v.asObject()}));
}

}  // namespace api

int Table::column(std::string_view name) const {
  for (size_t i = 0; i < columns.size(); ++i) {
    const std::string& c = columns[i];
    if (c.size() == name.size() &&
        std::equal(c.begin(), c.end(), name.begin(), [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b)); }))
      return static_cast<int>(i);
  }
  return -1;
}

Object::Object() = default;
Object::~Object() = default;
Object::Object(const Object&) = default;
Object& Object::operator=(const Object&) = default;
Object::Object(std::shared_ptr<Impl> impl) : impl_(std::move(impl)) {}

Value Object::invoke(std::string_view method, std::vector<Value>&& args) { return invoke(method, args); }

Value Object::invoke(std::string_view method, std::vector<Value>& args) {
  return api::guarded([&] {
    if (!impl_) platform::raise(kObjectNotSet, api::kApiSource, "Object variable not set: invoke on Nothing.");
    if (impl_->session != api::openSessionNumber())
      api::failCall("This object was made in a wayfind::Session that is closed; create it again in the open session.");
    auto dispatch = std::dynamic_pointer_cast<platform::Dispatchable>(impl_->object);
    if (!dispatch) platform::raise(platform::err::kNoSuchMethod, api::kApiSource, "This object has no methods to call by name.");
    platform::Args in;
    for (const auto& a : args) in.push_back(toVariant(a));
    const platform::Variant answer = dispatch->invoke(method, in);
    // ByRef arguments come back changed.
    for (size_t i = 0; i < args.size() && i < in.size(); ++i) args[i] = api::valueOf(in[i]);
    return api::valueOf(answer);
  });
}

std::vector<std::string> Object::methodNames() const {
  if (!impl_) return {};
  auto dispatch = std::dynamic_pointer_cast<platform::Dispatchable>(impl_->object);
  return dispatch ? dispatch->methodNames() : std::vector<std::string>();
}

Object create(Session& session, const std::string& progId) {
  session.user();
  return api::guarded([&] {
    auto& registry = platform::Registry::instance();
    if (!registry.contains(progId)) {
      std::string known;
      for (const char* id : {erp::progid::kDatasInfo, erp::progid::kDatasUpdate, erp::progid::kApplication})
        if (registry.contains(id)) known += std::string(known.empty() ? "" : ", ") + id;
      platform::raise(platform::err::kCantCreateObject, api::kApiSource,
                      "No class is registered as \"" + progId + "\". The component's classes are " + known +
                          (registry.contains(erp::progid::kApplication)
                               ? "."
                               : "; WayfindInfo.Application while a wayfind::Windows is alive (wayfind/windows.h)."));
    }
    return Object(std::make_shared<Object::Impl>(Object::Impl{registry.create(progId)}));
  });
}

Object makeDictionary(Session& session, const std::vector<std::pair<std::string, Value>>& entries) {
  session.user();
  return api::guarded([&] {
    auto dict = std::make_shared<platform::Dictionary>();
    for (const auto& [key, value] : entries) dict->SetValue(key, toVariant(value));
    return Object(std::make_shared<Object::Impl>(Object::Impl{dict}));
  });
}

}  // namespace wayfind
