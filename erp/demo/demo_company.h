// The demo company: a navigation template in three languages, account types,
// console defaults, users and groups, rights and some users' own rows and
// favourites, read from the text files in resources/demo/ (format in
// resources/demo/README.md) and loaded into a new database.
#pragma once

#include <filesystem>

#include "erp/storage/connection.h"

namespace wayfind::erp::demo {

// The folder holding navigation.tsv and company.tsv: the one set here, else
// $WAYFIND_DEMO_DIR, else the source tree's resources/demo.
std::filesystem::path demoFolder();
void setDemoFolder(const std::filesystem::path& folder);  // empty: back to the default

// Loads the demo files from demoFolder() into conn, inside one transaction (a
// savepoint when the caller already holds one). Any malformed line raises error 5
// naming file and line, and nothing is kept.
void loadDemoCompany(storage::Connection& conn);
void loadDemoFiles(storage::Connection& conn, const std::filesystem::path& folder);

// Well-known ids of the demo company, for tests and examples.
namespace ids {
inline constexpr int32_t kAdministratorsGroup = 1;
inline constexpr int32_t kAdministrator = 16384;   // "Administrator", administrators group
inline constexpr int32_t kWangFang = 16394;        // "王芳": administrator and finance
inline constexpr int32_t kZhangWei = 16385;        // "张伟": finance group, own rows, favourites
inline constexpr int32_t kLiNa = 16386;            // "李娜": finance and sales groups
inline constexpr int32_t kForbidden = 16388;       // "陈静": forbidden
inline constexpr int32_t kAuditGroup = 6;          // a group with no qualifying users
inline constexpr int32_t kMyT8TopClass = 7;        // "我的T/8"
}  // namespace ids

}  // namespace wayfind::erp::demo
