#include "ScriptedPrompts.h"
#include "app/CommandLine.h"

#include <gtest/gtest.h>

using qtest::CScriptedPrompts;
using qtest::TestPrompts;

namespace {

class CommandLineTest : public ::testing::Test {
protected:
    void SetUp() override { TestPrompts().Reset(); }
};

TEST_F(CommandLineTest, HelpShowsTheUsageBoxAndStops)
{
    for (const char* flag : {"-h", "--help"}) {
        TestPrompts().Reset();
        StartupValues values;
        EXPECT_FALSE(ParseCommandLine({flag}, values)) << flag;
        ASSERT_EQ(TestPrompts().Seen().size(), 1u) << flag;
        const CScriptedPrompts::Prompt& box = TestPrompts().Seen()[0];
        EXPECT_EQ(box.kind, CScriptedPrompts::Information);
        EXPECT_EQ(box.title, "Quarrow Usage");
        EXPECT_EQ(box.text.rfind("<pre>Allowed options", 0), 0u) << box.text;
        for (const char* part : {"--help", "Display help", "--url", "Startup URL to navigate to", "--show-options-dlg",
                                 "Show options dlg on startup"})
            EXPECT_NE(box.text.find(part), std::string::npos) << part;
    }
}

struct LineCase {
    std::vector<std::string> args;
    std::string url;
    bool options;
    bool failed;
};

TEST_F(CommandLineTest, ValuesAndSwallowedErrors)
{
    const LineCase cases[] = {
        {{}, "", false, false},
        {{"--url", "http://a.example/x y.html"}, "http://a.example/x y.html", false, false},
        {{"--url=https://a.example/"}, "https://a.example/", false, false},
        {{"-o", "--url", "http://a.example/"}, "http://a.example/", true, false},
        {{"--show-options-dlg"}, "", true, false},
        // Malformed lines: no box, and a valid address given with them is dropped.
        {{"--url"}, "", false, true},
        {{"--url", "http://a.example/", "--bogus"}, "", false, true},
        {{"-x", "--url", "http://a.example/"}, "", false, true},
        {{"--url", "http://a.example/", "--url", "http://b.example/"}, "", false, true},
    };
    for (const LineCase& c : cases) {
        StartupValues values;
        EXPECT_TRUE(ParseCommandLine(c.args, values));
        EXPECT_EQ(values.StartupURL, c.url);
        EXPECT_EQ(values.ShowOptionsDlgOnStartup, c.options);
        EXPECT_EQ(values.CommandLineFailed, c.failed);
    }
    EXPECT_TRUE(TestPrompts().Seen().empty());
}

} // namespace
