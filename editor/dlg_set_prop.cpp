#include "editor/dlg_set_prop.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QResizeEvent>
#include <QToolBar>
#include <QVBoxLayout>

#include "editor/handler_guard.h"
#include "widgets/help_window.h"
#include "widgets/image_list.h"
#include "widgets/title_panel.h"
#include "widgets/toolbar.h"
#include "widgets/twips.h"

namespace wayfind::editor {

using widgets::Grid;
using widgets::pixelsToTwips;
using widgets::twipsToPixels;

namespace {

// Design sizes of the form, in twips.
constexpr int kFormWidth = 13200;
constexpr int kFormHeight = 8400;
constexpr int kTreeWidth = 3600;
constexpr int kTitleHeight = 360;
constexpr int kGap = 80;          // between the tree and the grids
constexpr int kRightMargin = 100;
constexpr int kBottomMargin = 100;

struct ToolDesign {
  const char* name;
  const char* caption;
  const char* image;
  bool separatorBefore;
  QKeyCombination keys;  // the shortcut; none when empty
};

constexpr QKeyCombination kNoKeys{};

// The toolbar's tools, in their order on the band.
constexpr ToolDesign kTools[] = {
    {"New", "新建", "New", false, Qt::CTRL | Qt::Key_N},
    {"Modify", "属性", "Modify", false, Qt::CTRL | Qt::Key_E},
    {"Delete", "删除", "Delete", false, QKeyCombination(Qt::Key_Delete)},
    {"SetProps", "应用", "Apply", true, Qt::CTRL | Qt::Key_S},
    {"mnuAllUser", "应用对象", "Users", false, Qt::CTRL | Qt::Key_U},
    {"Refresh", "刷新", "Refresh", true, QKeyCombination(Qt::Key_F5)},
    {"mnudefault", "默认设置", "Default", false, Qt::CTRL | Qt::SHIFT | Qt::Key_R},
    {"Property", "选项", "Options", false, Qt::CTRL | Qt::Key_P},
    {"MoveUp", "向上移动", "Up", true, Qt::CTRL | Qt::Key_Up},
    {"MoveDown", "向下移动", "Down", false, Qt::CTRL | Qt::Key_Down},
    {"Import", "引入模板", "Import", true, Qt::CTRL | Qt::Key_I},
    {"Export", "引出模板", "Export", false, Qt::CTRL | Qt::SHIFT | Qt::Key_E},
    {"Close", "关闭", "Close", true, Qt::CTRL | Qt::Key_W},
    {"Help", "帮助", "Help", false, QKeyCombination(Qt::Key_F1)},
};

// "Back to the default": the refresh arrow turned the other way, in amber, so it
// reads as undoing rather than saving or reloading.
QIcon restoreIcon() {
  QImage image = widgets::standardIcon("Refresh").pixmap(32, 32).toImage().mirrored(true, false);
  image = image.convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const QColor c = image.pixelColor(x, y);
      if (c.alpha() > 0) image.setPixelColor(x, y, QColor(214, 132, 20, c.alpha()));
    }
  }
  return QIcon(QPixmap::fromImage(image));
}

}  // namespace

dlgSetProp::dlgSetProp(QWidget* parent) : widgets::Form(kFormName, parent) {
  widgets::SetHelpContext(*this, 520010);
  buildControls();
  connectEvents();
}

dlgSetProp::~dlgSetProp() = default;

void dlgSetProp::buildControls() {
  setWindowTitle(QStringLiteral("主控台编辑器"));
  resize(twipsToPixels(kFormWidth), twipsToPixels(kFormHeight));
  setMinimumSize(twipsToPixels(kFormWidth * 2 / 3), twipsToPixels(kFormHeight / 2));

  imgLstTB_ = widgets::ImageList::standard(this, {"List", "Top", "Sys", "Sub", "Detail", "New", "Modify", "Delete",
                                                  "Apply", "Users", "Refresh", "Save", "Options", "Up", "Down",
                                                  "Import", "Export", "Close"});
  imgLstTB_->setObjectName("imgLstTB");
  imgLstTB_->Add("Default", restoreIcon());

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);

  bar_ = new widgets::ToolBar(this);
  bar_->setObjectName("Bar");
  bar_->SetImageList(imgLstTB_);
  QToolBar* band = bar_->AddBand("bndTool");
  band->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  for (const auto& tool : kTools) {
    if (tool.separatorBefore) bar_->AddSeparator("bndTool");
    bar_->AddTool("bndTool", tool.name, tool.caption, tool.image, true);
    if (tool.keys != kNoKeys) bar_->SetToolShortcut(tool.name, QKeySequence(tool.keys));
  }
  layout->addWidget(bar_);

  // The client area below the toolbar; its controls are placed by FormResize.
  client_ = new QWidget(this);
  client_->setObjectName("client");
  layout->addWidget(client_, 1);

  SSPTitleClass_ = new widgets::TitlePanel(QStringLiteral("功能名称列表："), client_);
  SSPTitleClass_->setObjectName("SSPTitleClass");
  tvFunc_ = new widgets::KeyedTree(client_);
  tvFunc_->setObjectName("tvFunc");
  tvFunc_->SetImageList(imgLstTB_);
  SSPTitleItem_ = new widgets::TitlePanel(QStringLiteral("属性列表："), client_);
  SSPTitleItem_->setObjectName("SSPTitleItem");

  vaOutlineProp_ = new Grid(client_);
  vaOutlineProp_->setObjectName("vaOutlineProp");
  outlineView_ = std::make_unique<PropGridBinding>(model_.rows(RowKind::Outline), *vaOutlineProp_);
  outlineView_->setUpColumns();

  vaDetailProp_ = new Grid(client_);
  vaDetailProp_->setObjectName("vaDetailProp");
  detailView_ = std::make_unique<PropGridBinding>(model_.rows(RowKind::Detail), *vaDetailProp_);
  detailView_->setUpColumns();
  vaDetailProp_->hide();

  // Kept for the form's design; no behaviour is attached to it, so it is not shown.
  chkVisible_ = new QCheckBox(QStringLiteral("该功能不可见"), client_);
  chkVisible_->setObjectName("chkVisible");
  chkVisible_->hide();

  SSPTitleClass_->setFixedHeight(twipsToPixels(kTitleHeight));
  SSPTitleItem_->setFixedHeight(twipsToPixels(kTitleHeight));
  tvFunc_->resize(twipsToPixels(kTreeWidth), tvFunc_->height());
}

void dlgSetProp::connectEvents() {
  connect(tvFunc_, &widgets::KeyedTree::nodeClick, this,
          [this](widgets::TreeNode node) { RunGuarded([&] { NodeClick(node); }); });
  connect(tvFunc_, &widgets::KeyedTree::expand, this,
          [this](widgets::TreeNode node) { RunGuarded([&] { NodeExpand(node); }); });
  connect(tvFunc_, &widgets::KeyedTree::collapse, this,
          [this](widgets::TreeNode node) { RunGuarded([&] { NodeCollapse(node); }); });

  for (PropGridBinding* view : {outlineView_.get(), detailView_.get()}) {
    Grid* grid = &view->grid();
    connect(grid, &Grid::editChange, this, [this, view](int col, int row) {
      RunGuarded([&] { cellAction(*view, CellAction::Typing, col, row); });
    });
    connect(grid, &Grid::change, this, [this, view](int col, int row) {
      RunGuarded([&] { cellAction(*view, CellAction::Change, col, row); });
    });
    connect(grid, &Grid::clicked, this, [this, view](int col, int row) {
      RunGuarded([&] { cellAction(*view, CellAction::Click, col, row); });
    });
    // An edit ended with its text as it was (Esc, or keystrokes taken back by
    // hand) leaves nothing pending when nothing else is.
    connect(grid, &Grid::editEnd, this, [this, view](int, int) { RunGuarded([&] { dropPendingIfNothingToSave(*view); }); });
  }

  // Moving through a grid with the keys is like clicking the rows: the row
  // commands follow the row now active.
  for (Grid* grid : {vaOutlineProp_, vaDetailProp_})
    connect(grid, &QTableWidget::currentCellChanged, this,
            [this](int, int, int, int) { RunGuarded([&] { UpdateRowCommands(); }); });

  connect(bar_, &widgets::ToolBar::toolClick, this,
          [this](const QString& name) { ToolClick(name.toStdString()); });
}

void dlgSetProp::Form_Load() {
  RunGuarded([&] {
    // Nothing of an earlier showing survives: each load starts afresh.
    m_strCurKey.clear();
    model_.clearPending();
    m_blnModified = false;
    m_blnSaveShown = false;
    m_lngLevel = nav::kTopClassBase;
    // Columns kept but not offered (the enabled flag): their width goes to the
    // name and the help code.
    for (int col = 1; col <= model_.rows(RowKind::Detail).columnCount(); ++col) {
      if (!GridColumns(RowKind::Detail)[static_cast<size_t>(col - 1)]->editor.hidden) continue;
      const int w = vaDetailProp_->ColWidth(col);
      vaDetailProp_->SetColHidden(col, true);
      vaDetailProp_->SetColWidth(detail_col::kName, vaDetailProp_->ColWidth(detail_col::kName) + w / 2);
      vaDetailProp_->SetColWidth(detail_col::kHelpCode, vaDetailProp_->ColWidth(detail_col::kHelpCode) + w / 2);
    }
    // The names take whatever width the grids have beyond their other columns.
    vaOutlineProp_->horizontalHeader()->setSectionResizeMode(outline_col::kName - 1, QHeaderView::Stretch);
    vaDetailProp_->horizontalHeader()->setSectionResizeMode(detail_col::kName - 1, QHeaderView::Stretch);
    // Translated captions can be longer than the Chinese ones: the form is made
    // wide enough for every tool to show.
    const int toolsWidth = bar_->sizeHint().width() + 8;
    if (width() < toolsWidth) resize(toolsWidth, height());
    FormResize();
    RefreshTree();
    SetSaveState(false);
    UpdateRowCommands();
    // The user starts at the tree: Tab goes on into the grid, Ctrl+Tab out of it.
    tvFunc_->setFocus(Qt::OtherFocusReason);
  });
}

void dlgSetProp::Form_QueryUnload(bool& cancel) {
  // The pending edits are offered for saving, with the editor still on the
  // screen so the user sees what the question is about, and the form goes; when
  // the user wanted them saved and they could not be, the editor stays open with
  // them. Esc closes the same way.
  vaOutlineProp_->CommitEdit();
  vaDetailProp_->CommitEdit();
  RunGuarded([&] {
    if (model_.pending() && !SaveChanges(true, nullptr)) cancel = true;
  });
}

void dlgSetProp::resizeEvent(QResizeEvent* event) {
  widgets::Form::resizeEvent(event);
  RunGuarded([&] { FormResize(); });
}

void dlgSetProp::FormResize() {
  if (!client_) return;
  // The client area is laid out by the window's layout; its size may lag behind
  // the form's while the form is not shown, so it is taken from the form.
  const int formWidth = pixelsToTwips(width());
  const int clientHeight =
      pixelsToTwips(std::max(0, height() - bar_->sizeHint().height() - 2));
  SSPTitleClass_->move(0, 0);
  SSPTitleClass_->resize(tvFunc_->width(), SSPTitleClass_->height());
  const int titleHeight = pixelsToTwips(SSPTitleClass_->height());
  // The tree and the grids follow the form's height as well as its width.
  const int listHeight = std::max(pixelsToTwips(40), clientHeight - titleHeight - kBottomMargin);
  tvFunc_->move(0, twipsToPixels(titleHeight));
  tvFunc_->resize(tvFunc_->width(), twipsToPixels(listHeight));

  const int itemLeft = pixelsToTwips(SSPTitleClass_->width()) + kGap;
  const int itemWidth = std::max(pixelsToTwips(40), formWidth - itemLeft - kRightMargin);
  SSPTitleItem_->move(twipsToPixels(itemLeft), 0);
  SSPTitleItem_->resize(twipsToPixels(itemWidth), SSPTitleItem_->height());

  const QRect gridArea(twipsToPixels(itemLeft), SSPTitleItem_->height(), twipsToPixels(itemWidth),
                       tvFunc_->height());
  vaOutlineProp_->setGeometry(gridArea);
  vaDetailProp_->setGeometry(gridArea);
}

Grid* dlgSetProp::visibleGrid() const { return vaOutlineProp_->isHidden() ? vaDetailProp_ : vaOutlineProp_; }

PropGridBinding& dlgSetProp::visibleView() const { return vaOutlineProp_->isHidden() ? *detailView_ : *outlineView_; }

}  // namespace wayfind::editor
