// The merge of the user's rows over the template rows of one tree level.
//
// The result must be what this literal procedure gives: copy the template rows;
// for every user row, search the result from its first row for the row's
// identifier, append a row when there is none, copy the user's fields into it,
// and sort the result by the level's order. MergeUserRows gets there without the
// per-row search and sort: it finds rows through a hash map of identifiers and
// sorts once at the end. A record set's sort orders rows by the sort fields and
// then by the order in which the rows were added, so a sort depends only on the
// rows' values, never on the order before it: the last of the per-row sorts,
// which decides the literal result, equals the one sort at the end. The searches
// find the same rows as long as no identifier occurs twice in the result; when
// one does, or an identifier is not an integer (a criterion built from it would
// not be a plain integer equality), the literal procedure runs instead.
#include "store/merge.h"

#include <algorithm>
#include <atomic>
#include <deque>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "context/language.h"
#include "platform/automation/conversions.h"
#include "platform/navigation/columns.h"
#include "platform/navigation/languages.h"
#include "platform/navigation/levels.h"
#include "platform/navigation/user_folders.h"
#include "platform/recordset/value_compare.h"
#include "store/store_errors.h"

namespace wayfind::store {

namespace {

using platform::DataType;
using platform::Recordset;
using platform::Variant;

using nav::Level;

// How the merge treats the table of a level: the identifier it finds user rows
// by, and the order of the result. Only the tree levels are merged; another
// table (level empty) is copied as it is.
struct LevelInfo {
  std::optional<Level> level;
  const char* idField;
  const char* sortText;
  const char* sortFields[2];
};

LevelInfo levelOf(const std::string& tableName) {
  const std::optional<Level> level = nav::LevelOfTable(tableName);
  if (!level) return {std::nullopt, nullptr, nullptr, {nullptr, nullptr}};
  const char* id = nav::InfoOf(*level).idField;
  switch (*level) {
    case Level::TopClass: return {level, id, "FIndex", {"FIndex", nullptr}};
    case Level::SubSystem: return {level, id, "FIndex,FSubSysID", {"FIndex", id}};
    case Level::SubFunc: return {level, id, "FIndex,FSubFuncID", {"FIndex", id}};
    case Level::DetailFunc: return {level, id, "FIndex,FDetailFuncID", {"FIndex", id}};
  }
  return {std::nullopt, nullptr, nullptr, {nullptr, nullptr}};
}

bool hasRows(const Recordset& rs) { return !(rs.isBOF() && rs.isEOF()); }

// A field the merge reads or writes by name. The tables of a level keep their
// fields in the same places from one query to the next, so the place the name
// had last time in the result (or in the user's table) is tried first; it is
// taken only when the field there is spelt exactly so, which makes it the field
// the name finds.
class FieldOf {
 public:
  enum Table { kResult = 0, kUser = 1 };
  explicit FieldOf(std::string_view name) : name_(name) {}

  std::string_view name() const { return name_; }
  int in(const Recordset& rs, Table table) const {
    std::atomic<int>& hint = last_[table];
    const int last = hint.load(std::memory_order_relaxed);
    if (last >= 0 && last < rs.fieldCount() && rs.fieldInfo(last).name == name_) return last;
    const int found = rs.requireField(name_);
    hint.store(found, std::memory_order_relaxed);
    return found;
  }

 private:
  std::string_view name_;
  mutable std::atomic<int> last_[2] = {-1, -1};
};

// A user's row the merge reads: the user table's current row, or a stored row
// of it wherever its cursor is.
struct UserRow {
  const Recordset& rs;
  int64_t stored = -1;  // -1: the current row

  Variant value(int field) const {
    return stored < 0 ? rs.value(field) : rs.storedValue(static_cast<size_t>(stored), field);
  }
  // result.setValue(to, value(from)), without the Variant between.
  void copyTo(Recordset& result, int to, int from) const {
    if (stored < 0) {
      result.setValueFrom(to, rs, from);
    } else {
      result.setValueFromStored(to, rs, static_cast<uint32_t>(stored), from);
    }
  }
};

// The user's field into the result's field of the same name.
void copyField(Recordset& result, const UserRow& user, const FieldOf& field) {
  const int from = field.in(user.rs, FieldOf::kUser);
  user.copyTo(result, field.in(result, FieldOf::kResult), from);
}

// What the merge does with each column of a level, as the catalogue says:
// which fields it copies from the user's row, always or onto the user's own
// items only, and the rules for the name, the show name and a Null that reads
// true.
class MergePlan {
 public:
  enum class Action { Copy, CopyForOwn, FillShowName, NullIsTrue };
  struct Step {
    Action action;
    const FieldOf* field;
  };

  explicit MergePlan(Level level) {
    const nav::LevelInfo& info = nav::InfoOf(level);
    id_ = &fields_.emplace_back(info.idField);
    for (const nav::ColumnInfo& c : nav::ColumnsOf(level)) {
      if (c.role == nav::ColumnRole::Id) continue;
      if (c.role == nav::ColumnRole::Name) {
        name_ = &fields_.emplace_back(c.name);
        if (c.translated == nav::Translated::Everywhere) {
          nav::ForEachTranslation([&](const nav::LanguageInfo& lang) {
            const std::string& twin = names_.emplace_back(std::string(c.name) + lang.columnSuffix);
            translations_.push_back(&fields_.emplace_back(twin));
          });
        }
        continue;
      }
      if (c.role == nav::ColumnRole::ShowName) {
        steps_.push_back({Action::FillShowName, &fields_.emplace_back(c.name)});
      } else if (c.mergedNullIsTrue) {
        steps_.push_back({Action::NullIsTrue, &fields_.emplace_back(c.name)});
      } else if (c.user == nav::UserValue::Merged) {
        steps_.push_back({Action::Copy, &fields_.emplace_back(c.name)});
      } else if (c.user == nav::UserValue::MergedForOwn) {
        steps_.push_back({Action::CopyForOwn, &fields_.emplace_back(c.name)});
      }
    }
  }

  // The user's field that names the node in the result: on the user's own
  // items, where the user's rows keep translations, the one in the login's
  // language.
  const FieldOf& nameFrom(bool owned) const {
    if (owned && !translations_.empty()) {
      // The name's twin in the login's language as the language component
      // tells it now (user-owned folders), not the language cached for text
      // lookups; the written language has no twin.
      const std::string twin =
          std::string(name_->name()) + nav::LanguageOfNumber(context::DetectLanguage()).columnSuffix;
      for (const FieldOf* f : translations_)
        if (f->name() == twin) return *f;
    }
    return *name_;
  }

  const FieldOf& id() const { return *id_; }
  const FieldOf& name() const { return *name_; }
  const std::vector<Step>& steps() const { return steps_; }

 private:
  std::deque<std::string> names_;
  std::deque<FieldOf> fields_;
  const FieldOf* id_ = nullptr;
  const FieldOf* name_ = nullptr;
  std::vector<const FieldOf*> translations_;
  std::vector<Step> steps_;
};

const MergePlan& planOf(Level level) {
  static const MergePlan plans[] = {MergePlan(Level::TopClass), MergePlan(Level::SubSystem), MergePlan(Level::SubFunc),
                                    MergePlan(Level::DetailFunc)};
  return plans[nav::LevelNumber(level) - 1];
}

// The result's show name, when it has none: the user's name, cut to the
// field's size.
void fillShowName(Recordset& result, const UserRow& user, const FieldOf& showName, const FieldOf& userName) {
  const int show = showName.in(result, FieldOf::kResult);
  if (!result.value(show).isNull()) return;
  const Variant name = user.value(userName.in(user.rs, FieldOf::kUser));
  const int32_t size = result.fieldInfo(show).definedSize;
  if (name.isNull() || size <= 0) {
    result.setValue(show, name);
  } else {
    result.setValue(show, Variant(platform::leftChars(platform::CStr(name), static_cast<size_t>(size))));
  }
}

// Copies the user row's fields into the result's current row.
void copyUserFields(Level level, Recordset& result, const UserRow& user, bool owned) {
  const MergePlan& plan = planOf(level);
  constexpr auto kResult = FieldOf::kResult;
  constexpr auto kUser = FieldOf::kUser;
  user.copyTo(result, plan.name().in(result, kResult), plan.nameFrom(owned).in(user.rs, kUser));
  for (const MergePlan::Step& step : plan.steps()) {
    switch (step.action) {
      case MergePlan::Action::Copy: copyField(result, user, *step.field); break;
      case MergePlan::Action::CopyForOwn: {
        // A template function's class stays the template's.
        const Variant id = user.value(plan.id().in(user.rs, kUser));
        if (owned || (!id.isNull() && platform::CDbl(id) >= nav::LevelBase(level)))
          copyField(result, user, *step.field);
        break;
      }
      case MergePlan::Action::FillShowName: fillShowName(result, user, *step.field, plan.name()); break;
      case MergePlan::Action::NullIsTrue: {
        const int at = step.field->in(result, kResult);
        if (result.value(at).isNull()) result.setValue(at, Variant(int32_t{-1}));
        break;
      }
    }
  }
}

// The result's first part: the template's structure and, in normal mode, its rows.
RecordsetPtr startResult(const RecordsetPtr& templateTable, bool owned) {
  if (!templateTable) raiseNotSet("template table");
  RecordsetPtr result = CloneStructure(templateTable);
  if (!owned) CopyAllRows(result, templateTable);
  return result;
}

bool isIntegerValue(const Variant& v) {
  auto t = v.type();
  return t == platform::VarType::Integer || t == platform::VarType::Long ||
         t == platform::VarType::LongLong;
}

int64_t integerOf(const Variant& v) {
  switch (v.type()) {
    case platform::VarType::Integer: return v.asInteger();
    case platform::VarType::Long: return v.asLong();
    default: return v.asLongLong();
  }
}

// Whether the shortcut may run: both identifier fields are integers, the sort
// fields exist, and every user row's identifier is an integer value.
bool shortcutApplies(const LevelInfo& info, const Recordset& result, Recordset& user) {
  int idField = result.fieldIndex(info.idField);
  if (idField < 0 || !platform::isIntegerType(result.fieldInfo(idField).type)) return false;
  for (const char* f : info.sortFields) {
    if (f && result.fieldIndex(f) < 0) return false;
  }
  int userId = user.fieldIndex(info.idField);
  if (userId < 0) return false;
  for (user.MoveFirst(); !user.isEOF(); user.MoveNext()) {
    if (!isIntegerValue(user.value(userId))) return false;
  }
  return true;
}

// The shortcut; false (result unusable) when a search could meet more than one
// row, so that which row it finds would depend on the order at that moment.
bool mergeByIndex(const LevelInfo& info, Recordset& result, Recordset& user, bool owned) {
  const int idField = result.requireField(info.idField);
  const int userIdField = user.requireField(info.idField);
  const bool searches = !(info.level == Level::DetailFunc && owned);

  // While nothing is sorted the view is the storage order, so a stored row
  // index is a view position. The rows of one parent are few: a sorted list of
  // (id, row) finds them without a hash table's allocations.
  std::vector<std::pair<int64_t, size_t>> rowOfId;
  auto rowWith = [&](int64_t id) -> const std::pair<int64_t, size_t>* {
    auto it = std::lower_bound(rowOfId.begin(), rowOfId.end(), std::make_pair(id, size_t{0}));
    return it != rowOfId.end() && it->first == id ? &*it : nullptr;
  };
  if (searches) {
    const size_t n = result.storedRowCount();
    rowOfId.reserve(n + 16);
    for (size_t row = 0; row < n; ++row) {
      const platform::Cell v = result.storedCell(row, idField);
      if (v.isNull()) continue;
      if (!v.isInteger()) return false;
      rowOfId.emplace_back(v.integer, row);
    }
    std::sort(rowOfId.begin(), rowOfId.end());
    for (size_t i = 1; i < rowOfId.size(); ++i)
      if (rowOfId[i].first == rowOfId[i - 1].first) return false;  // repeated id
  }

  for (user.MoveFirst(); !user.isEOF(); user.MoveNext()) {
    const Variant id = user.value(userIdField);
    bool found = false;
    if (searches) {
      if (auto hit = rowWith(integerOf(id))) {
        result.setAbsolutePosition(static_cast<int32_t>(hit->second + 1));
        found = true;
      }
    }
    if (!found) {
      result.AddNew();
      result.setValue(idField, id);
      if (searches) {
        const std::pair<int64_t, size_t> entry(integerOf(result.value(idField)), result.storedRowCount() - 1);
        rowOfId.insert(std::upper_bound(rowOfId.begin(), rowOfId.end(), entry), entry);
      }
    }
    copyUserFields(*info.level, result, UserRow{user}, owned);
  }
  result.setSort(info.sortText);
  return true;
}

}  // namespace

int64_t CopiedRows::take(uint32_t templateRow) {
  const auto it = std::lower_bound(from.begin(), from.end(), templateRow);
  if (it == from.end() || *it != templateRow) return -1;
  const auto k = static_cast<size_t>(it - from.begin());
  if (taken[k]) return -1;
  taken[k] = true;
  return static_cast<int64_t>(k);
}

bool MergeDetailFuncsInPlace(const Recordset& templ, std::span<const uint32_t> templateRows, const Recordset& user,
                             std::span<const uint32_t> userRows, int32_t subFuncId, Recordset& merged,
                             std::vector<StoredRow>& rows, CopiedRows* copies) {
  const LevelInfo info = levelOf("DetailFunc");
  const bool owned = nav::ListsOnlyUserRows(subFuncId);
  // As shortcutApplies, merged being a clone of the template: the result's
  // fields, in the same places.
  const int idField = merged.fieldIndex(info.idField);
  if (idField < 0 || !platform::isIntegerType(merged.fieldInfo(idField).type)) return false;
  int sortFields[2] = {-1, -1};
  for (size_t k = 0; k < 2; ++k) {
    if (info.sortFields[k] && (sortFields[k] = merged.fieldIndex(info.sortFields[k])) < 0) return false;
  }
  const int userIdField = user.fieldIndex(info.idField);
  if (userIdField < 0) return false;
  for (uint32_t u : userRows)
    if (!user.storedCell(u, userIdField).isInteger()) return false;

  const int fieldCount = merged.fieldCount();
  const bool searches = !owned;  // as mergeByIndex: the user's own folders take every user row
  const size_t first = rows.size();
  auto refuse = [&] {
    rows.resize(first);
    return false;
  };
  // The result's rows so far (from first on) and their ids, sorted.
  std::vector<std::pair<int64_t, size_t>> rowOfId;
  if (!owned) {
    for (uint32_t t : templateRows) {
      rows.push_back({&templ, t});
      const platform::Cell v = templ.storedCell(t, idField);
      if (v.isNull()) continue;
      if (!v.isInteger()) return refuse();
      rowOfId.emplace_back(v.integer, rows.size() - 1 - first);
    }
    std::sort(rowOfId.begin(), rowOfId.end());
    for (size_t i = 1; i < rowOfId.size(); ++i)
      if (rowOfId[i].first == rowOfId[i - 1].first) return refuse();  // repeated id
  }

  for (uint32_t u : userRows) {
    const Variant id = user.storedValue(u, userIdField);
    const std::pair<int64_t, size_t>* hit = nullptr;
    if (searches) {
      auto it = std::lower_bound(rowOfId.begin(), rowOfId.end(), std::make_pair(integerOf(id), size_t{0}));
      if (it != rowOfId.end() && it->first == integerOf(id)) hit = &*it;
    }
    if (hit) {
      StoredRow& row = rows[first + hit->second];
      const int64_t copied = row.rs == &templ && copies ? copies->take(row.row) : -1;
      if (copied >= 0) {  // the template's row, copied beforehand
        merged.setAbsolutePosition(static_cast<int32_t>(copied + 1));
        row = {&merged, static_cast<uint32_t>(copied)};
      } else if (row.rs == &templ) {  // the template's row, copied to take the user's fields
        merged.AddNew();
        for (int f = 0; f < fieldCount; ++f) merged.setValueFromStored(f, templ, row.row, f);
        row = {&merged, merged.currentStoredRow()};
      } else {  // merged has neither filter nor sort: a row's place in the view is its place in the set
        merged.setAbsolutePosition(static_cast<int32_t>(row.row + 1));
      }
    } else {
      merged.AddNew();
      merged.setValue(idField, id);
      rows.push_back({&merged, merged.currentStoredRow()});
      if (searches) {
        const std::pair<int64_t, size_t> entry(integerOf(merged.value(idField)), rows.size() - 1 - first);
        rowOfId.insert(std::upper_bound(rowOfId.begin(), rowOfId.end(), entry), entry);
      }
    }
    copyUserFields(Level::DetailFunc, merged, UserRow{user, u}, owned);
  }

  // The level's sort; equal rows keep the result's order, which is the order
  // of the rows here (the template's first, then the rows added).
  // Mostly the rows are in order already (the user's rows change a few fields
  // of the template's): then one pass finds it and nothing moves.
  auto before = [&](const StoredRow& a, const StoredRow& b) {
    for (int field : sortFields) {
      if (field < 0) continue;
      const int c = platform::compareForSort(a.rs->storedCell(a.row, field), b.rs->storedCell(b.row, field));
      if (c != 0) return c < 0;
    }
    return false;
  };
  const auto from = rows.begin() + static_cast<std::ptrdiff_t>(first);
  if (!std::is_sorted(from, rows.end(), before)) std::stable_sort(from, rows.end(), before);
  return true;
}

RecordsetPtr CloneStructure(const RecordsetPtr& source) {
  if (!source) raiseNotSet("record set to clone");
  // The fields with their names, types, sizes, attributes and precision; the
  // numeric scale starts at 0 and the new set uses its indexes.
  RecordsetPtr rs = source->cloneStructure();
  for (int i = 0; i < rs->fieldCount(); ++i) {
    const platform::FieldInfo& f = rs->fieldInfo(i);
    if (f.numericScale != 0) rs->setPrecision(i, f.precision, 0);
  }
  rs->setUseIndexes(true);
  return rs;
}

void CopyAllRows(const RecordsetPtr& target, const RecordsetPtr& source) {
  if (!target || !source || source->isBOF() || source->isEOF()) return;
  const int n = source->fieldCount();
  std::vector<int> targetIndex(static_cast<size_t>(n));
  // A clone that still shares its source's fields has them in the same places.
  const bool sameFields = n > 0 && n == target->fieldCount() && &source->fieldInfo(0) == &target->fieldInfo(0);
  for (int i = 0; i < n && sameFields; ++i) targetIndex[static_cast<size_t>(i)] = i;
  for (int i = 0; i < n && !sameFields; ++i) {
    // A clone has the source's fields in the same places.
    const std::string& name = source->fieldInfo(i).name;
    targetIndex[static_cast<size_t>(i)] =
        i < target->fieldCount() && target->fieldInfo(i).name == name ? i : target->requireField(name);
  }
  // Every visible row, as AddNew and setValue of each field would copy it; the
  // source is left at its end, as a walk over it leaves it.
  target->appendCopiesOf(*source, targetIndex);
  source->MoveLast();
  source->MoveNext();
}

RecordsetPtr MergeUserRowsLiteral(const std::string& tableName, const RecordsetPtr& templateTable,
                                  const RecordsetPtr& userTable, int32_t subFuncId) {
  const bool owned = nav::ListsOnlyUserRows(subFuncId);
  RecordsetPtr result = startResult(templateTable, owned);
  const LevelInfo info = levelOf(tableName);
  if (userTable && info.level && hasRows(*userTable)) {
    const bool searches = !(info.level == Level::DetailFunc && owned);
    for (userTable->MoveFirst(); !userTable->isEOF(); userTable->MoveNext()) {
      const Variant& id = userTable->value(info.idField);
      bool found = false;
      if (searches && hasRows(*result)) {
        result->MoveFirst();
        // The criterion is written as the host's "&" writes it: a Null id adds nothing.
        found = result->Find(std::string(info.idField) + "=" + platform::textOrEmpty(id));
      }
      if (!found) {
        result->AddNew();
        result->setValue(info.idField, id);
      }
      copyUserFields(*info.level, *result, UserRow{*userTable}, owned);
      result->setSort(info.sortText);
    }
  }
  if (hasRows(*result)) result->MoveFirst();
  return result;
}

RecordsetPtr MergeUserRows(const std::string& tableName, const RecordsetPtr& templateTable,
                           const RecordsetPtr& userTable, int32_t subFuncId) {
  const LevelInfo info = levelOf(tableName);
  if (!userTable || !info.level || !hasRows(*userTable)) {
    return MergeUserRowsLiteral(tableName, templateTable, userTable, subFuncId);
  }
  // The template's cursor decides whether its rows are copied; a second attempt
  // must start from the same place.
  const bool templateOnRow = templateTable && !templateTable->isBOF() && !templateTable->isEOF();
  const bool owned = nav::ListsOnlyUserRows(subFuncId);
  RecordsetPtr result = startResult(templateTable, owned);
  if (shortcutApplies(info, *result, *userTable) && mergeByIndex(info, *result, *userTable, owned)) {
    if (hasRows(*result)) result->MoveFirst();
    return result;
  }
  if (templateOnRow) templateTable->MoveFirst();
  return MergeUserRowsLiteral(tableName, templateTable, userTable, subFuncId);
}

}  // namespace wayfind::store
