// The favourites editor while another process holds the database's write lock:
// the save waits in the window's busy state, the window keeps painting, what the
// user does meanwhile is swallowed, and the save completes once the lock is back.
#include <QApplication>
#include <QCursor>
#include <QInputMethodEvent>
#include <QPushButton>
#include <QTest>

#include "favourites_fixture.h"
#include "widgets/busy_state.h"
#include "windows_support/write_lock_holder.h"

namespace wayfind::favourites::testing {
namespace {

using windowtests::join;

// Lets the lock go at the first paint of the window while it is busy: the save
// can only end if the window painted during its wait.
class ReleaseOnPaint : public QObject {
 public:
  explicit ReleaseOnPaint(windowtests::WriteLockHolder& lock) : lock_(lock) {}
  int paintsWhileBusy = 0;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && widgets::IsBusy()) {
      ++paintsWhileBusy;
      lock_.release();
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  windowtests::WriteLockHolder& lock_;
};

class BusyStateTest : public FavouritesTest {};

TEST_F(BusyStateTest, ASaveWaitingForAnotherProcesssWriteLockKeepsTheWindowAliveAndInOrder) {
  login(kZhang);
  auto& ed = openEditor();
  const int32_t group = ed.currentGroupId();
  const QString title = ed.windowTitle();
  ASSERT_TRUE(ed.vaNormal->userTypeText(2, 1, "QQ"));

  windowtests::WriteLockHolder lock(database);
  ReleaseOnPaint painter(lock);
  ed.installEventFilter(&painter);
  int busyShown = 0;
  widgets::busySettings().thresholdMs = 0;
  // With no threshold every call shows the state; the first is the save's.
  widgets::busySettings().onBusy = [&](QWidget* window) {
    if (busyShown++ > 0) return;
    EXPECT_EQ(window, &ed);
    EXPECT_TRUE(widgets::IsBusy(&ed));
    EXPECT_EQ(ed.windowTitle(), title + " - 正在等待数据库…");
    ASSERT_TRUE(QApplication::overrideCursor());
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    for (const char* tool : {"New", "Delete", "SetProps", "Refresh", "Close"})
      EXPECT_FALSE(ed.Bar->ToolEnabled(tool)) << tool;
    EXPECT_FALSE(ed.btnCancel->isEnabled());
    // The user tries a second command meanwhile: Esc (close), a click on the
    // other group, Alt+C, the other group's name typed through an input
    // method. None of them starts, now or later.
    QInputMethodEvent typed;
    typed.setCommitString(QString::fromStdString(ed.tvGroup->NodeAt(2).Text()));
    QCoreApplication::sendEvent(ed.tvGroup, &typed);
    QTest::keyClick(&ed, Qt::Key_Escape);
    QTest::keyClick(&ed, Qt::Key_C, Qt::AltModifier);
    const QRect second = ed.tvGroup->visualItemRect(ed.tvGroup->NodeAt(2).item());
    QTest::mouseClick(ed.tvGroup->viewport(), Qt::LeftButton, {}, second.center());
    ed.update();  // the paint that follows gives the lock back
  };
  messages->answers = {true};
  ed.Bar->ClickTool("SetProps");
  QCoreApplication::processEvents();  // anything the user's acts might have queued

  EXPECT_GE(busyShown, 1);
  EXPECT_GE(painter.paintsWhileBusy, 1);
  EXPECT_FALSE(lock.holding());
  // The save ran to its end before the tool click returned, for the group it began with.
  ASSERT_FALSE(storedList(group).empty());
  EXPECT_NE(storedList(group).front().find(":QQ:"), std::string::npos) << join(storedList(group));
  EXPECT_TRUE(ed.isLoaded());
  EXPECT_TRUE(ed.isVisible());
  EXPECT_EQ(ed.currentGroupId(), group);
  EXPECT_FALSE(ed.m_bDirty);
  // Back to normal.
  EXPECT_FALSE(widgets::IsBusy());
  EXPECT_EQ(ed.windowTitle(), title);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  for (const char* tool : {"New", "Delete", "SetProps", "Refresh", "Close"}) EXPECT_TRUE(ed.Bar->ToolEnabled(tool)) << tool;
  EXPECT_TRUE(ed.btnCancel->isEnabled());
  EXPECT_EQ(messages->questions().size(), 1u) << shownMessages();
  EXPECT_TRUE(modal().done()) << join(modal().failures());
}

TEST_F(BusyStateTest, AFailureOfTheWaitingWorkReachesTheWindowAsBefore) {
  login(kZhang);
  auto& ed = openEditor();
  widgets::busySettings().thresholdMs = 0;
  EXPECT_THROW(widgets::RunBusy(&ed, [] { throw platform::AutomationError(5, "test", "refused"); }),
               platform::AutomationError);
  EXPECT_EQ(widgets::RunBusy(&ed, [] { return 42; }), 42);
  EXPECT_FALSE(widgets::IsBusy());
  EXPECT_TRUE(ed.Bar->ToolEnabled("New"));
}

}  // namespace
}  // namespace wayfind::favourites::testing
