// Twips, the layout unit the windows' measurements are written in: 1440 to the
// inch, so 15 to a pixel on a 96-dpi screen. Layout values stay in twips in the
// windows' code and are converted only where a widget is sized or placed.
#pragma once

namespace wayfind::widgets {

inline constexpr int kTwipsPerPixel = 15;

// Pixels for a twips value, rounded to the nearest pixel.
constexpr int twipsToPixels(int twips) {
  return twips >= 0 ? (twips + kTwipsPerPixel / 2) / kTwipsPerPixel
                    : -((-twips + kTwipsPerPixel / 2) / kTwipsPerPixel);
}
constexpr int pixelsToTwips(int pixels) { return pixels * kTwipsPerPixel; }

}  // namespace wayfind::widgets
