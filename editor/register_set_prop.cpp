// dlgSetProp's registration in the form registry, with the views its screenshots show: the
// root's top classes, a subsystem's sub-functions, and the detail functions of a
// sub-function whose template rows are locked.
#include "editor/dlg_set_prop.h"
#include "platform/navigation/node_keys.h"
#include "widgets/form_registry.h"

namespace wayfind::editor {

namespace {

// Opens the tree down to key's node as the user would and clicks it; nodes that
// the company does not have are passed over.
void openPath(dlgSetProp& form, const std::vector<std::string>& keys) {
  auto* tree = form.tvFunc();
  for (size_t i = 0; i < keys.size(); ++i) {
    widgets::TreeNode node = tree->Find(keys[i]);
    if (node.isNull()) return;
    if (i + 1 < keys.size()) {
      tree->simulateExpand(node);
    } else {
      tree->simulateClick(node);
      // Opened as well, so the picture shows where the grid's rows sit in the tree.
      node = tree->Find(keys[i]);
      if (!node.isNull() && node.Children() > 0) tree->simulateExpand(node);
      tree->SetSelectedItem(tree->Find(keys[i]));
    }
  }
}

void showTopClasses(widgets::Form& f) {
  auto& form = static_cast<dlgSetProp&>(f);
  form.tvFunc()->SetSelectedItem(form.tvFunc()->Find(nav::kRootKey));
}

void showSubFuncs(widgets::Form& f) { openPath(static_cast<dlgSetProp&>(f), {nav::kRootKey, "Top1", "Sys101"}); }

void showLockedDetailFuncs(widgets::Form& f) {
  openPath(static_cast<dlgSetProp&>(f), {nav::kRootKey, "Top1", "Sys107", "Sub10701"});
}

widgets::Form* newForm() { return new dlgSetProp(); }

}  // namespace

void dlgSetProp::Register() {
  widgets::FormRegistry::instance().add(kFormName, newForm, showTopClasses);
  // Further views of the same form, for the screenshots only.
  widgets::FormRegistry::instance().add("dlgSetProp.subfunctions", newForm, showSubFuncs);
  widgets::FormRegistry::instance().add("dlgSetProp.details", newForm, showLockedDetailFuncs);
}

}  // namespace wayfind::editor
