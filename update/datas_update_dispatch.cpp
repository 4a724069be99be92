// The late-bound face of DatasUpdate: methods by name, by-reference arguments
// written back into the caller's argument list.
#include <type_traits>

#include "platform/automation/dispatch_args.h"
#include "update/datas_update.h"

namespace wayfind::update {

using namespace platform;

namespace {

Variant objectOrNothing(const ObjectPtr& o) { return o ? Variant(o) : Variant(ObjectPtr()); }

template <class Method>
Variant refresh(DatasUpdate& self, Method method, Args& a) {
  int32_t id = longArg(a, 0);
  auto vect = requiredObjectArg<Vector>(a, 1);
  bool delAll = boolArgOr(a, 2, true);
  const bool passedDelAll = hasArg(a, 2);
  (self.*method)(id, vect, passedDelAll ? &delAll : nullptr, boolArgOr(a, 3, true));
  writeBack(a, 0, Variant(id));
  writeBack(a, 1, objectOrNothing(vect));
  if (passedDelAll) writeBack(a, 2, Variant(delAll));
  return Variant();
}

template <class Method>
Variant updateNode(DatasUpdate& self, Method method, Args& a) {
  auto dict = requiredObjectArg<Dictionary>(a, 1);
  Variant r = (self.*method)(longArg(a, 0), dict, objectArg<Dictionary>(a, 2));
  writeBack(a, 1, objectOrNothing(dict));
  return r;
}

template <class Method>
Variant updateName(DatasUpdate& self, Method method, Args& a) {
  const int32_t id = longArg(a, 0);
  std::string text = textArg(a, 1);
  // The server writes into the caller's text even when it then fails.
  try {
    (self.*method)(id, text);
  } catch (...) {
    writeBack(a, 1, Variant(text));
    throw;
  }
  writeBack(a, 1, Variant(text));
  return Variant();
}

// A Create method of a level below the top: the parent and the order number
// by reference, the dictionary of the new item, whether it is the template's.
template <class R>
Variant createChild(DatasUpdate& self, R (DatasUpdate::*method)(int32_t&, int32_t&, DatasUpdate::Dict&, bool),
                    Args& a) {
  int32_t parent = longArg(a, 0), index = longArg(a, 1);
  auto dict = requiredObjectArg<Dictionary>(a, 2);
  Variant r;
  if constexpr (std::is_void_v<R>)
    (self.*method)(parent, index, dict, boolArgOr(a, 3, false));
  else
    r = Variant((self.*method)(parent, index, dict, boolArgOr(a, 3, false)));
  writeBack(a, 0, Variant(parent));
  writeBack(a, 1, Variant(index));
  writeBack(a, 2, objectOrNothing(dict));
  return r;
}

// A method that takes nothing and answers nothing.
template <void (DatasUpdate::*method)()>
Variant plain(DatasUpdate& self, Args&) {
  (self.*method)();
  return Variant();
}

const MethodTable<DatasUpdate>& table() {
  static const MethodTable<DatasUpdate> t = [] {
    using U = DatasUpdate;
    MethodTable<U> d;
    d.add("RefreshSubFunc", 4, [](U& s, Args& a) { return refresh(s, &U::RefreshSubFunc, a); });
    d.add("RefreshDetailFunc", 4, [](U& s, Args& a) { return refresh(s, &U::RefreshDetailFunc, a); });
    d.add("CreateDetailFunc", 4, [](U& s, Args& a) { return createChild(s, &U::CreateDetailFunc, a); });
    d.add("CreateSubFunc", 4, [](U& s, Args& a) { return createChild(s, &U::CreateSubFunc, a); });
    d.add("ReFreshStatus", 2, [](U& s, Args& a) {
      int32_t sub = longArg(a, 0), status = longArg(a, 1);
      s.ReFreshStatus(sub, status);
      writeBack(a, 0, Variant(sub));
      writeBack(a, 1, Variant(status));
      return Variant();
    });
    d.add("ClearNormalList", 1, [](U& s, Args& a) {
      s.ClearNormalList(longArgOr(a, 0, -1));
      return Variant();
    });
    d.add("AddNormalFuncGroup", 2, [](U& s, Args& a) {
      return Variant(s.AddNormalFuncGroup(textArg(a, 0), textArgOr(a, 1, "")));
    });
    d.add("DelNormalFuncGroup", 1, [](U& s, Args& a) { return s.DelNormalFuncGroup(longArg(a, 0)); });
    d.add("UpdateNormalFuncGroup", 2, [](U& s, Args& a) { return s.UpdateNormalFuncGroup(longArg(a, 0), textArg(a, 1)); });
    d.add("AppendNormalItem", 5, [](U& s, Args& a) {
      return Variant(s.AppendNormalItem(longArg(a, 0), textArg(a, 1), textArg(a, 2), textArg(a, 3), arg(a, 4)));
    });
    d.add("UpdateTopClass", 3, [](U& s, Args& a) { return updateNode(s, &U::UpdateTopClass, a); });
    d.add("UpdateSystemFunc", 3, [](U& s, Args& a) { return updateNode(s, &U::UpdateSystemFunc, a); });
    d.add("UpdateSubSysFunc", 3, [](U& s, Args& a) { return updateNode(s, &U::UpdateSubSysFunc, a); });
    d.add("UpdateDetailFuncAttr", 3, [](U& s, Args& a) { return updateNode(s, &U::UpdateDetailFuncAttr, a); });
    d.add("SetProfileValue", 2, [](U& s, Args& a) {
      s.SetProfileValue(textArg(a, 0), textArg(a, 1));
      return Variant();
    });
    d.add("UpdateSysBaseData", 0, plain<&U::UpdateSysBaseData>);
    d.add("SetUnInsSys", 0, [](U& s, Args&) { return s.SetUnInsSys(); });
    d.add("RefreshActivFunc", 0, plain<&U::RefreshActivFunc>);
    d.add("CreateSubSys", 4, [](U& s, Args& a) { return createChild(s, &U::CreateSubSys, a); });
    d.add("CreateTopClass", 3, [](U& s, Args& a) {
      int32_t index = longArg(a, 0);
      auto dict = requiredObjectArg<Dictionary>(a, 1);
      int32_t r = s.CreateTopClass(index, dict, boolArgOr(a, 2, false));
      writeBack(a, 0, Variant(index));
      writeBack(a, 1, objectOrNothing(dict));
      return Variant(r);
    });
    d.add("DeleteItem", 3, [](U& s, Args& a) {
      int32_t base = longArg(a, 0), id = longArg(a, 1);
      s.DeleteItem(base, id, boolArgOr(a, 2, false));
      writeBack(a, 0, Variant(base));
      writeBack(a, 1, Variant(id));
      return Variant();
    });
    d.add("UpdateTopClassName", 2, [](U& s, Args& a) { return updateName(s, &U::UpdateTopClassName, a); });
    d.add("UpdateSystemFuncName", 2, [](U& s, Args& a) { return updateName(s, &U::UpdateSystemFuncName, a); });
    d.add("UpdateSubSysFuncName", 2, [](U& s, Args& a) { return updateName(s, &U::UpdateSubSysFuncName, a); });
    d.add("UpdateAcctTypeName", 2, [](U& s, Args& a) { return updateName(s, &U::UpdateAcctTypeName, a); });
    d.add("UpdateSystemHelpFile", 2, [](U& s, Args& a) { return updateName(s, &U::UpdateSystemHelpFile, a); });
    d.add("SetDefault", 0, plain<&U::SetDefault>);
    d.add("Import", 1, [](U& s, Args& a) {
      s.Import(arg(a, 0));
      return Variant();
    });
    d.add("ReplaceNormalList", 2, [](U& s, Args& a) {
      s.ReplaceNormalList(longArg(a, 0), requiredObjectArg<Vector>(a, 1));
      return Variant();
    });
    d.add("SetProfileValues", 2, [](U& s, Args& a) {
      s.SetProfileValues(requiredObjectArg<Dictionary>(a, 0), requiredObjectArg<Dictionary>(a, 1));
      return Variant();
    });
    return d;
  }();
  return t;
}

}  // namespace

Variant DatasUpdate::invoke(std::string_view name, Args& args) { return table().invoke(*this, name, args, kProgId); }

std::vector<std::string> DatasUpdate::methodNames() const { return table().names(); }

}  // namespace wayfind::update
