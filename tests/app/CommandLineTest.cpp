#include <gtest/gtest.h>

#include <string>

#include "app/Demo.h"

namespace {

std::string parse(const char* text)
{
    static char buffer[256];
    snprintf(buffer, sizeof buffer, "%s", text);
    ParseCommandLine(buffer);
    std::string words;
    for (int i = 0; i < g_cmdWordCount; i++)
        words += std::string("[") + g_cmdWords[i] + "]";
    return words;
}

TEST(CommandLine, SplitsAtSpacesAndUpperCases)
{
    EXPECT_EQ(parse(""), "");
    EXPECT_EQ(g_cmdWordCount, 0);
    EXPECT_FALSE(HasSwitch("-windowed"));
    EXPECT_EQ(parse("     "), "");
    EXPECT_EQ(g_cmdWordCount, 0);
    ParseCommandLine(nullptr);
    EXPECT_EQ(g_cmdWordCount, 0);

    EXPECT_EQ(parse("-Windowed   -slow"), "[-WINDOWED][-SLOW]");
    EXPECT_EQ(parse("  -slow\t-x "), "[-SLOW\t-X]"); // tabs do not separate
}

TEST(CommandLine, SwitchesMatchWholeWordsInAnyCase)
{
    parse("-SLOW -WiNdOwEd");
    EXPECT_TRUE(HasSwitch("-windowed"));
    EXPECT_TRUE(HasSwitch("-slow"));
    EXPECT_TRUE(HasSwitch("-Slow"));

    parse("-windowedx --slow");
    EXPECT_FALSE(HasSwitch("-windowed")); // a longer word only begins with it
    EXPECT_FALSE(HasSwitch("-slow"));     // another leading character
    EXPECT_FALSE(HasSwitch("-window"));
}
} // namespace
