#include "app/console/function_chooser.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "context/language.h"
#include "widgets/modal_runner.h"

namespace wayfind::app::console {

namespace {
QString lang(const char* chinese) { return QString::fromStdString(context::GetLangText(chinese)); }
}  // namespace

std::optional<NavItem> chooseFunction(QWidget* parent, const std::vector<NavItem>& functions) {
  QDialog dialog(parent);
  dialog.setObjectName("dlgChooseFunction");
  dialog.setWindowTitle(lang("选择功能"));
  auto* layout = new QVBoxLayout(&dialog);
  auto* prompt = new QLabel(lang("有多个功能使用这个助记码，请选择要启动的功能："), &dialog);
  prompt->setWordWrap(true);
  layout->addWidget(prompt);
  auto* list = new QListWidget(&dialog);
  list->setObjectName("lstFunctions");
  list->setAccessibleName(lang("功能"));
  for (const auto& f : functions) {
    QString text = QString::fromStdString(f.name);
    if (!f.helpCode.empty()) text += "  [" + QString::fromStdString(f.helpCode) + "]";
    if (!f.className.empty()) text += "  " + QString::fromStdString(f.className);
    list->addItem(text);
  }
  list->setCurrentRow(0);
  prompt->setBuddy(list);
  layout->addWidget(list);
  auto* buttons = new QDialogButtonBox(&dialog);
  auto* cmdOk = buttons->addButton(lang("确定(&O)"), QDialogButtonBox::AcceptRole);
  cmdOk->setObjectName("cmdOk");
  cmdOk->setDefault(true);
  buttons->addButton(lang("取消(&C)"), QDialogButtonBox::RejectRole)->setObjectName("cmdCancel");
  layout->addWidget(buttons);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  QObject::connect(list, &QListWidget::itemActivated, &dialog, &QDialog::accept);

  if (widgets::runModal(dialog) != QDialog::Accepted) return std::nullopt;
  const int row = list->currentRow();
  if (row < 0 || row >= static_cast<int>(functions.size())) return std::nullopt;
  return functions[static_cast<size_t>(row)];
}

}  // namespace wayfind::app::console
