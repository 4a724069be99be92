// A user's customisation as one value: the navigation rows of the four levels,
// the profile and (from a template file) the favourites. Read from a user, or
// from a dictionary of the form ExportUserData writes (checked whole before
// anything is written), planned with no lock held, and written over a user's
// customisation in one short write transaction.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "erp/middletier/datas_update_change.h"
#include "erp/middletier/datas_update_rows.h"
#include "platform/containers/dictionary.h"
#include "platform/recordset/recordset.h"

namespace wayfind::erp::middletier::transfer {

struct Group {
  int32_t id = 0;
  std::string name, showName;
  int32_t index = 0;
};
struct GroupItem {
  int32_t group = 0, position = 0, detailFuncId = 0;
  std::string funcName, helpCode, showName;
};

struct Customisation {
  // TopClass, SubSystem, SubFunc, DetailFunc as read, every row checked: the
  // rows stay in their record sets (a big import holds them once), and
  // rowValues reads one converted.
  platform::RecordsetPtr levels[4];
  std::vector<int> fieldsAt[4];  // where each of the level's fields lies in its record set (-1: missing)
  std::vector<std::pair<std::string, std::string>> profile;
  bool hasFavourites = false;
  std::vector<Group> groups;
  std::vector<GroupItem> items;
};

// Refuses (error 5) a dictionary without the record sets TopClass, SubSystem,
// SubFunc, DetailFunc and Profile, with a foreign Format marker, or with a row
// whose identifiers, texts or numbers are missing, malformed or repeated.
Customisation fromDictionary(const platform::Dictionary& dict);
Customisation fromUser(storage::Connection& conn, int32_t userId);
// Row r of level n (1 to 4): its values in the order of rows::userColumns,
// each converted to its column's type.
std::vector<platform::Variant> rowValues(const Customisation& data, int n, size_t r);

// What a user's row of a template node takes from the template's row.
struct TemplateSide {
  platform::Variant acctType, className, classParam;
  std::vector<std::string> names;  // the node's names, to tell translations by
};

// A customisation made ready to be written over a user's, read and decided
// with no lock held: custom identifiers that another user holds get the next
// free ones, consistently in the parent links and the favourites; rows of
// template nodes the template no longer has are left out; a row of a template
// node takes the template's account types and class texts.
struct Plan {
  int32_t userId = 0;
  // The rows to be stored: the rows of data that are stored, by number, and
  // what changes in them on the way (plannedRow).
  Customisation data;
  std::vector<uint32_t> rowsOf[4];
  std::map<int32_t, int32_t> renumbered[4];
  std::map<int32_t, TemplateSide> templateSides[4];
  std::vector<std::pair<std::string, std::string>> profile;
  bool hasFavourites = false;
  std::vector<Group> groups;
  std::vector<GroupItem> items;      // detail functions renumbered
  // What the plan rests on.
  int64_t templateRevision = 0;
  int64_t userRevision = 0;
  std::vector<int32_t> customIds[4];  // the custom identifiers it stores
  std::vector<int32_t> freshIds[4];   // of those, the ones the user did not hold
  bool sameRows = false;              // the user's stored rows and profile are these
};

// Where the new identifiers of plans go: above those of the plans made before
// in the same change (so that users given the same customisation get
// identifiers of their own), and, for a plan made again after a change kept
// the next ones claimed, at a random place further up.
struct NewIdentifiers {
  int64_t above[4] = {};
  bool scattered = false;
};

// Reads only; run it in a ReadTransaction so that everything is of one moment.
// The plan keeps the customisation's record sets (shared, not copied).
Plan plan(storage::Connection& conn, int32_t userId, Customisation data, NewIdentifiers* where = nullptr);

// Row k of level n as the plan stores it: its values in the order of
// rows::userColumns.
std::vector<platform::Variant> plannedRow(const Plan& plan, int n, size_t k);

// Under the write lock, as the last thing before the commit: claims the custom
// identifiers the plan stores that its user does not hold yet
// (storage::Connection::claimIdentifiers), then tells whether the plan still
// holds: the template has not changed, and no custom identifier it stores has
// been taken by another user. False when another change claimed one of them
// first: the plan is to be made again.
bool claim(storage::Connection& conn, const Plan& plan);

// Replaces the user's navigation rows and profile (and favourites, when the
// plan carries them) with a few statements, and marks the user changed unless
// the rows were these already.
void write(Change& change, const Plan& plan);

}  // namespace wayfind::erp::middletier::transfer
