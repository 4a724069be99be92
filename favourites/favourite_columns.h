// The columns of the favourites editor's list of a group's functions (vaNormal),
// counted from 1 as the grid counts them.
#pragma once

namespace wayfind::favourites {

namespace favourite_col {
inline constexpr int kName = 1;
inline constexpr int kHelpCode = 2;
inline constexpr int kShowName = 3;
inline constexpr int kCount = 3;
}  // namespace favourite_col

}  // namespace wayfind::favourites
