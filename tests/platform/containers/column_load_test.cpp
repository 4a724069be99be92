// Loading writes values straight into a record set's columns. A value of the
// field's own type is taken as it is; any other goes through the field's
// conversion exactly as a value written into the field does: accepted when the
// field accepts it, the whole file refused when the field refuses it.
#include <gtest/gtest.h>

#include <string>

#include "platform/containers/byte_io.h"
#include "platform/containers/dictionary.h"
#include "platform/containers/file_format.h"
#include "platform/containers/value_codec.h"
#include "platform/containers/vector.h"
#include "platform/recordset/recordset.h"

namespace wayfind::platform {
namespace {

using fileformat::ByteWriter;
using fileformat::Tag;

struct Field {
  const char* name;
  DataType type;
  uint32_t size;
};

// A saved dictionary {"T": record set} with the given fields and one row whose
// values the caller writes.
template <class WriteRow>
std::string savedTable(std::initializer_list<Field> fields, WriteRow writeRow) {
  std::string content;
  ByteWriter w(content);
  w.u32(1);
  w.u32(1);
  w.bytes("T");
  w.u8(static_cast<uint8_t>(Tag::Recordset));
  w.u8(1);
  w.u32(static_cast<uint32_t>(fields.size()));
  for (const Field& f : fields) {
    w.u32(static_cast<uint32_t>(std::string_view(f.name).size()));
    w.bytes(f.name);
    w.u32(static_cast<uint32_t>(f.type));
    w.u32(f.size);
    w.u32(0);
    w.u8(0);
    w.u8(0);
  }
  w.u32(1);
  writeRow(w);
  return fileformat::seal(content);
}

void text(ByteWriter& w, std::string_view s) {
  w.u8(static_cast<uint8_t>(Tag::String));
  w.u32(static_cast<uint32_t>(s.size()));
  w.bytes(s);
}

void longValue(ByteWriter& w, int32_t v) {
  w.u8(static_cast<uint8_t>(Tag::Long));
  w.u32(static_cast<uint32_t>(v));
}

RecordsetPtr tableOf(Dictionary& d) { return d.GetValue("T").objectAs<Recordset>(); }

TEST(ColumnLoad, ValuesOfAnotherTypeAreConvertedAsAWriteWouldConvertThem) {
  const std::string bytes =
      savedTable({{"FID", DataType::Integer, 0}, {"FSmall", DataType::SmallInt, 0}, {"FFlag", DataType::Boolean, 0},
                  {"FName", DataType::VarWChar, 4}, {"FWhen", DataType::Date, 0}},
                 [](ByteWriter& w) {
                   text(w, "12");        // a numeric text in an Integer field
                   longValue(w, 5);      // a Long in a SmallInt field
                   longValue(w, 1);      // a Long in a Boolean field
                   longValue(w, 42);     // a number in a text field
                   w.u8(static_cast<uint8_t>(Tag::Double));
                   w.f64(45000.5);       // a Double in a Date field
                 });
  Dictionary d;
  ASSERT_TRUE(d.deserialize(bytes));
  auto rs = tableOf(d);
  ASSERT_TRUE(rs);
  EXPECT_EQ(rs->value("FID"), Variant(int32_t{12}));
  EXPECT_EQ(rs->value("FSmall"), Variant(int16_t{5}));
  EXPECT_EQ(rs->value("FFlag"), Variant(true));
  EXPECT_EQ(rs->value("FName"), Variant("42"));
  EXPECT_EQ(rs->value("FWhen"), Variant(Date{45000.5}));
}

TEST(ColumnLoad, AValueTheFieldRefusesRefusesTheFile) {
  auto one = [](DataType type, uint32_t size, auto write) {
    Dictionary d;
    d.SetValue("Previous", "content");
    const bool ok = d.deserialize(savedTable({{"F", type, size}}, write));
    EXPECT_EQ(d.Count(), ok ? 1u : 0u);
    return ok;
  };
  EXPECT_FALSE(one(DataType::Integer, 0, [](ByteWriter& w) { text(w, "abc"); }));
  EXPECT_FALSE(one(DataType::SmallInt, 0, [](ByteWriter& w) { longValue(w, 40000); }));
  // The defined size counts characters: four Chinese characters (12 bytes) fit
  // a size of 4, five do not; five ASCII letters do not either.
  EXPECT_TRUE(one(DataType::VarWChar, 4, [](ByteWriter& w) { text(w, "凭证录入"); }));
  EXPECT_FALSE(one(DataType::VarWChar, 4, [](ByteWriter& w) { text(w, "凭证录入x"); }));
  EXPECT_FALSE(one(DataType::VarWChar, 4, [](ByteWriter& w) { text(w, "abcde"); }));
  EXPECT_TRUE(one(DataType::LongVarWChar, 0, [](ByteWriter& w) { text(w, std::string(70000, 'x')); }));
}

TEST(ColumnLoad, VariantFieldsKeepAnyValueAndLoadedTablesStayUsable) {
  auto rs = std::make_shared<Recordset>();
  rs->appendField("FID", DataType::Integer);
  rs->appendField("FAny", DataType::Variant);
  rs->appendField("FName", DataType::VarWChar, 20);
  rs->open();
  auto items = std::make_shared<Vector>();
  items->Append(Variant("a"));
  for (int i = 0; i < 300; ++i) {
    rs->AddNew();
    rs->setValue("FID", i % 7);
    rs->setValue("FAny", i % 3 == 0 ? Variant(items) : i % 3 == 1 ? Variant(int64_t{i}) : Variant("t" + std::to_string(i)));
    if (i % 5) rs->setValue("FName", "名称" + std::to_string(i));
  }
  Dictionary saved;
  saved.SetValue("T", Variant(rs));
  Dictionary d;
  ASSERT_TRUE(d.deserialize(saved.serialize()));
  auto loaded = tableOf(d);
  ASSERT_EQ(loaded->storedRowCount(), 300u);
  EXPECT_EQ(loaded->storedValue(3, 1).objectAs<Vector>()->Item(1), Variant("a"));
  EXPECT_EQ(loaded->storedValue(4, 1), Variant(int64_t{4}));
  EXPECT_EQ(loaded->storedValue(5, 1), Variant("t5"));
  EXPECT_TRUE(loaded->storedValue(5, 2).isNull());
  EXPECT_EQ(loaded->storedValue(6, 2), Variant("名称6"));
  // Filters, writes and appends work on the loaded columns as on built ones.
  loaded->setFilter("FID = 3 And FName Like '名称%'");
  int visible = loaded->RecordCount();
  EXPECT_GT(visible, 0);
  loaded->setValue("FName", Variant::null());
  loaded->setFilter("FID = 3 And FName Like '名称%'");
  EXPECT_EQ(loaded->RecordCount(), visible - 1);
  loaded->appendStoredRow({Variant(3), Variant::null(), Variant("名称x")});
  EXPECT_EQ(loaded->RecordCount(), visible);
  Dictionary again;
  ASSERT_TRUE(again.deserialize(d.serialize()));
  EXPECT_EQ(again.serialize(), d.serialize());
}

}  // namespace
}  // namespace wayfind::platform
