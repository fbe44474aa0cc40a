#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "system/Xerror.h"

namespace {

TEST(ErrorReporter, FormsTextsAndExitStatuses)
{
    EXPECT_EXIT(g_xError.Fatal("Resource file not found -> DEMO.PAK"), ::testing::ExitedWithCode(3),
                "^Error: Resource file not found -> DEMO.PAK\n$");
    EXPECT_EXIT(g_xError.Assert("system/Xsystem.cpp", 66, "Assertion failed"), ::testing::ExitedWithCode(3),
                "^Error: Assertion failed\nFile system/Xsystem.cpp\nLine 66\n$");
    // Code 1 without a detail: the table text, the code, the position.
    EXPECT_EXIT(g_xError.Raise("files/Memfile.cpp", 16, 1, nullptr), ::testing::ExitedWithCode(1),
                "^Error: Can't allocate memory, 1\nFile files/Memfile.cpp\nLine 16\n$");
    EXPECT_EXIT(g_xError.Raise("Ximage/Xtarga.cpp", 12, 6, "cut.tga"), ::testing::ExitedWithCode(6),
                "^Error: Broken file -> cut.tga, 6\nFile Ximage/Xtarga.cpp\nLine 12\n$");
    // There is no code 3: the default row, printed as 256, exits with 255.
    EXPECT_EXIT(g_xError.Raise("a.cpp", 1, 3, nullptr), ::testing::ExitedWithCode(255),
                "^Error: Unknown error, 256\nFile a.cpp\nLine 1\n$");
    // "Everything is ok?!" must not end a failing program with success.
    EXPECT_EXIT(g_xError.Raise("a.cpp", 2, 0, nullptr), ::testing::ExitedWithCode(3), "Everything is ok\\?!, 0");
}

TEST(ErrorReporter, OverlongTextsAreCutNotOverflowed)
{
    std::string longName(600, 'x');
    const char* text = xFormat("mopen:: unable to open file -> %s", longName.c_str());
    EXPECT_EQ(strlen(text), 255u);
    EXPECT_EXIT(g_xError.Fatal(longName.c_str()), ::testing::ExitedWithCode(3), "^Error: xxxx");
    // A second xFormat overwrites the first.
    const char* again = xFormat("%d", 42);
    EXPECT_EQ(text, again);
    EXPECT_STREQ(again, "42");
}

TEST(Logs, WriteOnlyWhenOpen)
{
    xLog log;
    log.Print("nothing happens");
    EXPECT_FALSE(log.IsOpen());
    log.Open("test-system.log");
    log.Print("WM_SIZE");
    x3dLog log3d;
    log3d.Print("nothing");
    log3d.Open("test-3d.log");
    log3d.Print("Initializing X3D Engine..");
    fflush(log.file);
    fflush(log3d.file);
    char line[64] = {};
    FILE* f = fopen("test-system.log", "r");
    ASSERT_NE(f, nullptr);
    ASSERT_NE(fgets(line, sizeof line, f), nullptr);
    EXPECT_STREQ(line, "XLOG: WM_SIZE\n");
    fclose(f);
    f = fopen("test-3d.log", "r");
    ASSERT_NE(f, nullptr);
    ASSERT_NE(fgets(line, sizeof line, f), nullptr);
    EXPECT_STREQ(line, "X3D: Initializing X3D Engine..\n");
    fclose(f);

    xLog broken;
    EXPECT_EXIT(broken.Open("no-such-folder/x.log"), ::testing::ExitedWithCode(3),
                "Error: xLog error: file create error no-such-folder/x.log\n\n");
    x3dLog broken3d;
    EXPECT_EXIT(broken3d.Open("no-such-folder/y.log"), ::testing::ExitedWithCode(3),
                "Error: x3dLog error: file create error no-such-folder/y.log");
}
} // namespace
