// The four levels of the navigation tree as the write side sees them: their
// tables, who owns an identifier, a user's row of a node (a copy of the template
// row on first change), free identifiers and order numbers, and the dictionary
// keys the editors send, turned into column values.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "erp/storage/connection.h"
#include "platform/automation/variant.h"
#include "platform/containers/dictionary.h"

namespace wayfind::erp::middletier::rows {

struct Level {
  int number;             // 1 top class, 2 subsystem, 3 sub-function, 4 detail function
  int32_t base;           // lowest identifier of a custom item
  const char* key;        // "TopClass", ...
  const char* label;      // the level's name in messages
  const char* tplTable;   // t_NavTopClass, ...
  const char* userTable;  // t_NavUserTopClass, ...
  const char* idCol;
  const char* parentCol;  // nullptr for top classes
  const char* nameCol;
};

const Level& level(int number);

const Level* levelByBase(int32_t base);  // nullptr for another number
const Level* childLevel(const Level& l);  // nullptr for detail functions

// A user's row: the user table's columns (without FUserID) by name.
using Row = std::map<std::string, platform::Variant>;
// A node as messages name it, in the caller's language: its level and name
// ("明细功能“凭证录入”"), or its level and number when the name is not known.
std::string nodeText(const Level& l, int32_t id, const std::string& name = {});
// Looking the name up: the template's, else the caller's own item's; anybody
// else's custom item by its number only (its name is its user's own).
std::string nodeText(storage::Connection& conn, const Level& l, int32_t id, int32_t callerId = 0);
// By the name a row carries.
std::string nodeText(const Level& l, const Row& row);
const std::vector<std::string>& userColumns(const Level& l);

enum class Owner { None, Template, Caller, Other };
// Below the base: Template when the template has the node. At or above it:
// Caller when the user has a row for it, Other when another user has, else None.
Owner ownerOf(storage::Connection& conn, const Level& l, int32_t id, int32_t userId);
// Owner Template or Caller, else error 5 saying which.
Owner requireOwnNode(storage::Connection& conn, const Level& l, int32_t id, int32_t userId);
// The parent of a new child must be a template node or the caller's own item.
void requireParent(storage::Connection& conn, const Level& child, int32_t parentId, int32_t userId);

bool templateHas(storage::Connection& conn, const Level& l, int32_t id);
// The template node as a user row: every column the merge copies, the name in the
// caller's language, show name Null (the template's stays in force).
std::optional<Row> templateAsUserRow(storage::Connection& conn, const Level& l, int32_t id,
                                     const std::string& language);
// The columns that name a node: its name and, for detail functions, the English
// and traditional Chinese names.
const std::vector<std::string>& nameColumns(const Level& l);
// A user's row of a template node names the node only where the user gave it a
// name: Null follows the template's name in every language.
Row withoutNames(const Level& l, Row row);
// After applyKeys set the columns in set on row (which was before): a name equal
// to the template's in the caller's language (templateRow, nullptr for a custom
// item) goes back to following the template; a name equal to the one the caller
// was shown is no change; another name stands for every language, so
// translations the caller did not send are dropped.
void settleNames(const Level& l, Row& row, const Row& before, const std::vector<std::string>& set,
                 const Row* templateRow, const std::string& language);
// The template's columns that name a node: its name in every language and a
// detail function's show name.
const std::vector<std::string>& templateNameColumns(const Level& l);
// Names of a user's row of a template node that equal the template's name in any
// language (or its show name) become Null: the row follows the template there.
void dropTemplateNames(storage::Connection& conn, const Level& l, Row& row);
// The same with the template's names of the node at hand (its names in the three
// languages, and a detail function's show name), as the template holds them.
void dropTemplateNames(const Level& l, Row& row, const std::vector<std::string>& templateNames);
// Detail functions are keyed by sub-function too (placeOf); other levels ignore it.
std::optional<Row> readUserRow(storage::Connection& conn, const Level& l, int32_t userId, int32_t id,
                               int32_t subFuncId = 0);
// Sub-functions under which the user has a row for detail function id.
std::vector<int32_t> userPlaces(storage::Connection& conn, int32_t userId, int32_t detailId);
void writeUserRow(storage::Connection& conn, const Level& l, int32_t userId, const Row& row);
// Rows of the user under parentId on level l (the children of a node).
bool userHasChildren(storage::Connection& conn, const Level& parent, int32_t userId, int32_t parentId);

bool idInUse(storage::Connection& conn, const Level& l, int32_t id);  // template or any user
int32_t nextFreeCustomId(storage::Connection& conn, const Level& l);
// Inside a change: a custom identifier of l for a new item, claimed for the
// change (storage::Connection::claimIdentifiers). A carried one (GetNextID's
// answer) is kept while it is free and not beyond the next free one, so no
// caller can take the top of the range for everyone; else the next free one.
// Users' custom identifiers are unique across users. One that another change
// stores or is about to is passed over at once, and after a few such, the
// search goes on at random places further up, so that nobody who keeps
// identifiers claimed in an open change can make anyone wait.
int32_t claimCustomId(storage::Connection& conn, const Level& l, int32_t requested);
int32_t nextFreeTemplateId(storage::Connection& conn, const Level& l);
// 1 + the highest order number under parentId in the user's view.
int32_t nextIndex(storage::Connection& conn, const Level& l, int32_t parentId, int32_t userId);

enum class KeyUse { Update, Create };
// Writes the values of the dictionary's keys into row. Accepted keys: the editors'
// ("NewName", "Visible", "Index", "HelpCode", "Enable", "ClassName", ...) and the
// field names ("FFuncName", "FVisible", ...); the identifier and parent fields
// only with the row's own values. Unknown keys and bad values are refused. For a
// template node (templateRow given) the class name and parameter must stay the
// template's.
// Returns the columns it set.
std::vector<std::string> applyKeys(const platform::Dictionary& dict, const Level& l, KeyUse use, Row& row,
                                   const Row* templateRow);

// The column a key the editors send sets on level l (by the same names as
// applyKeys); nothing for a key no column has.
std::optional<std::string> columnOfKey(const Level& l, std::string_view key);
// A value of column as a user reads it, for comparing: a flag "1" or "0", a
// number in decimal (Null as 0), a text (Null as empty). Never throws: a value
// that is none of these compares by its debug form.
std::string comparable(const Level& l, const std::string& column, const platform::Variant& v);
// The same as a message shows it: a flag as "是" or "否" in the caller's language.
std::string readable(const Level& l, const std::string& column, const platform::Variant& v);
// What the user sees in column of the node whose user row is row: the row's
// value, and for the name the name the user keeps in language (a detail
// function's translation first), else the template's name there (templateRow,
// as templateAsUserRow reads it; nullptr for a custom item).
platform::Variant shownValue(const Level& l, const Row& row, const Row* templateRow, const std::string& column,
                             const std::string& language);

// Removes favourites entries whose detail function exists neither in the
// template nor among their owner's rows (after deletions); only ofUser's when
// given (a change of one user's rows leaves only theirs dangling).
void purgeDanglingFavourites(storage::Connection& conn, std::optional<int32_t> ofUser = std::nullopt);

// Conversions of values the callers send; refusals name the key.
std::string textArg(std::string_view key, const platform::Variant& v, int32_t maxChars, bool required);
int32_t intArg(std::string_view key, const platform::Variant& v);
int32_t flagArg(std::string_view key, const platform::Variant& v);
void checkHelpCode(std::string_view key, const std::string& code);

}  // namespace wayfind::erp::middletier::rows
