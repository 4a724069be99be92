// The question the console asks when a help code names more than one function
// the user may start: dlgChooseFunction lists them, by name, help code and the
// sub-function they sit in, and the user picks one (Enter or a double click
// starts it, Esc starts none).
#pragma once

#include <optional>
#include <vector>

#include "app/console/nav_source.h"

class QWidget;

namespace wayfind::app::console {

// The function the user picked; nothing when the dialog was cancelled.
std::optional<NavItem> chooseFunction(QWidget* parent, const std::vector<NavItem>& functions);

}  // namespace wayfind::app::console
