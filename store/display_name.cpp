// Naming a detail function at its place: the user's own rows read from the store,
// then the one rule over the merged row's names.
#include "store/display_name.h"

#include "context/login_props.h"
#include "platform/containers/hash_slot.h"
#include "platform/automation/conversions.h"
#include "store/data_info.h"

namespace wayfind::store {

namespace {

using platform::Recordset;
using platform::Variant;

// A field's text; a field the record set does not have reads as empty too.
std::string textIfAny(const Recordset& rs, const char* field) {
  const int i = rs.fieldIndex(field);
  return i < 0 ? std::string() : platform::textOrEmpty(rs.value(i));
}

}  // namespace

std::string_view DisplayNameAmong(std::string_view func, std::string_view show, const std::string_view* own) {
  if (own) {
    if (!own->empty()) return *own;
    // The user's row named the function only by FFuncName (or by nothing, when the
    // merge kept no name of its own).
    return !func.empty() ? func : show;
  }
  return !show.empty() ? show : func;
}

std::string DetailFuncDisplayName(const std::string& funcName, const std::string& showName,
                                  const std::string* userShowName) {
  // RemoveLineBreaks also trims, so a name of spaces counts as no name.
  std::string room[3];
  const std::string_view func = context::RemoveLineBreaks(std::string_view(funcName), room[0]);
  const std::string_view show = context::RemoveLineBreaks(std::string_view(showName), room[1]);
  std::string_view own;
  if (userShowName) own = context::RemoveLineBreaks(std::string_view(*userShowName), room[2]);
  return std::string(DisplayNameAmong(func, show, userShowName ? &own : nullptr));
}

UserDetailNames UserDetailNames::read() {
  UserDetailNames result;
  const RecordsetPtr& user = DataInfo::instance().user.DetailFunc;
  if (!user) return result;
  const int sub = user->fieldIndex("FSubFuncID");
  const int id = user->fieldIndex("FDetailFuncID");
  const int show = user->fieldIndex("FShowName");
  const int en = user->fieldIndex("FFuncName_en");
  const int cht = user->fieldIndex("FFuncName_cht");
  if (sub < 0 || id < 0) return result;
  const auto text = [&](size_t row, int field) {
    return field < 0 ? std::string() : platform::textOrEmpty(user->storedValue(row, field));
  };
  result.reserve(user->storedRowCount());
  for (size_t row = 0; row < user->storedRowCount(); ++row) {
    const Variant& s = user->storedValue(row, sub);
    const Variant& d = user->storedValue(row, id);
    if (s.isNull() || d.isNull() || s.isEmpty() || d.isEmpty()) continue;
    result.put(keyOf(platform::CLng(s), platform::CLng(d)), text(row, show), text(row, en), text(row, cht));
  }
  return result;
}

void UserDetailNames::reserve(size_t rows) {
  size_t size = 64;
  while (size < rows * 2) size *= 2;
  slots_.assign(size, Slot{0, 0});
  marks_.assign(size / 8, 0);
  names_.reserve(rows);
  otherNames_.reserve(rows);
}

void UserDetailNames::put(uint64_t key, std::string name, std::string en, std::string cht) {
  const uint64_t hash = key * platform::kHashMultiplier;
  marks_[platform::hashSlot(key, marks_.size())] |= markBits(hash);
  const size_t mask = slots_.size() - 1;
  for (size_t at = platform::hashSlot(key, slots_.size());; at = (at + 1) & mask) {
    Slot& slot = slots_[at];
    if (slot.name == 0) {
      names_.push_back(std::move(name));
      otherNames_.emplace_back(std::move(en), std::move(cht));
      slot = {key, static_cast<uint32_t>(names_.size())};
      return;
    }
    if (slot.key == key) {
      names_[slot.name - 1] = std::move(name);
      otherNames_[slot.name - 1] = {std::move(en), std::move(cht)};
      return;
    }
  }
}

uint32_t UserDetailNames::find(uint64_t key) const {
  if (slots_.empty()) return 0;
  const uint64_t bits = markBits(key * platform::kHashMultiplier);
  if ((marks_[platform::hashSlot(key, marks_.size())] & bits) != bits) return 0;
  const size_t mask = slots_.size() - 1;
  for (size_t at = platform::hashSlot(key, slots_.size());; at = (at + 1) & mask) {
    const Slot& slot = slots_[at];
    if (slot.name == 0 || slot.key == key) return slot.name;
  }
}

const std::string* UserDetailNames::showName(int32_t subFuncId, int32_t detailFuncId) const {
  const uint32_t at = find(keyOf(subFuncId, detailFuncId));
  return at == 0 ? nullptr : &names_[at - 1];
}

UserDetailNames::Own UserDetailNames::own(int32_t subFuncId, int32_t detailFuncId) const {
  const uint32_t at = find(keyOf(subFuncId, detailFuncId));
  if (at == 0) return {};
  return {&names_[at - 1], {otherNames_[at - 1].first, otherNames_[at - 1].second}};
}

std::string UserDetailNames::nameOf(int32_t subFuncId, const Recordset& merged) const {
  const int id = merged.fieldIndex("FDetailFuncID");
  const Variant idValue = id < 0 ? Variant() : merged.value(id);
  const std::string* own = nullptr;
  if (!idValue.isNull() && !idValue.isEmpty()) own = showName(subFuncId, platform::CLng(idValue));
  return DetailFuncDisplayName(textIfAny(merged, "FFuncName"), textIfAny(merged, "FShowName"), own);
}

std::string DetailFuncDisplayName(int32_t subFuncId, const Recordset& merged) {
  return UserDetailNames::read().nameOf(subFuncId, merged);
}

}  // namespace wayfind::store
