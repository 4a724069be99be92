// "FrmRes.FrmResLoader": applies a language's font and translated captions to a
// window while it loads. The window travels as an automation object; the loader
// knows how to reach the controls behind it, the component only hands it on.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/automation/automation_error.h"
#include "platform/automation/object.h"

namespace wayfind::erp::api {

// A list of texts as the loader hands it back: indexed from LBound to UBound
// (UBound is LBound - 1 when the list is empty).
class TextList : public platform::Object {
 public:
  TextList() = default;
  explicit TextList(std::vector<std::string> items) : items_(std::move(items)) {}
  int32_t LBound() const { return 0; }
  int32_t UBound() const { return static_cast<int32_t>(items_.size()) - 1; }
  // The item at index (LBound..UBound); 9 "Subscript out of range" otherwise.
  const std::string& Item(int32_t index) const {
    if (index < 0 || index > UBound()) platform::raise(platform::err::kSubscriptOutOfRange, "TextList");
    return items_[static_cast<size_t>(index)];
  }
  const std::vector<std::string>& items() const { return items_; }

 private:
  std::vector<std::string> items_;
};

class IFrmResLoader : public platform::Object {
 public:
  // Chooses a font with the glyphs of the language ("chs", "en", "cht") and sets it
  // on the window and its controls; answers the family chosen.
  virtual std::string SetFrmFont(platform::ObjectPtr& window, const std::string& languageCode) = 0;
  // Translates every caption of the window and its controls by its Chinese text
  // with the tables "<resFileBaseName>.<languageCode>" (resDirectory empty: the
  // loader's default folder). Answers the captions it found no translation for, a
  // TextList. reserved is unused and kept for the call's shape.
  virtual platform::ObjectPtr LoadFrmResStrings(platform::ObjectPtr& window, const std::string& languageCode,
                                                const std::string& resDirectory,
                                                const std::string& resFileBaseName,
                                                platform::ObjectPtr& reserved) = 0;
};

}  // namespace wayfind::erp::api
