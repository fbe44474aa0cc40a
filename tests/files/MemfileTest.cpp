#include <gtest/gtest.h>

#include <climits>
#include <cstdio>

#include "files/Memfile.h"
#include "tests/common/Scratch.h"

namespace {

TEST(Memfile, ReadsAreAllOrNothing)
{
    uint8_t bytes[6] = {1, 2, 3, 4, 5, 6};
    mfile f{bytes, 6, 0};
    uint8_t out[8] = {};
    EXPECT_EQ(mread(out, 4, &f), 0);
    EXPECT_EQ(mtell(&f), 4);
    EXPECT_EQ(mread(out, 3, &f), 2); // only two left: nothing copied, position kept
    EXPECT_EQ(mtell(&f), 4);
    EXPECT_EQ(mread(out, 2, &f), 0); // exactly the rest
    EXPECT_EQ(out[0], 5);
    EXPECT_EQ(mtell(&f), 6);
    EXPECT_EQ(mread(out, 1, &f), 2);
    EXPECT_EQ(mread(out, 0, &f), 0); // zero bytes at the end are fine

    EXPECT_EQ(mseek(&f, 100), 0); // seeking past the end is accepted...
    EXPECT_EQ(mread(out, 0, &f), 2); // ...but nothing can be read there
    EXPECT_EQ(mread(out, 1, &f), 2);
    // Positions and counts near the limits never wrap into a read.
    mseek(&f, INT_MAX);
    EXPECT_EQ(mread(out, INT_MAX, &f), 2);
    mseek(&f, -4);
    EXPECT_EQ(mread(out, 2, &f), 2);
    mseek(&f, 2);
    EXPECT_EQ(mread(out, -1, &f), 2);
}

TEST(Memfile, OpensDiskFilesAndRefusesEmptyOrMissingOnes)
{
    std::string path = scratchFile("memfile-test.bin"), empty = scratchFile("memfile-empty.bin");
    ASSERT_TRUE(writeFile(path, "hello"));
    mfile* f = mopen(path.c_str());
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->size, 5);
    EXPECT_EQ(f->pos, 0);
    char out[5];
    EXPECT_EQ(mread(out, 5, f), 0);
    mclose(f);

    ASSERT_TRUE(writeFile(empty, ""));
    EXPECT_EXIT(mopen(empty.c_str()), ::testing::ExitedWithCode(3),
                "^Error: mopen::unable to read file -> /.*/memfile-empty.bin\n$");
    EXPECT_EXIT(mopen(scratchFile("memfile-missing.bin").c_str()), ::testing::ExitedWithCode(3),
                "^Error: mopen:: unable to open file -> /.*/memfile-missing.bin\n$");
    EXPECT_EXIT(mclose(nullptr), ::testing::ExitedWithCode(3), "Assertion failed\nFile .*Memfile.*\nLine 53");
}
} // namespace
