// Captions that fit: a window placed control by control (its designed positions
// in twips, no layout) is drawn for its Chinese captions, and a translation is
// often longer. Before the window shows, every shown button, label, check box and
// group box too narrow for its caption grows to show it whole; what lies to its right on
// the same row moves along, and the container (up to the window) widens to keep
// its margin. A window whose captions fit is left exactly as designed.
#pragma once

class QWidget;

namespace wayfind::widgets {

// Fits the captions of window's children as above.
void FitCaptions(QWidget& window);

}  // namespace wayfind::widgets
