// The columns of each level's rows, described once. The database's tables of
// the template and of the users' rows, the record sets the middle tier delivers
// and reads back (cache files, template files, imports), the rows a refresh of
// the template carries, the keys the editors send, the fields the store's merge
// copies and the main-console editor's grids are all made from this table, so
// a column is one entry here. A column added later names the schema version
// that added it (addedIn); that version's migration adds it to the tables.
//
// A level's columns are listed in the order of its template table and of its
// record sets; the user's table keeps the same order after its key (and the
// user's detail functions are keyed by their place, the sub-function, first).
//
//   for (const ColumnInfo& c : ColumnsOf(Level::DetailFunc))
//     if (c.user == UserValue::Merged) ...;
//
// A name column that is translated has a twin per other language, named with
// the language's columnSuffix (languages.h): "FFuncName_en", "FFuncName_cht".
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "platform/navigation/languages.h"
#include "platform/navigation/levels.h"

namespace wayfind::nav {

// Defined sizes, in characters, of the rows' texts.
inline constexpr int32_t kNameChars = 80;      // the names and show names
inline constexpr int32_t kHelpCodeChars = 50;  // help codes
inline constexpr int32_t kAcctListChars = 255; // a node's list of account types
inline constexpr int32_t kClassChars = 255;    // class name and parameter, help file

enum class ColumnType : uint8_t {
  Integer,
  Flag,  // an integer the editors send as a Boolean: 1 or 0
  Text,
};

// What the column is to its level; the key, parent and name are also named by
// LevelInfo.
enum class ColumnRole : uint8_t { Id, Parent, Name, ShowName, Plain };

// Where a name's translations live.
enum class Translated : uint8_t {
  No,
  // The template keeps a twin per language; the rows carry the name in the
  // caller's language only.
  InTemplate,
  // The template and the user's rows keep the twins, and the rows carry them.
  Everywhere,
};

// How the user's row of a node stands to the template's for a column.
enum class UserValue : uint8_t {
  None,    // the user's rows have no such column: the template's value holds
  Stored,  // the user's rows keep it, the merge leaves the template's value
  Merged,  // the merge copies the user's value over the template's
  // The merge copies the user's value only onto the user's own items: custom
  // items and the rows of the user's own folders.
  MergedForOwn,
};

// How the main-console editor shows a column in the grid that lists the
// level's items.
enum class EditorCell : uint8_t {
  None,   // not shown
  Text,
  Check,  // a check box: "1" or "0"
  Order,  // the order number, as the user typed it; it stays with its place when rows move
};
struct EditorUse {
  int column = 0;  // the grid's column, from 1; 0: not shown
  EditorCell cell = EditorCell::None;
  bool hidden = false;  // kept and saved, never shown
  const char* caption = nullptr;
  int widthTwips = 0;
};

struct ColumnInfo {
  const char* name;
  ColumnType type;
  int32_t size = 0;  // most characters of a text; 0 for numbers
  ColumnRole role = ColumnRole::Plain;
  Translated translated = Translated::No;
  UserValue user = UserValue::Merged;
  // The template table's column: NOT NULL, and its default (an SQL literal).
  bool notNull = false;
  const char* defaultValue = nullptr;
  // The user's table keeps the same constraint and default; otherwise its
  // column may be Null (a Null follows the template's value).
  bool userAsTemplate = false;
  // A merged row whose value is Null reads true (-1).
  bool mergedNullIsTrue = false;
  // The caption that messages name the column by (a text looked up by its
  // Chinese), and the keys by which the editors set it, the first present one
  // counting (the column's name among them); none: the editors never set it.
  const char* label = nullptr;
  const char* keys[4] = {};
  bool required = false;      // a text that may not be empty once given (names)
  bool emptyIsNull = false;   // an empty text the editors send is stored as Null
  // The database's schema version that added the column to the tables (and
  // its migration); 0: the tables had it from the start.
  int addedIn = 0;
  // The editor saves a column by its first key.
  EditorUse editor = {};
};

namespace columns_detail {

using C = ColumnInfo;
using T = ColumnType;
using R = ColumnRole;
using U = UserValue;

// The key and the parent link: the template's key is its table's key, the
// parent refers to the parent level's template; the user's both are NOT NULL.
constexpr C id(const char* name) { return {.name = name, .type = T::Integer, .role = R::Id}; }
constexpr C parent(const char* name) { return {.name = name, .type = T::Integer, .role = R::Parent, .notNull = true}; }
constexpr C name(const char* field, Translated translated, U user, const char* const (&keys)[4], int widthTwips) {
  return {.name = field, .type = T::Text, .size = kNameChars, .role = R::Name, .translated = translated, .user = user,
          .notNull = true, .label = "名称", .keys = {keys[0], keys[1], keys[2], keys[3]}, .required = true,
          .editor = {1, EditorCell::Text, false, "名称", widthTwips}};
}
constexpr C acctType(U user) {
  return {.name = "FAcctType", .type = T::Text, .size = kAcctListChars, .user = user, .notNull = true,
          .defaultValue = "''", .userAsTemplate = true};
}
constexpr C index(int column) {
  return {.name = "FIndex", .type = T::Integer, .notNull = true, .defaultValue = "0", .label = "顺序号",
          .keys = {"Index", "FIndex"}, .editor = {column, EditorCell::Order, false, "序号", 1000}};
}
constexpr C visible(int column) {
  return {.name = "FVisible", .type = T::Flag, .notNull = true, .defaultValue = "1", .label = "是否可见",
          .keys = {"Visible", "FVisible"}, .editor = {column, EditorCell::Check, false, "是否可见", 1300}};
}
// A flag of the template alone.
constexpr C templateFlag(const char* name) {
  return {.name = name, .type = T::Integer, .user = U::None, .notNull = true, .defaultValue = "0"};
}
constexpr C classText(const char* name, const char* label, const char* key, U user) {
  return {.name = name, .type = T::Text, .size = kClassChars, .user = user, .label = label, .keys = {key, name},
          .emptyIsNull = true};
}

inline constexpr C kTopClass[] = {
    id("FTopClassID"),
    name("FTopClassName", Translated::InTemplate, U::Merged, {"NewName", "FTopClassName", "Name"}, 4200),
    acctType(U::Merged),
    index(3),
    visible(2),
    templateFlag("FShowSysType"),
    classText("FClassName", "程序类名", "ClassName", U::Stored),
    classText("FClassParam", "程序参数", "ClassParam", U::Stored),
};

inline constexpr C kSubSystem[] = {
    id("FSubSysID"),
    parent("FTopClassID"),
    name("FName", Translated::InTemplate, U::Merged, {"NewName", "FName", "FSysName", "Name"}, 4200),
    acctType(U::Merged),
    index(3),
    visible(2),
    templateFlag("FRefresh"),
    classText("FClassName", "程序类名", "ClassName", U::Stored),
    classText("FClassParam", "程序参数", "ClassParam", U::Stored),
    {.name = "FHelpFile", .type = T::Text, .size = kClassChars, .user = U::Stored, .label = "帮助文件",
     .keys = {"HelpFile", "FHelpFile"}},
};

inline constexpr C kSubFunc[] = {
    id("FSubFuncID"),
    parent("FSubSysID"),
    name("FFuncName", Translated::InTemplate, U::Merged, {"NewName", "FFuncName", "Name"}, 4200),
    acctType(U::Stored),
    index(3),
    visible(2),
    templateFlag("FRefresh"),
    templateFlag("FSetEnable"),
    classText("FClassName", "程序类名", "ClassName", U::Stored),
    classText("FClassParam", "程序参数", "ClassParam", U::Stored),
};

inline constexpr C kDetailFunc[] = {
    id("FDetailFuncID"),
    parent("FSubFuncID"),
    name("FFuncName", Translated::Everywhere, U::Merged, {"NewName", "FFuncName", "Name"}, 3000),
    {.name = "FShowName", .type = T::Text, .size = kNameChars, .role = R::ShowName, .user = U::Stored,
     .label = "显示名称", .keys = {"ShowName", "FShowName"}, .emptyIsNull = true},
    {.name = "FHelpCode", .type = T::Text, .size = kHelpCodeChars, .notNull = true, .defaultValue = "''",
     .label = "助记码", .keys = {"HelpCode", "FHelpCode"}, .editor = {2, EditorCell::Text, false, "助记码", 1300}},
    {.name = "FHelpCode1", .type = T::Text, .size = kHelpCodeChars, .user = U::None, .notNull = true,
     .defaultValue = "''"},
    acctType(U::Stored),
    index(5),
    visible(3),
    {.name = "FEnable", .type = T::Flag, .notNull = true, .defaultValue = "1", .label = "是否可用",
     .keys = {"Enable", "FEnable"}, .editor = {4, EditorCell::Check, true, "是否可用", 1200}},
    {.name = "FFuncType", .type = T::Integer, .user = U::Stored, .notNull = true, .defaultValue = "0",
     .mergedNullIsTrue = true},
    classText("FClassName", "程序类名", "ClassName", U::MergedForOwn),
    classText("FClassParam", "程序参数", "ClassParam", U::MergedForOwn),
};

}  // namespace columns_detail

// The columns of level's rows, in the order of its template table.
constexpr std::span<const ColumnInfo> ColumnsOf(Level level) {
  switch (level) {
    case Level::TopClass: return columns_detail::kTopClass;
    case Level::SubSystem: return columns_detail::kSubSystem;
    case Level::SubFunc: return columns_detail::kSubFunc;
    case Level::DetailFunc: return columns_detail::kDetailFunc;
  }
  return {};
}

// The column of level named name (compared exactly); nullptr for none.
constexpr const ColumnInfo* FindColumn(Level level, std::string_view name) {
  for (const ColumnInfo& c : ColumnsOf(level))
    if (name == c.name) return &c;
  return nullptr;
}

// Calls visit(language) for each language whose translation of a name has a
// column of its own (the twin: the name and the language's columnSuffix).
template <class Visit>
constexpr void ForEachTranslation(Visit visit) {
  for (const LanguageInfo& lang : kLanguages)
    if (*lang.columnSuffix && !lang.testOnly) visit(lang);
}

// Whether the user's rows of the level keep the column.
constexpr bool InUserRows(const ColumnInfo& c) { return c.user != UserValue::None; }

}  // namespace wayfind::nav
