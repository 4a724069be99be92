// The busy state of a window: how a window stays alive while a call waits on the
// database (another user's write lock, a slow server).
//
//   widgets::RunBusy(this, [&] { newDatasUpdate()->ReplaceNormalList(group, rows); });
//   auto rs = widgets::RunBusy(this, [&] { return info->GetDetailNormalFunc(group); });
//
// The work runs on the windows' database thread while the window's thread waits.
// A call that answers within the threshold (about 300 ms) is never seen. A longer
// one puts the window into its busy state until it answers: the wait cursor, the
// looked-up "正在等待数据库…" in the window's status bar (or, without one, after
// its title), its commands (menus, toolbars, buttons) disabled; the windows keep
// repainting, and every key, click and close meant for any window is swallowed,
// so the user cannot start a second command, not even one queued for later. The
// caller goes on only when the work has answered: what runs in sequence still
// runs in sequence. A failure of the work is raised again on the caller's thread.
//
// The work must not show anything (no message box, no dialog) and must not touch
// widgets: it is database work only. Without a running windows session, on
// another thread, or inside another busy call the work simply runs where it is.
#pragma once

#include <functional>
#include <optional>
#include <type_traits>
#include <utility>

class QWidget;

namespace wayfind::widgets {

void RunBusy(QWidget* window, const std::function<void()>& work);

template <class F>
auto RunBusy(QWidget* window, F&& work) -> std::enable_if_t<!std::is_void_v<std::invoke_result_t<F&>>,
                                                            std::invoke_result_t<F&>> {
  std::optional<std::invoke_result_t<F&>> result;
  RunBusy(window, std::function<void()>([&] { result.emplace(work()); }));
  return std::move(*result);
}

// True while window (a top-level window) shows its busy state; with null, while
// any wait runs, shown by a window or not.
bool IsBusy(const QWidget* window = nullptr);

// The settings of the busy state, for the program and for tests: the threshold
// in milliseconds (0 shows the state at once), and a function called on the
// window's thread each time a window enters its busy state (null: none).
struct BusySettings {
  int thresholdMs = 300;
  std::function<void(QWidget* window)> onBusy;
};
BusySettings& busySettings();

// Ends the database thread (the windows' session does this when it stops; the
// next busy call starts it again).
void stopDatabaseThread();

}  // namespace wayfind::widgets
