// The late-bound face of DatasInfo: methods by name, arguments by reference.
#include "platform/automation/dispatch_args.h"
#include "store/datas_info.h"

namespace wayfind::store {

using namespace platform;

namespace {

// The dictionary a method filled in, handed back by reference: Nothing when
// there is none.
Variant dictionaryOrNothing(const DictionaryPtr& dict) {
  Variant v{ObjectPtr()};
  if (dict) v = Variant(dict);
  return v;
}

const MethodTable<DatasInfo>& table() {
  static const MethodTable<DatasInfo> t = [] {
    MethodTable<DatasInfo> d;
    auto rs = [](RecordsetPtr r) { return r ? Variant(r) : Variant(ObjectPtr()); };
    d.add("GetTopClass", 0, [=](DatasInfo& current, Args&) { return rs(current.GetTopClass()); });
    d.add("GetTopClass_All", 0, [=](DatasInfo& current, Args&) { return rs(current.GetTopClass_All()); });
    d.add("GetSubSystem", 1, [=](DatasInfo& current, Args& a) { return rs(current.GetSubSystem(longArg(a, 0))); });
    d.add("GetSubSystem_All", 1, [=](DatasInfo& current, Args& a) { return rs(current.GetSubSystem_All(longArg(a, 0))); });
    d.add("GetSubFunc", 1, [=](DatasInfo& current, Args& a) { return rs(current.GetSubFunc(longArg(a, 0))); });
    d.add("GetSubFunc_All", 1, [=](DatasInfo& current, Args& a) { return rs(current.GetSubFunc_All(longArg(a, 0))); });
    d.add("GetDetailFunc", 1, [=](DatasInfo& current, Args& a) { return rs(current.GetDetailFunc(longArg(a, 0))); });
    d.add("GetDetailFunc_All", 1, [=](DatasInfo& current, Args& a) { return rs(current.GetDetailFunc_All(longArg(a, 0))); });
    d.add("GetDetailFuncInfo", 1, [=](DatasInfo& current, Args& a) { return rs(current.GetDetailFuncInfo(longArg(a, 0))); });
    d.add("GetHelpCodeInfo", 1, [=](DatasInfo& current, Args& a) { return rs(current.GetHelpCodeInfo(textArg(a, 0))); });
    d.add("GetDetailNormalFunc", 1, [=](DatasInfo& current, Args& a) { return rs(current.GetDetailNormalFunc(longArg(a, 0))); });
    d.add("IsRefresh", 3, [](DatasInfo& current, Args& a) {
      auto dict = requiredObjectArg<Dictionary>(a, 2);
      bool r = current.IsRefresh(longArg(a, 0), longArg(a, 1), dict);
      writeBack(a, 2, dictionaryOrNothing(dict));
      return Variant(r);
    });
    d.add("GetSubSysClass", 2, [](DatasInfo& current, Args& a) { return Variant(current.GetSubSysClass(longArg(a, 0), longArg(a, 1))); });
    d.add("IsSetEnable", 2, [](DatasInfo& current, Args& a) {
      auto dict = requiredObjectArg<Dictionary>(a, 1);
      bool r = current.IsSetEnable(longArg(a, 0), dict);
      writeBack(a, 1, dictionaryOrNothing(dict));
      return Variant(r);
    });
    d.add("GetSubSysName", 1, [](DatasInfo& current, Args& a) { return Variant(current.GetSubSysName(longArg(a, 0))); });
    d.add("GetProfileValue", 1, [](DatasInfo& current, Args& a) { return Variant(current.GetProfileValue(textArg(a, 0))); });
    d.add("GetAcctShowName", 1, [](DatasInfo& current, Args& a) { return Variant(current.GetAcctShowName(textArg(a, 0))); });
    d.add("GetAcctInfo", 1, [=](DatasInfo& current, Args& a) { return rs(current.GetAcctInfo(longArg(a, 0))); });
    d.add("GetSubSystemInfo", 2, [](DatasInfo& current, Args& a) {
      auto dict = requiredObjectArg<Dictionary>(a, 1);
      bool r = current.GetSubSystemInfo(longArg(a, 0), dict);
      writeBack(a, 1, dictionaryOrNothing(dict));
      return Variant(r);
    });
    d.add("IsReFreshBaseData", 1, [](DatasInfo& current, Args& a) { return Variant(current.IsReFreshBaseData(longArg(a, 0))); });
    d.add("IsRefreshNode", 2, [](DatasInfo& current, Args& a) { return Variant(current.IsRefreshNode(longArg(a, 0), longArg(a, 1))); });
    d.add("GetNextIndex", 2, [](DatasInfo& current, Args& a) { return Variant(current.GetNextIndex(longArg(a, 0), longArg(a, 1))); });
    d.add("GetNextID", 2, [](DatasInfo& current, Args& a) { return Variant(current.GetNextID(longArg(a, 0), longArg(a, 1))); });
    d.add("IsHasChild", 2, [](DatasInfo& current, Args& a) { return Variant(current.IsHasChild(longArg(a, 0), longArg(a, 1))); });
    d.add("GetNormalFuncGroup", 0, [](DatasInfo& current, Args&) { return current.GetNormalFuncGroup(); });
    d.add("Export", 1, [](DatasInfo& current, Args& a) {
      current.Export(textArg(a, 0));
      return Variant();
    });
    d.add("Initial", 0, [](DatasInfo& current, Args&) {
      current.Initial();
      return Variant();
    });
    d.add("ClearCache", 0, [](DatasInfo& current, Args&) {
      current.ClearCache();
      return Variant();
    });
    d.add("IsBOSQuery", 1, [](DatasInfo& current, Args& a) {
      if (hasArg(a, 0)) {
        current.SetIsBOSQuery(CBool(a[0]));
        return Variant();
      }
      return Variant(current.IsBOSQuery());
    });
    d.add("RegetDataInfo", 0, [](DatasInfo& current, Args&) {
      current.RegetDataInfo();
      return Variant();
    });
    return d;
  }();
  return t;
}

}  // namespace

Variant DatasInfo::invoke(std::string_view name, Args& args) { return table().invoke(*this, name, args, kProgId); }

std::vector<std::string> DatasInfo::methodNames() const { return table().names(); }

}  // namespace wayfind::store
