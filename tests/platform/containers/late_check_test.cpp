// Cache files whose cells are checked where they are first read: damage in a
// cell surfaces as DamagedFileError from the read that meets it, never as a
// wrong value; damage anywhere else refuses the file as a whole load does.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/automation/conversions.h"
#include "platform/containers/byte_io.h"
#include "platform/containers/checksum.h"
#include "platform/containers/dictionary.h"
#include "platform/containers/file_format.h"
#include "platform/recordset/recordset.h"

namespace wayfind::platform {
namespace {

namespace fs = std::filesystem;

constexpr int kRows = 20000;  // many blocks of the file per column

std::string rowText(int r) { return "text-" + std::to_string(100000 + r); }

std::string savedTable() {
  auto rs = std::make_shared<Recordset>();
  rs->appendField("FLongField", DataType::Integer, 4, fieldattr::kFixed);
  rs->appendField("FName", DataType::VarWChar, 20, fieldattr::kMayBeNull);
  rs->appendField("FVisible", DataType::Boolean, 2, fieldattr::kFixed);
  rs->open();
  for (int r = 0; r < kRows; ++r) {
    rs->AddNew();
    rs->setValue("FLongField", int32_t(0x5A000000 + r));
    rs->setValue("FName", rowText(r));
    rs->setValue("FVisible", r % 2 == 0);
  }
  Dictionary d;
  d.SetValue("TimeStamp", "v1");
  d.SetValue("DetailFunc", Variant(rs));
  return d.serialize();
}

size_t find(const std::string& bytes, const std::string& what) {
  const size_t at = bytes.find(what);
  EXPECT_NE(at, std::string::npos) << what;
  return at;
}

std::string le32(uint32_t v) {
  std::string s(4, '\0');
  std::memcpy(s.data(), &v, 4);
  return s;
}

fs::path write(const std::string& bytes) {
  const fs::path path = fs::temp_directory_path() / ("wayfind-late-check-" + std::to_string(::getpid()) + ".dat");
  std::ofstream(path, std::ios::binary) << bytes;
  return path;
}

Variant cellOfRow(Dictionary& d, int row, const char* field) {
  auto rs = std::dynamic_pointer_cast<Recordset>(d.GetValue("DetailFunc").asObject());
  rs->setAbsolutePosition(row + 1);
  return rs->value(field);
}

TEST(LateCheck, DamageIsFoundWhereItIsRead) {
  const std::string good = savedTable();
  struct Case {
    const char* what;
    size_t at;
    bool loads;               // LoadCheckingAsRead accepts the file
    const char* damagedField;  // the field of row 19000 whose read must raise
  } cases[] = {
      {"an integer cell", find(good, le32(0x5A000000 + 19000)), true, "FLongField"},
      {"a text", find(good, rowText(19000)) + 7, true, "FName"},
      {"a field name", find(good, "FLongField"), false, nullptr},
      {"the time stamp", find(good, "v1"), false, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string bad = good;
    bad[c.at] ^= 0x10;
    const fs::path path = write(bad);
    Dictionary whole;
    EXPECT_FALSE(whole.Load(path));  // a whole load checks every block first
    Dictionary d;
    ASSERT_EQ(d.LoadCheckingAsRead(path), c.loads);
    if (c.loads) {
      EXPECT_EQ(CStr(d.GetValue("TimeStamp")), "v1");
      EXPECT_EQ(CStr(cellOfRow(d, 10, "FName")), rowText(10));  // far from the damage
      EXPECT_EQ(CLng(cellOfRow(d, 10, "FLongField")), 0x5A000000 + 10);
      try {
        cellOfRow(d, 19000, c.damagedField);
        ADD_FAILURE() << "the damaged cell was read";
      } catch (const DamagedFileError& e) {
        EXPECT_EQ(e.file(), path.string());
        EXPECT_EQ(e.number(), err::kFileError);
      }
      // Copying a few rows far apart checks each row copied, the damaged one too.
      {
        Dictionary copied;
        ASSERT_TRUE(copied.LoadCheckingAsRead(path));
        auto from = std::dynamic_pointer_cast<Recordset>(copied.GetValue("DetailFunc").asObject());
        auto to = from->cloneStructure();
        to->appendCopiesOfRows(*from, {7, 5003, 12001});
        ASSERT_EQ(to->storedRowCount(), 3u);
        EXPECT_EQ(CStr(to->storedValue(1, 1)), rowText(5003));
        EXPECT_EQ(CLng(to->storedValue(2, 0)), 0x5A000000 + 12001);
        EXPECT_THROW(to->appendCopiesOfRows(*from, {3, 19000}), DamagedFileError);
      }
      // A filter that indexes the whole column meets it too.
      Dictionary again;
      ASSERT_TRUE(again.LoadCheckingAsRead(path));
      auto rs = std::dynamic_pointer_cast<Recordset>(again.GetValue("DetailFunc").asObject());
      const std::string filter = std::string(c.damagedField) + (c.damagedField[1] == 'L' ? " = 5" : " = 'x'");
      EXPECT_THROW(rs->setFilter(filter), DamagedFileError) << filter;
    }
    fs::remove(path);
  }
  // Intact, every cell reads back, and saving reads them all.
  const fs::path path = write(good);
  Dictionary d;
  ASSERT_TRUE(d.LoadCheckingAsRead(path));
  for (int r = 0; r < kRows; r += 997) EXPECT_EQ(CStr(cellOfRow(d, r, "FName")), rowText(r));
  EXPECT_EQ(d.serialize(), good);
  fs::remove(path);
}

TEST(LateCheck, EarlierVersionsStillLoad) {
  // The same content in the earlier forms: version 2 with one CRC-32 of the
  // content and no block table, version 3 with a CRC-32 per 16 KiB block.
  const std::string current = savedTable();
  fileformat::Header header;
  ASSERT_EQ(fileformat::readHeader(current, header), fileformat::HeaderStatus::Ok);
  const std::string content = current.substr(fileformat::kHeaderSize, header.contentLength);
  auto earlier = [&](uint32_t version) {
    std::string bytes = current.substr(0, fileformat::kHeaderSize) + content, table;
    for (size_t at = 0; version == 3 && at < content.size(); at += 16384)
      table += le32(crc32(std::string_view(content).substr(at, 16384)));
    std::memcpy(bytes.data() + 8, le32(version).data(), 4);
    std::memcpy(bytes.data() + 12, le32(crc32(version == 3 ? table : content)).data(), 4);
    return bytes + table;
  };
  for (uint32_t version : {2u, 3u}) {
    for (bool asRead : {false, true}) {
      SCOPED_TRACE(testing::Message() << "version " << version << (asRead ? ", checked as read" : ""));
      std::string bytes = earlier(version);
      const fs::path path = write(bytes);
      Dictionary d;
      ASSERT_TRUE(asRead ? d.LoadCheckingAsRead(path) : d.Load(path));
      EXPECT_EQ(d.LoadedFormatVersion(), version);
      EXPECT_EQ(CStr(cellOfRow(d, 4321, "FName")), rowText(4321));
      if (version == 3 && asRead) {
        // A damaged cell of a version 3 file is found where it is read, in its 16 KiB block.
        bytes[find(bytes, rowText(19000)) + 7] ^= 0x10;
        const fs::path damaged = write(bytes);
        Dictionary e;
        ASSERT_TRUE(e.LoadCheckingAsRead(damaged));
        EXPECT_EQ(CStr(cellOfRow(e, 10, "FName")), rowText(10));
        EXPECT_THROW(cellOfRow(e, 19000, "FName"), DamagedFileError);
      }
      fs::remove(path);
    }
  }
}

}  // namespace
}  // namespace wayfind::platform
