// A window as large as it was designed, but never larger than the screen it
// opens on: at 200 % on a small screen the editor's design size is more than
// the screen holds, and a window that runs off the screen hides its buttons.
#pragma once

class QWidget;

namespace wayfind::widgets {

// Shrinks window (not below its minimum size) to the available area of its
// screen, room left for the frame, and moves it onto that area. The real modal
// runner does it before a dialog shows; a program does it for its main window.
void FitToScreen(QWidget& window);

}  // namespace wayfind::widgets
