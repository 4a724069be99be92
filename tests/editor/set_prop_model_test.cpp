// The main-console editor's model without its window: edits, locks, moves and
// the values a save sends.
#include "editor/set_prop_model.h"

#include <gtest/gtest.h>

#include "platform/automation/automation_error.h"
#include "platform/automation/conversions.h"

namespace wayfind::editor {
namespace {

namespace oc = editor::outline_col;
namespace dc = editor::detail_col;

// A row of either grid: a detail row's cells, which rowsOf lays out for the
// outline's grid when it lists them there.
PropRow row(int32_t id, const std::string& name, bool locked = false, const std::string& index = "0") {
  PropRow r;
  r.id = id;
  r.cells = {name, "H" + std::to_string(id), id % 2 == 1 ? "1" : "0", "1", index};
  r.locked = locked;
  return r;
}

PropRows rowsOf(RowKind kind, std::vector<PropRow> list) {
  PropRows rows(kind);
  for (auto& r : list) {
    if (kind == RowKind::Outline) r.cells = {r.cell(dc::kName), r.cell(dc::kVisible), r.cell(dc::kIndex)};
    rows.append(std::move(r));
  }
  return rows;
}

TEST(SetPropModel, OrderNumbersReadAsTheGridReadsThem) {
  const std::pair<const char*, int32_t> cases[] = {
      {"42", 42},          {"  42 ", 42},        {"\t-3\r\n", -3},     {"+7", 7},
      {"\u3000" "12\u3000", 12}, {"\u00a05", 5}, {"", 0},              {"   ", 0},
      {"4a", 0},           {"4 2", 0},           {"+-3", 0},           {"--3", 0},
      {"2147483647", 2147483647}, {"2147483648", 0}, {"1.5", 0},        {"\u4e00", 0},
      {"\uff11\uff12", 12}, {"\uff0d" "3", -3}, {"\uff0b\uff17", 7},  {"1e3", 0},
  };
  for (const auto& [text, number] : cases) {
    EXPECT_EQ(OrderNumber(text), number) << '"' << text << '"';
    // None where the text is no number (0 itself reads as 0).
    EXPECT_EQ(ReadOrderNumber(text).has_value(), number != 0 || std::string_view(text).find('0') != std::string_view::npos)
        << '"' << text << '"';
  }
}

TEST(SetPropModel, WhichActionsAreEdits) {
  struct Case {
    RowKind kind;
    CellAction action;
    int col;
    bool lockedRow;
    bool edit;
  };
  const Case cases[] = {
      {RowKind::Outline, CellAction::Typing, oc::kName, false, true},
      {RowKind::Outline, CellAction::Typing, oc::kIndex, true, true},
      {RowKind::Outline, CellAction::Change, oc::kName, false, false},
      {RowKind::Outline, CellAction::Change, oc::kVisible, false, true},
      {RowKind::Outline, CellAction::Click, oc::kVisible, false, true},
      {RowKind::Outline, CellAction::Click, oc::kVisible, true, false},
      {RowKind::Outline, CellAction::Click, oc::kName, false, false},
      {RowKind::Detail, CellAction::Typing, dc::kIndex, false, true},
      {RowKind::Detail, CellAction::Typing, dc::kCount + 1, false, false},
      {RowKind::Detail, CellAction::Change, dc::kHelpCode, false, false},
      {RowKind::Detail, CellAction::Change, dc::kVisible, false, true},
      {RowKind::Detail, CellAction::Click, dc::kVisible, false, true},
      {RowKind::Detail, CellAction::Click, dc::kVisible, true, false},
      {RowKind::Detail, CellAction::Click, dc::kName, false, false},
  };
  for (const auto& c : cases) {
    const PropRows rows = rowsOf(c.kind, {row(1, "a", c.lockedRow)});
    EXPECT_EQ(rows.isEdit(c.action, c.col, 1), c.edit)
        << (c.kind == RowKind::Outline ? "outline" : "detail") << " action " << int(c.action) << " col " << c.col;
  }
  EXPECT_TRUE(rowsOf(RowKind::Detail, {}).holdsHelpCode(dc::kHelpCode));
  EXPECT_FALSE(rowsOf(RowKind::Outline, {}).holdsHelpCode(dc::kHelpCode));
}

TEST(SetPropModel, LocksDecideWhichRowsMove) {
  // Row 1 and 3 are locked template rows.
  const PropRows rows = rowsOf(RowKind::Outline, {row(1, "a", true), row(2, "b"), row(3, "c", true), row(4, "d"),
                                                  row(5, "e")});
  struct Case {
    int active;
    bool up, down;
  };
  const Case cases[] = {{0, false, false}, {1, false, false}, {2, false, true}, {3, false, false},
                        {4, false, true},  {5, true, false},  {6, false, false}};
  for (const auto& c : cases) {
    EXPECT_EQ(rows.canMoveUp(c.active), c.up) << c.active;
    EXPECT_EQ(rows.canMoveDown(c.active), c.down) << c.active;
  }
  EXPECT_TRUE(rows.isCustom(4, 4));
  EXPECT_FALSE(rows.isCustom(3, 4));
  EXPECT_FALSE(rows.isCustom(6, 0));
}

TEST(SetPropModel, AMoveExchangesItemsButLeavesOrderNumbersAndLocksInPlace) {
  PropRows rows = rowsOf(RowKind::Detail, {row(1, "a", true, "10"), row(2, "b", false, "20")});
  rows.move(2, 1);
  EXPECT_EQ(rows.at(1).id, 2);
  EXPECT_EQ(rows.at(1).cell(dc::kName), "b");
  EXPECT_EQ(rows.at(1).cell(dc::kHelpCode), "H2");
  EXPECT_EQ(rows.at(1).cell(dc::kVisible), "0");
  EXPECT_EQ(rows.at(1).cell(dc::kIndex), "10");
  EXPECT_TRUE(rows.at(1).locked);
  EXPECT_EQ(rows.at(2).id, 1);
  EXPECT_EQ(rows.at(2).cell(dc::kIndex), "20");
  EXPECT_FALSE(rows.at(2).locked);

  // Places that share a number (two windows reordered at once) are numbered
  // apart as far as needed, so that the move is stored; the rest keep theirs.
  PropRows same = rowsOf(RowKind::Detail, {row(1, "a", false, "1"), row(2, "b", false, "2"), row(3, "c", false, "2"),
                                           row(4, "d", false, "3"), row(5, "e", false, "9")});
  same.settle();  // as read
  same.move(3, 2);
  std::vector<std::string> numbers;
  for (int r = 1; r <= same.count(); ++r) numbers.push_back(same.at(r).cell(dc::kIndex));
  EXPECT_EQ(numbers, (std::vector<std::string>{"1", "2", "3", "4", "9"}));
  EXPECT_EQ(same.at(2).id, 3);
  EXPECT_EQ(same.saveRows(SaveScope::Changes).size(), 2u);  // b and d take new numbers; c keeps 2
}

TEST(SetPropModel, CellsReadAndWriteByColumn) {
  PropRows rows = rowsOf(RowKind::Detail, {row(1, "a")});
  rows.setCellText(dc::kHelpCode, 1, "ZW");
  rows.setCellText(dc::kVisible, 1, "0");
  rows.setCellText(dc::kEnabled, 1, "0");
  rows.setCellText(dc::kIndex, 1, " 7");
  EXPECT_EQ(rows.cellText(dc::kName, 1), "a");
  EXPECT_EQ(rows.cellText(dc::kHelpCode, 1), "ZW");
  EXPECT_EQ(rows.cellText(dc::kVisible, 1), "0");
  EXPECT_EQ(rows.cellText(dc::kEnabled, 1), "0");
  EXPECT_EQ(rows.cellText(dc::kIndex, 1), " 7");
  EXPECT_TRUE(rows.isCheckColumn(dc::kEnabled));
  EXPECT_FALSE(rowsOf(RowKind::Outline, {}).isCheckColumn(dc::kVisible)) << "the outline's index column";
  EXPECT_THROW(rows.at(2), platform::AutomationError);
}

TEST(SetPropModel, DuplicateHelpCodesCountRowsFromOne) {
  PropRows rows = rowsOf(RowKind::Detail, {row(1, "a"), row(2, "b"), row(3, "c")});
  rows.at(3).cell(dc::kHelpCode) = " H1 ";
  EXPECT_EQ(rows.duplicateHelpCode(3), 1);
  EXPECT_EQ(rows.duplicateHelpCode(2), std::nullopt);
  EXPECT_EQ(rows.duplicateHelpCode(4), std::nullopt);
}

TEST(SetPropModel, WholeLevelSavesSendOutlineRowsWithANameAndEveryDetailRow) {
  const PropRows outline = rowsOf(RowKind::Outline, {row(1, "a", false, " 5"), row(2, "  "), row(3, "\tc", true)});
  const auto sent = outline.saveRows(SaveScope::WholeLevel);
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].id, 1);
  EXPECT_EQ(sent[0].value(oc::kIndex), "5");
  EXPECT_EQ(sent[1].id, 3) << "locked rows go too; only spaces make a name blank";
  platform::Dictionary dict;
  sent[0].writeTo(dict);
  EXPECT_EQ(dict.Keys(), (std::vector<std::string>{"NewName", "Visible", "Index"}));
  EXPECT_EQ(dict.GetValue("Visible").type(), platform::VarType::Long);

  const PropRows detail = rowsOf(RowKind::Detail, {row(1, " "), row(2, "b", true)});
  const auto all = detail.saveRows(SaveScope::WholeLevel);
  ASSERT_EQ(all.size(), 2u);
  platform::Dictionary values;
  all[1].writeTo(values);
  EXPECT_EQ(values.Keys(), (std::vector<std::string>{"NewName", "HelpCode", "Visible", "Enable", "Index"}));
  EXPECT_EQ(platform::CStr(values.GetValue("HelpCode")), "H2");
  EXPECT_EQ(platform::CLng(values.GetValue("Visible")), 0);
  EXPECT_EQ(platform::CLng(values.GetValue("Enable")), 1);
}

TEST(SetPropModel, SavesSendOnlyWhatChangedWithWhatWasReadAndSettle) {
  PropRows rows(RowKind::Detail);
  for (int32_t id : {1, 2, 3}) {
    PropRow r = row(id, "f" + std::to_string(id), false, std::to_string(id));
    r.read = r.shown();
    rows.append(r);
  }
  EXPECT_TRUE(rows.saveRows().empty()) << "nothing changed, nothing sent";
  rows.at(1).cell(dc::kHelpCode) = "NEW";
  rows.move(3, 2);  // the items of rows 2 and 3 change places; their order numbers stay
  const auto sent = rows.saveRows();
  ASSERT_EQ(sent.size(), 3u);
  platform::Dictionary dict;
  sent[0].writeTo(dict);
  EXPECT_EQ(dict.Keys(), (std::vector<std::string>{"HelpCode", "Read"}));
  const auto read = dict.GetValue("Read").objectAs<platform::Dictionary>();
  ASSERT_TRUE(read);
  EXPECT_EQ(platform::CStr(read->GetValue("HelpCode")), "H1");
  sent[1].writeTo(dict);  // item 3, now in place 2: only its order number moved
  EXPECT_EQ(sent[1].id, 3);
  EXPECT_EQ(dict.Keys(), (std::vector<std::string>{"Index", "Read"}));
  EXPECT_EQ(platform::CLng(dict.GetValue("Index")), 2);
  EXPECT_EQ(platform::CLng(dict.GetValue("Read").objectAs<platform::Dictionary>()->GetValue("Index")), 3);

  // A field stored by someone else: taken, it shows; kept, it is sent again against it.
  rows.settle();
  EXPECT_EQ(rows.takeStored(2, "NewName", platform::Variant("theirs"), true), 3);
  EXPECT_EQ(rows.at(3).cell(dc::kName), "theirs");
  rows.at(1).cell(dc::kName) = "mine";
  EXPECT_EQ(rows.takeStored(1, "NewName", platform::Variant("other"), false), 1);
  const auto again = rows.saveRows();
  ASSERT_EQ(again.size(), 1u);
  again[0].writeTo(dict);
  EXPECT_EQ(platform::CStr(dict.GetValue("Read").objectAs<platform::Dictionary>()->GetValue("NewName")), "other");
  EXPECT_EQ(rows.takeStored(99, "NewName", platform::Variant("x"), true), 0);
}

TEST(SetPropModel, ABlankNameKeepsTheStoredOneButNotTheRowsOtherEdits) {
  PropRows rows = rowsOf(RowKind::Outline, {row(1, "a"), row(2, "b")});
  for (int r = 1; r <= 2; ++r) rows.at(r).read = rows.at(r).shown();
  rows.at(1).cell(oc::kName) = "\u3000 ";  // an ideographic space is blank too
  rows.at(1).cell(oc::kVisible) = "0";
  rows.at(2).cell(oc::kName) = "";
  const auto sent = rows.saveRows();
  ASSERT_EQ(sent.size(), 1u) << "a cleared name alone sends nothing";
  EXPECT_EQ(sent[0].keys(), std::vector<std::string>{"Visible"});
  EXPECT_TRUE(rows.saveRows(SaveScope::WholeLevel).empty());

  // Items deleted meanwhile lose their edits, and say which they were.
  rows.at(2).cell(oc::kName) = "c";
  EXPECT_EQ(rows.dropEditsOfItemsNotIn({1}), std::vector<std::string>{"b"});
  EXPECT_EQ(rows.at(2).cell(oc::kName), "b");
  EXPECT_EQ(rows.at(1).cell(oc::kVisible), "0") << "a row still there keeps its edits";
}

TEST(SetPropModel, PendingEditsOutliveReloadsOfTheRows) {
  SetPropModel model;
  model.rows(RowKind::Outline).append(row(1, "a"));
  model.markPending();
  model.rows(RowKind::Outline).clear();
  EXPECT_TRUE(model.pending());
  model.clearPending();
  EXPECT_FALSE(model.pending());
}

}  // namespace
}  // namespace wayfind::editor
