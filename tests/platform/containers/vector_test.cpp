#include "platform/containers/vector.h"

#include <gtest/gtest.h>

#include "platform/automation/automation_error.h"

namespace wayfind::platform {
namespace {

void expectSubscriptError(const std::function<void()>& f) {
  try {
    f();
    ADD_FAILURE() << "no error raised";
  } catch (const AutomationError& e) {
    EXPECT_EQ(e.number(), err::kSubscriptOutOfRange);
    EXPECT_EQ(e.description(), "Subscript out of range");
  }
}

TEST(Vector, ItemsAreAddressedFromOneInAppendOrder) {
  Vector v;
  v.Append("first");
  v.Append(int32_t(2));
  v.Append(Variant::null());
  ASSERT_EQ(v.Count(), 3);
  EXPECT_EQ(v.Item(1), Variant("first"));
  EXPECT_EQ(v.Item(2), Variant(int32_t(2)));
  EXPECT_TRUE(v.Item(3).isNull());
  v.SetItem(2, "two");
  EXPECT_EQ(v.Item(2), Variant("two"));
}

TEST(Vector, PositionsOutsideOneToCountRaiseSubscriptOutOfRange) {
  Vector v;
  expectSubscriptError([&] { v.Item(1); });
  v.Append(1);
  expectSubscriptError([&] { v.Item(0); });
  expectSubscriptError([&] { v.Item(2); });
  expectSubscriptError([&] { v.Item(-1); });
  expectSubscriptError([&] { v.SetItem(2, 5); });
  EXPECT_EQ(v.Count(), 1);
  v.Clear();
  expectSubscriptError([&] { v.Item(1); });
}

}  // namespace
}  // namespace wayfind::platform
