// The command line's own pieces: argument reading, output forms, usage errors.
#include <gtest/gtest.h>

#include <sstream>

#include "app/call_arguments.h"
#include "app/command_line.h"
#include "app/json_writer.h"
#include "app/terminal_group_chooser.h"
#include "app/text_output.h"
#include "platform/automation/automation_error.h"
#include "platform/containers/dictionary.h"
#include "platform/containers/vector.h"
#include "platform/recordset/recordset.h"

using namespace wayfind;
using platform::Variant;

TEST(CallArguments, ReadNumbersBooleansTextsAndContainers) {
  EXPECT_EQ(app::parseCallArgument("42"), Variant(int32_t{42}));
  EXPECT_EQ(app::parseCallArgument("-7"), Variant(int32_t{-7}));
  EXPECT_EQ(app::parseCallArgument("3.5"), Variant(3.5));
  EXPECT_EQ(app::parseCallArgument("4294967296"), Variant(4294967296.0));  // beyond a Long
  EXPECT_EQ(app::parseCallArgument("TRUE"), Variant(true));
  EXPECT_TRUE(app::parseCallArgument("-").isEmpty());
  EXPECT_TRUE(app::parseCallArgument("null").isNull());
  EXPECT_EQ(app::parseCallArgument("str:42"), Variant("42"));
  EXPECT_EQ(app::parseCallArgument("凭证管理"), Variant("凭证管理"));
  EXPECT_EQ(app::parseCallArgument("&H10"), Variant("&H10"));  // only plain decimals are numbers
  // Texts that merely look like numbers arrive as typed, not as the number's print.
  EXPECT_EQ(app::parseCallArgument("007"), Variant("007"));
  EXPECT_EQ(app::parseCallArgument("1.50"), Variant("1.50"));
  EXPECT_EQ(app::parseCallArgument("+5"), Variant("+5"));
  EXPECT_EQ(app::parseCallArgument("12345678901234567890"), Variant("12345678901234567890"));
  auto d = app::parseCallArgument("dict:NewName=凭证,Visible=1,Index=str:3").objectAs<platform::Dictionary>();
  ASSERT_TRUE(d);
  EXPECT_EQ(d->Keys(), (std::vector<std::string>{"NewName", "Visible", "Index"}));
  EXPECT_EQ(d->GetValue("visible"), Variant(int32_t{1}));
  EXPECT_EQ(d->GetValue("Index"), Variant("3"));
  auto v = app::parseCallArgument("vector:16384,16385").objectAs<platform::Vector>();
  ASSERT_TRUE(v);
  EXPECT_EQ(v->Count(), 2);
  EXPECT_EQ(app::parseCallArgument("vector:").objectAs<platform::Vector>()->Count(), 0);
  EXPECT_THROW(app::parseCallArgument("dict:novalue"), platform::AutomationError);
}

TEST(Output, JsonEscapesAndKeepsTypes) {
  EXPECT_EQ(app::jsonString("a\"b\\c\n\x01"), "\"a\\\"b\\\\c\\n\\u0001\"");
  // Bytes that are not UTF-8 (written into the database by another tool) become
  // U+FFFD, so the whole answer stays JSON a strict parser takes.
  EXPECT_EQ(app::jsonString("a\xff\xc3"), "\"a\xef\xbf\xbd\xef\xbf\xbd\"");
  EXPECT_EQ(app::jsonString("\xed\xa0\x80\xe5\x87x"), "\"\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbdx\"");
  EXPECT_EQ(app::jsonString("\xc0\xaf总"), "\"\xef\xbf\xbd\xef\xbf\xbd总\"");
  EXPECT_EQ(app::toJson(Variant(true)), "true");
  EXPECT_EQ(app::toJson(Variant::null()), "null");
  EXPECT_EQ(app::toJson(Variant(int32_t{-3})), "-3");
  auto rs = std::make_shared<platform::Recordset>();
  rs->appendField("FID", platform::DataType::Integer);
  rs->appendField("FName", platform::DataType::VarWChar, 20);
  rs->open();
  rs->AddNew();
  rs->setValue("FID", Variant(1));
  rs->setValue("FName", Variant("总账"));
  rs->AddNew();
  rs->setValue("FID", Variant(2));
  EXPECT_EQ(app::toJson(Variant(rs)), "[{\"FID\":1,\"FName\":\"总账\"},{\"FID\":2,\"FName\":null}]");
  // Printing leaves the cursor on the first row.
  EXPECT_EQ(rs->AbsolutePosition(), 1);
}

TEST(Output, TablesAlignWideCharacters) {
  EXPECT_EQ(app::displayWidth("总账ab"), 6u);
  // Stored names go to a terminal without their control characters.
  EXPECT_EQ(app::printable("a\x1b[31m\nb\xc2\x85\x7f总"), "a\xef\xbf\xbd[31m\xef\xbf\xbd" "b\xef\xbf\xbd\xef\xbf\xbd总");
  auto rs = std::make_shared<platform::Recordset>();
  rs->appendField("FName", platform::DataType::VarWChar, 20);
  rs->appendField("FID", platform::DataType::Integer);
  rs->open();
  rs->AddNew();
  rs->setValue("FName", Variant("总账"));
  rs->setValue("FID", Variant(7));
  const std::string table = app::formatValue(Variant(rs));
  EXPECT_NE(table.find("FName  FID\n"), std::string::npos) << table;
  EXPECT_NE(table.find("总账   7\n"), std::string::npos) << table;
  EXPECT_NE(table.find("(1 row)"), std::string::npos);
  // An empty container a method handed back still shows as something.
  EXPECT_EQ(app::formatValue(Variant(std::make_shared<platform::Dictionary>())), "(empty dictionary)\n");
  EXPECT_EQ(app::formatValue(Variant(std::make_shared<platform::Vector>())), "(empty vector)\n");
}

TEST(CommandLine, UsageErrorsExitWithTwoAndSayWhy) {
  std::istringstream in;
  std::ostringstream out, err;
  EXPECT_EQ(app::runCommandLine({"frobnicate"}, in, out, err, false), 2);
  EXPECT_NE(err.str().find("unknown command frobnicate"), std::string::npos);
  err.str("");
  EXPECT_EQ(app::runCommandLine({"tree", "--lang", "fr"}, in, out, err, false), 2);
  EXPECT_NE(err.str().find("--lang takes chs, en or cht"), std::string::npos);
  err.str("");
  EXPECT_EQ(app::runCommandLine({"tree", "--user"}, in, out, err, false), 2);
  EXPECT_NE(err.str().find("--user needs a value"), std::string::npos);
  err.str("");
  EXPECT_EQ(app::runCommandLine({"tree", "--bogus"}, in, out, err, false), 2);
  // An empty path (an unset shell variable) and a value given to a flag are refused
  // before anything is opened.
  for (const std::vector<std::string>& asked :
       {std::vector<std::string>{"tree", "--db="}, {"tree", "--db", ""}, {"tree", "--cache-dir="},
        {"tree", "--call-log", ""}, {"tree", "--uuid="}, {"tree", "--json=no"}, {"tree", "--all=false"}}) {
    err.str("");
    EXPECT_EQ(app::runCommandLine(asked, in, out, err, false), 2) << asked[1];
    EXPECT_TRUE(err.str().find("not an empty text") != std::string::npos ||
                err.str().find("takes no value") != std::string::npos)
        << err.str();
  }
  out.str("");
  err.str("");
  EXPECT_EQ(app::runCommandLine({}, in, out, err, false), 2);
  EXPECT_EQ(out.str(), "");  // no command: the usage goes to the error stream
  EXPECT_NE(err.str().find("Commands:"), std::string::npos);
  out.str("");
  EXPECT_EQ(app::runCommandLine({"--help"}, in, out, err, false), 0);
  EXPECT_NE(out.str().find("Commands:"), std::string::npos);
  for (const char* command : {"tree", "call", "search", "favourites", "export", "import"}) {
    for (const std::vector<std::string>& asked : {std::vector<std::string>{command, "--help"}, {"help", command}}) {
      out.str("");
      EXPECT_EQ(app::runCommandLine(asked, in, out, err, false), 0) << command;
      EXPECT_NE(out.str().find(std::string("Usage: wayfind ") + command), std::string::npos) << asked[0] << command;
    }
  }
}

TEST(TerminalGroupChooser, PicksByNumberDefaultsToTheFirstAndCancels) {
  const std::vector<update::GroupChoice> groups{{7, "总账"}, {3, "报表"}, {9, "出纳"}};
  auto choose = [&](const std::string& typed, bool interactive = true) {
    std::istringstream in(typed);
    std::ostringstream out;
    return app::TerminalGroupChooser(in, out, interactive).choose(groups);
  };
  EXPECT_EQ(choose("2\n"), 3);
  EXPECT_EQ(choose("\n"), 7);
  EXPECT_EQ(choose(" 3 \n"), 9);
  EXPECT_EQ(choose("q\n"), -1);
  EXPECT_EQ(choose(""), -1);            // end of input closes the choice
  EXPECT_EQ(choose("abc\n4\n1.5\n2\n"), 3);  // wrong answers are asked again
  EXPECT_EQ(choose("2\n", false), -1);  // no terminal: closed without OK
}
