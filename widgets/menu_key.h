// Shift+F10 as the Menu key: on a view whose items have a context menu, the two
// open the same menu for the current item, as the desktop's keyboard users
// expect of either key.
#pragma once

class QWidget;

namespace wayfind::widgets {

// Installs the behaviour on widget: Shift+F10 sends it the context-menu request
// the Menu key would.
void OpenMenuWithShiftF10(QWidget* widget);

}  // namespace wayfind::widgets
