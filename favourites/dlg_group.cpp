#include "favourites/dlg_group.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <memory>

#include "erp/api/progids.h"
#include "platform/automation/conversions.h"
#include "platform/automation/registry.h"
#include "platform/recordset/recordset.h"
#include "store/datas_info.h"
#include "widgets/form_registry.h"
#include "widgets/help_window.h"
#include "widgets/modal_runner.h"
#include "widgets/twips.h"
#include "widgets/twips_layout.h"
#include "widgets/windows_runtime.h"

namespace wayfind::favourites {

using widgets::twipsToPixels;

namespace {

using widgets::Box;

constexpr int kFormWidth = 5700;
constexpr int kFormHeight = 1920;
constexpr Box kLabel1{240, 240, 5220, 270};
constexpr Box kCboGroup{240, 600, 5220, 345};
constexpr Box kCmdOk{4260, 1260, 1200, 405};

using widgets::place;

// The user's groups, in record order, as the caller of the dialog fills it.
void fillFromStore(dlgGroup& dlg) {
  auto info = store::newDatasInfo();
  auto rs = info->GetNormalFuncGroup().objectAs<platform::Recordset>();
  for (; rs && !rs->isEOF(); rs->MoveNext()) {
    dlg.AddGroup(platform::fieldText(*rs, "FFuncGroupName"), platform::CLng(rs->value("FFuncGroupID")));
  }
}

}  // namespace

dlgGroup::dlgGroup() : widgets::Form(kFormName) {
  widgets::SetHelpContext(*this, 520016);
  setWindowTitle(QStringLiteral("常用功能组"));
  setFixedSize(twipsToPixels(kFormWidth), twipsToPixels(kFormHeight));

  Label1 = place<QLabel>(this, "Label1", kLabel1, QStringLiteral("请选择要添加到的常用功能组："));
  cboGroup = new QComboBox(this);  // a list to choose from, no free text
  cboGroup->setObjectName("cboGroup");
  cboGroup->setProperty("wayfindNoTranslate", true);  // the user's own group names
  place(cboGroup, kCboGroup);
  cmdOk = new QPushButton(QStringLiteral("确定(&O)"), this);
  cmdOk->setObjectName("cmdOk");
  cmdOk->setDefault(true);
  place(cmdOk, kCmdOk);
  connect(cmdOk, &QPushButton::clicked, this, [this] { cmdOk_Click(); });
}

void dlgGroup::Form_Load() {
  cboGroup->clear();
  m_lGruopID = -1;
}

void dlgGroup::AddGroup(const std::string& name, int32_t groupId) {
  cboGroup->addItem(QString::fromStdString(name), QVariant(groupId));
}

void dlgGroup::showEvent(QShowEvent* event) {
  widgets::Form::showEvent(event);
  if (!event->spontaneous() && cboGroup->count() > 0) cboGroup->setCurrentIndex(0);
}

void dlgGroup::cmdOk_Click() {
  const int index = cboGroup->currentIndex();
  // An empty list leaves nothing to choose: the answer stays -1.
  if (index >= 0) m_lGruopID = cboGroup->itemData(index).toInt();
  setResult(QDialog::Accepted);
  Unload();
}

int32_t DialogGroupChooser::choose(const std::vector<update::GroupChoice>& groups) {
  dlgGroup dlg;
  dlg.Load();
  for (const update::GroupChoice& g : groups) dlg.AddGroup(g.name, g.groupId);
  dlg.ShowModal();
  return dlg.m_lGruopID;
}

void dlgGroup::Register() {
  widgets::registerForm<dlgGroup>([](widgets::Form& form) { fillFromStore(static_cast<dlgGroup&>(form)); });
  // While the windows run, a function added without a group asks through dlgGroup.
  widgets::onWindowsStart([] { update::installGroupChooser(std::make_shared<DialogGroupChooser>()); });
  widgets::onWindowsStop([] { update::installGroupChooser(nullptr); });
}

}  // namespace wayfind::favourites
