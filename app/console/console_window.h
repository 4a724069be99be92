// frmConsole: the main console a host of the component shows. It reads the user's
// navigation tree level by level and the favourites groups through DatasInfo,
// starts a detail function by a click in the tree, by its help code or from the
// search results, and opens the three editors through WayfindInfo.Application,
// created by its ProgID as any host creates it. After an editor closes it shows
// the tree and favourites as they now stand.
//
// This program carries out no business function of its own: starting a function
// shows what would run (class name, parameter, function name) in the status bar
// and the function panel, and adds it to the list of recently started functions.
#pragma once

#include <QMainWindow>
#include <QSet>
#include <QString>
#include <functional>
#include <memory>
#include <string>

#include "app/console/console_settings.h"
#include "app/console/function_search.h"
#include "app/console/nav_source.h"
#include "app/console/recent_functions.h"

class QLabel;
class QLayout;
class QLineEdit;
class QMenu;
class QListWidget;
class QSplitter;
class QTabWidget;
class QTreeWidget;
class QTreeWidgetItem;
class QActionGroup;
class QTimer;

namespace wayfind::app::console {

class ConsoleWindow : public QMainWindow {
  Q_OBJECT

 public:
  explicit ConsoleWindow(QWidget* parent = nullptr);
  ~ConsoleWindow() override;

  // Reads the settings, the tree's top level and the favourites; false when that
  // failed (the failure is reported).
  bool load();
  // Reads everything again as the store now holds it, keeping the open branches
  // and the selected node where they still exist.
  void refresh();

  // The three editors, through WayfindInfo.Application.
  void openConsoleEditor();
  void openFavouritesEditor();
  void openOptions();

  // Starts the function a help code names; false (and a note in the status bar)
  // when no function the user may start has that code. When several have it, the
  // user picks one (dlgChooseFunction); false when the user picks none.
  bool startByHelpCode(const QString& helpCode);
  // Starts a detail function: shows what would run and remembers it. A disabled
  // function does not start (false, and a note in the status bar).
  bool startFunction(const NavItem& function);

  // The menu of a node of the tree (the user's right click, or the menu key): for
  // a detail function "加入常用功能". Null for nodes without commands.
  QMenu* contextMenuFor(QTreeWidgetItem* item);
  // Adds a detail function of the tree to the user's favourites; the update asks
  // which group when the user has several. False when nothing was added.
  bool addToFavourites(QTreeWidgetItem* item);

  // Expands the tree down to a detail function and selects it; an id of 0 stops
  // at the level above (selects a top class, subsystem or sub-function).
  bool selectFunction(int32_t topClassId, int32_t subSysId, int32_t subFuncId, int32_t detailFuncId);

  const ConsoleSettings& settings() const { return settings_; }
  const RecentFunctions& recent() const { return recent_; }
  QTreeWidget* menuTree() const { return tvMenu_; }
  // The captions that had no translation in the language of the process.
  const std::string& untranslated() const { return untranslated_; }

 protected:
  bool event(QEvent* event) override;

 private:
  void buildUi();
  // The steps of buildUi.
  void buildNavigation();
  void buildWorkArea();
  QLayout* buildHelpCodeRow();
  QWidget* buildSearch();
  QWidget* buildStartedFunction();
  void buildSiteBar();
  void placePanes();
  void connectNavigation();
  void connectFindKeys();
  void connectWorkArea();
  void buildMenus();
  void nameControls();
  void applySettings();
  void fillTopLevel();
  void fillFavourites();
  void fillChildren(QTreeWidgetItem* item);
  void reloadChildren(QTreeWidgetItem* item);
  void updateSiteLinks();
  void updateRecentList();
  void runSearch(const QString& text);
  void prepareSearch();
  void chooseLanguage(const QString& code);
  void onItemSelected(QTreeWidgetItem* item);
  void onItemClicked(QTreeWidgetItem* item, bool doubleClick);
  void activate(QTreeWidgetItem* item);
  // Starts the function as it stands now at its place (sub-function); a place of
  // 0 is the function by its id, named and with the help code as shown (a
  // favourites entry), so every list names it as the view it started from.
  void startAt(int32_t subFuncId, int32_t detailFuncId, const QString& shownName = {},
               const QString& shownHelpCode = {});
  // Runs one of the console's reads or an editor; a failure is reported through
  // the message service and the console stays as it was.
  bool guarded(const std::function<void()>& work);
  QTreeWidgetItem* childByKey(QTreeWidgetItem* parent, const QString& key) const;
  QTreeWidgetItem* findTop(const QString& key) const;
  void showStatus(const QString& text);

  NavSource source_;
  ConsoleSettings settings_;
  RecentFunctions recent_;
  std::unique_ptr<FunctionSearch> search_;
  QSet<QString> expandedKeys_;

  QSplitter* splitter_ = nullptr;
  QWidget* navPanel_ = nullptr;
  QWidget* workPanel_ = nullptr;
  QTabWidget* tabNav_ = nullptr;
  QTreeWidget* tvMenu_ = nullptr;
  QTreeWidget* tvNormal_ = nullptr;
  QLineEdit* txtHelpCode_ = nullptr;
  QLineEdit* txtSearch_ = nullptr;
  QTreeWidget* lvResult_ = nullptr;
  QListWidget* lstRecent_ = nullptr;
  QLabel* lblFuncName_ = nullptr;
  QLabel* lblClassName_ = nullptr;
  QLabel* lblClassParam_ = nullptr;
  QWidget* siteBar_ = nullptr;
  QLabel* lblSites_[3] = {nullptr, nullptr, nullptr};
  QActionGroup* languageGroup_ = nullptr;
  QTimer* prepareTimer_ = nullptr;
  // The window has painted once: until then the search's preparing waits, so the
  // first paint comes as soon as the window is built.
  bool painted_ = false;
  std::string untranslated_;
};

}  // namespace wayfind::app::console
