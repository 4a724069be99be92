// Accessible names and descriptions for every control of a window, in the
// session's language, so a screen reader says what each control is:
//   - the name: a button's, check box's or group's own caption (without its "&"),
//     else the label that names the control (its buddy, or the label just left
//     of it or above it), else the window's title; a tool button the tool's caption;
//   - the description: the control's tooltip when it has one, else the looked-up
//     "%1窗口的%2" with the window's title and the name.
// A name or description the window set itself is kept. Forms get them when they
// load; other windows (the console) call NameControls after their captions are
// translated.
#pragma once

class QWidget;

namespace wayfind::widgets {

void NameControls(QWidget* window);

// Whether a widget is a control a user works with (buttons, fields, lists,
// trees, grids, tabs, combo boxes), as the check over every window counts them.
bool isControl(const QWidget* widget);

}  // namespace wayfind::widgets
