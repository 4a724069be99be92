#include "widgets/busy_state.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QMainWindow>
#include <QPointer>
#include <QStatusBar>
#include <QThread>
#include <QToolButton>
#include <QWidget>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "context/language.h"
#include "widgets/windows_runtime.h"

namespace wayfind::widgets {

namespace {

// One piece of database work and its answer.
struct Job {
  std::function<void()> work;
  std::mutex mutex;
  std::condition_variable answered;
  bool done = false;
  std::exception_ptr failure;
  std::function<void()> onDone;  // set by a caller that waits in its event loop
};

// The thread the windows' database work runs on. One thread for the session, so
// its connections (kept per thread by the storage) are opened once.
class DatabaseThread {
 public:
  static DatabaseThread& instance() {
    static DatabaseThread t;
    return t;
  }
  ~DatabaseThread() { stop(); }

  void post(const std::shared_ptr<Job>& job) {
    std::lock_guard lock(mutex_);
    if (!thread_.joinable()) {
      stopping_ = false;
      thread_ = std::thread([this] { loop(); });
    }
    queue_.push_back(job);
    wake_.notify_one();
  }

  void stop() {
    {
      std::lock_guard lock(mutex_);
      if (!thread_.joinable()) return;
      stopping_ = true;
      wake_.notify_one();
    }
    thread_.join();
    thread_ = std::thread();
  }

 private:
  void loop() {
    for (;;) {
      std::shared_ptr<Job> job;
      {
        std::unique_lock lock(mutex_);
        wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
        if (queue_.empty()) return;  // stopping, and nothing left to do
        job = queue_.front();
        queue_.pop_front();
      }
      std::exception_ptr failure;
      try {
        job->work();
      } catch (...) {
        failure = std::current_exception();
      }
      std::function<void()> onDone;
      {
        std::lock_guard lock(job->mutex);
        job->done = true;
        job->failure = failure;
        onDone = job->onDone;
      }
      job->answered.notify_all();
      if (onDone) onDone();
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::shared_ptr<Job>> queue_;
  std::thread thread_;
  bool stopping_ = false;
};

int depth = 0;                              // busy calls running on the windows' thread
std::vector<QPointer<QWidget>> busyWindows;  // the windows showing their busy state

bool isUserInput(QEvent::Type type) {
  switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::InputMethod:  // Chinese from an input method comes as this, not as keys
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::Drop:
      return true;
    default:
      return false;
  }
}

// Swallows what the user does while a window waits, so nothing is queued to run
// after the wait either; paint, layout and timer events go on.
class InputSwallower : public QObject {
 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (isUserInput(event->type())) return true;
    if (event->type() == QEvent::Close && watched->isWidgetType() && static_cast<QWidget*>(watched)->isWindow()) {
      event->ignore();
      return true;
    }
    return QObject::eventFilter(watched, event);
  }
};

// A tool button that stands for an action follows the action's state.
bool isActionButton(QAbstractButton* button) {
  auto* tool = qobject_cast<QToolButton*>(button);
  return tool && tool->defaultAction();
}

// The busy state of one window, for as long as it lives.
class BusyLook {
 public:
  BusyLook(QWidget* window, const QString& text) : window_(window) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    qApp->installEventFilter(&swallower_);
    if (!window) return;
    busyWindows.push_back(window);
    if (auto* main = qobject_cast<QMainWindow*>(window)) {
      status_ = main->statusBar();
      oldStatus_ = status_->currentMessage();
      status_->showMessage(text);
    } else {
      oldTitle_ = window->windowTitle();
      window->setWindowTitle(oldTitle_.isEmpty() ? text : oldTitle_ + " - " + text);
    }
    for (QAction* action : window->findChildren<QAction*>())
      if (action->isEnabled()) {
        actions_.emplace_back(action);
        action->setEnabled(false);
      }
    for (QAbstractButton* button : window->findChildren<QAbstractButton*>())
      if (button->isEnabled() && !isActionButton(button)) {
        buttons_.emplace_back(button);
        button->setEnabled(false);
      }
  }

  ~BusyLook() {
    for (auto& action : actions_)
      if (action) action->setEnabled(true);
    for (auto& button : buttons_)
      if (button) button->setEnabled(true);
    if (status_) status_->showMessage(oldStatus_);
    if (window_ && !status_) window_->setWindowTitle(oldTitle_);
    std::erase_if(busyWindows, [this](const QPointer<QWidget>& w) { return !w || w == window_; });
    qApp->removeEventFilter(&swallower_);
    QApplication::restoreOverrideCursor();
  }

  BusyLook(const BusyLook&) = delete;
  BusyLook& operator=(const BusyLook&) = delete;

 private:
  QPointer<QWidget> window_;
  QPointer<QStatusBar> status_;
  QString oldStatus_;
  QString oldTitle_;
  std::vector<QPointer<QAction>> actions_;
  std::vector<QPointer<QAbstractButton>> buttons_;
  InputSwallower swallower_;
};

bool onWindowsThread() {
  return QCoreApplication::instance() && QThread::currentThread() == QCoreApplication::instance()->thread();
}

}  // namespace

BusySettings& busySettings() {
  static BusySettings settings;
  return settings;
}

void stopDatabaseThread() { DatabaseThread::instance().stop(); }

bool IsBusy(const QWidget* window) {
  if (!window && depth > 0) return true;
  for (const auto& w : busyWindows)
    if (w && (!window || w == window)) return true;
  return false;
}

void RunBusy(QWidget* window, const std::function<void()>& work) {
  if (!onWindowsThread() || !windowsRunning() || depth > 0) {
    work();
    return;
  }
  ++depth;
  struct Leave {
    ~Leave() { --depth; }
  } leave;
  QWidget* top = window ? window->window() : nullptr;
  // Looked up here, before the work starts: the language tables belong to this thread.
  const QString text = QString::fromStdString(context::GetLangText("正在等待数据库…"));

  auto job = std::make_shared<Job>();
  job->work = work;
  DatabaseThread::instance().post(job);
  std::unique_lock lock(job->mutex);
  const auto threshold = std::chrono::milliseconds(std::max(0, busySettings().thresholdMs));
  if (!job->answered.wait_for(lock, threshold, [&] { return job->done; })) {
    QEventLoop loop;
    QObject receiver;
    job->onDone = [&receiver, &loop] {
      QMetaObject::invokeMethod(&receiver, [&loop] { loop.quit(); }, Qt::QueuedConnection);
    };
    lock.unlock();
    BusyLook look(top, text);
    if (busySettings().onBusy) busySettings().onBusy(top);
    loop.exec();
    lock.lock();
  }
  if (job->failure) std::rethrow_exception(job->failure);
}

}  // namespace wayfind::widgets
