#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "files/xFileIO.h"
#include "tests/common/TestZip.h"

namespace {

class Archive : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ASSERT_TRUE(writeTestZip(scratchFile("archive-test.pak"), {
            {"loading.jpg", std::string(5000, 'j')},
            {"Scenes/Test.X3D", "camera Camera01\r\n"},
            {"empty.txt", ""},
            {"stored.bin", "plain stored bytes", false},
        }));
        // The same archive with one byte of the stored entry changed.
        std::string bytes = readWholeFile(scratchFile("archive-test.pak"));
        size_t at = bytes.find("plain stored bytes");
        ASSERT_NE(at, std::string::npos);
        bytes[at] = 'P';
        ASSERT_TRUE(writeFile(scratchFile("archive-corrupt.pak"), bytes));
    }
};

TEST_F(Archive, LooksNamesUpInAnyLetterCaseAndReturnsTheStoredName)
{
    xFileIO io(1);
    ASSERT_EQ(io.Open(scratchFile("archive-test.pak").c_str()), 0);
    xFile file;
    ASSERT_EQ(io.Read("LOADING.JPG", &file), 0);
    EXPECT_STREQ(file.name, "loading.jpg");
    EXPECT_EQ(file.size, 5000);
    EXPECT_EQ(std::string((char*)file.data, file.size), std::string(5000, 'j'));
    EXPECT_EQ(io.Free(&file), 0);
    EXPECT_EQ(file.size, 0);
    EXPECT_EQ(file.data, nullptr);

    // The directory part must match too, in any case.
    ASSERT_EQ(io.Read("scenes/test.x3d", &file), 0);
    EXPECT_STREQ(file.name, "Scenes/Test.X3D");
    io.Free(&file);
    EXPECT_EQ(io.Read("test.x3d", &file), XFILE_NOT_FOUND);

    ASSERT_EQ(io.Read("stored.bin", &file), 0);
    EXPECT_EQ(std::string((char*)file.data, file.size), "plain stored bytes");
    io.Free(&file);
}

TEST_F(Archive, MissingEmptyAndCorruptedEntries)
{
    xFileIO io(1);
    ASSERT_EQ(io.Open(scratchFile("archive-test.pak").c_str()), 0);
    xFile file;
    EXPECT_EQ(io.Read("nothere.gif", &file), -100);
    EXPECT_EQ(file.data, nullptr);
    EXPECT_EQ(file.name, nullptr);

    ASSERT_EQ(io.Read("empty.txt", &file), 0);
    EXPECT_EQ(file.size, 0);
    EXPECT_NE(file.data, nullptr);
    io.Free(&file);

    xFileIO bad(1);
    ASSERT_EQ(bad.Open(scratchFile("archive-corrupt.pak").c_str()), 0);
    EXPECT_EQ(bad.Read("stored.bin", &file), -105);
    EXPECT_EQ(file.data, nullptr); // nothing left behind on failure
    // The archive stays usable after a failed read.
    ASSERT_EQ(bad.Read("loading.jpg", &file), 0);
    bad.Free(&file);

    xFileIO none(1);
    EXPECT_EQ(none.Open("no-such-archive.pak"), -103);
    EXPECT_EQ(none.Read("loading.jpg", &file), -103);
}

TEST_F(Archive, ArchiveHeldInMemory)
{
    std::string bytes = readWholeFile(scratchFile("archive-test.pak"));
    xFileIO io(1);
    ASSERT_EQ(io.OpenMemory(bytes.data(), bytes.size()), 0);
    xFile file;
    ASSERT_EQ(io.Read("Loading.Jpg", &file), 0);
    EXPECT_EQ(file.size, 5000);
    io.Free(&file);

    // Truncated archives are refused, never read past their end; whatever
    // still reads whole has its true content.
    for (size_t cut : {size_t(0), size_t(10), bytes.size() / 2, bytes.size() - 1}) {
        xFileIO broken(1);
        if (broken.OpenMemory(bytes.data(), cut) != 0)
            continue;
        EXPECT_LT(cut, bytes.size());
        if (broken.Read("loading.jpg", &file) == 0) {
            EXPECT_EQ(std::string((char*)file.data, file.size), std::string(5000, 'j')) << cut;
            broken.Free(&file);
        }
    }
    xFileIO cut(1);
    EXPECT_EQ(cut.OpenMemory(bytes.data(), bytes.size() / 2), -103);
}

TEST(PlainFiles, ReadFromDiskAndMissingFiles)
{
    xFileIO io(0);
    EXPECT_EQ(io.Open("no-such-archive.pak"), 0); // plain mode does not touch the disk
    std::string path = scratchFile("plain-test.bin");
    ASSERT_TRUE(writeFile(path, "abc\0def", 7));
    xFile file;
    ASSERT_EQ(io.Read(path.c_str(), &file), 0);
    EXPECT_STREQ(file.name, path.c_str());
    EXPECT_EQ(file.size, 7);
    EXPECT_EQ(memcmp(file.data, "abc\0def", 7), 0);
    io.Free(&file);
    EXPECT_EQ(io.Read("missing.bin", &file), -103);
}
} // namespace
