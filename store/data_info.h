// The navigation store: one process-wide set of in-memory tables holding the
// navigation tree as the middle tier delivers it (the template set) and the
// current user's own rows (the user set), with the account-type state and the
// IsBOSQuery flag that every query reads.
//
// The tables stay loaded for the life of the process, shared by every public
// object, until ClearCache empties them. Filters on the tables are state of the
// tables: each query sets the filters it needs before reading and leaves them.
// Nothing here is synchronised; everything runs on the host's UI thread.
#pragma once

#include <cstdint>
#include <string>

#include "platform/recordset/recordset.h"

namespace wayfind::store {

using platform::RecordsetPtr;

// The six tables of the template dictionary.
struct TemplateTables {
  RecordsetPtr AcctType;
  RecordsetPtr TopClass;
  RecordsetPtr SubSystem;
  RecordsetPtr SubFunc;
  RecordsetPtr DetailFunc;
  RecordsetPtr Profile;
};

// The five tables of the user dictionary (the user data has no AcctType).
struct UserTables {
  RecordsetPtr TopClass;
  RecordsetPtr SubSystem;
  RecordsetPtr SubFunc;
  RecordsetPtr DetailFunc;
  RecordsetPtr Profile;
};

// What is known of the dictionary whose tables sit in the slots: for whom it was
// loaded and its TimeStamp. RegetDataInfo keeps the slots without reading any
// file while the server answers the same version for the same login.
struct LoadedVersion {
  bool known = false;
  std::string identity;   // the PropsString the dictionary was loaded for
  std::string timeStamp;  // the dictionary's own TimeStamp
};

class DataInfo {
 public:
  static DataInfo& instance();
  // Everything back to its state at process start (tests).
  void reset();

  // True when any of the eleven table slots is empty.
  bool anySlotEmpty() const;
  // Empties the eleven slots and forgets the loaded versions.
  void clearSlots();

  TemplateTables templ;
  UserTables user;

  // The current account-type code and the setup-type text it was computed from.
  int32_t acctTypeCode = 0;
  std::string setupTypeText;
  bool acctTypeComputed = false;

  // Set by the host: queries ignore the account type (and, for the all-subsystems
  // query, the user's rows).
  bool isBOSQuery = false;

  LoadedVersion loadedTemplate;
  LoadedVersion loadedUser;
};

// Loads the template and then the user data (each from its cache file while the
// server's version is unchanged), with start and end entries in the call log.
void Initial();
// Calls Initial when any slot is empty.
void EnsureLoaded();
// With clear true empties every slot; with clear false does nothing (the tables
// stay for the next object).
void ReleaseTables(bool clear);
// ReleaseTables(true): the next table-reading query loads again.
void ClearCache();

// The store's IsBOSQuery flag, shared by every DatasInfo object.
bool IsBOSQuery();
void SetIsBOSQuery(bool value);

}  // namespace wayfind::store
