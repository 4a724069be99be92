// One change of "ZelWayfind.DatasUpdate": the write transaction, the calling
// user, the revisions to bump at commit, and the checkpoints at which tests inject
// faults. A change that is not committed rolls back when the object goes.
//
//   Change c(database_, props, "SetProfileValue");
//   ... c.conn() writes ...; c.userChanged();
//   c.commit();
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "erp/middletier/caller.h"
#include "erp/storage/connection.h"
#include "platform/containers/dictionary.h"

namespace wayfind::erp::middletier {

class Change {
 public:
  // A change of the caller's own rows holds the write lock shared and the
  // caller's lock (changes of other users go on beside it); one that may touch
  // other users or the template holds the whole database (storage::WriteLock)
  // when the caller is an administrator, and else the caller's rows and every
  // level's identifiers (all that a non-administrator may change). SharedLater
  // puts the write lock off until takeWriteLock (on a server).
  Change(const std::filesystem::path& database, std::string_view props, const char* method,
         storage::WriteLock lock = storage::WriteLock::Whole);
  Change(const Change&) = delete;
  Change& operator=(const Change&) = delete;

  storage::Connection& conn() { return *conn_; }
  const Caller& caller() const { return caller_; }
  int32_t userId() const { return caller_.userId; }
  const char* method() const { return method_; }

  // What to bump at commit: the caller's revision, another user's, the template's.
  void userChanged() { users_.insert(caller_.userId); }
  void userChanged(int32_t userId) { users_.insert(userId); }
  void templateChanged() { template_ = true; }
  bool anythingChanged() const { return template_ || !users_.empty(); }

  // Refuses (error 5) unless the caller is an administrator: a member of the
  // administrators group who is not forbidden. what is the deed, in Chinese and
  // in the middle tier's translation tables ("修改公共模板").
  void requireAdministrator(const std::string& what);

  // Takes the write lock a SharedLater change put off; false when a
  // whole-database change has it or waits for it: this change is then spoiled
  // and the caller goes again. True at once when it is held already.
  bool takeWriteLock();

  // Lets a test hook fail the change here.
  void checkpoint(std::string_view point);
  void commit();

 private:
  storage::ConnectionPtr conn_;
  std::optional<storage::Transaction> tx_;
  Caller caller_;
  const char* method_;
  std::set<int32_t> users_;
  bool template_ = false;
};

bool isAdministrator(storage::Connection& conn, int32_t userId);

// A checkpoint of a method outside its change (a test hook may act there), for
// the steps a method takes before its change begins.
void checkpoint(const char* method, std::string_view point);

// A user id argument that names a user (not a group) of t_User; error 5 otherwise.
int32_t requireUserArg(storage::Connection& conn, const platform::Variant& v, const char* what);

// True when dctInfo names a "TemplateUserID": the change may write another
// user's rows, so it holds the whole database.
bool namesTemplateUser(const platform::DictionaryPtr& dctInfo);

// The user whose rows a change writes: the "TemplateUserID" of dctInfo when it
// names one, else the caller. The main-console editor sends it when the settings
// it saves are to be applied from that user to others; writing another user's
// rows needs an administrator.
int32_t userForChange(Change& c, const platform::DictionaryPtr& dctInfo);
// The same before a change begins (a change that prepares its rows first).
int32_t userForChange(storage::Connection& conn, int32_t caller, const platform::DictionaryPtr& dctInfo);
// Refuses (error 5) unless userId is an administrator; what as for
// Change::requireAdministrator.
void requireAdministrator(storage::Connection& conn, int32_t userId, const std::string& what);

// Error 5 from "ZelWayfind.DatasUpdate".
[[noreturn]] void refuse(const std::string& description);

}  // namespace wayfind::erp::middletier
