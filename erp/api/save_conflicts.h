// Fields another user changed while a window had them open: how the middle tier
// hands them back to the window in the info dictionary of a save.
//
// A window sends what it changed together with the values it read. The middle
// tier stores a field only when nobody changed it meanwhile (or when the other
// change is the same); every other field is left as the other user stored it
// and listed under "Conflicts" in the call's info dictionary: a vector of
// dictionaries with "Item" (the function or group, named in the caller's
// language), "Field" (the field's label), "Theirs" and "Mine" (as a user reads
// them), and "ID" and "Key" (the row's identifier and the dictionary key the
// window sent the field under), and "TheirsValue" (theirs as stored). The window asks its user and, to keep their
// values, sends them again with the other user's values as the ones it read.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/automation/conversions.h"
#include "platform/containers/dictionary.h"
#include "platform/containers/vector.h"

namespace wayfind::erp::api {

inline constexpr const char* kConflictsKey = "Conflicts";

struct SaveConflict {
  std::string item;   // the function or group
  std::string field;  // the field's label
  std::string theirs;
  std::string mine;
  int32_t id = 0;     // the row as the window sent it
  std::string key;    // the field as the window sent it
  platform::Variant theirsValue;  // theirs as stored, for the window to show
};

inline void RecordConflict(platform::Dictionary& info, const SaveConflict& c) {
  auto list = info.GetValue(kConflictsKey).objectAs<platform::Vector>();
  if (!list) {
    list = std::make_shared<platform::Vector>();
    info.SetValue(kConflictsKey, platform::Variant(list));
  }
  auto entry = std::make_shared<platform::Dictionary>();
  entry->SetValue("Item", platform::Variant(c.item));
  entry->SetValue("Field", platform::Variant(c.field));
  entry->SetValue("Theirs", platform::Variant(c.theirs));
  entry->SetValue("Mine", platform::Variant(c.mine));
  entry->SetValue("ID", platform::Variant(c.id));
  entry->SetValue("Key", platform::Variant(c.key));
  entry->SetValue("TheirsValue", c.theirsValue);
  list->Append(platform::Variant(entry));
}

// The conflicts recorded in info, taken out of it (the key is removed).
inline std::vector<SaveConflict> TakeConflicts(platform::Dictionary& info) {
  std::vector<SaveConflict> out;
  const auto list = info.GetValue(kConflictsKey).objectAs<platform::Vector>();
  info.Remove(kConflictsKey);
  if (!list) return out;
  for (const auto& item : list->items()) {
    const auto entry = item.objectAs<platform::Dictionary>();
    if (!entry) continue;
    SaveConflict c;
    c.item = platform::textOrEmpty(entry->GetValue("Item"));
    c.field = platform::textOrEmpty(entry->GetValue("Field"));
    c.theirs = platform::textOrEmpty(entry->GetValue("Theirs"));
    c.mine = platform::textOrEmpty(entry->GetValue("Mine"));
    const auto id = entry->GetValue("ID");
    c.id = id.isNull() || id.isEmpty() ? 0 : platform::CLng(id);
    c.key = platform::textOrEmpty(entry->GetValue("Key"));
    c.theirsValue = entry->GetValue("TheirsValue");
    out.push_back(std::move(c));
  }
  return out;
}

}  // namespace wayfind::erp::api
