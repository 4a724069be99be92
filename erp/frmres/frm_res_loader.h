// "FrmRes.FrmResLoader", the ERP's window resource loader on Qt.
//
// SetFrmFont picks a font family that has the glyphs of the language (Noto Sans
// CJK SC for "chs", Noto Sans CJK TC for "cht", the system's UI font for "en"; any
// installed family that covers the script when those are missing) and sets it on
// the window, whose controls inherit it.
//
// LoadFrmResStrings translates every caption of a window by its Chinese text: the
// window title, labels, buttons, check boxes, radio buttons, group boxes, tab
// titles, actions (toolbar tools) and their tooltips, tooltips and placeholder
// texts of controls, and the column headers of tables. Only texts that contain
// Chinese are looked up; a widget whose property "wayfindNoTranslate" is true (a
// label showing data) is skipped, and so is a combo box's item list unless its
// property "wayfindTranslateItems" is true. The Chinese text of each caption is
// remembered on the widget with the text the load put in its place, so loading
// again (or in another language) starts from the Chinese, never from an earlier
// translation; a caption the window has changed since counts as new Chinese. The
// answer lists the captions that have no translation, each once, in the order
// found.
#pragma once

#include <QFont>
#include <QString>
#include <QWidget>
#include <string>
#include <vector>

#include "erp/api/frm_res_loader.h"

namespace wayfind::erp::frmres {

// Error numbers: a window argument that is not a window.
inline constexpr int32_t kObjectRequired = 424;

class FrmResLoader : public api::IFrmResLoader {
 public:
  std::string SetFrmFont(platform::ObjectPtr& window, const std::string& languageCode) override;
  platform::ObjectPtr LoadFrmResStrings(platform::ObjectPtr& window, const std::string& languageCode,
                                        const std::string& resDirectory, const std::string& resFileBaseName,
                                        platform::ObjectPtr& reserved) override;
};

// The font family used for a language code on this machine.
QString fontFamilyFor(const std::string& languageCode);
// font with the language's families, as SetFrmFont sets it on a window.
QFont languageFont(QFont font, const std::string& languageCode);
// The language's font as the application's, for a program whose windows all
// show one language: a control then measures its text in the font it shows,
// even before it is placed in its window, and SetFrmFont changes nothing.
void SetApplicationFont(const std::string& languageCode);

// Every caption of widget and its children that the loader would translate, in
// Chinese (as remembered from an earlier load when there was one).
std::vector<std::string> captionsOf(QWidget* widget);

// The captions of widget and its children as they show now that contain Chinese
// (after a load in English: the captions left untranslated, also those a window
// set itself while loading).
std::vector<std::string> chineseCaptionsShown(QWidget* widget);

// Registers "FrmRes.FrmResLoader".
void registerFrmResLoader();

}  // namespace wayfind::erp::frmres
