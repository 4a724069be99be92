// Loading damaged, truncated, foreign, newer and hostile files: always false,
// always an empty dictionary, never a crash, a hang or a huge allocation.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/automation/automation_error.h"
#include "platform/containers/byte_io.h"
#include "platform/containers/dictionary.h"
#include "platform/containers/file_format.h"
#include "platform/containers/value_codec.h"
#include "platform/containers/vector.h"
#include "platform/recordset/recordset.h"
#include "sample_dictionary.h"

namespace wayfind::platform {
namespace {

namespace fs = std::filesystem;
using fileformat::ByteWriter;
using fileformat::Tag;

// A dictionary that already holds something, so a failed load must empty it.
void refill(Dictionary& d) {
  d.Clear();
  d.SetValue("Previous", "content");
}

std::string smallSavedFile() { return testing::makeSampleDictionary()->serialize(); }

TEST(DictionaryCorruption, EverySingleByteChangeIsRefused) {
  const std::string good = smallSavedFile();
  ASSERT_LT(good.size(), 2000u) << "keep the sample small: the test tries every byte value";
  Dictionary d;
  size_t accepted = 0;
  for (size_t pos = 0; pos < good.size(); ++pos) {
    std::string bad = good;
    for (int delta = 1; delta < 256; ++delta) {
      bad[pos] = static_cast<char>(static_cast<unsigned char>(good[pos]) + delta);
      refill(d);
      if (d.deserialize(bad) || d.Count() != 0) ++accepted;
    }
  }
  EXPECT_EQ(accepted, 0u);
}

TEST(DictionaryCorruption, EveryTruncationAndAnyAppendedByteIsRefused) {
  const std::string good = smallSavedFile();
  Dictionary d;
  for (size_t len = 0; len < good.size(); ++len) {
    refill(d);
    EXPECT_FALSE(d.deserialize(std::string_view(good).substr(0, len))) << "length " << len;
    EXPECT_EQ(d.Count(), 0u);
  }
  refill(d);
  EXPECT_FALSE(d.deserialize(good + '\0'));
  EXPECT_EQ(d.Count(), 0u);
  EXPECT_TRUE(d.deserialize(good));  // the intact form still loads
}

TEST(DictionaryCorruption, NewerFormatVersionIsRefused) {
  std::string bytes = smallSavedFile();
  fileformat::Header h;
  ASSERT_EQ(fileformat::readHeader(bytes, h), fileformat::HeaderStatus::Ok);
  EXPECT_EQ(h.version, fileformat::kFormatVersion);
  bytes[8] = static_cast<char>(fileformat::kFormatVersion + 1);  // the version follows the magic
  EXPECT_EQ(fileformat::readHeader(bytes, h), fileformat::HeaderStatus::NewerVersion);
  Dictionary d;
  refill(d);
  EXPECT_FALSE(d.deserialize(bytes));
  EXPECT_EQ(d.Count(), 0u);
}

TEST(DictionaryCorruption, FilesThatAreNotSavedDictionariesAreRefused) {
  const fs::path folder = fs::temp_directory_path() / ("wayfind-corrupt-" + std::to_string(::getpid()));
  fs::create_directories(folder);
  auto write = [&](const std::string& name, const std::string& content) {
    std::ofstream(folder / name, std::ios::binary) << content;
    return folder / name;
  };
  std::string damaged = smallSavedFile();
  damaged[damaged.size() / 2] ^= 0x20;
  const fs::path files[] = {
      write("empty.dat", ""),
      write("text.dat", "TimeStamp=2024\r\nTopClass=...\r\n"),
      write("truncated.dat", smallSavedFile().substr(0, 100)),
      write("damaged.dat", damaged),
      folder / "missing.dat",
      folder,  // a folder, not a file
  };
  Dictionary d;
  for (const auto& f : files) {
    refill(d);
    EXPECT_FALSE(d.Load(f)) << f;
    EXPECT_EQ(d.Count(), 0u) << f;
  }
  EXPECT_TRUE(d.Load(write("good.dat", smallSavedFile())));
  fs::remove_all(folder);
}

// ---- content with a valid checksum: reaches the decoder itself ----

class HostileContent : public ::testing::Test {
 protected:
  std::string content;
  ByteWriter w{content};

  bool loads() {
    Dictionary d;
    refill(d);
    bool ok = d.deserialize(fileformat::seal(content));
    if (!ok) {
      EXPECT_EQ(d.Count(), 0u);
    }
    return ok;
  }
  void key(std::string_view k) {
    w.u32(static_cast<uint32_t>(k.size()));
    w.bytes(k);
  }
  void tag(Tag t) { w.u8(static_cast<uint8_t>(t)); }
};

TEST_F(HostileContent, HugeCountsAndLengthsAreRefusedBeforeAllocating) {
  w.u32(0xFFFFFFFFu);  // four billion entries in a few bytes
  EXPECT_FALSE(loads());

  content.clear();
  w.u32(1);
  w.u32(0xFFFFFFF0u);  // a key longer than the file
  EXPECT_FALSE(loads());

  content.clear();
  w.u32(1);
  key("T");
  tag(Tag::Recordset);
  w.u8(1);
  w.u32(0);            // no fields ...
  w.u32(0xFFFFFFFFu);  // ... and four billion rows of nothing: no long loop
  EXPECT_FALSE(loads());

  content.clear();
  w.u32(1);
  key("T");
  tag(Tag::Vector);
  w.u32(0x7FFFFFFFu);
  EXPECT_FALSE(loads());
}

TEST_F(HostileContent, MalformedValuesAreRefused) {
  auto one = [&](auto fill) {
    content.clear();
    w.u32(1);
    key("K");
    fill();
    return loads();
  };
  EXPECT_TRUE(one([&] { tag(Tag::Boolean); w.u8(1); }));
  EXPECT_FALSE(one([&] { tag(Tag::Boolean); w.u8(2); }));  // a Boolean is 0 or 1
  EXPECT_FALSE(one([&] { w.u8(0x7E); }));                  // unknown tag
  EXPECT_FALSE(one([&] { tag(Tag::Long); w.u16(1); }));    // short value
  // The same key twice (in any letter case) is not a saved dictionary.
  content.clear();
  w.u32(2);
  key("TimeStamp");
  tag(Tag::Empty);
  key("TIMESTAMP");
  tag(Tag::Empty);
  EXPECT_FALSE(loads());
  // A record set with a duplicate field name or an unknown field type.
  for (uint32_t type : {uint32_t(DataType::Integer), 9999u}) {
    content.clear();
    w.u32(1);
    key("T");
    tag(Tag::Recordset);
    w.u8(1);
    w.u32(2);
    for (const char* name : {"FID", type == 9999u ? "FOther" : "fid"}) {
      key(name);
      w.u32(type);
      w.u32(4);
      w.u32(0);
      w.u16(0);
    }
    w.u32(0);
    EXPECT_FALSE(loads()) << type;
  }
}

TEST_F(HostileContent, DeepNestingIsRefusedWithoutExhaustingTheStack) {
  w.u32(1);
  key("K");
  for (int i = 0; i < 100000; ++i) {
    tag(Tag::Vector);
    w.u32(1);
  }
  tag(Tag::Empty);
  EXPECT_FALSE(loads());
}

TEST(DictionaryNesting, NestingWithinTheBoundRoundTripsAndDeeperIsRefusedOnSave) {
  auto nest = [](int levels) {
    auto top = std::make_shared<Dictionary>();
    Dictionary* at = top.get();
    for (int i = 0; i < levels; ++i) {
      auto next = std::make_shared<Dictionary>();
      at->SetValue("Child", next);
      at = next.get();
    }
    at->SetValue("Leaf", "here");
    return top;
  };
  Dictionary loaded;
  EXPECT_TRUE(loaded.deserialize(nest(fileformat::kMaxNesting)->serialize()));
  EXPECT_THROW(nest(fileformat::kMaxNesting + 1)->serialize(), AutomationError);
}

TEST(DictionaryCorruption, SingleByteChangesOfSealedContentNeverCrash) {
  // The checksum is made to match, so each change reaches the decoder; it may
  // load (a changed letter is still a text) but must stay within bounds, and a
  // refused one must leave the dictionary empty.
  const std::string good = smallSavedFile().substr(fileformat::kHeaderSize);
  for (size_t pos = 0; pos < good.size(); ++pos) {
    for (int value : {0x00, 0x01, 0x7F, 0x80, 0xFF, static_cast<unsigned char>(good[pos]) ^ 0x01}) {
      std::string bad = good;
      bad[pos] = static_cast<char>(value);
      Dictionary d;
      refill(d);
      if (!d.deserialize(fileformat::seal(bad))) {
        EXPECT_EQ(d.Count(), 0u) << pos;
      }
    }
  }
}

// A line of /proc/self/status (VmRSS, VmHWM) in bytes.
uint64_t statusBytes(const std::string& field) {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line))
    if (line.rfind(field + ":", 0) == 0) return std::strtoull(line.c_str() + field.size() + 1, nullptr, 10) * 1024;
  return 0;
}

TEST(DictionaryCorruption, LargeBogusFilesAreRefusedWithoutReadingOrAllocatingTheirSize) {
  // 1 GiB files with a valid header whose content begins as below and is zero
  // bytes after that (a hole: nothing is written to disk). The checksum is
  // wrong, but the structure gives each away from its first bytes.
  constexpr uint64_t kSize = uint64_t{1} << 30;
  constexpr uint64_t kContent = kSize - fileformat::kHeaderSize;
  struct Case {
    const char* what;
    std::string start;
    std::vector<std::string> expected;  // the record sets asked for; none: a plain Load
  };
  std::string hugeText, hugeCount, hugeTable;
  ByteWriter text(hugeText), count(hugeCount), table(hugeTable);
  text.u32(1);  // one entry, "DetailFunc": a text filling the file
  text.u32(10);
  text.bytes("DetailFunc");
  text.u8(static_cast<uint8_t>(Tag::String));
  text.u32(static_cast<uint32_t>(kContent - hugeText.size() - 4));
  count.u32(0xFFFFFFFFu);
  table.u32(1);  // "DetailFunc": a record set of no fields and a billion rows
  table.u32(10);
  table.bytes("DetailFunc");
  table.u8(static_cast<uint8_t>(Tag::RecordsetColumns));
  table.u8(1);
  table.u32(0);
  table.u32(1000000000);
  const Case cases[] = {
      {"nothing but zero bytes", "", {}},
      {"more entries than bytes", hugeCount, {}},
      {"a rowful table with nothing after it", hugeTable, {}},
      {"a text where a template holds its tables", hugeText, {"TopClass", "DetailFunc"}},
      {"a template's table missing", hugeTable, {"TopClass", "DetailFunc"}},
  };
  const fs::path folder = fs::temp_directory_path() / ("wayfind-bogus-" + std::to_string(::getpid()));
  fs::create_directories(folder);
  const fs::path file = folder / "bogus.dat";
  for (const Case& c : cases) {
    std::string head;
    ByteWriter h(head);
    h.bytes(std::string_view(fileformat::kMagic, sizeof fileformat::kMagic));
    h.u32(fileformat::kFormatVersion);
    h.u32(0x12345678);
    h.u64(kContent);
    head += c.start;
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, head.data(), head.size()), static_cast<ssize_t>(head.size()));
    ASSERT_EQ(::ftruncate(fd, static_cast<off_t>(kSize)), 0);
    ::close(fd);

    std::ofstream("/proc/self/clear_refs") << "5";  // the peak starts again from here
    const uint64_t before = statusBytes("VmRSS");
    Dictionary d;
    refill(d);
    const bool loaded = c.expected.empty() ? d.Load(file) : d.LoadExpecting(file, c.expected);
    const uint64_t grown = statusBytes("VmHWM") - before;
    EXPECT_FALSE(loaded) << c.what;
    EXPECT_EQ(d.Count(), 0u) << c.what;
    EXPECT_LT(grown, uint64_t{16} << 20) << c.what << ": the peak grew by " << grown << " bytes";
  }
  fs::remove_all(folder);
}

TEST(DictionaryCorruption, ExpectedTablesAreAskedOfTheTopLevelOnly) {
  // A template-like file loads when asked for the tables it has, letter case
  // ignored; a table that is missing or not a record set refuses it.
  Dictionary saved;
  auto rs = std::make_shared<Recordset>();
  rs->appendField("FID", DataType::Integer);
  rs->open();
  auto inner = std::make_shared<Dictionary>();
  inner->SetValue("Profile", Variant(rs));
  saved.SetValue("DetailFunc", Variant(rs));
  saved.SetValue("Profile", "text");
  saved.SetValue("Nested", Variant(inner));
  const fs::path file = fs::temp_directory_path() / ("wayfind-expected-" + std::to_string(::getpid()) + ".dat");
  saved.Save(file);
  const std::pair<std::vector<std::string>, bool> cases[] = {
      {{"detailfunc"}, true}, {{"DetailFunc", "Missing"}, false}, {{"Profile"}, false}, {{"Nested"}, false}};
  for (const auto& [tables, loads] : cases) {
    Dictionary d;
    refill(d);
    EXPECT_EQ(d.LoadExpecting(file, tables), loads) << tables.back();
    EXPECT_EQ(d.Count(), loads ? 3u : 0u) << tables.back();
  }
  fs::remove(file);
}

}  // namespace
}  // namespace wayfind::platform
