// Revision counters of the template (user 0) and of each user's rows, and the
// version texts built from them. Every change bumps its counter in the change's
// own transaction, so a reader sees the rows and the version of one moment.
//
//   template:  "T:<instance>:<template revision>"
//   user:      "U:<instance>:<template revision>:<user id>:<user revision>"
//
// where each revision reads "<counter>.<stamp>": the counter moves by one with
// each change, and the stamp is drawn at random by it, so that two copies of one
// database changed apart never show the same text for different rows.
#pragma once

#include <cstdint>
#include <string>

#include "erp/storage/connection.h"

namespace wayfind::erp::storage {

int64_t templateRevision(Connection& conn);
int64_t userRevision(Connection& conn, int32_t userId);  // 0 when never changed
// Add one to the counter and return the new value. Call inside a Transaction.
int64_t bumpTemplateRevision(Connection& conn);
int64_t bumpUserRevision(Connection& conn, int32_t userId);

// How often custom identifiers of a level (1 to 4) were handed out: counted
// under the key -level of the same table, by every change that takes the
// level's identifiers (Connection::serialiseOn). A change that planned its
// identifiers earlier checks them again only when the count moved.
int64_t identifierRevision(Connection& conn, int level);
int64_t bumpIdentifierRevision(Connection& conn, int level);

std::string templateVersionText(Connection& conn);
std::string userVersionText(Connection& conn, int32_t userId);

// The same in two steps, so that the statement can travel with others
// (Connection::runTogether): the bound statement, and the text from it.
Statement templateVersionQuery(Connection& conn);
std::string templateVersionFrom(Connection& conn, Statement& st);
Statement userVersionQuery(Connection& conn, int32_t userId);
// revision, when given, receives the user's revision the text carries.
std::string userVersionFrom(Connection& conn, Statement& st, int32_t userId, int64_t* revision = nullptr);

}  // namespace wayfind::erp::storage
