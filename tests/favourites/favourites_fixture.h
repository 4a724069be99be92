// The favourites windows on the demo company: the editor opened for a user, the
// list as the middle tier stores it, and the user's acts on the list grid (focus,
// typing, dragging a function onto it).
#pragma once

#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>
#include <string>
#include <vector>

#include "favourites/dlg_set_normal.h"
#include "favourites/frm_all_func.h"
#include "favourites/function_rows.h"
#include "widgets/toolbar.h"
#include "windows_support/window_test_support.h"

namespace wayfind::favourites::testing {

// A user of the demo company with two groups: "常用功能" (four functions, the
// first with help code "PZ") and "月末工作".
inline constexpr int32_t kZhang = 16385;
// A user without groups.
inline constexpr int32_t kLiu = 16387;

class FavouritesTest : public windowtests::WindowTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The editor for the logged-in user, loaded and shown (the first group's list).
  dlgSetNormal& openEditor();
  dlgSetNormal& editor();

  // "id:help:show" of each row of a group's stored list, and of the grid.
  std::vector<std::string> storedList(int32_t groupId);
  std::vector<std::string> gridRows();
  // The user's stored groups as "id:name".
  std::vector<std::string> storedGroups();

  // Every message shown, one a line, for failure output.
  std::string shownMessages() const;
  // The messages shown to the user (the store's cache-file tests left out).
  std::vector<erp::client::ScriptedMessageService::Call> shownCalls() const;

  void focusTree() { editor().tvGroup->setFocus(); }
  void focusGrid() { editor().vaNormal->setFocus(); }

  // A function dragged over the grid and dropped on it, as a node key of the
  // picker's tree. over() answers whether the grid would take it; drop() drags
  // it over the grid first.
  bool over(const std::string& key);
  void drop(const std::string& key);

  // Detail functions the user sees under a sub-function, in tree order.
  std::vector<int32_t> functionsOf(int32_t subFuncId);
  // The first group of the logged-in user.
  int32_t firstGroup();
};

}  // namespace wayfind::favourites::testing
