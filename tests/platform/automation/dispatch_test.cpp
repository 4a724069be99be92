// Late-bound calls: names in any case, by-reference arguments, 438, 449 and 450.
#include <gtest/gtest.h>

#include "platform/automation/conversions.h"
#include "platform/automation/dispatch.h"
#include "platform/events/do_events.h"

using namespace wayfind::platform;

TEST(Dispatch, CallsByNameInAnyCaseAndWritesBackArguments) {
  DispatchTable table;
  table.add("Double", 1, [](Args& a) {
    int32_t v = CLng(arg(a, 0));
    arg(a, 0) = Variant(v * 2);  // by reference
    return Variant(true);
  });
  Args args{Variant(int32_t{21})};
  EXPECT_EQ(table.invoke("dOUBLE", args, "Test"), Variant(true));
  EXPECT_EQ(args[0], Variant(int32_t{42}));
  EXPECT_EQ(table.names(), std::vector<std::string>{"Double"});
}

TEST(Dispatch, UnknownNameAndMissingArgument) {
  DispatchTable table;
  int ran = 0;
  table.add("Need", 2, [&](Args& a) {
    ++ran;
    return arg(a, 1);
  });
  Args none;
  try {
    table.invoke("Nope", none, "Test.Class");
    FAIL();
  } catch (const AutomationError& e) {
    EXPECT_EQ(e.number(), err::kNoSuchMethod);
    EXPECT_EQ(e.source(), "Test.Class");
  }
  Args one{Variant(1)};
  try {
    table.invoke("need", one, "Test");
    FAIL();
  } catch (const AutomationError& e) {
    EXPECT_EQ(e.number(), err::kArgumentNotOptional);
  }
  // More arguments than the method takes: refused before it runs.
  Args three{Variant(1), Variant(2), Variant(3)};
  const int before = ran;
  try {
    table.invoke("Need", three, "Test");
    FAIL();
  } catch (const AutomationError& e) {
    EXPECT_EQ(e.number(), err::kWrongArgumentCount);
    EXPECT_EQ(e.description(), "Need takes 2 arguments, not 3.");
  }
  EXPECT_EQ(ran, before);
  EXPECT_EQ(optionalArg(one, 0, Variant(7)), Variant(1));
  EXPECT_EQ(optionalArg(one, 3, Variant(7)), Variant(7));
  Args empty{Variant()};
  EXPECT_EQ(optionalArg(empty, 0, Variant(-1)), Variant(-1));
}

TEST(DoEvents, RunsTheInstalledHookOnly) {
  int runs = 0;
  doEvents();  // no hook: nothing happens
  setDoEventsHook([&] { ++runs; });
  doEvents();
  setDoEventsHook({});
  doEvents();
  EXPECT_EQ(runs, 1);
}
