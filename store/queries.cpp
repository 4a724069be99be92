// The host's queries. The filter texts are the ones the record sets have always
// been given, spaces included; identifiers and codes go in as decimal numbers.
#include "store/queries.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <unordered_map>
#include <string_view>

#include "context/login_props.h"
#include "erp/api/progids.h"
#include "erp/api/server_datas_info.h"
#include "platform/automation/conversions.h"
#include "platform/automation/registry.h"
#include "platform/navigation/levels.h"
#include "platform/navigation/user_folders.h"
#include "store/cache_files.h"
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
  return erp::api::newServerDatasInfo();
}

}  // namespace

// ---------------------------------------------------------------- tree queries

namespace {

// A level's tables: the name the merge knows them by, the template's and the
// user's record sets, and the field that names the parent node.
struct LevelTables {
  const char* name;
  RecordsetPtr TemplateTables::*templ;
  RecordsetPtr UserTables::*user;
  const char* parentField;
};

constexpr LevelTables kTopClass{"TopClass", &TemplateTables::TopClass, &UserTables::TopClass, ""};
constexpr LevelTables kSubSystem{"SubSystem", &TemplateTables::SubSystem, &UserTables::SubSystem, "FTopClassID"};
constexpr LevelTables kSubFunc{"SubFunc", &TemplateTables::SubFunc, &UserTables::SubFunc, "FSubSysID"};
constexpr LevelTables kDetailFunc{"DetailFunc", &TemplateTables::DetailFunc, &UserTables::DetailFunc, "FSubFuncID"};

// The filter texts of a query, in which {parent} stands for the parent field,
// {id} for the parent's identifier and {code} for the account-type code.
struct FilterShapes {
  const char* byAcctType;  // the template's rows of the current account type
  const char* bos;         // the template's rows of a BOS query
  const char* user;        // the user's rows
};

struct TreeQuery {
  const LevelTables& level;
  FilterShapes underParent;
  // Where a parent below zero asks for the rows under every parent; nullptr
  // shapes: the same texts as under one parent.
  FilterShapes underEveryParent;
  const char* resultFilter;  // nullptr: none
  bool bosTemplateOnly = false;   // a BOS query lists the template's rows alone
  bool mergeUnderParent = false;  // the merge is told the parent
};

constexpr FilterShapes kSame{nullptr, nullptr, nullptr};

const TreeQuery kGetTopClass{
    kTopClass, {"(FAcctType='' ) Or ( FAcctType Like '%,{code},%') ", "", ""}, kSame, "FVisible = 1"};
const TreeQuery kGetTopClassAll{
    kTopClass, {"(FAcctType='') or (FAcctType Like '%,{code},%') ", "", ""}, kSame, nullptr};
const TreeQuery kGetSubSystem{
    kSubSystem,
    {"({parent} = {id} And FAccttype = '')  OR ({parent} = {id} and FAccttype like '%,{code},%')",
     "{parent} = {id}", "{parent} ={id}"},
    kSame,
    "FVisible = 1"};
const TreeQuery kGetSubSystemAll{
    kSubSystem,
    {"({parent}={id} And FAccttype = '' ) or ({parent}={id} And FAccttype like '%,{code},%')", "{parent}={id}",
     " {parent} = {id}"},
    {"FAcctType = '' OR FAccttype like '%,{code},%'", "", ""},
    nullptr,
    true};
const TreeQuery kGetSubFunc{
    kSubFunc,
    {"({parent} = {id} And Faccttype = '') Or ({parent} = {id} And FAcctType Like '%,{code},%')",
     "{parent} = {id}", "{parent} = {id}"},
    kSame,
    " FVisible = 1 "};
const TreeQuery kGetSubFuncAll{
    kSubFunc,
    {"({parent} = {id} And Faccttype = '') or ({parent} = {id} And Faccttype like '%,{code},%')",
     "{parent} = {id}", " {parent} = {id}"},
    {"(Faccttype = '') or (Faccttype like '%,{code},%')", "", ""},
    nullptr};
const TreeQuery kGetDetailFunc{
    kDetailFunc,
    {"({parent} ={id} And FAcctType ='') Or ({parent} ={id} And FAcctType Like '%,{code},%')", "{parent} ={id}",
     "{parent} = {id}"},
    kSame,
    "FVisible = 1",
    false,
    true};
const TreeQuery kGetDetailFuncAll{
    kDetailFunc,
    {"({parent} = {id} And FAcctType = '') Or ({parent} = {id} And FAcctType Like '%,{code},%')",
     "{parent} = {id}", "{parent} = {id}"},
    kSame,
    nullptr};

Recordset& levelTable(const RecordsetPtr& slot, const char* side, const char* name) {
  if (!slot) raiseNotSet(std::string(side) + " " + name);
  return *slot;
}

// The one builder of the tree queries' filters: the shape with its fields filled in.
std::string_view filterOf(const char* shape, const char* parentField, int32_t id, int32_t code) {
  FilterText text;
  std::string_view rest(shape);
  for (size_t open; (open = rest.find('{')) != std::string_view::npos;) {
    const size_t close = rest.find('}', open);
    const std::string_view field = rest.substr(open + 1, close - open - 1);
    text << rest.substr(0, open);
    if (field == "parent") {
      text << parentField;
    } else {
      text << (field == "id" ? id : code);
    }
    rest.remove_prefix(close + 1);
  }
  return (text << rest).view();
}

RecordsetPtr runTreeQuery(const TreeQuery& q, int32_t parentId = 0) {
  const int32_t code = prepareTreeQuery();
  auto& s = DataInfo::instance();
  const LevelTables& level = q.level;
  const FilterShapes& shapes = parentId < 0 && q.underEveryParent.byAcctType ? q.underEveryParent : q.underParent;
  const RecordsetPtr& templ = s.templ.*level.templ;
  levelTable(templ, "template", level.name)
      .setFilter(filterOf(s.isBOSQuery ? shapes.bos : shapes.byAcctType, level.parentField, parentId, code));
  if (s.isBOSQuery && q.bosTemplateOnly) return finish(MergeUserRows(level.name, templ, nullptr, 0), q.resultFilter);
  const RecordsetPtr& user = s.user.*level.user;
  levelTable(user, "user", level.name)
      .setFilter(filterOf(shapes.user, level.parentField, parentId, code));
  return finish(MergeUserRows(level.name, templ, user, q.mergeUnderParent ? parentId : 0), q.resultFilter);
}

}  // namespace

RecordsetPtr GetTopClass() { return runTreeQuery(kGetTopClass); }
RecordsetPtr GetTopClass_All() { return runTreeQuery(kGetTopClassAll); }
RecordsetPtr GetSubSystem(int32_t lTopClassID) { return runTreeQuery(kGetSubSystem, lTopClassID); }
RecordsetPtr GetSubSystem_All(int32_t lTopClassID) { return runTreeQuery(kGetSubSystemAll, lTopClassID); }
RecordsetPtr GetSubFunc(int32_t lSubSysID) { return runTreeQuery(kGetSubFunc, lSubSysID); }
RecordsetPtr GetSubFunc_All(int32_t lSubSysID) { return runTreeQuery(kGetSubFuncAll, lSubSysID); }
RecordsetPtr GetDetailFunc(int32_t lSubFuncID) { return runTreeQuery(kGetDetailFunc, lSubFuncID); }
RecordsetPtr GetDetailFunc_All(int32_t lSubFuncID) { return runTreeQuery(kGetDetailFuncAll, lSubFuncID); }

// ------------------------------------------------- many sub-functions' rows

namespace {

// GetDetailFunc's filters over every sub-function at once: the template's rows
// of the account type, and of those the ones the result filter shows when no
// user row touches them. A row belongs to the sub-function its parent field
// names, as "{parent} = {id}" finds it in an integer field.
constexpr FilterShapes kEveryDetailFunc{"(FAcctType ='') Or (FAcctType Like '%,{code},%')", "", ""};
constexpr FilterShapes kVisibleDetailFunc{"(FAcctType ='' And FVisible = 1) Or (FAcctType Like '%,{code},%' And FVisible = 1)",
                                          "FVisible = 1", nullptr};

bool integerField(const RecordsetPtr& rs, const char* name) {
  const int at = rs ? rs->fieldIndex(name) : -1;
  return at >= 0 && platform::isIntegerType(rs->fieldInfo(at).type);
}

}  // namespace

DetailFuncReader::DetailFuncReader(std::vector<int32_t> subFuncIds) : ids_(std::move(subFuncIds)) {
  code_ = prepareTreeQuery();
  auto& s = DataInfo::instance();
  bos_ = s.isBOSQuery;
  templ_ = s.templ.DetailFunc;
  user_ = s.user.DetailFunc;
  // The result filter is evaluated on the template's own rows, the same values
  // as the result's copies where the field holds integers.
  const char* parent = kGetDetailFunc.level.parentField;
  // Both tables' rows are read in the order they are stored, which is the
  // order their filters show them in while they have no sort; their filters
  // and views stay as they are.
  direct_ = !integerField(templ_, parent) || !integerField(user_, parent) || !integerField(templ_, "FVisible") ||
            !templ_->sort().empty() || !user_->sort().empty();
  if (direct_) return;
  merged_ = CloneStructure(templ_);
  templateRowCount_ = templ_->storedRowCount();  // rows added later are not read
  visible_.assign(templateRowCount_, false);
  indexOf_.reserve(ids_.size());
  for (size_t i = 0; i < ids_.size(); ++i) first_.push_back(indexOf_.emplace(ids_[i], static_cast<uint32_t>(i)).first->second);
}

void DetailFuncReader::collect(const Recordset& rs, int parent, uint32_t row) {
  const platform::Cell c = rs.storedCell(row, parent);
  if (!c.isInteger() || c.integer < INT32_MIN || c.integer > INT32_MAX) return;
  auto it = indexOf_.find(static_cast<int32_t>(c.integer));
  if (it != indexOf_.end()) found_.emplace_back(it->second, row);
}

// The rows collected, by sub-function, each sub-function's in the order found.
DetailFuncReader::Grouped DetailFuncReader::group() {
  Grouped g;
  g.ends.assign(ids_.size(), 0);
  for (const auto& f : found_) ++g.ends[f.first];
  size_t at = 0;
  for (uint32_t& end : g.ends) at = end += static_cast<uint32_t>(at);
  g.rows.resize(found_.size());
  for (size_t k = found_.size(); k-- > 0;) g.rows[--g.ends[found_[k].first]] = found_[k].second;
  for (size_t i = 0; i < ids_.size(); ++i) g.ends[i] = static_cast<uint32_t>(i + 1 < ids_.size() ? g.ends[i + 1] : g.rows.size());
  found_ = {};
  return g;
}

bool DetailFuncReader::step() {
  const char* parent = kGetDetailFunc.level.parentField;
  switch (phase_) {
    case 0:  // the template's rows of the account type, and which the result shows as they are, a part a step
      if (!direct_) {
        constexpr size_t kRows = 32768;
        const size_t end = std::min(templateRowCount_, next_ + kRows);
        const int parentField = templ_->requireField(parent);
        scratchRows_.clear();
        templ_->matchingRows(filterOf(bos_ ? kEveryDetailFunc.bos : kEveryDetailFunc.byAcctType, parent, 0, code_),
                             next_, end, scratchRows_);
        for (uint32_t row : scratchRows_) collect(*templ_, parentField, row);
        // The shown rows are these rows with FVisible = 1 (either shape of the
        // visible filter is the account type's filter and that), so only the
        // rows found are looked at again.
        visibleRows_.clear();
        templ_->matchingRows(kVisibleDetailFunc.bos, scratchRows_, visibleRows_);
        for (uint32_t row : visibleRows_) visible_[row] = true;
        next_ = end;
        if (next_ < templateRowCount_) return false;
        templateRows_ = group();
      }
      next_ = 0;
      ++phase_;
      return false;
    case 1:  // the user's rows, by sub-function
      if (!direct_) {
        const int parentField = user_->requireField(parent);
        scratchRows_.clear();
        user_->matchingRows("", 0, user_->storedRowCount(), scratchRows_);
        for (uint32_t row : scratchRows_) collect(*user_, parentField, row);
        userRows_ = group();
      }
      ++phase_;
      return false;
    case 2:  // the template rows the user's rows touch
      if (!direct_) findCopies();
      ++phase_;
      return false;
    case 3:  // those rows copied, a few columns a step
      if (!direct_ && !copyColumns()) return false;
      ++phase_;
      return false;
    case 4:  // merged, a few sub-functions a step
      if (next_ == 0 && !direct_) {
        // Room for what the merge usually gives (every template and user row
        // once), taken at once rather than grown by copying.
        rows_.reserve(templ_->storedRowCount() + user_->storedRowCount());
        ends_.reserve(ids_.size());
      }
      for (size_t stop = std::min(ids_.size(), next_ + 512); next_ < stop; ++next_) add(next_);
      if (next_ < ids_.size()) return false;
      finish();
      ++phase_;
      return true;
    default: return true;
  }
}

// A template row that a user's row of its sub-function names by its id is
// copied to take the user's fields. Copied one by one as each sub-function is
// merged, the rows, scattered over the table, are read a field at a time; here
// they are found first and copied in the order they are stored, column by
// column. A row found here that the merge does not take (it lists the
// sub-function's rows another way) is left unread in merged_.
void DetailFuncReader::findCopies() {
  const char* idName = nav::InfoOf(nav::Level::DetailFunc).idField;
  const int idField = templ_->fieldIndex(idName);
  const int userIdField = user_->fieldIndex(idName);
  if (idField < 0 || userIdField < 0 || merged_->storedRowCount() != 0) return;
  std::vector<int64_t> ids;
  for (size_t i = 0; i < ids_.size(); ++i) {
    const std::span<const uint32_t> user = userRows_.of(first_[i]);
    if (first_[i] != i || user.empty() || nav::ListsOnlyUserRows(ids_[i])) continue;
    ids.clear();
    for (uint32_t u : user) {
      const platform::Cell c = user_->storedCell(u, userIdField);
      if (c.isInteger()) ids.push_back(c.integer);
    }
    std::sort(ids.begin(), ids.end());
    for (uint32_t t : templateRows_.of(i)) {
      const platform::Cell c = templ_->storedCell(t, idField);
      if (c.isInteger() && std::binary_search(ids.begin(), ids.end(), c.integer)) copies_.from.push_back(t);
    }
  }
  std::sort(copies_.from.begin(), copies_.from.end());
  copies_.from.erase(std::unique(copies_.from.begin(), copies_.from.end()), copies_.from.end());
  copies_.taken.assign(copies_.from.size(), false);
}

// The copied rows, a piece of rows a step (each piece column by column), so
// that no step of a large tree takes long; true when every one is copied.
bool DetailFuncReader::copyColumns() {
  constexpr size_t kPiece = 8192;
  const size_t n = copies_.from.size();
  const size_t stop = std::min(n, copiedRows_ + kPiece);
  if (copiedRows_ < stop) {
    scratchRows_.assign(copies_.from.begin() + static_cast<std::ptrdiff_t>(copiedRows_),
                        copies_.from.begin() + static_cast<std::ptrdiff_t>(stop));
    merged_->appendCopiesOfRows(*templ_, scratchRows_);
    copiedRows_ = stop;
  }
  return copiedRows_ == n;
}

void DetailFuncReader::askQuery(int32_t lSubFuncID) {
  RecordsetPtr rs = GetDetailFunc(lSubFuncID);
  for (rs->MoveFirst(); !rs->isEOF(); rs->MoveNext()) rows_.push_back({rs.get(), rs->currentStoredRow()});
  asked_.push_back(std::move(rs));
}

void DetailFuncReader::add(size_t i) {
  const int32_t id = ids_[i];
  if (direct_) {
    askQuery(id);
    ends_.push_back(rows_.size());
    return;
  }
  const bool owned = nav::ListsOnlyUserRows(id);
  const std::span<const uint32_t> templ = owned ? std::span<const uint32_t>() : templateRows_.of(first_[i]);
  const std::span<const uint32_t> user = userRows_.of(first_[i]);
  if (user.empty()) {
    for (uint32_t t : templ)
      if (visible_[t]) rows_.push_back({templ_.get(), t});
  } else {
    scratch_.clear();
    if (!MergeDetailFuncsInPlace(*templ_, templ, *user_, user, id, *merged_, scratch_, &copies_)) {
      askQuery(id);
    } else {
      // The rows the user's rows changed are checked when every one is in.
      for (const StoredRow& row : scratch_)
        if (row.rs != templ_.get() || visible_[row.row]) rows_.push_back(row);
    }
  }
  ends_.push_back(rows_.size());
}

void DetailFuncReader::finish() {
  templateRows_ = {};
  userRows_ = {};
  copies_ = {};
  if (!merged_ || merged_->storedRowCount() == 0) return;
  merged_->setFilter(kGetDetailFunc.resultFilter);
  std::vector<bool> shown(merged_->storedRowCount(), false);
  for (merged_->MoveFirst(); !merged_->isEOF(); merged_->MoveNext()) shown[merged_->currentStoredRow()] = true;
  const Recordset* merged = merged_.get();
  size_t kept = 0, from = 0;
  for (size_t& end : ends_) {
    for (; from < end; ++from)
      if (rows_[from].rs != merged || shown[rows_[from].row]) rows_[kept++] = rows_[from];
    end = kept;
  }
  rows_.resize(kept);
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
    if (!list.empty() && list.find(std::string(",").append(num(code)).append(",")) == std::string::npos) {
      templ.setFilter("FDetailFuncID = 0");
    }
  }
  table(s.user.DetailFunc, "user DetailFunc").setFilter("FDetailFuncID = " + d);
  return finish(MergeUserRows("DetailFunc", s.templ.DetailFunc, s.user.DetailFunc, 0), nullptr);
}

// -------------------------------------------------------------- node questions

namespace {

// The template's row of a subsystem or sub-function, its table filtered by the
// level's criterion (each question keeps its own spacing of the criterion, as
// the filter a caller reads back); nullptr for another level or an item the
// template does not have.
Recordset* templateRowOf(DataInfo& s, std::optional<nav::Level> level, const std::string& subSystemFilter,
                         const std::string& subFuncFilter) {
  Recordset* rs = nullptr;
  if (level == nav::Level::SubSystem) {
    rs = &table(s.templ.SubSystem, "template SubSystem");
    rs->setFilter(subSystemFilter);
  } else if (level == nav::Level::SubFunc) {
    rs = &table(s.templ.SubFunc, "template SubFunc");
    rs->setFilter(subFuncFilter);
  }
  return rs && !rs->isEOF() ? rs : nullptr;
}

}  // namespace

bool IsRefresh(int32_t lID, int32_t lType, DictionaryPtr& oDict) {
  EnsureLoaded();
  auto& s = DataInfo::instance();
  const std::string id = num(lID);
  const std::optional<nav::Level> level = nav::LevelOfNumber(lType);
  Recordset* rs = templateRowOf(s, level, "FSubSysID = " + id, "FSubFuncID = " + id);
  if (!rs) return false;

  const bool userFolder = level == nav::Level::SubFunc && nav::IsUserFolderId(lID);
  const bool answer = userFolder ? true : flagOf(*rs, "FRefresh");
  if (!userFolder) {
    oDict = RowToDictionary(level == nav::Level::SubSystem ? s.templ.SubSystem : s.templ.SubFunc);
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
  const std::string id = num(lID);
  Recordset* rs = templateRowOf(DataInfo::instance(), nav::LevelOfNumber(lType), "FSubSysID =" + id, "FSubFuncID=" + id);
  return rs && flagOf(*rs, "FRefresh");
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

// These two never fail, answering "" instead; damage met in a cache file is
// recovered from first (the file forgotten and the tables fetched again), or the
// file would stay in place and every setting read as unset until the server's
// version moved.
std::string GetAcctShowName(const std::string& strName) {
  try {
    return AfterDamageForgotten([&] {
      EnsureLoaded();
      Recordset& rs = table(DataInfo::instance().templ.AcctType, "template AcctType");
      rs.setFilter("FNumber = '" + QuoteFilterText(strName) + "'");
      return rs.isEOF() ? std::string() : platform::CStr(rs.value("FShowName"));
    });
  } catch (...) {
    return {};
  }
}

std::string GetProfileValue(const std::string& strName) {
  try {
    return AfterDamageForgotten([&] {
      EnsureLoaded();
      Recordset& rs = table(DataInfo::instance().user.Profile, "user Profile");
      rs.setFilter("FName='" + QuoteFilterText(strName) + "'");
      return rs.isEOF() ? std::string() : platform::fieldText(rs, "FValue");
    });
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
