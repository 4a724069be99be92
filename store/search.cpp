// Reading the visible tree into a search index, keeping the index current (in
// memory, in its file, or made again), and turning its matches into rows.
#include "store/search.h"

#include <malloc.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "context/language.h"
#include "context/login_props.h"
#include "erp/api/data_access.h"
#include "erp/api/progids.h"
#include "platform/automation/conversions.h"
#include "platform/automation/process_end.h"
#include "platform/automation/registry.h"
#include "platform/navigation/columns.h"
#include "platform/recordset/large_memory.h"
#include "store/cache_files.h"
#include "store/codes.h"
#include "store/data_info.h"
#include "store/display_name.h"
#include "store/hanzi.h"
#include "store/loading.h"
#include "store/queries.h"
#include "store/search_habits.h"
#include "store/search_index_file.h"
#include "store/search_text.h"

namespace wayfind::store {

namespace {

using platform::Recordset;
using platform::Variant;

bool blank(std::string_view text) { return platform::trimSpaces(text).empty(); }

// Reads fields by position, found once per record set; a field the record set
// lacks reads as empty text.
class Fields {
 public:
  Fields(const Recordset& rs, std::initializer_list<const char*> names) : rs_(rs) {
    for (const char* n : names) index_.push_back(rs.fieldIndex(n));
  }
  std::string text(size_t i) const { return index_[i] < 0 ? std::string() : platform::textOrEmpty(rs_.value(index_[i])); }
  int32_t id(size_t i) const { return index_[i] < 0 ? 0 : platform::CLng(rs_.value(index_[i])); }
  std::optional<Variant> value(size_t i) const {
    return index_[i] < 0 ? std::nullopt : std::optional<Variant>(rs_.value(index_[i]));
  }

 private:
  const Recordset& rs_;
  std::vector<int> index_;
};

// The same for stored rows of record sets of one table's fields, the positions
// found again only when the record set changes.
class StoredFields {
 public:
  explicit StoredFields(std::initializer_list<const char*> names) : names_(names), index_(names.size(), -1) {}
  void at(const StoredRow& r) {
    if (r.rs != rs_) {
      rs_ = r.rs;
      for (size_t i = 0; i < names_.size(); ++i) index_[i] = rs_->fieldIndex(names_[i]);
    }
    row_ = r.row;
  }
  // The field's text where it lies in the table (valid while the table is), or
  // in room when the cell holds another kind of value.
  std::string_view text(size_t i, std::string& room) const {
    if (index_[i] < 0) return {};
    const platform::Cell c = rs_->storedCell(row_, index_[i]);
    if (c.type == platform::VarType::String) return c.text;
    room = platform::textOrEmpty(platform::variantOf(c));
    return room;
  }
  int32_t id(size_t i) const {
    if (index_[i] < 0) return 0;
    const platform::Cell c = rs_->storedCell(row_, index_[i]);
    if (c.type == platform::VarType::Long || c.type == platform::VarType::Integer) return static_cast<int32_t>(c.integer);
    return platform::CLng(platform::variantOf(c));
  }
  // A flag that is on unless the cell says off (Null and a missing field are on).
  bool on(size_t i) const {
    if (index_[i] < 0) return true;
    const platform::Cell c = rs_->storedCell(row_, index_[i]);
    switch (c.type) {
      case platform::VarType::Null:
      case platform::VarType::Empty: return true;
      case platform::VarType::Boolean:
      case platform::VarType::Integer:
      case platform::VarType::Long:
      case platform::VarType::LongLong: return c.integer != 0;
      default: return platform::CBool(platform::variantOf(c));
    }
  }

 private:
  std::vector<const char*> names_;
  std::vector<int> index_;
  const Recordset* rs_ = nullptr;
  uint32_t row_ = 0;
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
// template's show name, in either script; its merged function name and its
// English name still find it. simplified: the template's simplified name, when
// the session is in another language.
SearchFunction functionOf(const StoredFields& f, uint32_t place, const std::string* userShow,
                          std::optional<std::string_view> simplified,
                          std::pair<std::string_view, std::string_view> userOther) {
  SearchFunction fn;
  fn.detailFuncId = f.id(kId);
  fn.place = place;
  // The texts are read where they lie; only what the function keeps is copied.
  std::string room[6];
  const std::string_view showName = f.text(kShowName, room[0]);
  const std::string_view func = context::RemoveLineBreaks(f.text(kFuncName, room[1]), room[4]);
  const std::string_view show = context::RemoveLineBreaks(showName, room[2]);
  std::string_view own;
  if (userShow) own = context::RemoveLineBreaks(std::string_view(*userShow), room[5]);
  fn.name = DisplayNameAmong(func, show, userShow ? &own : nullptr);
  // The other names, in room of their exact size. An empty one, or one written
  // as the shown name, finds nothing more and is left out.
  std::string_view others[4];
  size_t count = 0;
  auto add = [&](std::string_view name) {
    if (!name.empty() && name != fn.name) others[count++] = name;
  };
  if (!userShow || !blank(own)) add(func);
  // A row of the user's own (their function, or one in their folder) is merged
  // with its name in the session's language only: the others are the user row's.
  const std::string_view en = f.text(kNameEn, room[3]);
  add(en.empty() ? userOther.first : en);
  // The merged row still carries the show name the user's name replaced; its
  // twin in the other Chinese script is the same name.
  const std::string replaced = userShow ? FoldSearchText(showName) : std::string();
  auto addChinese = [&](std::string_view name) {
    if (replaced.empty() || FoldSearchText(name) != replaced || FoldSearchText(fn.name) == replaced) add(name);
  };
  if (simplified) addChinese(*simplified);
  const std::string_view cht = f.text(kNameCht, room[0]);
  addChinese(cht.empty() ? userOther.second : cht);
  fn.otherNames.assign(others, others + count);
  fn.helpCode = platform::trimSpaces(f.text(kHelpCode, room[0]));
  fn.helpCode1 = platform::trimSpaces(f.text(kHelpCode1, room[0]));
  fn.className = f.text(kClass, room[0]);
  fn.classParam = f.text(kParam, room[0]);
  fn.enabled = f.on(kEnable);
  return fn;
}

// A table of the template read through the ERP's data access a page of rows at
// a time, in order of id, so that no query holds a whole large table at once
// (the data access makes a record set of each answer). Where the service is
// missing or refuses, the rows read so far are dropped (failed() tells) and the
// search works on without them.
class PagedRead {
 public:
  // columns: the id first; each page is "columns FROM table" after the last id.
  PagedRead(std::string columns, std::string table, std::string id)
      : columns_(std::move(columns)), table_(std::move(table)), id_(std::move(id)) {}

  bool done() const { return done_; }
  bool failed() const { return failed_; }
  // Failed with the service there: it may answer the next time.
  bool refused() const { return failed_ && !missing_; }

  // Reads the next page for the login props, each row to f(id, row); true
  // when every row is read.
  template <class F>
  bool next(const std::string& props, F&& f) {
    if (done_) return true;
    if (!platform::Registry::instance().contains(erp::progid::kBillUseInfo)) {
      missing_ = failed_ = done_ = true;
      return true;
    }
    try {
      auto access = platform::Registry::instance().createAs<erp::api::IBillUseInfo>(erp::progid::kBillUseInfo);
      const std::string sql = "SELECT " + columns_ + " FROM " + table_ + " WHERE " + id_ + " > " +
                              std::to_string(last_) + " ORDER BY " + id_ + " LIMIT " + std::to_string(kPage);
      size_t rows = 0;
      const int64_t before = last_;
      const RecordsetPtr page = access->GetData(props, sql);
      const int idField = page ? page->requireField(id_) : -1;
      eachRow(page, [&](Recordset& row) {
        ++rows;
        const platform::Cell cell = row.cell(idField);
        if (cell.type == platform::VarType::Null || cell.type == platform::VarType::Empty) return;
        const int32_t id = cell.isInteger() && cell.integer >= INT32_MIN && cell.integer <= INT32_MAX
                               ? static_cast<int32_t>(cell.integer)
                               : platform::CLng(platform::variantOf(cell));
        last_ = std::max<int64_t>(last_, id);
        f(id, row);
      });
      // A page that brings no id beyond the last is the end (a service that
      // ignored the page's bounds has given everything at once).
      done_ = rows < kPage || last_ == before;
    } catch (const std::exception&) {
      failed_ = done_ = true;
    }
    return done_;
  }

 private:
  static constexpr size_t kPage = 16384;
  std::string columns_, table_, id_;
  int64_t last_ = INT32_MIN;
  bool done_ = false, failed_ = false, missing_ = false;
};

// The template's simplified-Chinese names of the detail functions. The middle tier
// delivers the tree in the login's language, with English and traditional Chinese
// beside it, so an English or traditional-Chinese session would otherwise never
// find a function by its simplified name. Read once per index.
struct SimplifiedNames {
  PagedRead read{"FDetailFuncID, FFuncName", "t_NavDetailFunc", "FDetailFuncID"};

  // One page; true when all are read.
  bool step(const std::string& props) {
    int nameField = -2;
    const bool done = read.next(props, [&](int32_t id, Recordset& row) {
      if (nameField == -2) nameField = row.fieldIndex("FFuncName");
      const platform::Cell name = nameField < 0 ? platform::Cell() : row.cell(nameField);
      ids_.push_back(id);
      if (name.type == platform::VarType::String)
        text_.append(name.text);
      else
        text_.append(platform::textOrEmpty(platform::variantOf(name)));
      ends_.push_back(text_.size());
    });
    if (read.failed()) {
      ids_.clear();
      ends_.clear();
      text_.clear();
    }
    if (done) sort();
    return done;
  }

  // The name of function id, if the template has one.
  std::optional<std::string_view> find(int32_t id) const {
    const auto at = std::lower_bound(ids_.begin(), ids_.end(), id);
    if (at == ids_.end() || *at != id) return std::nullopt;
    const auto i = static_cast<size_t>(at - ids_.begin());
    const size_t from = i == 0 ? 0 : ends_[i - 1];
    return std::string_view(text_).substr(from, ends_[i] - from);
  }

 private:
  // Pages come in order of id; a service that gave them otherwise is put in
  // order here, the last name read for an id kept.
  void sort() {
    if (std::is_sorted(ids_.begin(), ids_.end(), std::less_equal<>())) return;
    std::vector<uint32_t> order(ids_.size());
    for (uint32_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) { return ids_[a] < ids_[b]; });
    std::vector<int32_t> ids;
    std::vector<size_t> ends;
    std::string text;
    for (size_t k = 0; k < order.size(); ++k) {
      const uint32_t i = order[k];
      if (k + 1 < order.size() && ids_[order[k + 1]] == ids_[i]) continue;
      const size_t from = i == 0 ? 0 : ends_[i - 1];
      ids.push_back(ids_[i]);
      text.append(text_, from, ends_[i] - from);
      ends.push_back(text.size());
    }
    ids_ = std::move(ids);
    ends_ = std::move(ends);
    text_ = std::move(text);
  }

  // The names one after another in text_, the i-th ending at ends_[i].
  std::vector<int32_t> ids_;
  std::vector<size_t> ends_;
  std::string text_;
};

// The template's names of the levels in the three languages, by level and id:
// the tree delivers a level's name in the login's language only, and a module is
// looked for by any of its names ("网上银行" in an English session, "gl" for
// General Ledger in a Chinese one). Read once per index, a page at a time; where
// the service fails, levels are found by the names the tree gives them.
struct LevelNames {
  std::unordered_map<int32_t, SearchPlace::NameList> byLevel[3];
  int depth = 0;  // being read, 0 to 2; 3 when done
  bool refused = false;  // by the service; see PagedRead::refused
  std::unique_ptr<PagedRead> read;

  SearchPlace::NameList of(int level, int32_t id) const {
    auto it = byLevel[level - 1].find(id);
    return it == byLevel[level - 1].end() ? nullptr : it->second;
  }

  // One page; true when all three levels are read.
  bool step(const std::string& props) {
    static const char* const tables[3] = {"t_NavTopClass", "t_NavSubSystem", "t_NavSubFunc"};
    if (depth == 3) return true;
    const auto level = static_cast<nav::Level>(depth + 1);
    // The level's id, then its name in every language the template keeps.
    const auto names = [&] {
      const nav::LevelInfo& info = nav::InfoOf(level);
      std::string columns = std::string(info.idField) + ", " + info.nameField;
      nav::ForEachTranslation([&](const nav::LanguageInfo& lang) {
        columns += std::string(", ") + info.nameField + lang.columnSuffix;
      });
      return columns;
    };
    if (!read) read = std::make_unique<PagedRead>(names(), tables[depth], nav::InfoOf(level).idField);
    const int d = depth;
    read->next(props, [&](int32_t id, Recordset& row) {
      SearchPlace::NameList& names = byLevel[d][id];
      std::vector<std::string> list = names ? *names : std::vector<std::string>();  // a second row of the id adds
      for (int f = 1; f < row.fieldCount(); ++f) {
        std::string name = platform::textOrEmpty(row.value(f));
        if (!blank(name)) list.push_back(std::move(name));
      }
      names = std::make_shared<const std::vector<std::string>>(std::move(list));
    });
    if (read->failed()) {
      for (auto& level : byLevel) level.clear();
      refused = read->refused();
      depth = 3;
    } else if (read->done()) {
      ++depth;
    }
    if (read->done()) read.reset();
    return depth == 3;
  }
};

// The names the tree's own queries do not give, read through the ERP's data
// access: its own connection, none of the store's tables, so a thread of its
// own reads them while the store's tables are read.
struct DataNames {
  SimplifiedNames simplified;
  LevelNames levels;

  // Whether no read was refused: an index made without some of these names
  // serves, but is not saved for the next start to take as the whole. (Where
  // the ERP has no data access at all, there is nothing more to be had.)
  bool complete() const { return !simplified.read.refused() && !levels.refused; }
};

// A place given its levels' other names.
void nameLevels(const LevelNames& levels, SearchPlace& p) {
  p.topClassOtherNames = levels.of(1, p.topClassId);
  p.subSysOtherNames = levels.of(2, p.subSysId);
  p.subFuncOtherNames = levels.of(3, p.subFuncId);
}

// The levels' names first, given to the places once the reading has found them
// all (placesKnown answers true; false when the reading was given up, and then
// nothing more is read), and placesNamed kept; then, when the session is in
// another language than simplified Chinese, the functions' simplified names.
DataNames ReadDataNames(const std::string& props, bool simplifiedToo, std::future<bool> placesKnown,
                        std::promise<void> placesNamed, platform::LargeVector<SearchPlace>* places) {
  DataNames names;
  while (!names.levels.step(props)) {
  }
  bool known = false;
  try {
    known = placesKnown.get();
  } catch (const std::future_error&) {  // the reading was given up before it could tell
  }
  if (known) {
    for (SearchPlace& p : *places) nameLevels(names.levels, p);
  }
  placesNamed.set_value();
  while (known && simplifiedToo && !names.simplified.step(props)) {
  }
  return names;
}

}  // namespace

// ------------------------------------------------------------ reading the tree

// The tree is read level by level, each level in the order the tree shows it:
// all subsystems, then every subsystem's sub-functions, then the detail functions
// of every sub-function at once (DetailFuncReader: the tables read whole, then
// merged a few sub-functions at a time), so the reading can stop after any one
// query or piece and go on later.
struct FunctionSearch::Reading {
  explicit Reading(Source s) : source(std::move(s)) {}
  // The names' thread is told that the places will not be known, and waited for
  // while it may still write into them.
  ~Reading() {
    tellPlacesKnown(false);
    if (placesNamed.valid()) placesNamed.wait();
  }
  Reading(const Reading&) = delete;
  Reading& operator=(const Reading&) = delete;

  Source source;
  bool userNamesRead = false;
  UserDetailNames userNames;
  std::future<DataNames> dataNames;  // being read meanwhile
  bool dataNamesRead = false;
  DataNames names;
  std::promise<bool> placesKnown;    // told once every sub-function's place is read
  bool placesKnownTold = false;
  std::future<void> placesNamed;     // the places given their levels' other names
  bool placesNamedTaken = false;
  std::vector<SearchPlace> tops;       // top class filled in
  bool topsRead = false;
  size_t nextTop = 0;
  platform::LargeVector<SearchPlace> systems;   // top class and subsystem filled in
  size_t nextSystem = 0;
  platform::LargeVector<SearchPlace> subFuncs;  // all three levels filled in
  std::unique_ptr<DetailFuncReader> details;
  bool detailsRead = false;
  StoredFields detailFields{"FDetailFuncID", "FFuncName", "FFuncName_en", "FFuncName_cht", "FShowName",
                            "FHelpCode", "FHelpCode1", "FClassName", "FClassParam", "FEnable"};
  SearchTree tree;

  void tellPlacesKnown(bool known) {
    if (placesKnownTold) return;
    placesKnownTold = true;
    placesKnown.set_value(known);
  }

  // What the names' thread gives, once it is in (whole: waiting for it): the
  // places named, before the making takes the places; all its names, before
  // the functions are made. True when it is in; a failure of the thread comes
  // out here.
  template <class T>
  static bool ready(const std::future<T>& f) {
    return f.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
  }
  bool takePlacesNamed(bool whole) {
    if (placesNamedTaken) return true;
    if (!whole && !ready(placesNamed)) return false;
    try {
      placesNamed.get();
    } catch (const std::future_error&) {  // the thread ended by failing
      dataNames.get();
      throw;
    }
    placesNamedTaken = true;
    return true;
  }
  bool takeDataNames(bool whole) {
    if (dataNamesRead) return true;
    if (!whole && !ready(dataNames)) return false;
    names = dataNames.get();
    dataNamesRead = true;
    return true;
  }

  void readTops() {
    eachRow(GetTopClass(), [&](Recordset& top) {
      const Fields t(top, {"FTopClassID", "FTopClassName"});
      SearchPlace place;
      place.topClassId = t.id(0);
      place.topClassName = t.text(1);
      tops.push_back(std::move(place));
    });
  }

  // A level's children, all of them or none: a query that fails half way leaves
  // what it added behind it, and the level is read again next time rather than
  // missing from the index for good.
  template <class Places, class Read>
  static void wholly(Places& into, Read&& read) {
    const size_t before = into.size();
    try {
      read();
    } catch (...) {
      into.resize(before);
      throw;
    }
  }

  void readTop(const SearchPlace& top) {
    wholly(systems, [&] {
      eachRow(GetSubSystem(top.topClassId), [&](Recordset& sys) {
        const Fields s(sys, {"FSubSysID", "FName"});
        SearchPlace place = top;
        place.subSysId = s.id(0);
        place.subSysName = s.text(1);
        systems.push_back(std::move(place));
      });
    });
  }

  void readSystem(const SearchPlace& system) {
    wholly(subFuncs, [&] {
      eachRow(GetSubFunc(system.subSysId), [&](Recordset& sub) {
        const Fields u(sub, {"FSubFuncID", "FFuncName"});
        SearchPlace place = system;
        place.subFuncId = u.id(0);
        place.subFuncName = u.text(1);
        subFuncs.push_back(std::move(place));
      });
    });
  }

  // Where each read row's function goes: the places of the sub-functions
  // with rows, and the functions' slots in tree order. The rows are then read
  // in the order they are stored (the template's fields column by column, not
  // leaping about the table in the tree's order): each template row lists the
  // slots it fills.
  struct Slot {
    const Recordset* rs;
    uint32_t row;
    uint32_t place;
    uint32_t subFunc;
  };
  static constexpr uint32_t kNoSlot = UINT32_MAX;
  static constexpr size_t kHalves = 16384;  // rows from which the making is shared by two threads
  platform::LargeVector<Slot> slots;     // in tree order
  int making = 0;                        // which part of the making is under way
  size_t made = 0;                       // how far that part has come
  platform::LargeVector<uint32_t> firstSlotOfRow;  // by the template's stored row
  platform::LargeVector<uint32_t> nextSlotOfRow;   // by slot
  std::vector<uint32_t> otherSlots;      // of rows elsewhere
  std::future<void> functionsRoom;       // being made meanwhile, when the making is whole

  void makeFunction(uint32_t k, StoredFields& fields) {
    const Slot& s = slots[k];
    fields.at({s.rs, s.row});
    const int32_t id = fields.id(kId);
    const UserDetailNames::Own own = userNames.own(subFuncs[s.subFunc].subFuncId, id);
    tree.functions[k] = functionOf(fields, s.place, own.showName, names.simplified.find(id), own.otherNames);
  }
  void makeFunction(uint32_t k) { makeFunction(k, detailFields); }

  // The functions of the template's row, in the order of their slots.
  void makeFunctionsOfRow(size_t row, StoredFields& fields) {
    for (uint32_t k = firstSlotOfRow[row]; k != kNoSlot; k = nextSlotOfRow[k]) makeFunction(k, fields);
  }

  // each(i, fields) for every i below count, the second half on a thread of its
  // own meanwhile. Each function has its own slot, and the tables' cells are
  // checked beforehand, so reading them changes nothing; the caller waits for
  // both, so nothing else uses the store.
  template <class F>
  void inHalves(size_t count, F&& each) {
    const size_t half = count / 2;
    StoredFields fields = detailFields;
    std::future<void> second = std::async(std::launch::async, [&] {
      for (size_t i = half; i < count; ++i) each(i, fields);
    });
    for (size_t i = 0; i < half; ++i) each(i, detailFields);
    second.get();
  }

  // One piece of making the functions from the rows read; true when all are
  // made. whole: all at once, the caller waiting (not a console's step).
  bool makeFunctions(bool whole) {
    const Recordset* templ = details->templateTable();
    switch (making) {
      case 0:  // the slots, a few thousand sub-functions at a time
        if (!takePlacesNamed(whole)) return false;
        if (made == 0) {
          // Room for every slot and place at once: growing them would copy them
          // and touch fresh memory again and again.
          size_t rowCount = 0;
          for (size_t i = 0; i < subFuncs.size(); ++i) rowCount += details->rows(i).size();
          slots.reserve(rowCount);
          platform::reserveLarge(tree.places, subFuncs.size());
          // All at once, the functions' room is made by another thread meanwhile
          // (it touches nothing else of the reading).
          if (whole) {
            functionsRoom = std::async(std::launch::async, [this, rowCount] {
              platform::reserveLarge(tree.functions, rowCount);
              tree.functions.resize(rowCount);
            });
          }
        }
        for (const size_t stop = std::min(subFuncs.size(), made + 4096); made < stop; ++made) {
          const std::span<const StoredRow> rows = details->rows(made);
          if (rows.empty()) continue;
          const auto place = static_cast<uint32_t>(tree.places.size());
          // The place's names move to the tree; only its id is read here after.
          tree.places.push_back(std::move(subFuncs[made]));
          for (const StoredRow& row : rows) slots.push_back({row.rs, row.row, place, static_cast<uint32_t>(made)});
        }
        if (made < subFuncs.size()) return false;
        made = 0;
        ++making;
        return false;
      case 1:  // room for the functions
        if (functionsRoom.valid()) functionsRoom.get();
        platform::reserveLarge(tree.functions, slots.size());
        tree.functions.resize(std::min(slots.size(), tree.functions.size() + 32768));
        if (tree.functions.size() < slots.size()) return false;
        firstSlotOfRow.assign(templ ? templ->storedRowCount() : 0, kNoSlot);
        nextSlotOfRow.assign(slots.size(), kNoSlot);
        ++making;
        return false;
      case 2:  // the slots of each template row
        for (const size_t stop = std::min(slots.size(), made + 65536); made < stop; ++made) {
          const Slot& s = slots[made];
          if (s.rs == templ) {
            nextSlotOfRow[made] = firstSlotOfRow[s.row];
            firstSlotOfRow[s.row] = static_cast<uint32_t>(made);
          } else {
            otherSlots.push_back(static_cast<uint32_t>(made));
          }
        }
        if (made < slots.size()) return false;
        made = 0;
        ++making;
        return false;
      case 3:  // the template's rows in the order they are stored
        if (!takeDataNames(whole)) return false;
        if (whole && made == 0 && firstSlotOfRow.size() >= kHalves) {
          templ->storedColumns().checkEveryCell();
          inHalves(firstSlotOfRow.size(), [this](size_t row, StoredFields& fields) { makeFunctionsOfRow(row, fields); });
          made = firstSlotOfRow.size();
        }
        for (const size_t stop = std::min(firstSlotOfRow.size(), made + 4096); made < stop; ++made)
          makeFunctionsOfRow(made, detailFields);
        if (made < firstSlotOfRow.size()) return false;
        made = 0;
        ++making;
        return false;
      case 4:  // the other rows
        if (whole && made == 0 && otherSlots.size() >= kHalves) {
          const Recordset* checked = nullptr;
          for (const uint32_t k : otherSlots)
            if (slots[k].rs != checked) (checked = slots[k].rs)->storedColumns().checkEveryCell();
          inHalves(otherSlots.size(), [this](size_t i, StoredFields& fields) { makeFunction(otherSlots[i], fields); });
          made = otherSlots.size();
        }
        for (const size_t stop = std::min(otherSlots.size(), made + 1024); made < stop; ++made) makeFunction(otherSlots[made]);
        if (made < otherSlots.size()) return false;
        ++making;
        return true;
      default: return true;
    }
  }

  // Reads until done (true) or until the deadline has passed (false), one query
  // at a time.
  bool step(std::chrono::steady_clock::time_point deadline) {
    return readStore(deadline) && make(deadline == std::chrono::steady_clock::time_point::max(), deadline);
  }

  // The part that reads the store, until done (true) or the deadline (false):
  // every sub-function's rows, and then every cell of the template's table
  // checked, a part at a time, so that the making, which only reads what this
  // read, may run on another thread while the store serves other queries.
  bool readStore(std::chrono::steady_clock::time_point deadline) {
    auto late = [&] { return std::chrono::steady_clock::now() >= deadline; };
    if (!dataNames.valid() && !dataNamesRead) {
      std::promise<void> named;
      placesNamed = named.get_future();
      dataNames = std::async(std::launch::async, ReadDataNames, context::PropsString(), context::GetLanguage() != 1,
                             placesKnown.get_future(), std::move(named), &subFuncs);
      if (late()) return false;
    }
    if (!topsRead) {
      readTops();
      topsRead = true;
      if (late()) return false;
    }
    // The user's rows as the store holds them, which the first query loaded:
    // read before it, a fresh process found none.
    if (!userNamesRead) {
      userNames = UserDetailNames::read();
      userNamesRead = true;
      if (late()) return false;
    }
    // Each moves on once its level is read: one that failed is read again.
    while (nextTop < tops.size()) {
      readTop(tops[nextTop]);
      ++nextTop;
      if (late()) return false;
    }
    while (nextSystem < systems.size()) {
      readSystem(systems[nextSystem]);
      ++nextSystem;
      if (late()) return false;
    }
    if (!details) {
      std::vector<int32_t> ids;
      ids.reserve(subFuncs.size());
      for (const SearchPlace& p : subFuncs) ids.push_back(p.subFuncId);
      details = std::make_unique<DetailFuncReader>(std::move(ids));
      // Every place is read: the names' thread may name them while the rest is
      // read (nothing here touches them until the making takes them).
      tellPlacesKnown(true);
    }
    while (!detailsRead) {
      detailsRead = details->step();
      if (late()) return false;
    }
    while (!checkCells()) {
      if (late()) return false;
    }
    return true;
  }

  // Checks a few of the template table's cells not checked yet (a table loaded
  // from its file is checked as it is read; checking changes the table, reading
  // a checked cell does not); true when every one is.
  size_t checkedChunks = 0;  // column by column, each in parts of kCheckedRows rows
  bool checkCells() {
    const Recordset* templ = details->templateTable();
    if (!templ) return true;
    constexpr size_t kRows = platform::ColumnStore::kCheckedRows;
    const size_t chunks = (templ->storedRowCount() + kRows - 1) / kRows;
    const size_t all = chunks * static_cast<size_t>(templ->fieldCount());
    for (const size_t stop = std::min(all, checkedChunks + 128); checkedChunks < stop; ++checkedChunks)
      (void)templ->storedCell(checkedChunks % chunks * kRows, static_cast<int>(checkedChunks / chunks));
    return checkedChunks == all;
  }

  // Makes the functions from what readStore read, until done (true) or the
  // deadline (false); whole: at once, on two threads. Reads nothing else.
  bool make(bool whole, std::chrono::steady_clock::time_point deadline) {
    while (!makeFunctions(whole)) {
      if (std::chrono::steady_clock::now() >= deadline) return false;
    }
    slots = {};
    firstSlotOfRow = {};
    nextSlotOfRow = {};
    otherSlots = {};
    details.reset();
    return true;
  }
};

SearchTree ReadSearchTree() {
  FunctionSearch::Reading reading({});
  reading.step(std::chrono::steady_clock::time_point::max());
  return std::move(reading.tree);
}

SearchIndex ReadSearchIndex() {
  const SearchTree tree = ReadSearchTree();
  return SearchIndex(tree.places, tree.functions);
}

std::string SearchIndexFilePath() {
  const std::optional<int32_t> userId = UserIdFromProps(context::PropsString());
  if (!userId) return std::string();
  return CacheFolder() + "SearchIndex" + context::GetLanguageCode() + SafeFileNamePart(context::UUID()) +
         std::to_string(*userId) + ".idx";
}

// ------------------------------------------------------------ FunctionSearch

FunctionSearch& FunctionSearch::instance() {
  static FunctionSearch search;
  static platform::ProcessEndMark mark;
  return search;
}

void FunctionSearch::reset() {
  if (building_.valid()) building_.wait();
  if (saving_.valid()) saving_.wait();
  *this = FunctionSearch();
}

void FunctionSearch::waitForSaving() {
  if (saving_.valid()) saving_.wait();
}

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

namespace {

// What a saved index must have been made for: both versions of the tables in the
// slots and what filters the tree. Empty (nothing is saved) when a version is not
// known, as for a login without a user id.
std::string fileKeyOf(int32_t acctTypeCode, bool bosQuery) {
  const auto& s = DataInfo::instance();
  if (!s.loadedTemplate.known || !s.loadedUser.known) return std::string();
  return "template=" + s.loadedTemplate.timeStamp + "\nuser=" + s.loadedUser.timeStamp +
         "\nacct=" + std::to_string(acctTypeCode) + "\nbos=" + (bosQuery ? "1" : "0") +
         "\nlanguage=" + context::GetLanguageCode() + "\n";
}

}  // namespace

bool FunctionSearch::tryLoad(const Source& now) {
  if (now.fileKey.empty()) return false;
  std::optional<SearchIndex> saved = LoadSearchIndex(now.filePath, now.fileKey);
  if (!saved) return false;
  install(std::move(*saved), now, false);
  return true;
}

namespace {

// What reading the tree and making the index freed goes back to the system, so
// a console holds the index after a rebuild, not the heap the build left behind.
void releaseFreedMemory() { ::malloc_trim(0); }

// Without the file the next console makes the index again; this one works on.
void saveQuietly(const std::string& path, const std::string& key, const SearchIndex& index) {
  if (key.empty()) return;
  try {
    SaveSearchIndex(path, key, index);
  } catch (const std::exception&) {
  }
}

}  // namespace

void FunctionSearch::install(SearchIndex index, Source source, bool made) {
  // The functions used were numbered in the index before, which a new one may
  // replace at the same address.
  usedIndex_ = nullptr;
  index_ = std::make_unique<SearchIndex>(std::move(index));
  source_ = std::move(source);
  ++(made ? builds_ : loads_);
}

void FunctionSearch::finishPending() {
  SearchIndex made = building_.get();  // made on the thread, which saves it then
  install(std::move(made), std::move(buildingFor_), true);
  buildingFor_ = Source();
}

// The source with the saved index's key and file (only asked for when the index
// must change: the login properties are not read on every keystroke).
FunctionSearch::Source FunctionSearch::withFile(Source now) {
  now.fileKey = fileKeyOf(now.acctTypeCode, now.bosQuery);
  if (!now.fileKey.empty()) {
    try {
      now.filePath = SearchIndexFilePath();
    } catch (const std::exception&) {
      now.filePath.clear();
    }
    if (now.filePath.empty()) now.fileKey.clear();
  }
  return now;
}

const SearchIndex& FunctionSearch::current() {
  return AfterDamageForgotten([this]() -> const SearchIndex& { return currentOnce(); });
}

bool FunctionSearch::prepareStep(std::chrono::microseconds budget) {
  return AfterDamageForgotten([&] { return prepareStepOnce(budget); });
}

const SearchIndex& FunctionSearch::currentOnce() {
  EnsureLoaded();
  Source now = sourceNow();
  if (fresh(now)) return *index_;
  if (building_.valid()) {
    if (same(buildingFor_, now)) {
      finishPending();
      return *index_;
    }
    building_.wait();
    building_ = {};
  }
  now = withFile(std::move(now));
  waitForSaving();  // the file holds what this process saved last
  if (tryLoad(now)) return *index_;
  if (!reading_ || !same(reading_->source, now)) reading_ = std::make_shared<Reading>(now);
  // Built aside and swapped in whole: a failing read keeps the previous index.
  reading_->step(std::chrono::steady_clock::time_point::max());
  SearchIndex made(reading_->tree.places, reading_->tree.functions);
  // The index answers at once; a thread of its own frees the tree and then saves
  // the index, as the preparing does: a later build and reset wait for that save.
  saving_ = std::async(std::launch::async, [done = std::move(reading_), made, path = now.filePath,
                                            key = now.fileKey]() mutable {
    const bool complete = done->names.complete();
    done.reset();
    if (complete) saveQuietly(path, key, made);
    releaseFreedMemory();
  });
  install(std::move(made), std::move(now), true);
  return *index_;
}

bool FunctionSearch::prepareStepOnce(std::chrono::microseconds budget) {
  const auto deadline = std::chrono::steady_clock::now() + budget;
  EnsureLoaded();
  Source now = sourceNow();
  if (fresh(now)) return true;
  if (building_.valid()) {
    if (same(buildingFor_, now)) {
      if (building_.wait_for(std::chrono::seconds(0)) != std::future_status::ready) return false;
      finishPending();
      return true;
    }
    building_.wait();  // made from tables that are gone
    building_ = {};
  }
  if (!reading_ || !same(reading_->source, now)) {
    now = withFile(std::move(now));
    if (tryLoad(now)) return true;
    reading_ = std::make_shared<Reading>(now);
  }
  if (!reading_->readStore(deadline)) return false;
  buildingFor_ = reading_->source;
  // The functions made from the rows read, the index made and saved, on a
  // thread of its own: nothing there touches the store (the loaded tables'
  // cells, checked already, are only read, and the tables are held until the
  // functions are made).
  // The index is handed over as soon as it is made; the thread saves it then.
  // A saving still under way for an earlier index ends first, so the files are
  // written in the order the indexes were made.
  if (saving_.valid()) saving_.wait();
  auto made = std::make_shared<std::promise<SearchIndex>>();
  building_ = made->get_future();
  saving_ = std::async(std::launch::async, [made, reading = std::move(reading_), path = buildingFor_.filePath,
                                            key = buildingFor_.fileKey]() mutable {
    std::optional<SearchIndex> index;
    SearchTree tree;
    bool complete = false;
    try {
      reading->make(true, std::chrono::steady_clock::time_point::max());
      complete = reading->names.complete();
      tree = std::move(reading->tree);
      reading.reset();
      index.emplace(tree.places, tree.functions);
    } catch (...) {
      made->set_exception(std::current_exception());
      return;
    }
    made->set_value(*index);
    // Freed here once the index is handed over: neither the answer nor the
    // console's thread waits for it.
    tree = {};
    if (complete) saveQuietly(path, key, *index);
    releaseFreedMemory();
  });
  return false;
}

// ------------------------------------------------------------ SearchFunctions

const std::vector<uint32_t>& FunctionSearch::usedFunctions(const SearchIndex& index, const nav::FunctionUse& uses,
                                                           uint64_t generation) {
  if (usedIndex_ == &index && usedGeneration_ == generation) return used_;
  used_.clear();
  std::unordered_set<int32_t> ids;
  uses.each([&](int32_t id) { ids.insert(id); });
  if (!ids.empty()) {
    for (uint32_t f = 0; f < index.size(); ++f)
      if (ids.count(index.detailFuncId(f))) used_.push_back(f);
  }
  usedIndex_ = &index;
  usedGeneration_ = generation;
  return used_;
}

namespace {

// The used functions the text finds beyond those found, then at each rank the
// levels, the most used functions, and the rest in the order found.
void orderByHabits(const SearchIndex& index, std::string_view text, std::vector<SearchMatch>& matches,
                   std::vector<double>& scores) {
  SearchHabits& habits = SearchHabits::instance();
  const nav::FunctionUse& uses = habits.uses();
  scores.assign(matches.size(), 0.0);
  if (uses.empty()) return;
  const std::vector<uint32_t>& used = FunctionSearch::instance().usedFunctions(index, uses, habits.generation());
  std::unordered_map<uint32_t, size_t> found;
  for (size_t i = 0; i < matches.size(); ++i)
    if (!matches[i].level) found.emplace(matches[i].function, i);
  std::vector<uint32_t> missing;
  for (uint32_t f : used)
    if (!found.count(f)) missing.push_back(f);
  const auto more = index.matchFunctions(missing, text);
  for (const auto& m : more)
    if (m) matches.push_back(*m);
  scores.resize(matches.size());
  for (size_t i = 0; i < matches.size(); ++i)
    scores[i] = matches[i].level ? 0.0 : uses.score(index.detailFuncId(matches[i].function), habits.today());
  std::vector<size_t> order(matches.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    if (matches[a].rank != matches[b].rank) return matches[a].rank < matches[b].rank;
    if (matches[a].level != matches[b].level) return matches[a].level;
    return scores[a] > scores[b];
  });
  std::vector<SearchMatch> sorted;
  std::vector<double> sortedScores;
  for (size_t i : order) sorted.push_back(matches[i]), sortedScores.push_back(scores[i]);
  matches = std::move(sorted);
  scores = std::move(sortedScores);
}

}  // namespace

FunctionSearchResult SearchFunctions(std::string_view text, size_t limit) {
  text = LimitSearchText(text);
  FunctionSearchResult result;
  if (limit == 0 || FoldSearchText(text).empty()) return result;
  const SearchIndex& index = FunctionSearch::instance().current();
  bool incomplete = false;
  std::vector<SearchMatch> matches = index.find(text, limit == SIZE_MAX ? limit : limit + 1, &incomplete);
  std::vector<double> scores(matches.size(), 0.0);
  if (SearchHabits::instance().enabled()) orderByHabits(index, text, matches, scores);
  result.more = incomplete;
  if (matches.size() > limit) {
    result.more = true;
    matches.resize(limit);
  }
  const std::vector<std::vector<WordMatch>> words = index.explain(matches, text);
  result.rows.reserve(matches.size());
  for (size_t i = 0; i < matches.size(); ++i) {
    const SearchMatch& m = matches[i];
    FunctionSearchRow row;
    row.rank = m.rank;
    row.matchedBy = m.by;
    row.matched = index.matchedText(m);
    row.words = words[i];
    row.useScore = scores[i];
    if (m.level) {
      const IndexedLevel level = index.level(m.function);
      row.depth = level.depth;
      row.topClassId = level.place.topClassId;
      row.subSysId = level.place.subSysId;
      row.subFuncId = level.place.subFuncId;
      row.name = level.name;
      row.topClassName = level.place.topClassName;
      row.subSysName = level.place.subSysName;
      row.subFuncName = level.place.subFuncName;
      row.path = row.depth == 1 ? std::string() : row.depth == 2 ? row.topClassName : row.topClassName + " > " + row.subSysName;
      result.rows.push_back(std::move(row));
      continue;
    }
    const IndexedFunction fn = index.function(m.function);
    const IndexedPlace place = index.place(fn.place);
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
    row.path = row.topClassName + " > " + row.subSysName + " > " + row.subFuncName;
    row.className = fn.className;
    row.classParam = fn.classParam;
    row.enabled = fn.enabled;
    result.rows.push_back(std::move(row));
  }
  return result;
}

}  // namespace wayfind::store
