// ToolBar: rows of tools ("bands") whose tools are found by name, as the windows'
// commands are ("tlbNew", "tlbDelete" ...). A tool's caption is also its tooltip.
// A tool may have a shortcut key, which works anywhere in the tool's window and
// shows after the tooltip: "新建 (Ctrl+N)".
// A click on a tool, by the user or through ClickTool, raises toolClick(name);
// a disabled or hidden tool cannot be clicked. Each tool is a QAction whose
// objectName is the tool's name, and each band a QToolBar whose objectName is the
// band's name.
#pragma once

#include <QAction>
#include <QKeySequence>
#include <QToolBar>
#include <QWidget>
#include <map>
#include <string>
#include <vector>

namespace wayfind::widgets {

class ImageList;

class ToolBar : public QWidget {
  Q_OBJECT

 public:
  explicit ToolBar(QWidget* parent = nullptr);

  void SetImageList(const ImageList* images) { images_ = images; }
  // Bands are laid out one under the other, in the order added.
  QToolBar* AddBand(const std::string& name);
  QToolBar* Band(const std::string& name) const;  // 35601 when none
  std::vector<std::string> bandNames() const;

  // Adds a tool at the end of band; name must be new (35602). imageKey names an
  // icon of the image list (none when empty). showCaption puts the caption beside
  // the icon; the caption is the tooltip either way.
  QAction* AddTool(const std::string& band, const std::string& name, const std::string& caption,
                   const std::string& imageKey = {}, bool showCaption = true);
  void AddSeparator(const std::string& band);

  QAction* Tool(const std::string& name) const;  // 35601 when none
  bool HasTool(const std::string& name) const { return tools_.count(name) > 0; }
  std::vector<std::string> toolNames() const;  // in the order added

  std::string ToolCaption(const std::string& name) const;
  void SetToolCaption(const std::string& name, const std::string& caption);  // also the tooltip
  bool ToolEnabled(const std::string& name) const;
  void SetToolEnabled(const std::string& name, bool enabled);
  bool ToolVisible(const std::string& name) const;
  void SetToolVisible(const std::string& name, bool visible);
  // The tool's shortcut key (an empty sequence: none).
  void SetToolShortcut(const std::string& name, const QKeySequence& keys);
  QKeySequence ToolShortcut(const std::string& name) const;
  // The tooltip the tool shows: its caption's tooltip, and the shortcut after it.
  QString ToolTipShown(const std::string& name) const;
  bool ToolChecked(const std::string& name) const;
  void SetToolChecked(const std::string& name, bool checked);  // makes the tool a toggle

  // Clicks a tool as the user would: raises toolClick(name) when it is enabled and
  // visible; answers whether it did.
  bool ClickTool(const std::string& name);

 signals:
  void toolClick(const QString& name);

 private:
  bool eventFilter(QObject* watched, QEvent* event) override;

  const ImageList* images_ = nullptr;
  std::vector<std::pair<std::string, QToolBar*>> bands_;
  std::map<std::string, QAction*> tools_;
  std::vector<std::string> order_;
};

}  // namespace wayfind::widgets
