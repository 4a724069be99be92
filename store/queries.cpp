// The host's queries. The filter texts are the ones the record sets have always
// been given, spaces included; identifiers and codes go in as decimal numbers.
#include "store/queries.h"

#include <charconv>
#include <string_view>

#include "context/login_props.h"
#include "erp/api/progids.h"
#include "erp/api/server_datas_info.h"
#include "platform/automation/conversions.h"
#include "platform/automation/registry.h"
#include "platform/navigation/user_folders.h"
#include "store/codes.h"
#include "store/data_info.h"
#include "store/merge.h"
#include "store/store_errors.h"

namespace wayfind::store {

namespace {

using platform::Recordset;
using platform::Variant;

std::string num(int32_t n) { return std::to_string(n); }

// A filter text built in a buffer of this thread, for the queries a tree walk
// repeats: once the buffer has grown, building a text allocates nothing. Each
// text is set before the next one is built.
class FilterText {
 public:
  FilterText() : text_(buffer()) { text_.clear(); }
  FilterText& operator<<(std::string_view part) {
    text_.append(part);
    return *this;
  }
  FilterText& operator<<(int32_t n) {
    char digits[16];
    const auto end = std::to_chars(digits, digits + sizeof digits, n).ptr;
    text_.append(digits, static_cast<size_t>(end - digits));
    return *this;
  }
  std::string_view view() const { return text_; }

 private:
  static std::string& buffer() {
    thread_local std::string text;
    return text;
  }
  std::string& text_;
};

Recordset& table(const RecordsetPtr& slot, const char* name) {
  if (!slot) raiseNotSet(name);
  return *slot;
}

// The start of every tree query: tables loaded, account-type code current.
int32_t prepareTreeQuery() {
  EnsureLoaded();
  return GetAcctTypeCode();
}

// The merged result with the result filter, on its first row.
RecordsetPtr finish(RecordsetPtr result, const char* resultFilter) {
  if (resultFilter) result->setFilter(resultFilter);
  return result;
}

bool flagOf(const Recordset& rs, const char* field) {
  const Variant& v = rs.value(field);
  return v.isNull() ? false : platform::CBool(v);
}

std::shared_ptr<erp::api::IServerDatasInfo> serverDatasInfo() {
  return platform::Registry::instance().createAs<erp::api::IServerDatasInfo>(
      erp::progid::kServerDatasInfo);
}

}  // namespace

// ---------------------------------------------------------------- tree queries

RecordsetPtr GetTopClass() {
  const std::string n = num(prepareTreeQuery());
  auto& s = DataInfo::instance();
  Recordset& t = table(s.templ.TopClass, "template TopClass");
  t.setFilter(s.isBOSQuery ? std::string() : "(FAcctType='' ) Or ( FAcctType Like '%," + n + ",%') ");
  table(s.user.TopClass, "user TopClass").setFilter("");
  return finish(MergeUserRows("TopClass", s.templ.TopClass, s.user.TopClass, 0), "FVisible = 1");
}

RecordsetPtr GetTopClass_All() {
  const std::string n = num(prepareTreeQuery());
  auto& s = DataInfo::instance();
  Recordset& t = table(s.templ.TopClass, "template TopClass");
  t.setFilter(s.isBOSQuery ? std::string() : "(FAcctType='') or (FAcctType Like '%," + n + ",%') ");
  table(s.user.TopClass, "user TopClass").setFilter("");
  return finish(MergeUserRows("TopClass", s.templ.TopClass, s.user.TopClass, 0), nullptr);
}

RecordsetPtr GetSubSystem(int32_t lTopClassID) {
  const std::string n = num(prepareTreeQuery());
  const std::string t = num(lTopClassID);
  auto& s = DataInfo::instance();
  table(s.templ.SubSystem, "template SubSystem")
      .setFilter(s.isBOSQuery ? "FTopClassID = " + t
                              : "(FTopClassID = " + t + " And FAccttype = '')  OR (FTopClassID = " + t +
                                    " and FAccttype like '%," + n + ",%')");
  table(s.user.SubSystem, "user SubSystem").setFilter("FTopClassID =" + t);
  return finish(MergeUserRows("SubSystem", s.templ.SubSystem, s.user.SubSystem, 0), "FVisible = 1");
}

RecordsetPtr GetSubSystem_All(int32_t lTopClassID) {
  const std::string n = num(prepareTreeQuery());
  const std::string t = num(lTopClassID);
  auto& s = DataInfo::instance();
  Recordset& templ = table(s.templ.SubSystem, "template SubSystem");
  if (lTopClassID >= 0) {
    templ.setFilter(s.isBOSQuery ? "FTopClassID=" + t
                                 : "(FTopClassID=" + t + " And FAccttype = '' ) or (FTopClassID=" + t +
                                       " And FAccttype like '%," + n + ",%')");
  } else {
    templ.setFilter(s.isBOSQuery ? std::string() : "FAcctType = '' OR FAccttype like '%," + n + ",%'");
  }
  // A BOS query lists the template's subsystems alone.
  if (s.isBOSQuery) return finish(MergeUserRows("SubSystem", s.templ.SubSystem, nullptr, 0), nullptr);
  table(s.user.SubSystem, "user SubSystem").setFilter(lTopClassID >= 0 ? " FTopClassID = " + t : std::string());
  return finish(MergeUserRows("SubSystem", s.templ.SubSystem, s.user.SubSystem, 0), nullptr);
}

RecordsetPtr GetSubFunc(int32_t lSubSysID) {
  const std::string n = num(prepareTreeQuery());
  const std::string id = num(lSubSysID);
  auto& s = DataInfo::instance();
  table(s.templ.SubFunc, "template SubFunc")
      .setFilter(s.isBOSQuery ? "FSubSysID = " + id
                              : "(FSubSysID = " + id + " And Faccttype = '') Or (FSubSysID = " + id +
                                    " And FAcctType Like '%," + n + ",%')");
  table(s.user.SubFunc, "user SubFunc").setFilter("FSubSysID = " + id);
  return finish(MergeUserRows("SubFunc", s.templ.SubFunc, s.user.SubFunc, 0), " FVisible = 1 ");
}

RecordsetPtr GetSubFunc_All(int32_t lSubSysID) {
  const std::string n = num(prepareTreeQuery());
  const std::string id = num(lSubSysID);
  auto& s = DataInfo::instance();
  Recordset& templ = table(s.templ.SubFunc, "template SubFunc");
  if (lSubSysID >= 0) {
    templ.setFilter(s.isBOSQuery ? "FSubSysID = " + id
                                 : "(FSubSysID = " + id + " And Faccttype = '') or (FSubSysID = " + id +
                                       " And Faccttype like '%," + n + ",%')");
  } else {
    templ.setFilter(s.isBOSQuery ? std::string()
                                 : "(Faccttype = '') or (Faccttype like '%," + n + ",%')");
  }
  table(s.user.SubFunc, "user SubFunc").setFilter(lSubSysID >= 0 ? " FSubSysID = " + id : std::string());
  return finish(MergeUserRows("SubFunc", s.templ.SubFunc, s.user.SubFunc, 0), nullptr);
}

RecordsetPtr GetDetailFunc(int32_t lSubFuncID) {
  const int32_t n = prepareTreeQuery();
  const int32_t f = lSubFuncID;
  auto& s = DataInfo::instance();
  Recordset& templ = table(s.templ.DetailFunc, "template DetailFunc");
  if (s.isBOSQuery) {
    templ.setFilter((FilterText() << "FSubFuncID =" << f).view());
  } else {
    templ.setFilter((FilterText() << "(FSubFuncID =" << f << " And FAcctType ='') Or (FSubFuncID =" << f
                                  << " And FAcctType Like '%," << n << ",%')")
                        .view());
  }
  table(s.user.DetailFunc, "user DetailFunc").setFilter((FilterText() << "FSubFuncID = " << f).view());
  return finish(MergeUserRows("DetailFunc", s.templ.DetailFunc, s.user.DetailFunc, lSubFuncID),
                "FVisible = 1");
}

RecordsetPtr GetDetailFunc_All(int32_t lSubFuncID) {
  const std::string n = num(prepareTreeQuery());
  const std::string f = num(lSubFuncID);
  auto& s = DataInfo::instance();
  table(s.templ.DetailFunc, "template DetailFunc")
      .setFilter(s.isBOSQuery ? "FSubFuncID = " + f
                              : "(FSubFuncID = " + f + " And FAcctType = '') Or (FSubFuncID = " + f +
                                    " And FAcctType Like '%," + n + ",%')");
  table(s.user.DetailFunc, "user DetailFunc").setFilter("FSubFuncID = " + f);
  return finish(MergeUserRows("DetailFunc", s.templ.DetailFunc, s.user.DetailFunc, 0), nullptr);
}

RecordsetPtr GetDetailFuncInfo(int32_t lDetailFuncID) {
  const int32_t code = prepareTreeQuery();
  const std::string d = num(lDetailFuncID);
  auto& s = DataInfo::instance();
  Recordset& templ = table(s.templ.DetailFunc, "template DetailFunc");
  templ.setFilter("FDetailFuncID = " + d);
  if (!templ.isEOF()) {
    const Variant& v = templ.value("FAcctType");
    const std::string list = platform::trimSpaces(platform::textOrEmpty(v));
    if (!list.empty() && list.find("," + num(code) + ",") == std::string::npos) {
      templ.setFilter("FDetailFuncID = 0");
    }
  }
  table(s.user.DetailFunc, "user DetailFunc").setFilter("FDetailFuncID = " + d);
  return finish(MergeUserRows("DetailFunc", s.templ.DetailFunc, s.user.DetailFunc, 0), nullptr);
}

// -------------------------------------------------------------- node questions

bool IsRefresh(int32_t lID, int32_t lType, DictionaryPtr& oDict) {
  EnsureLoaded();
  auto& s = DataInfo::instance();
  const std::string id = num(lID);
  Recordset* rs = nullptr;
  if (lType == 2) {
    rs = &table(s.templ.SubSystem, "template SubSystem");
    rs->setFilter("FSubSysID = " + id);
  } else if (lType == 3) {
    rs = &table(s.templ.SubFunc, "template SubFunc");
    rs->setFilter("FSubFuncID = " + id);
  }
  if (!rs || rs->isEOF()) return false;

  const bool userFolder = lType == 3 && nav::IsUserFolderId(lID);
  const bool answer = userFolder ? true : flagOf(*rs, "FRefresh");
  if (!userFolder) {
    oDict = RowToDictionary(lType == 2 ? s.templ.SubSystem : s.templ.SubFunc);
    return answer;
  }
  // A user-owned folder is described by the user's own row when there is one.
  Recordset& user = table(s.user.SubFunc, "user SubFunc");
  user.setFilter("FSubFuncID = " + id);
  oDict = RowToDictionary(user.isEOF() ? s.templ.SubFunc : s.user.SubFunc);
  if (!oDict->Lookup("FClassName")) oDict->SetValue("FClassName", Variant("ZecglView.GLData"));
  return answer;
}

bool IsRefreshNode(int32_t lID, int32_t lType) {
  EnsureLoaded();
  auto& s = DataInfo::instance();
  const std::string id = num(lID);
  Recordset* rs = nullptr;
  if (lType == 2) {
    rs = &table(s.templ.SubSystem, "template SubSystem");
    rs->setFilter("FSubSysID =" + id);
  } else if (lType == 3) {
    rs = &table(s.templ.SubFunc, "template SubFunc");
    rs->setFilter("FSubFuncID=" + id);
  }
  if (!rs || rs->isEOF()) return false;
  return flagOf(*rs, "FRefresh");
}

bool IsSetEnable(int32_t lID, DictionaryPtr& oDict) {
  EnsureLoaded();
  auto& s = DataInfo::instance();
  Recordset& rs = table(s.templ.SubFunc, "template SubFunc");
  rs.setFilter("FSubFuncID = " + num(lID));
  if (rs.isEOF()) return false;
  const bool answer = flagOf(rs, "FSetEnable");
  oDict = RowToDictionary(s.templ.SubFunc);
  return answer;
}

bool GetSubSystemInfo(int32_t lID, DictionaryPtr& oDict) {
  EnsureLoaded();
  auto& s = DataInfo::instance();
  const std::string filter = "FSubSysID = " + num(lID);
  table(s.templ.SubSystem, "template SubSystem").setFilter(filter);
  table(s.user.SubSystem, "user SubSystem").setFilter(filter);
  RecordsetPtr merged = MergeUserRows("SubSystem", s.templ.SubSystem, s.user.SubSystem, 0);
  if (merged->isEOF()) return false;
  oDict = RowToDictionary(merged);
  return true;
}

// ------------------------------------------------ account types and settings

RecordsetPtr GetAcctInfo(int32_t lngAcctType) {
  EnsureLoaded();
  auto& s = DataInfo::instance();
  table(s.templ.AcctType, "template AcctType")
      .setFilter(lngAcctType != 0 ? "FAcctType = " + num(lngAcctType) + " AND FDeleted = 0 "
                                  : std::string(" FDeleted = 0 "));
  return s.templ.AcctType;
}

std::string GetAcctShowName(const std::string& strName) {
  try {
    EnsureLoaded();
    Recordset& rs = table(DataInfo::instance().templ.AcctType, "template AcctType");
    rs.setFilter("FNumber = '" + QuoteFilterText(strName) + "'");
    if (rs.isEOF()) return {};
    return platform::CStr(rs.value("FShowName"));
  } catch (...) {
    return {};
  }
}

std::string GetProfileValue(const std::string& strName) {
  try {
    EnsureLoaded();
    Recordset& rs = table(DataInfo::instance().user.Profile, "user Profile");
    rs.setFilter("FName='" + QuoteFilterText(strName) + "'");
    if (rs.isEOF()) return {};
    return platform::fieldText(rs, "FValue");
  } catch (...) {
    return {};
  }
}

std::string GetSubSysClass(int32_t lID, int32_t lType) {
  try {
    return serverDatasInfo()->GetSubSysClass(context::PropsString(), lID, lType);
  } catch (...) {
    return {};
  }
}

std::string GetSubSysName(int32_t lFDetailFuncID) {
  try {
    return serverDatasInfo()->GetSubSysName(context::PropsString(), lFDetailFuncID);
  } catch (...) {
    return {};
  }
}

DictionaryPtr RowToDictionary(const RecordsetPtr& rs) {
  if (!rs) raiseNotSet("record set");
  auto dict = std::make_shared<platform::Dictionary>();
  for (int i = 0; i < rs->fieldCount(); ++i) dict->SetValue(rs->fieldInfo(i).name, rs->value(i));
  return dict;
}

}  // namespace wayfind::store
