// The user's changes to the tree: they are the user's own, stored in the ERP
// database over the company's template, and never change what other users see.
//
//   wayfind::rename(session, node, "My vouchers");
//   wayfind::setSetting(session, "ShowHelpCode", "1");
//
// Each change is one transaction in the middle tier: it is stored whole or not
// at all. A refused change (the item is not the user's to change, the name is
// too long, the database is read-only) throws Error with the middle tier's
// description and leaves everything as it was. A change shows at once in what
// tree.h, search.h and favourites.h answer afterwards.
#pragma once

#include <string>
#include <string_view>

#include "wayfind/error.h"
#include "wayfind/export.h"
#include "wayfind/tree.h"

namespace wayfind {

class Session;

// Gives node the user's own name (in the session's language). An empty name
// throws Error.
WAYFIND_EXPORT void rename(Session& session, const Node& node, std::string_view name);

// Sets one field of the user's row of node, by the ERP's field name of its level
// (as in the template files: "FTopClassName", "FVisible", "FHelpCode", ...).
// An unknown field throws Error.
WAYFIND_EXPORT void setField(Session& session, const Node& node, std::string_view field, std::string_view value);

// The user's settings (name -> text), as the options dialog keeps them. A
// setting never set reads as an empty text.
WAYFIND_EXPORT std::string setting(Session& session, std::string_view name);
WAYFIND_EXPORT void setSetting(Session& session, std::string_view name, std::string_view value);

}  // namespace wayfind
