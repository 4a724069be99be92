#include "widgets/help_window.h"

#include <QApplication>
#include <QImage>
#include <QResizeEvent>
#include <QPointer>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QUrl>
#include <algorithm>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>
#include <optional>

#include "context/language.h"
#include "erp/api/progids.h"
#include "platform/automation/registry.h"
#include "context/login_props.h"
#include "widgets/accessible_names.h"
#include "widgets/form_registry.h"
#include "widgets/windows_runtime.h"

namespace wayfind::widgets {

namespace {

constexpr const char* kHelpContextProperty = "wayfindHelpContext";

// The name of the picture as the page gives it, kept on a picture shown scaled.
constexpr int kSourceNameProperty = QTextFormat::UserProperty + 1;

// The help window may belong to a window that goes before it: a guarded pointer.
QPointer<HelpWindow>& current() {
  static QPointer<HelpWindow> window;
  return window;
}

QString lang(const char* chinese) { return QString::fromStdString(context::GetLangText(chinese)); }

// While the windows run, the help viewer presents its topics in the help window.
class HelpWindowPresenter : public erp::api::IHelpPresenter {
 public:
  void Present(const erp::api::HelpTopic& topic) override { HelpWindow::instance().ShowTopic(topic); }
};

std::optional<platform::Registry::Entry>& previousPresenter() {
  static std::optional<platform::Registry::Entry> entry;
  return entry;
}

}  // namespace

void PresentHelpInTheWindow() {
  auto& registry = platform::Registry::instance();
  previousPresenter() = registry.entry(erp::progid::kHelpPresenter);
  registry.add(erp::progid::kHelpPresenter, [] { return std::make_shared<HelpWindowPresenter>(); });
}

void StopPresentingHelp() {
  auto& registry = platform::Registry::instance();
  if (auto& previous = previousPresenter())
    registry.add(erp::progid::kHelpPresenter, previous->factory, previous->classId);
  else
    registry.remove(erp::progid::kHelpPresenter);
  previousPresenter().reset();
  HelpWindow::release();
}

void SetHelpContext(QWidget& window, int32_t context) { window.setProperty(kHelpContextProperty, context); }

int32_t HelpContextOf(const QWidget& window) { return window.property(kHelpContextProperty).toInt(); }

int32_t HelpContextOf(const std::string& formName) {
  return forms().contains(formName) ? HelpContextOf(*forms().form(formName)) : 0;
}

void ShowHelpFor(const QWidget& window) {
  if (const int32_t context = HelpContextOf(window)) context::ShowHELP(112, context, "", 0, "", 0);
}

void ShowHelpFor(const std::string& formName) {
  if (const int32_t context = HelpContextOf(formName)) context::ShowHELP(112, context, "", 0, "", 0);
}

HelpWindow& HelpWindow::instance() {
  if (!current()) current() = new HelpWindow;
  return *current();
}

void HelpWindow::release() { delete current().data(); }

HelpWindow::HelpWindow() {
  setObjectName("frmHelp");
  setModal(false);
  setAttribute(Qt::WA_DeleteOnClose, false);
  txtHelp = new QTextBrowser(this);
  txtHelp->setObjectName("txtHelp");
  txtHelp->setOpenLinks(false);
  cmdClose = new QPushButton(this);
  cmdClose->setObjectName("cmdClose");
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(cmdClose);
  auto* all = new QVBoxLayout(this);
  all->addWidget(txtHelp, 1);
  all->addLayout(buttons);
  resize(720, 640);
  connect(cmdClose, &QPushButton::clicked, this, &QDialog::close);
}

void HelpWindow::fitPictures() {
  // A window's picture is shown whole: narrowed to the help's width when wider,
  // never wider than drawn. It is scaled smoothly to the screen's pixels, so its
  // small print stays readable, and again whenever the help window's width changes.
  const int room = std::max(320, width() - 70);  // the window is laid out later: its own width tells
  const qreal ratio = devicePixelRatioF();
  QTextDocument* document = txtHelp->document();
  for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      QTextFragment fragment = it.fragment();
      if (!fragment.charFormat().isImageFormat()) continue;
      QTextImageFormat image = fragment.charFormat().toImageFormat();
      // The picture as drawn, under the name the page gives it.
      QString source = image.property(kSourceNameProperty).toString();
      if (source.isEmpty()) source = image.name();
      const QImage picture = document->resource(QTextDocument::ImageResource, QUrl(source)).value<QImage>();
      if (picture.isNull()) continue;
      const int shownWidth = std::min(room, picture.width());
      const int shownHeight = static_cast<int>(double(picture.height()) * shownWidth / picture.width());
      QImage fitted = picture.scaled(QSize(qRound(shownWidth * ratio), qRound(shownHeight * ratio)),
                                     Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
      fitted.setDevicePixelRatio(ratio);
      const QString fittedName = source + QString("#%1x%2").arg(fitted.width()).arg(fitted.height());
      document->addResource(QTextDocument::ImageResource, QUrl(fittedName), fitted);
      image.setProperty(kSourceNameProperty, source);
      image.setName(fittedName);
      image.setWidth(shownWidth);
      image.setHeight(shownHeight);
      QTextCursor cursor(document);
      cursor.setPosition(fragment.position());
      cursor.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
      cursor.setCharFormat(image);
    }
  }
}

void HelpWindow::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  if (event->size().width() != event->oldSize().width()) fitPictures();
}

void HelpWindow::ShowTopic(const erp::api::HelpTopic& topic) {
  // Above the window that asked, so its modality does not shut the help out.
  QWidget* owner = QApplication::activeModalWidget() ? QApplication::activeModalWidget()
                                                     : QApplication::activeWindow();
  if (owner == this) owner = parentWidget();
  if (owner != parentWidget()) setParent(owner, Qt::Dialog);
  context_ = topic.helpContext;
  const QString title = QString::fromStdString(topic.title);
  setWindowTitle(lang("帮助") + " - " + title);
  cmdClose->setText(lang("关闭(&C)"));
  txtHelp->setAccessibleName(title);
  txtHelp->setSearchPaths({QString::fromStdString(topic.file.parent_path().string())});
  txtHelp->setMarkdown("# " + title + "\n\n" + QString::fromStdString(topic.text));
  fitPictures();
  NameControls(this);
  show();
  raise();
  activateWindow();
}

}  // namespace wayfind::widgets
