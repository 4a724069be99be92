// Accessible names and descriptions for every control of a window, in the
// session's language, so a screen reader says what each control is:
//   - the name: a button's, check box's or group's own caption (without its "&";
//     its tooltip when the caption is only symbols, as "<<"), else the label that
//     names the control (its buddy, or the label just left of it or above it),
//     else the title of the tab it lies on, else the window's title; a tool
//     button the tool's caption. A tree without a visible header gets its name
//     as its column's title;
//   - the description: the control's tooltip when it has one, else the looked-up
//     "%1窗口的%2" with the window's title and the name.
// A name or description the window set itself is kept. Forms get them when they
// load; other windows (the console) call NameControls after their captions are
// translated.
#pragma once

class QWidget;

namespace wayfind::widgets {

void NameControls(QWidget* window);

// Combo boxes read by their names: Qt's own reading of a combo box on Linux
// gives its current item as its name, so a screen reader hears "财务部" where
// it should hear "常用功能组". Installed once, with the application.
void ReadComboBoxesByName();

// Whether a widget is a control a user works with (buttons, fields, lists,
// trees, grids, tabs, combo boxes), as the check over every window counts them.
bool isControl(const QWidget* widget);

}  // namespace wayfind::widgets
