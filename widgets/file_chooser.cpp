#include "widgets/file_chooser.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStringList>

#include "context/language.h"
#include "platform/automation/automation_error.h"
#include "widgets/qt_translations.h"

namespace wayfind::widgets {

namespace {

[[noreturn]] void cancelled() {
  throw platform::AutomationError(kErrCancel, "CommonDialog", "Cancel was selected.");
}

}  // namespace

std::string qtFilterOf(const std::string& filter) {
  const QStringList parts = QString::fromStdString(filter).split('|');
  QStringList out;
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    QString description = parts[i];
    QString patterns = parts[i + 1];
    patterns.replace(';', ' ');
    // Qt reads the patterns from the parentheses at the end of an entry; a
    // description that already ends with them is used as it is.
    if (description.trimmed().endsWith("(" + patterns + ")"))
      out << description.trimmed();
    else
      out << description + " (" + patterns + ")";
  }
  if (parts.size() % 2 == 1 && !parts.last().isEmpty()) out << parts.last();
  return out.join(";;").toStdString();
}

std::string withDefaultExtension(const std::string& path, const std::string& defaultExt) {
  if (path.empty() || defaultExt.empty()) return path;
  const QFileInfo info(QString::fromStdString(path));
  if (!info.suffix().isEmpty()) return path;
  std::string ext = defaultExt;
  if (!ext.empty() && ext.front() == '.') ext.erase(0, 1);
  return path + "." + ext;
}

std::string ChooseFile(const FileRequest& request, QWidget* parent) {
  auto& script = FileChooserScript::instance();
  if (script.active) {
    script.requests.push_back(request);
    if (script.answers.empty()) cancelled();
    std::optional<std::string> answer = script.answers.front();
    script.answers.erase(script.answers.begin());
    if (!answer) cancelled();
    return withDefaultExtension(*answer, request.defaultExt);
  }

  UseQtTranslations();  // the dialog's own texts in the session's language
  QFileDialog dialog(parent, QString::fromStdString(request.title));
  dialog.setObjectName("dlgFile");
  dialog.setOption(QFileDialog::DontUseNativeDialog, false);
  const QString start = request.initialDir.empty() ? QDir::homePath() : QString::fromStdString(request.initialDir);
  dialog.setDirectory(start);
  if (!request.filter.empty()) dialog.setNameFilter(QString::fromStdString(qtFilterOf(request.filter)));
  if (!request.defaultExt.empty()) dialog.setDefaultSuffix(QString::fromStdString(request.defaultExt));
  if (!request.fileName.empty()) dialog.selectFile(QString::fromStdString(request.fileName));
  if (request.save) {
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
  } else {
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(request.mustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) cancelled();
  return withDefaultExtension(dialog.selectedFiles().first().toStdString(), request.defaultExt);
}

FileChooserScript& FileChooserScript::instance() {
  static FileChooserScript script;
  return script;
}

ScopedFileChoices::ScopedFileChoices(std::vector<std::optional<std::string>> answers)
    : wasActive_(FileChooserScript::instance().active) {
  auto& script = FileChooserScript::instance();
  script.reset();
  script.active = true;
  script.answers = std::move(answers);
}

ScopedFileChoices::~ScopedFileChoices() {
  auto& script = FileChooserScript::instance();
  script.reset();
  script.active = wasActive_;
}

}  // namespace wayfind::widgets
