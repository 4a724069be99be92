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

enum class UserRows {
  View,    // for GetUserData: language names filled from FFuncName when empty,
           // Profile = template defaults with the user's values over them
  Stored,  // for ExportUserData: the stored values, Profile = the user's own only
};
platform::RecordsetPtr readUserTable(storage::Connection& conn, const std::string& table, int32_t userId,
                                     UserRows mode);

// Favourites of a user, for export: FuncGroup and FuncGroupItem.
platform::RecordsetPtr readUserGroups(storage::Connection& conn, int32_t userId);
platform::RecordsetPtr readUserGroupItems(storage::Connection& conn, int32_t userId);
const std::vector<storage::FieldSpec>& groupFields();
const std::vector<storage::FieldSpec>& groupItemFields();

}  // namespace wayfind::erp::middletier
