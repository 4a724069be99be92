#include "widgets/title_panel.h"

namespace wayfind::widgets {

TitlePanel::TitlePanel(const QString& caption, QWidget* parent) : QLabel(caption, parent) {
  setFrameStyle(QFrame::Panel | QFrame::Raised);
  setLineWidth(1);
  setMargin(3);
  setAutoFillBackground(true);
  setBackgroundRole(QPalette::Button);
  setMinimumHeight(22);
  setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

}  // namespace wayfind::widgets
