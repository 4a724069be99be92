// The three windows the launcher opens, by their form names, and the one answer
// it reads back from a window after it closed.
#pragma once

#include "widgets/form.h"

namespace wayfind::launcher {

inline constexpr const char* kSetNormalForm = "dlgSetNormal";
inline constexpr const char* kSetPropForm = "dlgSetProp";
inline constexpr const char* kOptionsForm = "dlgOptions";

// The favourites editor's Modified value.
bool favouritesEditorModified(widgets::Form& form);
// Whether the favourites editor stored anything since it was loaded.
bool favouritesEditorSaved(widgets::Form& form);

}  // namespace wayfind::launcher
