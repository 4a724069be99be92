// TitlePanel: the raised caption strip above a tree or grid ("功能名称列表：").
// Its caption is translated with the window's other captions.
#pragma once

#include <QLabel>
#include <string>

namespace wayfind::widgets {

class TitlePanel : public QLabel {
  Q_OBJECT

 public:
  explicit TitlePanel(const QString& caption = {}, QWidget* parent = nullptr);
  std::string Caption() const { return text().toStdString(); }
  void SetCaption(const std::string& caption) { setText(QString::fromStdString(caption)); }
};

}  // namespace wayfind::widgets
