#include "update/group_chooser.h"

namespace wayfind::update {

namespace {
std::shared_ptr<IGroupChooser>& slot() {
  static std::shared_ptr<IGroupChooser> chooser;
  return chooser;
}
}  // namespace

std::shared_ptr<IGroupChooser> groupChooser() { return slot(); }

std::shared_ptr<IGroupChooser> installGroupChooser(std::shared_ptr<IGroupChooser> chooser) {
  auto previous = slot();
  slot() = std::move(chooser);
  return previous;
}

}  // namespace wayfind::update
