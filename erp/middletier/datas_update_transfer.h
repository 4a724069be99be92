// A user's customisation as one value: the navigation rows of the four levels,
// the profile and (from a template file) the favourites. Read from a user, or
// from a dictionary of the form ExportUserData writes (checked whole before
// anything is written), and written over a user's customisation with custom
// identifiers renumbered where another user owns them.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "erp/middletier/datas_update_change.h"
#include "erp/middletier/datas_update_rows.h"
#include "platform/containers/dictionary.h"

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
  std::vector<rows::Row> levels[4];  // TopClass, SubSystem, SubFunc, DetailFunc
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

// Replaces the user's navigation rows and profile (and favourites, when the
// customisation carries them) and marks the user changed. Custom identifiers that
// another user owns get the next free ones, consistently in the parent links and
// the favourites; rows of template nodes the template no longer has are left out.
void replaceCustomisation(Change& change, int32_t userId, const Customisation& data);

}  // namespace wayfind::erp::middletier::transfer
