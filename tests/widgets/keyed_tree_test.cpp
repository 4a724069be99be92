// The keyed tree as the navigation windows use it: nodes found by key, the index
// in the order added closing up after removals, placeholders, the selected
// image, and notifications raised for the user's gestures only.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QInputMethodEvent>
#include <QSignalSpy>
#include <memory>

#include "platform/automation/automation_error.h"
#include "widgets/image_list.h"
#include "widgets/keyed_tree.h"

namespace wayfind::widgets {
namespace {

struct Fixture {
  std::unique_ptr<KeyedTree> tree = std::make_unique<KeyedTree>();
  std::unique_ptr<ImageList> images{ImageList::standard(nullptr)};
  TreeNode root, top, sys;
  Fixture() {
    tree->SetImageList(images.get());
    root = tree->Add({}, "All0", "功能列表", "List");
    top = tree->Add(root, "Top1", "财务会计", "Top");
    tree->AddPlaceholder(top);
    sys = tree->Add(root, "Top2", "供应链", "Top", "Sys");
  }
};

int32_t errorNumber(const std::function<void()>& f) {
  try {
    f();
  } catch (const platform::AutomationError& e) {
    return e.number();
  }
  return 0;
}

TEST(KeyedTreeTest, NodesAreFoundByKeyAndKnowTheirPlace) {
  Fixture f;
  EXPECT_EQ(f.tree->Node("Top1").Text(), "财务会计");
  EXPECT_EQ(f.tree->Node("Top1").Parent(), f.root);
  EXPECT_EQ(f.root.Child(), f.top);
  EXPECT_EQ(f.top.Next(), f.sys);
  EXPECT_EQ(f.root.Children(), 2);
  EXPECT_TRUE(f.top.Child().IsPlaceholder());
  EXPECT_TRUE(f.top.Child().Key().empty());
  EXPECT_EQ(f.sys.Index(), 4);
  EXPECT_EQ(f.tree->Count(), 4);
  EXPECT_EQ(errorNumber([&] { f.tree->Node("Top9"); }), kErrKeyNotFound);
  EXPECT_EQ(errorNumber([&] { f.tree->Add(f.root, "Top1", "again"); }), kErrKeyNotUnique);
  EXPECT_TRUE(f.tree->Find("Top9").isNull());
}

TEST(KeyedTreeTest, RemovingANodeForgetsItsDescendantsAndClosesTheIndexUp) {
  Fixture f;
  f.tree->Add(f.top, "Sub7", "凭证");
  f.tree->Remove(f.top);
  EXPECT_FALSE(f.tree->Exists("Top1"));
  EXPECT_FALSE(f.tree->Exists("Sub7"));
  EXPECT_EQ(f.tree->Count(), 2);
  EXPECT_EQ(f.tree->Node("Top2").Index(), 2);
  // The keys are free again.
  f.tree->Add(f.root, "Sub7", "凭证");
  f.tree->RemoveChildren(f.root);
  EXPECT_EQ(f.root.Children(), 0);
  EXPECT_EQ(f.tree->Count(), 1);
}

TEST(KeyedTreeTest, RemovingTheSelectedNodeOrItsParentLeavesAWorkingTree) {
  Fixture f;
  TreeNode sub = f.tree->Add(f.top, "Sub7", "凭证", "Sub", "Detail");
  f.tree->SetSelectedItem(sub);
  f.tree->Remove(f.top);
  EXPECT_FALSE(f.tree->Exists("Sub7"));
  TreeNode selected = f.tree->SelectedItem();
  if (selected) {
    EXPECT_TRUE(f.tree->Exists(selected.Key()) || selected.IsPlaceholder() || selected == f.root);
  }
  f.tree->SetSelectedItem(f.sys);
  f.tree->Remove(f.sys);
  f.tree->SetSelectedItem(f.root);
  f.tree->Clear();
  EXPECT_EQ(f.tree->Count(), 0);
  EXPECT_TRUE(f.tree->SelectedItem().isNull());
  f.tree->Add({}, "All0", "功能列表", "List");
  EXPECT_EQ(f.tree->Node("All0").Index(), 1);
}

TEST(KeyedTreeTest, UserGesturesNotifyAndApiChangesDoNot) {
  Fixture f;
  QSignalSpy clicks(f.tree.get(), &KeyedTree::nodeClick);
  QSignalSpy expands(f.tree.get(), &KeyedTree::expand);
  QSignalSpy collapses(f.tree.get(), &KeyedTree::collapse);
  f.top.SetExpanded(true);
  f.top.SetExpanded(false);
  f.tree->SetSelectedItem(f.sys);
  EXPECT_EQ(expands.count() + collapses.count() + clicks.count(), 0);

  f.tree->simulateExpand(f.top);
  f.tree->simulateCollapse(f.top);
  f.tree->simulateClick(f.top);
  ASSERT_EQ(expands.count(), 1);
  EXPECT_EQ(expands.at(0).at(0).value<TreeNode>().Key(), "Top1");
  EXPECT_EQ(collapses.count(), 1);
  EXPECT_EQ(clicks.count(), 1);
  EXPECT_EQ(f.tree->SelectedItem(), f.top);
  // A node's first character typed through an input method, as Chinese is.
  f.root.SetExpanded(true);
  QInputMethodEvent typed;
  typed.setCommitString(QString::fromUtf8("供"));
  QCoreApplication::sendEvent(f.tree.get(), &typed);
  EXPECT_EQ(f.tree->SelectedItem(), f.sys);
  EXPECT_EQ(clicks.count(), 2);
}

TEST(KeyedTreeTest, CheckBoxesNotifyOnTheUsersTickOnly) {
  Fixture f;
  f.tree->SetCheckBoxes(true);
  std::vector<std::string> checked;
  QObject::connect(f.tree.get(), &KeyedTree::nodeCheck,
                   [&](TreeNode n) { checked.push_back(n.Key() + (n.Checked() ? "+" : "-")); });
  f.top.SetChecked(true);
  f.top.SetText("改名");
  f.tree->simulateCheck(f.sys, true);
  f.tree->simulateCheck(f.sys, false);
  EXPECT_EQ(checked, (std::vector<std::string>{"Top2+", "Top2-"}));
  EXPECT_TRUE(f.top.Checked());
  // A node added later has a box too.
  EXPECT_FALSE(f.tree->Add(f.root, "Top3", "x").Checked());
}

TEST(KeyedTreeTest, LabelEditsCanBeCancelledBeforeAndAfterAndRewritten) {
  Fixture f;
  EXPECT_FALSE(f.tree->simulateLabelEdit(f.top, "x")) << "label editing is off by default";
  f.tree->SetLabelEdit(true);
  bool refuseStart = true;
  QObject::connect(f.tree.get(), &KeyedTree::beforeLabelEdit, [&](TreeNode, bool& cancel) { cancel = refuseStart; });
  QObject::connect(f.tree.get(), &KeyedTree::afterLabelEdit, [&](TreeNode, std::string& text, bool& cancel) {
    if (text.empty()) cancel = true;
    text = "【" + text + "】";
  });
  EXPECT_FALSE(f.tree->simulateLabelEdit(f.top, "新名"));
  EXPECT_EQ(f.top.Text(), "财务会计");
  refuseStart = false;
  EXPECT_FALSE(f.tree->simulateLabelEdit(f.top, ""));
  EXPECT_EQ(f.top.Text(), "财务会计");
  EXPECT_TRUE(f.tree->simulateLabelEdit(f.top, "新名"));
  EXPECT_EQ(f.top.Text(), "【新名】");
}

TEST(KeyedTreeTest, DragAndDropNamesSourceAndTargetAndMovesNothing) {
  Fixture f;
  EXPECT_FALSE(f.tree->simulateDragDrop(f.top, f.sys)) << "dragging is off by default";
  f.tree->SetDragDrop(true);
  QSignalSpy starts(f.tree.get(), &KeyedTree::dragStart);
  QSignalSpy drops(f.tree.get(), &KeyedTree::dragDrop);
  EXPECT_TRUE(f.tree->simulateDragDrop(f.top, f.sys));
  ASSERT_EQ(drops.count(), 1);
  EXPECT_EQ(starts.count(), 1);
  EXPECT_EQ(drops.at(0).at(0).value<TreeNode>().Key(), "Top1");
  EXPECT_EQ(drops.at(0).at(1).value<TreeNode>().Key(), "Top2");
  EXPECT_EQ(f.top.Parent(), f.root);
}

TEST(KeyedTreeTest, TheSelectedNodeShowsItsSelectedImage) {
  Fixture f;
  auto iconImage = [](const QIcon& icon) { return icon.pixmap(16).toImage(); };
  EXPECT_EQ(iconImage(f.sys.item()->icon(0)), iconImage(f.images->icon("Top")));
  f.tree->SetSelectedItem(f.sys);
  EXPECT_EQ(iconImage(f.sys.item()->icon(0)), iconImage(f.images->icon("Sys")));
  f.tree->SetSelectedItem(f.top);
  EXPECT_EQ(iconImage(f.sys.item()->icon(0)), iconImage(f.images->icon("Top")));
  EXPECT_EQ(errorNumber([&] { f.images->icon("NoSuchImage"); }), 35601);
}

}  // namespace
}  // namespace wayfind::widgets
