// The columns of the grids in which the editors show navigation items, counted
// from 1 as the grids count them. Code that reads or writes a cell names its
// column here rather than by number.
#pragma once

namespace wayfind::nav {

// The main-console editor's grid of top classes, subsystems or sub-functions
// (vaOutlineProp).
namespace outline_col {
inline constexpr int kName = 1;
inline constexpr int kVisible = 2;  // check box
inline constexpr int kIndex = 3;    // the order number
inline constexpr int kCount = 3;
}  // namespace outline_col

// The main-console editor's grid of detail functions (vaDetailProp).
namespace detail_col {
inline constexpr int kName = 1;
inline constexpr int kHelpCode = 2;
inline constexpr int kVisible = 3;  // check box
inline constexpr int kEnabled = 4;  // check box; kept and saved, never shown
inline constexpr int kIndex = 5;    // the order number
inline constexpr int kCount = 5;
}  // namespace detail_col

// The favourites editor's list of a group's functions (vaNormal).
namespace favourite_col {
inline constexpr int kName = 1;
inline constexpr int kHelpCode = 2;
inline constexpr int kShowName = 3;
inline constexpr int kCount = 3;
}  // namespace favourite_col

}  // namespace wayfind::nav
