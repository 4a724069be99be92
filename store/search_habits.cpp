#include "store/search_habits.h"

#include "context/login_props.h"
#include "erp/api/server_datas_update.h"
#include "store/data_info.h"
#include "store/loading.h"
#include "store/queries.h"

namespace wayfind::store {

SearchHabits& SearchHabits::instance() {
  static SearchHabits habits;
  return habits;
}

void SearchHabits::reset() { *this = SearchHabits(); }

bool SearchHabits::enabled() {
  if (switchedOff_) return false;
  EnsureLoaded();
  return GetProfileValue(kNoHabitsSetting) != "1";
}

bool SearchHabits::current() const {
  const auto& profile = DataInfo::instance().user.Profile;
  return read_ && !readFor_.owner_before(profile) && !std::weak_ptr<platform::Recordset>(profile).owner_before(readFor_);
}

const nav::FunctionUse& SearchHabits::uses() {
  EnsureLoaded();
  if (current()) return uses_;
  today_ = nav::UseDayToday();
  try {
    uses_ = nav::FunctionUse::parse(erp::api::newServerDatasUpdate()->GetFunctionUse(context::PropsString()));
  } catch (const std::exception&) {
    uses_ = nav::FunctionUse();
  }
  readFor_ = DataInfo::instance().user.Profile;
  read_ = true;
  ++generation_;
  return uses_;
}

void SearchHabits::recordStart(int32_t detailFuncId) {
  uses();
  today_ = nav::UseDayToday();
  uses_.recordStart(detailFuncId, today_);
  ++generation_;
  int32_t id = detailFuncId;
  const std::string stored = erp::api::newServerDatasUpdate()->RecordFunctionUse(context::PropsString(), id);
  uses_ = nav::FunctionUse::parse(stored);
}

}  // namespace wayfind::store
