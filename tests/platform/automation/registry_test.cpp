// The ProgID registry: a new object per create, 429 for the unknown, scoped fakes.
#include <gtest/gtest.h>

#include "platform/automation/registry.h"

using namespace wayfind::platform;

namespace {
struct Counter : Object {
  static inline int alive = 0;
  Counter() { ++alive; }
  ~Counter() override { --alive; }
};
struct Other : Object {};
}  // namespace

TEST(Registry, CreatesANewObjectPerCallAndCaseInsensitively) {
  ScopedRegistration reg("Test.Counter", [] { return std::make_shared<Counter>(); }, "{ABC-1}");
  auto a = Registry::instance().create("test.counter");
  auto b = Registry::instance().create("TEST.COUNTER");
  EXPECT_NE(a, b);
  EXPECT_EQ(Counter::alive, 2);
  a.reset();
  b.reset();
  EXPECT_EQ(Counter::alive, 0);  // released at the end of the call
  EXPECT_TRUE(Registry::instance().createAs<Counter>("{abc-1}"));
  EXPECT_EQ(Registry::instance().classIdOf("Test.Counter"), "{ABC-1}");
}

TEST(Registry, UnknownProgIdRaises429WithItsName) {
  try {
    Registry::instance().create("No.Such");
    FAIL();
  } catch (const AutomationError& e) {
    EXPECT_EQ(e.number(), err::kCantCreateObject);
    EXPECT_EQ(e.description(), "ActiveX component can't create object");
  }
  ScopedRegistration nothing("Test.Null", [] { return ObjectPtr(); });
  EXPECT_THROW(Registry::instance().create("Test.Null"), AutomationError);
}

TEST(Registry, WrongContractIsATypeMismatch) {
  ScopedRegistration reg("Test.Other", [] { return std::make_shared<Other>(); });
  try {
    Registry::instance().createAs<Counter>("Test.Other");
    FAIL();
  } catch (const AutomationError& e) {
    EXPECT_EQ(e.number(), err::kTypeMismatch);
  }
}

TEST(Registry, ScopedGuardsPutTheOldRegistrationBack) {
  Registry::instance().add("Test.Swap", [] { return std::make_shared<Counter>(); }, "{SWAP}");
  {
    ScopedRegistration fake("Test.Swap", [] { return std::make_shared<Other>(); });
    EXPECT_TRUE(std::dynamic_pointer_cast<Other>(Registry::instance().create("Test.Swap")));
    {
      ScopedUnregistration gone("Test.Swap");
      EXPECT_FALSE(Registry::instance().contains("Test.Swap"));
    }
    EXPECT_TRUE(Registry::instance().contains("Test.Swap"));
  }
  EXPECT_TRUE(std::dynamic_pointer_cast<Counter>(Registry::instance().create("Test.Swap")));
  EXPECT_TRUE(std::dynamic_pointer_cast<Counter>(Registry::instance().create("{swap}")));
  Registry::instance().remove("Test.Swap");
  EXPECT_THROW(Registry::instance().create("{SWAP}"), AutomationError);
  ScopedRegistration added("Test.New", [] { return std::make_shared<Other>(); });
}

TEST(Registry, GuardRemovesWhatItAdded) {
  { ScopedRegistration added("Test.Transient", [] { return std::make_shared<Other>(); }); }
  EXPECT_FALSE(Registry::instance().contains("Test.Transient"));
}
