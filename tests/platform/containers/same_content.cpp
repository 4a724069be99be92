#include "same_content.h"

#include "platform/containers/dictionary.h"
#include "platform/containers/vector.h"
#include "platform/recordset/recordset.h"

namespace wayfind::platform::testing {
namespace {

std::string differ(const std::string& where, const std::string& what) { return where + ": " + what; }

std::string compare(const Variant& e, const Variant& a, const std::string& where);

std::string compareDictionaries(const Dictionary& e, const Dictionary& a, const std::string& where) {
  if (e.Keys() != a.Keys()) return differ(where, "keys differ");
  for (const auto& key : e.Keys()) {
    auto d = compare(e.GetValue(key), a.GetValue(key), where + "[\"" + key + "\"]");
    if (!d.empty()) return d;
  }
  return {};
}

std::string compareVectors(const Vector& e, const Vector& a, const std::string& where) {
  if (e.Count() != a.Count()) return differ(where, "counts differ");
  for (int32_t i = 1; i <= e.Count(); ++i) {
    auto d = compare(e.Item(i), a.Item(i), where + "(" + std::to_string(i) + ")");
    if (!d.empty()) return d;
  }
  return {};
}

std::string compareRecordsets(const Recordset& e, const Recordset& a, const std::string& where) {
  if (e.isOpen() != a.isOpen()) return differ(where, "open state differs");
  if (e.fieldCount() != a.fieldCount()) return differ(where, "field counts differ");
  for (int f = 0; f < e.fieldCount(); ++f)
    if (!(e.fieldInfo(f) == a.fieldInfo(f))) return differ(where, "field " + e.fieldInfo(f).name + " differs");
  if (e.storedRowCount() != a.storedRowCount()) return differ(where, "row counts differ");
  for (size_t r = 0; r < e.storedRowCount(); ++r)
    for (int f = 0; f < e.fieldCount(); ++f) {
      auto d = compare(e.storedValue(r, f), a.storedValue(r, f),
                       where + " row " + std::to_string(r) + " " + e.fieldInfo(f).name);
      if (!d.empty()) return d;
    }
  return {};
}

std::string compare(const Variant& e, const Variant& a, const std::string& where) {
  if (e.type() != a.type())
    return differ(where, "type " + std::string(typeName(e.type())) + " became " + std::string(typeName(a.type())));
  if (!e.isObject()) return e == a ? std::string() : differ(where, e.debugString() + " became " + a.debugString());
  const ObjectPtr& eo = e.asObject();
  const ObjectPtr& ao = a.asObject();
  if (!eo || !ao) return (!eo && !ao) ? std::string() : differ(where, "Nothing differs from an object");
  if (auto ed = e.objectAs<Dictionary>()) {
    auto ad = a.objectAs<Dictionary>();
    return ad ? compareDictionaries(*ed, *ad, where) : differ(where, "not a dictionary");
  }
  if (auto ev = e.objectAs<Vector>()) {
    auto av = a.objectAs<Vector>();
    return av ? compareVectors(*ev, *av, where) : differ(where, "not a vector");
  }
  if (auto er = e.objectAs<Recordset>()) {
    auto ar = a.objectAs<Recordset>();
    return ar ? compareRecordsets(*er, *ar, where) : differ(where, "not a record set");
  }
  return eo == ao ? std::string() : differ(where, "different objects");
}

}  // namespace

std::string firstDifference(const Variant& expected, const Variant& actual) {
  return compare(expected, actual, "value");
}

}  // namespace wayfind::platform::testing
