// Reading the visible tree into a search index, keeping the index current, and
// turning its matches into rows.
#include "store/search.h"

#include <cstdint>
#include <optional>
#include <unordered_map>
#include <utility>

#include "context/language.h"
#include "context/login_props.h"
#include "erp/api/data_access.h"
#include "erp/api/progids.h"
#include "platform/automation/conversions.h"
#include "platform/automation/registry.h"
#include "store/codes.h"
#include "store/data_info.h"
#include "store/display_name.h"
#include "store/queries.h"
#include "store/search_text.h"

namespace wayfind::store {

namespace {

using platform::Recordset;
using platform::Variant;

std::string textOf(const Variant& v) {
  return v.isNull() || v.isEmpty() ? std::string() : platform::CStr(v);
}

bool blank(const std::string& text) { return platform::trimSpaces(text).empty(); }

// Reads fields by position, found once per record set; a field the record set
// lacks reads as empty text.
class Fields {
 public:
  Fields(const Recordset& rs, std::initializer_list<const char*> names) : rs_(rs) {
    for (const char* n : names) index_.push_back(rs.fieldIndex(n));
  }
  std::string text(size_t i) const { return index_[i] < 0 ? std::string() : textOf(rs_.value(index_[i])); }
  int32_t id(size_t i) const { return index_[i] < 0 ? 0 : platform::CLng(rs_.value(index_[i])); }
  std::optional<Variant> value(size_t i) const {
    return index_[i] < 0 ? std::nullopt : std::optional<Variant>(rs_.value(index_[i]));
  }

 private:
  const Recordset& rs_;
  std::vector<int> index_;
};

// Every row of a query's result, through its filter, from the first.
template <class F>
void eachRow(const RecordsetPtr& rs, F&& f) {
  if (!rs || rs->RecordCount() == 0) return;
  for (rs->MoveFirst(); !rs->isEOF(); rs->MoveNext()) f(*rs);
}

enum DetailField { kId, kFuncName, kNameEn, kNameCht, kShowName, kHelpCode, kHelpCode1, kClass, kParam, kEnable };

// One merged detail row as the user sees it, named as the console's tree names it
// (store/display_name.h). A function the user has named is no longer found by the
// template's show name; its merged function name still finds it.
SearchFunction functionOf(const Fields& f, uint32_t place, const std::string* userShow) {
  SearchFunction fn;
  fn.detailFuncId = f.id(kId);
  fn.place = place;
  const std::string funcName = context::RemoveLineBreaks(f.text(kFuncName));
  fn.name = DetailFuncDisplayName(funcName, f.text(kShowName), userShow);
  if (!userShow || !blank(context::RemoveLineBreaks(*userShow))) fn.otherNames.push_back(funcName);
  fn.otherNames.push_back(f.text(kNameEn));
  fn.otherNames.push_back(f.text(kNameCht));
  fn.helpCode = platform::trimSpaces(f.text(kHelpCode));
  fn.helpCode1 = platform::trimSpaces(f.text(kHelpCode1));
  fn.className = f.text(kClass);
  fn.classParam = f.text(kParam);
  const std::optional<Variant> enable = f.value(kEnable);
  fn.enabled = !enable || enable->isNull() || enable->isEmpty() || platform::CBool(*enable);
  return fn;
}

// The template's simplified-Chinese names of the detail functions. The middle tier
// delivers the tree in the login's language, with English and traditional Chinese
// beside it, so an English or traditional-Chinese session would otherwise never
// find a function by its simplified name. They come from the ERP's data access,
// read once per index; where that service is missing or refuses, the search works
// on without them.
std::unordered_map<int32_t, std::string> simplifiedNames() {
  std::unordered_map<int32_t, std::string> names;
  if (context::GetLanguage() == 1) return names;  // the tree's names are simplified already
  try {
    auto access = platform::Registry::instance().createAs<erp::api::IBillUseInfo>(erp::progid::kBillUseInfo);
    auto rs = access->GetData(context::PropsString(), "SELECT FDetailFuncID, FFuncName FROM t_NavDetailFunc");
    eachRow(rs, [&](Recordset& row) {
      const Variant id = row.value("FDetailFuncID");
      if (!id.isNull() && !id.isEmpty()) names[platform::CLng(id)] = textOf(row.value("FFuncName"));
    });
  } catch (const std::exception&) {
    names.clear();
  }
  return names;
}

}  // namespace

SearchIndex ReadSearchIndex() {
  const auto userNames = UserDetailNames::read();
  const auto simplified = simplifiedNames();
  std::vector<SearchPlace> places;
  std::vector<SearchFunction> functions;

  // Each query answers a record set of its own, so the levels can be read one
  // inside the other while the next queries set their filters on the shared tables.
  eachRow(GetTopClass(), [&](Recordset& top) {
    const Fields t(top, {"FTopClassID", "FTopClassName"});
    SearchPlace place;
    place.topClassId = t.id(0);
    place.topClassName = t.text(1);
    eachRow(GetSubSystem(place.topClassId), [&](Recordset& sys) {
      const Fields s(sys, {"FSubSysID", "FName"});
      place.subSysId = s.id(0);
      place.subSysName = s.text(1);
      eachRow(GetSubFunc(place.subSysId), [&](Recordset& sub) {
        const Fields u(sub, {"FSubFuncID", "FFuncName"});
        place.subFuncId = u.id(0);
        place.subFuncName = u.text(1);
        const auto placeIndex = static_cast<uint32_t>(places.size());
        bool used = false;
        eachRow(GetDetailFunc(place.subFuncId), [&](Recordset& det) {
          const Fields d(det, {"FDetailFuncID", "FFuncName", "FFuncName_en", "FFuncName_cht", "FShowName",
                               "FHelpCode", "FHelpCode1", "FClassName", "FClassParam", "FEnable"});
          functions.push_back(functionOf(d, placeIndex, userNames.showName(place.subFuncId, d.id(kId))));
          if (auto name = simplified.find(d.id(kId)); name != simplified.end())
            functions.back().otherNames.push_back(name->second);
          used = true;
        });
        if (used) places.push_back(place);
      });
    });
  });
  return SearchIndex(std::move(places), std::move(functions));
}

// ------------------------------------------------------------ FunctionSearch

FunctionSearch& FunctionSearch::instance() {
  static FunctionSearch search;
  return search;
}

void FunctionSearch::reset() { *this = FunctionSearch(); }

FunctionSearch::Source FunctionSearch::sourceNow() {
  const auto& s = DataInfo::instance();
  Source src;
  src.tables = {s.templ.AcctType, s.templ.TopClass, s.templ.SubSystem, s.templ.SubFunc,
                s.templ.DetailFunc, s.templ.Profile, s.user.TopClass, s.user.SubSystem,
                s.user.SubFunc, s.user.DetailFunc, s.user.Profile};
  src.acctTypeCode = GetAcctTypeCode();
  src.bosQuery = s.isBOSQuery;
  return src;
}

bool FunctionSearch::same(const Source& a, const Source& b) {
  for (size_t i = 0; i < a.tables.size(); ++i) {
    if (a.tables[i].owner_before(b.tables[i]) || b.tables[i].owner_before(a.tables[i])) return false;
  }
  return a.acctTypeCode == b.acctTypeCode && a.bosQuery == b.bosQuery;
}

const SearchIndex& FunctionSearch::current() {
  EnsureLoaded();
  Source now = sourceNow();
  if (index_ && same(now, source_)) return *index_;
  // Built aside and swapped in whole: a failing read keeps the previous index.
  auto fresh = std::make_unique<SearchIndex>(ReadSearchIndex());
  index_ = std::move(fresh);
  source_ = std::move(now);
  ++builds_;
  return *index_;
}

// ------------------------------------------------------------ SearchFunctions

FunctionSearchResult SearchFunctions(std::string_view text, size_t limit) {
  FunctionSearchResult result;
  if (limit == 0 || FoldSearchText(text).empty()) return result;
  const SearchIndex& index = FunctionSearch::instance().current();
  std::vector<SearchMatch> matches = index.find(text, limit == SIZE_MAX ? limit : limit + 1);
  if (matches.size() > limit) {
    result.more = true;
    matches.resize(limit);
  }
  result.rows.reserve(matches.size());
  for (const SearchMatch& m : matches) {
    const SearchFunction& fn = index.functions()[m.function];
    const SearchPlace& place = index.places()[fn.place];
    FunctionSearchRow row;
    row.rank = m.rank;
    row.topClassId = place.topClassId;
    row.subSysId = place.subSysId;
    row.subFuncId = place.subFuncId;
    row.detailFuncId = fn.detailFuncId;
    row.name = fn.name;
    row.helpCode = fn.helpCode;
    row.helpCode1 = fn.helpCode1;
    row.topClassName = place.topClassName;
    row.subSysName = place.subSysName;
    row.subFuncName = place.subFuncName;
    row.path = place.topClassName + " > " + place.subSysName + " > " + place.subFuncName;
    row.className = fn.className;
    row.classParam = fn.classParam;
    row.enabled = fn.enabled;
    result.rows.push_back(std::move(row));
  }
  return result;
}

}  // namespace wayfind::store
