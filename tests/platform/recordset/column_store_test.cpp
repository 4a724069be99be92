// The column storage under a record set: texts rewritten many times, whole-row
// copies between sets, and the memory a table takes.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "platform/automation/automation_error.h"
#include "platform/containers/dictionary.h"
#include "platform/recordset/large_memory.h"
#include "platform/recordset/recordset.h"
#include "trap_tables.h"

using namespace wayfind::platform;
using wayfind::test::errorOf;

namespace {

RecordsetPtr namesTable() {
  auto rs = std::make_shared<Recordset>();
  rs->appendField("FID", DataType::Integer);
  rs->appendField("FName", DataType::VarWChar, 40);
  rs->appendField("FNote", DataType::LongVarWChar);
  rs->open();
  return rs;
}

}  // namespace

TEST(ColumnStore, TextsRewrittenManyTimesKeepTheirValuesAndTheirSpaceIsReused) {
  auto rs = namesTable();
  for (int i = 0; i < 50; ++i) {
    rs->AddNew();
    rs->setValue("FID", i);
    rs->setValue("FName", "名称" + std::to_string(i));
  }
  const std::string big(4000, 'n');
  for (int round = 0; round < 40; ++round) {
    for (rs->MoveFirst(); !rs->isEOF(); rs->MoveNext())
      rs->setValue("FNote", big + std::to_string(round) + "/" + rs->value("FID").debugString());
  }
  // 40 rounds of 50 texts of 4 KB (8 MB) were written; the space of the old
  // texts is taken back once it exceeds a megabyte and half the text area.
  EXPECT_LT(rs->memoryBytes(), 2u * 1024u * 1024u);
  rs->MoveFirst();
  for (int i = 0; i < 50; ++i, rs->MoveNext()) {
    EXPECT_EQ(rs->value("FName"), Variant("名称" + std::to_string(i)));
    EXPECT_EQ(rs->value("FNote").asString(), big + "39/" + Variant(int32_t{i}).debugString());
  }
}

TEST(ColumnStore, CopiesOfVisibleRowsAreWhatAddNewAndSetValueWouldMake) {
  auto source = namesTable();
  for (int i = 0; i < 6; ++i)
    source->appendStoredRow({Variant(i), i == 2 ? Variant::null() : Variant("名" + std::to_string(i)),
                             Variant(std::string(i * 3, 'x'))});
  source->setFilter("FID >= 2");
  source->setSort("FID DESC");

  // The target's fields in another order, one of them of another type.
  auto target = std::make_shared<Recordset>();
  target->appendField("FNote", DataType::LongVarWChar);
  target->appendField("FName", DataType::VarWChar, 40);
  target->appendField("FID", DataType::VarWChar, 5);
  target->open();
  target->AddNew();
  target->setValue("FID", "first");
  target->appendCopiesOf(*source, {2, 1, 0});

  EXPECT_EQ(target->RecordCount(), 5);
  EXPECT_EQ(target->AbsolutePosition(), 5);  // on the last copy
  const char* ids[] = {"first", "5", "4", "3", "2"};
  target->MoveFirst();
  for (const char* id : ids) {
    EXPECT_EQ(target->value("FID"), Variant(id));
    target->MoveNext();
  }
  target->setFilter("FName = Null");
  ASSERT_EQ(target->RecordCount(), 2);  // the first row and the copy of row 2
  target->MoveLast();
  EXPECT_EQ(target->value("FNote"), Variant("xxxxxx"));
  // The source kept its view and its values.
  EXPECT_EQ(source->RecordCount(), 4);
  EXPECT_EQ(source->value("FID"), Variant(int32_t{5}));

  // A value the target field refuses raises as setValue does.
  auto narrow = namesTable();
  auto tiny = std::make_shared<Recordset>();
  tiny->appendField("FID", DataType::Integer);
  tiny->appendField("FName", DataType::VarWChar, 2);
  tiny->appendField("FNote", DataType::LongVarWChar);
  tiny->open();
  narrow->appendStoredRow({Variant(1), Variant("abc"), Variant::null()});
  EXPECT_EQ(errorOf([&] { tiny->appendCopiesOf(*narrow, {0, 1, 2}); }), err::kDataTooLong);
  EXPECT_EQ(errorOf([&] { tiny->appendCopiesOf(*narrow, {0, 1}); }), err::kBadArguments);

  // Given stored rows, whatever the source's filter, in the order given; a row
  // past the end leaves the target as it was.
  auto same = namesTable();
  same->appendCopiesOfRows(*source, {1, 4, 2});
  const char* names[] = {"名1", "名4", nullptr};
  same->MoveFirst();
  for (const char* name : names) {
    EXPECT_EQ(same->value("FName"), name ? Variant(name) : Variant::null());
    same->MoveNext();
  }
  EXPECT_EQ(errorOf([&] { same->appendCopiesOfRows(*source, {0, 6}); }), err::kSubscriptOutOfRange);
  EXPECT_EQ(same->RecordCount(), 3);
}

TEST(ColumnStore, ALoadedTableTakesAboutTheSizeOfItsFile) {
  auto rs = std::make_shared<Recordset>();
  rs->appendField("FDetailFuncID", DataType::Integer);
  rs->appendField("FSubFuncID", DataType::Integer);
  rs->appendField("FFuncName", DataType::VarWChar, 80);
  rs->appendField("FShowName", DataType::VarWChar, 80);
  rs->appendField("FHelpCode", DataType::VarWChar, 40);
  rs->appendField("FIndex", DataType::Integer);
  rs->appendField("FVisible", DataType::Boolean);
  rs->open();
  for (int i = 0; i < 20000; ++i)
    rs->appendStoredRow({Variant(1000000 + i), Variant(10000 + i / 10), Variant("明细功能" + std::to_string(i)),
                         Variant::null(), Variant("MX" + std::to_string(i)), Variant(i % 10), Variant(true)});
  Dictionary saved;
  saved.SetValue("DetailFunc", Variant(rs));
  const std::string bytes = saved.serialize();
  Dictionary loaded;
  ASSERT_TRUE(loaded.deserialize(bytes));
  const size_t memory = loaded.GetValue("DetailFunc").objectAs<Recordset>()->memoryBytes();
  EXPECT_LT(static_cast<double>(memory), 1.5 * static_cast<double>(bytes.size()));
  EXPECT_GT(memory, bytes.size() / 2);  // the accounting counts the texts and cells
}

TEST(ColumnStore, TablesWithMegabytesOfTextGrowLoadAndShrinkIntact) {
  auto rs = namesTable();
  auto note = [](int i, int round) { return std::string(1000 + i % 7, static_cast<char>('a' + (i + round) % 26)) + std::to_string(i); };
  for (int i = 0; i < 3000; ++i) rs->appendStoredRow({Variant(i), Variant("名" + std::to_string(i)), Variant(note(i, 0))});
  Dictionary saved;
  saved.SetValue("T", Variant(rs));
  Dictionary loaded;
  ASSERT_TRUE(loaded.deserialize(saved.serialize()));
  auto table = loaded.GetValue("T").objectAs<Recordset>();
  ASSERT_EQ(table->storedRowCount(), 3000u);
  // Three megabytes of text, written over twice: the area grows, the old texts'
  // space is taken back, and every value stays what was written last.
  for (int round = 1; round <= 2; ++round) {
    int i = 0;
    for (table->MoveFirst(); !table->isEOF(); table->MoveNext(), ++i) table->setValue("FNote", note(i, round));
  }
  for (int i = 0; i < 3000; i += 7) {
    EXPECT_EQ(table->storedValue(static_cast<size_t>(i), 2), Variant(note(i, 2))) << i;
    EXPECT_EQ(table->storedValue(static_cast<size_t>(i), 1), Variant("名" + std::to_string(i))) << i;
  }
  EXPECT_LT(table->memoryBytes(), 12u * 1024u * 1024u);
}

// A build's arrays grow from the heap into mapped huge pages and back to
// nothing: every value survives each move, and large room starts on a 2 MB
// boundary so that all of it can be a huge page.
TEST(LargeVector, KeepsItsValuesAsItGrowsPastTheHeapAndStartsOnAHugePage) {
  LargeVector<uint64_t> v;
  const size_t n = 3 * kLargeBufferBytes / sizeof(uint64_t) + 7;
  for (uint64_t i = 0; i < n; ++i) v.push_back(i * 0x9E3779B97F4A7C15ull);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(v.data()) % kLargeBufferBytes, 0u);
  LargeVector<uint64_t> copy = v;
  v.resize(100);
  v.shrink_to_fit();  // back from mapped room to the heap
  for (uint64_t i = 0; i < 100; ++i) ASSERT_EQ(v[i], i * 0x9E3779B97F4A7C15ull);
  ASSERT_EQ(copy.size(), n);
  for (uint64_t i = 0; i < n; ++i) ASSERT_EQ(copy[i], i * 0x9E3779B97F4A7C15ull) << i;
  LargeVector<uint64_t>().swap(copy);
  EXPECT_EQ(copy.capacity(), 0u);
}
