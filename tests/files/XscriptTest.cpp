#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "files/Xscript.h"
#include "files/xFileIO.h"

namespace {

// Loads text into a script reader through a file record, as the loaders do.
void loadText(xScript& script, const std::string& text)
{
    xFile file;
    file.name = (char*)"test.x3d";
    file.size = (int32_t)text.size();
    file.data = (uint8_t*)text.data();
    script.Load(&file);
}

std::string next(xScript& script)
{
    const char* k = script.NextKeyword();
    return k ? k : "<end>";
}

} // namespace

TEST(Xscript, CrLfLineGivesKeywordRestAndSplitNumbers)
{
    xScript s;
    loadText(s, "position 1.5 -2 3e1\r\nname Camera01\r\n");
    EXPECT_EQ(next(s), "position");
    EXPECT_STREQ(s.rest, " 1.5 -2 3e1\r");
    EXPECT_FLOAT_EQ(s.GetFloat(), 1.5f);
    EXPECT_EQ(s.GetInt(), 1);
    s.SplitArgs(3);
    EXPECT_STREQ(s.arguments[0], "1.5");
    EXPECT_STREQ(s.arguments[1], "-2");
    // The last word keeps its carriage return; atof stops before it.
    EXPECT_STREQ(s.arguments[2], "3e1\r");
    EXPECT_FLOAT_EQ(s.GetArgFloat(3), 30.0f);
    EXPECT_FLOAT_EQ(s.GetArgFloat(0), 1.5f);   // below 1 counts as 1
    EXPECT_FLOAT_EQ(s.GetArgFloat(-5), 1.5f);
    EXPECT_FLOAT_EQ(s.GetArgFloat(4), 0.0f);   // beyond the array

    EXPECT_EQ(next(s), "name");
    EXPECT_STREQ(s.GetText(), "Camera01");
    EXPECT_EQ(next(s), "<end>");
    EXPECT_EQ(next(s), "<end>");
}

TEST(Xscript, SplitArgsStopsAtCountAndTreatsRunsOfBlanksAsOne)
{
    xScript s;
    loadText(s, "k   a  b\tc   d e\r\n");
    EXPECT_EQ(next(s), "k");
    s.SplitArgs(3);
    EXPECT_EQ(s.argCount, 3);
    EXPECT_STREQ(s.arguments[0], "a");
    EXPECT_STREQ(s.arguments[1], "b\tc"); // tabs do not separate
    EXPECT_STREQ(s.arguments[2], "d");
    EXPECT_FLOAT_EQ(s.GetArgFloat(4), 0.0f);
    // Fewer words than asked for leave the remaining entries empty.
    EXPECT_EQ(next(s), "<end>");
    loadText(s, "k 7\n");
    next(s);
    s.SplitArgs(4);
    EXPECT_STREQ(s.arguments[0], "7");
    EXPECT_EQ(s.arguments[1], nullptr);
    EXPECT_FLOAT_EQ(s.GetArgFloat(2), 0.0f);
    // No argument array at all.
    xScript fresh;
    loadText(fresh, "k 1 2\r\n");
    next(fresh);
    EXPECT_FLOAT_EQ(fresh.GetArgFloat(1), 0.0f);
}

TEST(Xscript, KeywordAloneGivesCarriageReturnOrEmptyRest)
{
    xScript s;
    loadText(s, "alone\r\nnext\nlast");
    EXPECT_EQ(next(s), "alone");
    EXPECT_STREQ(s.rest, "\r");
    EXPECT_STREQ(s.GetText(), "");
    EXPECT_EQ(next(s), "next");
    EXPECT_STREQ(s.rest, "");
    EXPECT_STREQ(s.GetText(), "");
    // A last line without a line feed is still returned, then the end.
    EXPECT_EQ(next(s), "last");
    EXPECT_TRUE(s.end);
    EXPECT_EQ(next(s), "<end>");
}

TEST(Xscript, BlankLinesAreSkippedAndNoKeywordRepeats)
{
    xScript s;
    loadText(s, "\r\n\r\none 1\r\n\r\n\r\ntwo 2\r\n\n\nthree 3\n   \t\nfour\n\n  \r\n");
    EXPECT_EQ(next(s), "one");
    EXPECT_EQ(s.GetInt(), 1);
    EXPECT_EQ(next(s), "two");
    EXPECT_EQ(s.GetInt(), 2);
    EXPECT_EQ(next(s), "three");
    EXPECT_EQ(s.GetInt(), 3);
    EXPECT_EQ(next(s), "four");
    // Trailing white space holds no keyword.
    EXPECT_EQ(next(s), "<end>");
}

TEST(Xscript, CommentsAreSkippedWholeAndReadingGoesOnAfterThem)
{
    xScript s;
    loadText(s,
             "/* header\r\n   spanning lines */\r\n"
             "a 1\r\n"
             "/* inline */ b 2\r\n"
             "/*/ c 3\r\n"        // "/*/" is a complete comment
             "/**/d 4\r\n"
             "/* x * y */e 5\r\n");
    EXPECT_EQ(next(s), "a");
    EXPECT_EQ(next(s), "b");
    EXPECT_STREQ(s.rest, " 2\r");
    EXPECT_EQ(next(s), "c");
    EXPECT_EQ(s.GetInt(), 3);
    EXPECT_EQ(next(s), "d");
    EXPECT_EQ(s.GetInt(), 4);
    EXPECT_EQ(next(s), "e");
    EXPECT_EQ(s.GetInt(), 5);
    EXPECT_EQ(next(s), "<end>");
}

TEST(Xscript, UnterminatedCommentOrCommentAtTheEndEndsTheScript)
{
    xScript s;
    loadText(s, "a 1\r\n/* never closed\r\nb 2\r\n");
    EXPECT_EQ(next(s), "a");
    EXPECT_EQ(next(s), "<end>");
    EXPECT_TRUE(s.end);
    EXPECT_EQ(next(s), "<end>");

    loadText(s, "a 1\r\n/* closed at the very end */");
    EXPECT_EQ(next(s), "a");
    EXPECT_EQ(next(s), "<end>");
    // The closing star alone is not a comment end.
    loadText(s, "/* ends with a star *");
    EXPECT_EQ(next(s), "<end>");
}

TEST(Xscript, LongKeywordAndLongRestAreCut)
{
    xScript s;
    std::string word(100, 'k');
    std::string args(1000, '7');
    loadText(s, word + args + "\r\nnext 1\r\n");
    std::string kw = next(s);
    EXPECT_EQ(kw, std::string(79, 'k'));
    // The keyword's remainder starts rest, which holds at most 255 bytes.
    EXPECT_EQ(strlen(s.rest), 255u);
    EXPECT_EQ(std::string(s.rest, 21), std::string(21, 'k'));
    EXPECT_EQ(s.rest[21], '7');
    EXPECT_EQ(next(s), "next");
    EXPECT_EQ(s.GetInt(), 1);
}

TEST(Xscript, CompareTextGivesMinusOneZeroOrOne)
{
    xScript s;
    loadText(s, "cam Camera01\r\ncam Camera01\r\ncam Camera01\r\ncam  two words \r\n");
    next(s);
    EXPECT_EQ(s.CompareText("Camera01"), 0);
    next(s);
    EXPECT_EQ(s.CompareText("Camera00"), 1);
    next(s);
    EXPECT_EQ(s.CompareText("Camera99 and more"), -1);
    next(s);
    // Only one separator is dropped; further blanks belong to the name.
    EXPECT_EQ(s.CompareText(" two words "), 0);
    char* copy = s.GetString();
    EXPECT_STREQ(copy, " two words ");
    free(copy);
}

TEST(Xscript, EmptyScriptAndReloadAndFree)
{
    xScript s;
    EXPECT_EQ(s.NextKeyword(), nullptr); // never loaded
    loadText(s, "");
    EXPECT_EQ(next(s), "<end>");
    loadText(s, "first 1\r\nsecond 2\r\n");
    EXPECT_EQ(next(s), "first");
    s.SplitArgs(2);
    // Another load starts over and drops the old argument words.
    loadText(s, "other 3\r\n");
    EXPECT_EQ(s.arguments, nullptr);
    EXPECT_EQ(next(s), "other");
    s.Free();
    EXPECT_EQ(s.size, 0);
    EXPECT_EQ(s.NextKeyword(), nullptr);
    EXPECT_EQ(s.GetText(), nullptr);
}

TEST(Xscript, EmbeddedZeroBytesDoNotRunPastTheText)
{
    xScript s;
    std::string text("a 1\0junk\r\nb 2\r\n", 15);
    loadText(s, text);
    EXPECT_EQ(next(s), "a");
    EXPECT_STREQ(s.rest, " 1");
    EXPECT_EQ(next(s), "b");
    EXPECT_EQ(next(s), "<end>");
}

TEST(XscriptDeath, LoadWithoutFileRecordIsAnAssertion)
{
    xScript s;
    EXPECT_EXIT(s.Load(nullptr), ::testing::ExitedWithCode(3), "Assertion failed\nFile files/Xscript.cpp\nLine 82");
}
