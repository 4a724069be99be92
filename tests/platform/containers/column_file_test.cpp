// Record sets saved column by column: loaded tables keep their cells in the
// loaded file's memory and must stay correct and writable after the dictionary
// that loaded them is gone; files of the earlier row-by-row form still load;
// hostile column bytes behind a valid checksum are refused, never trusted.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "platform/containers/byte_io.h"
#include "platform/containers/checksum.h"
#include "platform/containers/dictionary.h"
#include "platform/containers/file_format.h"
#include "platform/containers/value_codec.h"
#include "platform/recordset/recordset.h"
#include "same_content.h"
#include "sample_dictionary.h"

namespace wayfind::platform {
namespace {

namespace fs = std::filesystem;
using fileformat::ByteWriter;
using fileformat::Tag;

RecordsetPtr functionsTable(int rows) {
  auto rs = std::make_shared<Recordset>();
  rs->appendField("FID", DataType::Integer);
  rs->appendField("FLevel", DataType::SmallInt);
  rs->appendField("FName", DataType::VarWChar, 40);
  rs->appendField("FVisible", DataType::Boolean);
  rs->appendField("FWhen", DataType::Date);
  rs->open();
  for (int i = 0; i < rows; ++i)
    rs->appendStoredRow({Variant(i), i % 4 ? Variant(int16_t(-i % 300)) : Variant::null(),
                         i % 9 ? Variant("功能" + std::to_string(i)) : Variant::null(), Variant(i % 2 == 0),
                         Variant(Date{45000.0 + i})});
  return rs;
}

TEST(ColumnFile, ALoadedTableOutlivesItsDictionaryAndStaysWritable) {
  const fs::path file = fs::temp_directory_path() / ("wayfind-columns-" + std::to_string(::getpid()) + ".dat");
  Dictionary saved;
  saved.SetValue("T", Variant(functionsTable(5000)));
  saved.Save(file);

  RecordsetPtr table;
  {
    Dictionary loaded;
    ASSERT_TRUE(loaded.Load(file));
    table = loaded.GetValue("T").objectAs<Recordset>();
  }
  fs::remove(file);
  ASSERT_TRUE(table);
  ASSERT_EQ(table->storedRowCount(), 5000u);
  EXPECT_EQ(testing::firstDifference(Variant(functionsTable(5000)), Variant(table)), "");

  // Writes in place, a longer text (the texts move out of the loaded memory),
  // and new rows (the cells move too): old and new values all read back.
  table->setFilter("FID = 17");
  table->setValue("FLevel", int16_t(12));
  table->setValue("FName", std::string(40, 'n'));
  table->setFilter("");
  for (int i = 0; i < 100; ++i) table->appendStoredRow({Variant(5000 + i), Variant::null(), Variant("新" + std::to_string(i)),
                                                        Variant(true), Variant::null()});
  ASSERT_EQ(table->storedRowCount(), 5100u);
  EXPECT_EQ(table->storedValue(17, 1), Variant(int16_t(12)));
  EXPECT_EQ(table->storedValue(17, 2), Variant(std::string(40, 'n')));
  EXPECT_EQ(table->storedValue(4999, 2), Variant("功能4999"));
  EXPECT_TRUE(table->storedValue(18, 2).isNull());
  EXPECT_TRUE(table->storedValue(4, 1).isNull());
  EXPECT_EQ(table->storedValue(5099, 2), Variant("新99"));
  EXPECT_EQ(table->storedValue(301, 1), Variant(int16_t(-1)));
  table->setFilter("FLevel = Null");
  EXPECT_EQ(table->RecordCount(), 1250 + 100);
}

TEST(ColumnFile, EveryTypeRoundTripsAndSavingAgainGivesTheSameBytes) {
  auto sample = testing::makeSampleDictionary();
  const std::string once = sample->serialize();
  auto loaded = std::make_shared<Dictionary>();
  ASSERT_TRUE(loaded->deserialize(once));
  EXPECT_EQ(testing::firstDifference(Variant(sample), Variant(loaded)), "");
  const std::string twice = loaded->serialize();
  EXPECT_EQ(twice, once);
}

// A version-1 file, whose record sets are saved row by row with every value
// tagged, as earlier builds wrote cache and exported template files.
std::string version1File() {
  std::string content;
  ByteWriter w(content);
  w.u32(1);  // one entry
  w.u32(10);
  w.bytes("DetailFunc");
  w.u8(static_cast<uint8_t>(Tag::Recordset));
  w.u8(1);  // open
  w.u32(2);
  for (auto [name, type, size] : {std::tuple{"FID", DataType::Integer, 4u}, {"FName", DataType::VarWChar, 80u}}) {
    w.u32(static_cast<uint32_t>(std::strlen(name)));
    w.bytes(name);
    w.u32(static_cast<uint32_t>(type));
    w.u32(size);
    w.u32(0);
    w.u8(0);
    w.u8(0);
  }
  w.u32(2);  // rows
  w.u8(static_cast<uint8_t>(Tag::Long));
  w.u32(7);
  w.u8(static_cast<uint8_t>(Tag::String));
  w.u32(6);
  w.bytes("凭证");
  w.u8(static_cast<uint8_t>(Tag::Long));
  w.u32(8);
  w.u8(static_cast<uint8_t>(Tag::Null));
  std::string file(fileformat::kMagic, sizeof fileformat::kMagic);
  ByteWriter h(file);
  h.u32(1);
  h.u32(crc32(content));
  h.u64(content.size());
  return file + content;
}

TEST(ColumnFile, Version1FilesStillLoadAndSaveInTheCurrentForm) {
  Dictionary d;
  ASSERT_TRUE(d.deserialize(version1File()));
  auto rs = d.GetValue("DetailFunc").objectAs<Recordset>();
  ASSERT_TRUE(rs);
  ASSERT_EQ(rs->storedRowCount(), 2u);
  EXPECT_EQ(rs->storedValue(0, 1), Variant("凭证"));
  EXPECT_TRUE(rs->storedValue(1, 1).isNull());
  const std::string saved = d.serialize();
  fileformat::Header header;
  ASSERT_EQ(fileformat::readHeader(saved, header), fileformat::HeaderStatus::Ok);
  EXPECT_EQ(header.version, fileformat::kFormatVersion);
  Dictionary again;
  ASSERT_TRUE(again.deserialize(saved));
  EXPECT_EQ(testing::firstDifference(Variant(rs), again.GetValue("DetailFunc")), "");

  // The current form under a version-1 header is not a version-1 file.
  std::string relabelled = saved;
  relabelled[8] = 1;
  EXPECT_FALSE(again.deserialize(relabelled));
  EXPECT_EQ(again.Count(), 0u);
}

// A sealed file holding one record set in columns: one field of the type given
// and rows rows (one by default), whose column (Null bits, then the values) and
// text area the caller writes.
template <class WriteColumn>
std::string oneColumn(DataType type, uint32_t definedSize, WriteColumn writeColumn, uint32_t rows = 1) {
  std::string content;
  ByteWriter w(content);
  w.u32(1);
  w.u32(1);
  w.bytes("T");
  w.u8(static_cast<uint8_t>(Tag::RecordsetColumns));
  w.u8(1);
  w.u32(1);
  w.u32(1);
  w.bytes("F");
  w.u32(static_cast<uint32_t>(type));
  w.u32(definedSize);
  w.u32(0);
  w.u8(0);
  w.u8(0);
  w.u32(rows);
  w.align8();
  writeColumn(w);
  return fileformat::seal(content);
}

bool loads(const std::string& bytes) {
  Dictionary d;
  d.SetValue("Previous", 1);
  const bool ok = d.deserialize(bytes);
  EXPECT_TRUE(ok || d.Count() == 0) << "a refused file left content behind";
  return ok;
}

TEST(ColumnFile, ColumnsThatAChecksumCannotVouchForAreRefused) {
  auto text = [](uint64_t offset, uint64_t length, std::string_view area) {
    return [=](ByteWriter& w) {
      w.u64(0);  // not Null
      w.u64(offset << 32 | length);
      w.u64(area.size());
      w.bytes(area);
    };
  };
  auto narrow = [](uint32_t v) {
    return [=](ByteWriter& w) {
      w.u64(0);
      w.u32(v);
      w.u64(0);  // no texts
    };
  };
  // Texts must lie inside the area and fit the field in characters.
  EXPECT_TRUE(loads(oneColumn(DataType::VarWChar, 4, text(0, 12, "凭证录入"))));
  EXPECT_FALSE(loads(oneColumn(DataType::VarWChar, 4, text(0, 13, "凭证录入"))));
  EXPECT_FALSE(loads(oneColumn(DataType::VarWChar, 0, text(uint64_t{1} << 31, 1, "x"))));
  EXPECT_FALSE(loads(oneColumn(DataType::VarWChar, 0, text(0xFFFFFFFFu, 0xFFFFFFFFu, "x"))));
  EXPECT_FALSE(loads(oneColumn(DataType::VarWChar, 4, text(0, 5, "abcde"))));
  EXPECT_TRUE(loads(oneColumn(DataType::VarWChar, 4, text(1, 4, "abcde"))));
  // A Null text's cell is never read, whatever it holds.
  EXPECT_TRUE(loads(oneColumn(DataType::VarWChar, 4, [](ByteWriter& w) {
    w.u64(1);
    w.u64(~uint64_t{0});
    w.u64(0);
  })));
  // Booleans are 0 or 1, SmallInts within their range (sign-extended).
  EXPECT_TRUE(loads(oneColumn(DataType::Boolean, 0, narrow(1))));
  EXPECT_FALSE(loads(oneColumn(DataType::Boolean, 0, narrow(2))));
  EXPECT_TRUE(loads(oneColumn(DataType::SmallInt, 0, narrow(static_cast<uint32_t>(-32768)))));
  EXPECT_TRUE(loads(oneColumn(DataType::SmallInt, 0, narrow(32767))));
  EXPECT_FALSE(loads(oneColumn(DataType::SmallInt, 0, narrow(32768))));
  EXPECT_FALSE(loads(oneColumn(DataType::SmallInt, 0, narrow(0xFFFF))));
  // A column shorter than its rows need, or no text area after it.
  EXPECT_FALSE(loads(oneColumn(DataType::BigInt, 0, [](ByteWriter& w) { w.u64(0); w.u32(5); })));
  EXPECT_FALSE(loads(oneColumn(DataType::BigInt, 0, [](ByteWriter& w) { w.u64(0); w.u64(5); })));
  EXPECT_TRUE(loads(oneColumn(DataType::BigInt, 0, [](ByteWriter& w) { w.u64(0); w.u64(5); w.u64(0); })));
}

TEST(ColumnFile, HostileRowCountsAreRefusedBeforeAnythingIsAllocated) {
  // Four billion rows of one Integer field: the columns would need 16 GB more
  // than the file holds.
  EXPECT_FALSE(loads(oneColumn(DataType::Integer, 4, [](ByteWriter& w) { w.bytes(std::string(64, '\0')); },
                               0xFFFFFFFFu)));
  // Sixty rows fit the bytes left as a count, not as a column of 8 + 240 bytes.
  EXPECT_FALSE(loads(oneColumn(DataType::Integer, 4, [](ByteWriter& w) { w.bytes(std::string(64, '\0')); }, 60)));
  EXPECT_TRUE(loads(oneColumn(DataType::Integer, 4, [](ByteWriter& w) { w.bytes(std::string(8 + 240 + 8, '\0')); }, 60)));
}

// Texts of a loaded file may share bytes (a file written elsewhere, checksums
// and all); a write that makes the table compact its texts gives each cell bytes
// of its own, never more than it made room for.
TEST(ColumnFile, CellsSharingTheirBytesAreKeptWholeWhenTheTextsAreCompacted) {
  const size_t big = 2u << 20;
  auto rs = std::make_shared<Recordset>();
  rs->appendField("FText", DataType::LongVarWChar);
  rs->open();
  rs->AddNew();
  rs->setValue("FText", Variant(std::string(big, 'A')));
  rs->AddNew();
  rs->setValue("FText", Variant(std::string("B")));
  Dictionary saved;
  saved.SetValue("T", Variant(rs));
  const std::string bytes = saved.serialize();
  uint64_t length = 0;
  std::memcpy(&length, bytes.data() + 16, 8);
  std::string content = bytes.substr(fileformat::kHeaderSize, length);
  // The second cell made to name the first one's bytes.
  const uint64_t second = (uint64_t{big} << 32) | 1, shared = big;
  const size_t at = content.find(std::string(reinterpret_cast<const char*>(&second), 8));
  ASSERT_NE(at, std::string::npos);
  std::memcpy(&content[at], &shared, 8);
  Dictionary loaded;
  ASSERT_TRUE(loaded.deserialize(fileformat::seal(content)));
  auto table = loaded.GetValue("T").objectAs<Recordset>();
  table->MoveFirst();
  table->setValue("FText", Variant(std::string()));  // the first text becomes garbage: compacted
  table->MoveNext();
  EXPECT_EQ(table->value("FText").asString(), std::string(big, 'A'));
}

}  // namespace
}  // namespace wayfind::platform
