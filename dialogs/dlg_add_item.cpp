#include "dialogs/dlg_add_item.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <initializer_list>
#include <string_view>

#include "context/language.h"
#include "context/login_props.h"
#include "context/save_outcome.h"
#include "erp/api/save_conflicts.h"
#include "erp/api/message_service.h"
#include "erp/api/server_datas_update.h"
#include "erp/api/progids.h"
#include "platform/automation/automation_error.h"
#include "platform/automation/conversions.h"
#include "platform/automation/registry.h"
#include "platform/containers/dictionary.h"
#include "platform/navigation/node_keys.h"
#include "store/datas_info.h"
#include "update/datas_update.h"
#include "widgets/busy_state.h"
#include "widgets/file_chooser.h"
#include "widgets/form_registry.h"
#include "widgets/help_window.h"
#include "widgets/twips.h"
#include "widgets/twips_layout.h"

namespace wayfind::dialogs {

using platform::AutomationError;
using platform::Variant;
using widgets::twipsToPixels;

namespace {

// The designed layout, in twips. Every mode but the detail function hides the
// path and help-code rows and shrinks the dialog from this.
using widgets::Box;
constexpr int kFormWidth = 6000;
constexpr int kFormHeight = 2640;
constexpr Box kLblName{240, 285, 1500, 270};
constexpr Box kTxtName{1800, 240, 3960, 345};
constexpr Box kLblZJM{240, 765, 1500, 270};
constexpr Box kTxtHelpCode{1800, 720, 3960, 345};
constexpr Box kLblPath{240, 1245, 1500, 270};
constexpr Box kTxtPrgPath{1800, 1200, 3480, 345};
constexpr Box kBtnOpen{5340, 1200, 420, 345};
constexpr Box kBtnOk{3240, 1920, 1200, 405};
constexpr Box kBtnCancel{4560, 1920, 1200, 405};
// The favourites-group mode in English: the longer label needs the name box
// further right.
constexpr int kGroupNameLeftEn = 2300;
constexpr int kGroupNameNarrowerEn = 700;

constexpr size_t kMaxName = 50;
constexpr size_t kMaxHelpCode = 50;
constexpr size_t kMaxPath = 255;

constexpr const char* kSource = "WayfindInfo.dlgAddItem";

// The mode key of a new favourites group ("Grp" and the group's number).
constexpr std::string_view kGroupPrefix = "Grp";

// The level numbers of the items the dialog creates.
constexpr int32_t kTopClass = nav::LevelNumber(nav::Level::TopClass);
constexpr int32_t kSubSystem = nav::LevelNumber(nav::Level::SubSystem);
constexpr int32_t kSubFunc = nav::LevelNumber(nav::Level::SubFunc);
constexpr int32_t kDetailFunc = nav::LevelNumber(nav::Level::DetailFunc);

using widgets::place;

std::string textOf(const QLineEdit* box) { return box->text().toStdString(); }
std::string trimmed(const QLineEdit* box) { return platform::trimSpaces(textOf(box)); }


// Refuses, as they are typed, the characters that break the stored texts: single
// and double quote, comma and slash (a program's path needs its slashes). Pasted
// text is not filtered.
class RefusedCharacters : public QObject {
 public:
  RefusedCharacters(QString refused, QObject* parent) : QObject(parent), refused_(std::move(refused)) {}
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::KeyPress) {
      const QString typed = static_cast<QKeyEvent*>(event)->text();
      if (typed.size() == 1 && refused_.contains(typed.at(0))) return true;
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  QString refused_;
};

[[noreturn]] void notCreated() {
  throw AutomationError(platform::err::kInvalidProcedureCall, kSource, context::GetLangText("新建项目失败。"));
}

}  // namespace

dlgAddItem::dlgAddItem() : widgets::Form(kFormName) {
  widgets::SetHelpContext(*this, 520013);
  setWindowTitle(QStringLiteral("新建项目"));

  auto label = [this](const char* name, const char* caption) {
    auto* l = new QLabel(QString::fromUtf8(caption), this);
    l->setObjectName(name);
    return l;
  };
  auto edit = [this](const char* name) {
    auto* e = new QLineEdit(this);
    e->setObjectName(name);
    return e;
  };
  auto button = [this](const char* name, const char* caption) {
    auto* b = new QPushButton(QString::fromUtf8(caption), this);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
  };
  lblName = label("lblName", "项目名称：");
  txtName = edit("txtName");
  lblZJM = label("lblZJM", "助记码：");
  txtHelpCode = edit("txtHelpCode");
  lblPath = label("lblPath", "程序路径：");
  txtPrgPath = edit("txtPrgPath");
  btnOpen = button("btnOpen", ">");
  btnOpen->setToolTip("选择程序路径");
  btnOk = button("btnOk", "确定(&O)");
  btnCancel = button("btnCancel", "取消(&N)");
  btnOk->setDefault(true);
  designedLayout();

  auto* filter = new RefusedCharacters(QStringLiteral("'\",/"), this);
  for (QLineEdit* box : {txtName, txtHelpCode}) box->installEventFilter(filter);
  txtPrgPath->installEventFilter(new RefusedCharacters(QStringLiteral("'\","), this));

  connect(btnOk, &QPushButton::clicked, this, [this] { btnOk_Click(); });
  connect(btnCancel, &QPushButton::clicked, this, [this] { btnCancel_Click(); });
  connect(btnOpen, &QPushButton::clicked, this, [this] { btnOpen_Click(); });
}

void dlgAddItem::designedLayout() {
  setFixedSize(twipsToPixels(kFormWidth), twipsToPixels(kFormHeight));
  place(lblName, kLblName);
  place(txtName, kTxtName);
  place(lblZJM, kLblZJM);
  place(txtHelpCode, kTxtHelpCode);
  place(lblPath, kLblPath);
  place(txtPrgPath, kTxtPrgPath);
  place(btnOpen, kBtnOpen);
  place(btnOk, kBtnOk);
  place(btnCancel, kBtnCancel);
  for (QWidget* w : std::initializer_list<QWidget*>{lblZJM, txtHelpCode, lblPath, txtPrgPath, btnOpen}) w->show();
}

void dlgAddItem::Form_Load() {
  // A form loaded again starts as designed: its captions, empty boxes, no answer,
  // the full layout. The captions of the modes are looked up here, after the
  // form's resources were applied.
  setWindowTitle(QString::fromStdString(context::GetLangText("新建项目")));
  lblName->setText(QString::fromStdString(context::GetLangText("项目名称：")));
  Tag = Variant();
  levelNumber_ = 0;
  parentId_ = 0;
  group_ = false;
  ReadValues.clear();
  txtName->clear();
  txtHelpCode->clear();
  txtPrgPath->clear();
  designedLayout();

  if (curLevel == "EditDetail") {
    setWindowTitle(QString::fromStdString(context::GetLangText("修改项目")));
    levelNumber_ = kDetailFunc;
    lookUpDetailFunc();
  } else {
    // A new item goes one level below the node whose key the mode is; a group
    // sits where a subsystem would.
    if (nav::KeyPrefix(curLevel) == kGroupPrefix) {
      levelNumber_ = kSubSystem;
      group_ = true;
    } else if (const auto level = nav::ChildLevelOfKey(curLevel)) {
      levelNumber_ = nav::LevelNumber(*level);
    }
    parentId_ = nav::KeyId(curLevel).value_or(0);
    if (group_) {
      setWindowTitle(QString::fromStdString(context::GetLangText("新增常用功能组")));
      lblName->setText(QString::fromStdString(context::GetLangText("常用功能组:")));
      if (context::DetectLanguage() == context::kLangEn)
        place(txtName, {kGroupNameLeftEn, kTxtName.top, kTxtName.width - kGroupNameNarrowerEn, kTxtName.height});
    }
  }
  layoutForLevel();
}

void dlgAddItem::lookUpDetailFunc() {
  try {
    auto info = store::newDatasInfo();
    auto rs = info->GetDetailFuncInfo(DetailFuncID);
    if (!rs || rs->isEOF()) return;
    txtPrgPath->setText(QString::fromStdString(platform::fieldText(*rs, "FClassName")));
    txtHelpCode->setText(QString::fromStdString(platform::fieldText(*rs, "FHelpCode")));
    ReadValues["ClassName"] = platform::fieldText(*rs, "FClassName");
  } catch (const AutomationError& e) {
    erp::api::messages().reportError(e);
  }
}

void dlgAddItem::layoutForLevel() {
  if (levelNumber_ == kDetailFunc) return;
  for (QWidget* w : std::initializer_list<QWidget*>{lblZJM, txtHelpCode, lblPath, txtPrgPath, btnOpen}) w->hide();
  setFixedSize(twipsToPixels(kFormWidth), twipsToPixels(static_cast<int>(kFormHeight / 1.5)));
  place(btnOk, {kBtnOk.left, kBtnOk.top / 2, kBtnOk.width, kBtnOk.height});
  place(btnCancel, {kBtnCancel.left, kBtnCancel.top / 2, kBtnCancel.width, kBtnCancel.height});
}

void dlgAddItem::showEvent(QShowEvent* event) {
  widgets::Form::showEvent(event);
  if (!event->spontaneous()) Form_Activate();
}

void dlgAddItem::Form_Activate() {
  if (!group_) return;
  txtName->clear();
  txtName->setFocus();
}

bool dlgAddItem::ValidateInput() {
  auto refuse = [](QLineEdit* box, const char* message) {
    erp::api::messages().warn(context::GetLangText(message));
    box->setFocus();
    return false;
  };
  const std::string name = trimmed(txtName);
  const std::string helpCode = trimmed(txtHelpCode);
  const std::string path = trimmed(txtPrgPath);
  if (platform::isBlankText(name)) return refuse(txtName, "项目名称不能为空，请重新输入。");
  if (levelNumber_ == kDetailFunc && path.empty()) return refuse(txtPrgPath, "程序路径不能为空，请重新输入。");
  if (platform::charLength(name) > kMaxName) return refuse(txtName, "项目名称超过了50个字符，请重新输入。");
  if (platform::charLength(helpCode) > kMaxHelpCode) return refuse(txtHelpCode, "助记码超过了50个字符，请重新输入。");
  if (platform::charLength(path) > kMaxPath) return refuse(txtPrgPath, "程序路径超过了255个字符，请重新输入。");
  // The path checked is the one stored: without blanks around it.
  if (levelNumber_ == kDetailFunc && !erp::api::messages().fileExists(path))
    return refuse(txtPrgPath, "程序路径不存在，请重新输入。");
  return true;
}

void dlgAddItem::btnOk_Click() {
  if (!ValidateInput()) return;
  try {
    createItem();
  } catch (const AutomationError& e) {
    erp::api::messages().reportError(e);
    return;
  }
  Tag = Variant("OK");
  setResult(QDialog::Accepted);
  HideForm();
}

void dlgAddItem::btnCancel_Click() {
  Tag = Variant("Cancel");
  setResult(QDialog::Rejected);
  HideForm();
}

void dlgAddItem::createItem() {
  // What the user typed is read here; the calls to the component run while the
  // dialog waits in its busy state.
  const std::string name = trimmed(txtName);
  const std::string helpCode = trimmed(txtHelpCode);
  const std::string path = trimmed(txtPrgPath);
  if (curLevel == "EditDetail") {
    modifyDetail(name, helpCode, path);
    return;
  }
  widgets::RunBusy(this, [&] { storeItem(name, helpCode, path); });
}

void dlgAddItem::modifyDetail(const std::string& name, const std::string& helpCode, const std::string& path) {
  auto dict = std::make_shared<platform::Dictionary>();
  auto read = std::make_shared<platform::Dictionary>();
  for (const auto& [key, typed] : {std::pair<const char*, const std::string&>{"NewName", name},
                                   {"HelpCode", helpCode}, {"ClassName", path}}) {
    const auto was = ReadValues.find(key);
    if (was != ReadValues.end() && was->second == typed) continue;  // not changed here
    dict->SetValue(key, Variant(typed));
    if (was != ReadValues.end()) read->SetValue(key, Variant(was->second));
  }
  if (dict->Count() == 0) return;
  if (read->Count() > 0) dict->SetValue("Read", Variant(read));
  auto info = std::make_shared<platform::Dictionary>();
  for (;;) {
    widgets::RunBusy(this, [&] { update::newDatasUpdate()->UpdateDetailFuncAttr(DetailFuncID, dict, info); });
    const auto conflicts = erp::api::TakeConflicts(*info);
    if (!context::AskKeepMine(conflicts)) return;  // the other window's values stay
    if (conflicts.empty()) return;
    // Kept: the same values again, against what the other window stored.
    auto again = std::make_shared<platform::Dictionary>();
    auto theirs = std::make_shared<platform::Dictionary>();
    for (const auto& c : conflicts) {
      again->SetValue(c.key, dict->GetValue(c.key));
      theirs->SetValue(c.key, c.theirsValue);
    }
    again->SetValue("Read", Variant(theirs));
    dict = again;
  }
}

void dlgAddItem::storeItem(const std::string& name, const std::string& helpCode, const std::string& path) {
  auto dict = std::make_shared<platform::Dictionary>();
  int32_t index = 0;
  int32_t id = 0;
  {
    auto info = store::newDatasInfo();
    index = info->GetNextIndex(levelNumber_, parentId_);
    id = info->GetNextID(levelNumber_, parentId_);
  }
  // The middle tier is asked itself: its refusal (a parent deleted in another
  // window, a help code it does not take) reaches the user with its reason, and
  // an answer of no identifier means nothing was made.
  auto server = erp::api::newServerDatasUpdate();
  const std::string props = context::PropsString();
  int32_t parent = parentId_;
  bool templateItem = false;
  switch (levelNumber_) {
    case kTopClass:
      dict->SetValue("FTopClassID", Variant(id));
      dict->SetValue("FTopClassName", Variant(name));
      if (platform::CLng(server->CreateTopClass(props, index, dict, templateItem)) == 0) notCreated();
      return;
    case kSubSystem:
      if (group_) {
        if (!update::newDatasUpdate()->AddNormalFuncGroup(name)) notCreated();
        return;
      }
      dict->SetValue("FSubSysID", Variant(id));
      dict->SetValue("FSysName", Variant(name));
      if (platform::CLng(server->CreateSubSys(props, parent, index, dict, templateItem)) == 0) notCreated();
      return;
    case kSubFunc:
      dict->SetValue("FSubFuncID", Variant(id));
      dict->SetValue("FFuncName", Variant(name));
      if (platform::CLng(server->CreateSubFunc(props, parent, index, dict, templateItem)) == 0) notCreated();
      return;
    case kDetailFunc:
      dict->SetValue("NewName", Variant(name));
      dict->SetValue("FDetailFuncID", Variant(id));
      dict->SetValue("FClassName", Variant(path));
      dict->SetValue("FClassParam", Variant("SelfDefine"));
      dict->SetValue("FHelpCode", Variant(helpCode));
      dict->SetValue("FFuncName", Variant(name));
      server->CreateDetailFunc(props, parent, index, dict, templateItem);
      {
        // The dictionary comes back with the identifier the server gave; the
        // function must now be in the user's data.
        const int32_t created =
            dict && dict->Lookup("FDetailFuncID") ? platform::CLng(dict->GetValue("FDetailFuncID")) : 0;
        auto info = store::newDatasInfo();
        info->RegetDataInfo();
        auto rs = created != 0 ? info->GetDetailFuncInfo(created) : nullptr;
        if (!rs || rs->RecordCount() == 0) notCreated();
      }
      return;
    default:
      notCreated();
  }
}

void dlgAddItem::btnOpen_Click() {
  widgets::FileRequest request;
  request.filter = context::GetLangText("所有文件 (*.*)|*.*");
  request.title = context::GetLangText("打开文件");
  // The folder must exist, the file need not: a name typed that names no file is
  // refused by ValidateInput with its own message. The chooser starts in the
  // user's home folder.
  request.mustExist = false;
  try {
    const std::string path = widgets::ChooseFile(request, this);
    txtPrgPath->setText(QString::fromStdString(path));
  } catch (const AutomationError& e) {
    if (e.number() == widgets::kErrCancel) return;
    erp::api::messages().warn(e.description());
  }
}

namespace {

// The picture of the dialog shows it at its fullest: a new detail function under
// the user's first sub-function, filled in.
void prepareScreenshot(widgets::Form& form) {
  auto& dlg = static_cast<dlgAddItem&>(form);
  auto info = store::newDatasInfo();
  int32_t subFunc = 0;
  auto top = info->GetTopClass();
  if (top && !top->isEOF()) {
    auto sys = info->GetSubSystem(platform::CLng(top->value("FTopClassID")));
    if (sys && !sys->isEOF()) {
      auto sub = info->GetSubFunc(platform::CLng(sys->value("FSubSysID")));
      if (sub && !sub->isEOF()) subFunc = platform::CLng(sub->value("FSubFuncID"));
    }
  }
  dlg.Unload();
  dlg.curLevel = nav::NodeKey(nav::Level::SubFunc, subFunc);
  dlg.Load();
  const bool english = context::DetectLanguage() == context::kLangEn;
  dlg.txtName->setText(english ? QStringLiteral("Month-end close check") : QStringLiteral("月末结账检查"));  // lang:data
  dlg.txtHelpCode->setText("YMJZJC");
  dlg.txtPrgPath->setText("/opt/erp/bin/month-end-check");
}

}  // namespace

void dlgAddItem::Register() { widgets::registerForm<dlgAddItem>(prepareScreenshot); }

}  // namespace wayfind::dialogs
