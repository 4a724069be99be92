// The navigation tables as record sets: the fields, types and defined sizes the
// middle tier delivers for the template and for a user's own rows, and the reads
// that fill them. The write side uses the same field lists for ImportUserData.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "erp/storage/connection.h"
#include "erp/storage/recordset_builder.h"
#include "platform/recordset/recordset.h"

namespace wayfind::erp::middletier {

// Table keys of the template and user dictionaries.
inline constexpr const char* kTopClass = "TopClass";
inline constexpr const char* kSubSystem = "SubSystem";
inline constexpr const char* kSubFunc = "SubFunc";
inline constexpr const char* kDetailFunc = "DetailFunc";
inline constexpr const char* kProfile = "Profile";
inline constexpr const char* kAcctType = "AcctType";
inline constexpr const char* kTimeStamp = "TimeStamp";

const std::vector<storage::FieldSpec>& templateFields(const std::string& table);
const std::vector<storage::FieldSpec>& userFields(const std::string& table);

// Template rows in id order; names in the language (chs, en, cht).
platform::RecordsetPtr readTemplateTable(storage::Connection& conn, const std::string& table,
                                         const std::string& language);
// The same as a bound statement, to be read with recordsetFromStatement(st,
// templateFields(table), expected) (so that several can travel together,
// Connection::runTogether); expected is the row count when counted first.
storage::Statement templateTableQuery(storage::Connection& conn, const std::string& table,
                                      const std::string& language, size_t& expected);

// SQL for a template name in a language: the translation of column (its "_en"
// or "_cht" twin) when stored and not empty, else the Chinese name. language is
// the SQL that gives "chs", "en" or "cht" (a parameter such as "?2").
std::string localized(const std::string& column, const std::string& language);
// SQL for a template function's show name in a language: the stored show name
// in Chinese, else the localized name. prefix qualifies the columns ("t." or "").
std::string templateShowName(const std::string& prefix, const std::string& language);

// SQL of a scalar subquery naming detail function id (an SQL expression) for
// user in language (SQL expressions too), where no place is given (favourites):
// the user's row at the function's template place, else the user's first row of
// it, over the template's names. show false gives the function's name, true the
// name it is shown by (the user's show name, else the user's own name, else the
// template's show name). Null for a function neither has.
std::string functionNameSql(const std::string& id, const std::string& user, const std::string& language, bool show);

// The columns of a favourites entry (alias i of t_NavFuncGroupItem) as users read
// them: FDetailFuncID, FFuncName, FHelpCode, FShowName, an entry without texts of
// its own named as its function is. ?2 is the user, ?3 the language.
std::string favouriteItemColumnsSql();

enum class UserRows {
  View,    // for GetUserData: names the user did not give are the template's in
           // the language, a given name stands in every language, Profile =
           // template defaults with the user's values over them
  Stored,  // for ExportUserData: the stored values (Null where a name follows the
           // template), Profile = the user's own only
};
platform::RecordsetPtr readUserTable(storage::Connection& conn, const std::string& table, int32_t userId,
                                     UserRows mode, const std::string& language = "chs");
// The same as a bound statement, to be read with recordsetFromStatement(st,
// userFields(table)).
storage::Statement userTableQuery(storage::Connection& conn, const std::string& table, int32_t userId,
                                  UserRows mode, const std::string& language = "chs");

// Favourites of a user, for export: FuncGroup and FuncGroupItem.
platform::RecordsetPtr readUserGroups(storage::Connection& conn, int32_t userId);
platform::RecordsetPtr readUserGroupItems(storage::Connection& conn, int32_t userId);
const std::vector<storage::FieldSpec>& groupFields();
const std::vector<storage::FieldSpec>& groupItemFields();

}  // namespace wayfind::erp::middletier
