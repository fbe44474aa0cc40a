#include <gtest/gtest.h>

#include "tests/images/ImageTestUtil.h"

using namespace qhtest;

namespace {

Bytes rgbRows(int w, int h, int bytes)
{
    Bytes b((size_t)w * h * bytes);
    for (size_t i = 0; i < b.size(); i++)
        b[i] = (uint8_t)(i * 7 + 3);
    return b;
}

} // namespace

TEST(Targa, TrueColourRowsComeOutTopFirstWithBytesUnchanged)
{
    for (int depth : {16, 15, 24, 32}) {
        int bytes = (depth + 7) / 8;
        Bytes rows = rgbRows(5, 3, bytes);
        MemoryFile f(makeTga(5, 3, depth, rows, Bytes(), 3), "pic.tga");
        Picture img;
        EXPECT_EQ(xTargaLoad(&f, img), 0);
        EXPECT_EQ(img.sizeX, 5);
        EXPECT_EQ(img.sizeY, 3);
        EXPECT_EQ(img.mode, depth == 32 ? 6 : depth == 24 ? 4 : 2) << depth;
        EXPECT_EQ(img.palette, nullptr);
        // Stored bottom-up, so the picture matches the rows given top first;
        // a 32-bit file keeps its fourth (alpha) byte.
        EXPECT_EQ(Bytes(img.pixels, img.pixels + rows.size()), rows) << depth;
    }
}

TEST(Targa, TopDownFileComesOutUpsideDown)
{
    Bytes rows = rgbRows(2, 2, 3);
    Bytes file = makeTga(2, 2, 24, rows);
    file[17] = 0x20; // origin at the top: ignored
    MemoryFile f(file, "pic.tga");
    Picture img;
    xTargaLoad(&f, img);
    EXPECT_EQ(Bytes(img.pixels, img.pixels + 6), Bytes(rows.begin(), rows.begin() + 6));
    // Same bytes as without the flag: the origin bit changes nothing.
    Bytes flipped = makeTga(2, 2, 24, rows);
    EXPECT_EQ(Bytes(file.begin() + 18, file.end()), Bytes(flipped.begin() + 18, flipped.end()));
}

TEST(Targa, EightBitColourMapBecomesRgbPaletteWithUnusedEntriesBlack)
{
    Bytes map = {1, 2, 3, 10, 20, 30, 100, 110, 120}; // B, G, R
    Bytes rows = {0, 1, 2, 2, 1, 0};
    MemoryFile f(makeTga(3, 2, 8, rows, map, 5), "pic.tga");
    Picture img;
    xTargaLoad(&f, img);
    EXPECT_EQ(img.mode, 1);
    ASSERT_NE(img.palette, nullptr);
    EXPECT_EQ(Bytes(img.palette, img.palette + 9), (Bytes{3, 2, 1, 30, 20, 10, 120, 110, 100}));
    EXPECT_EQ(Bytes(img.palette + 9, img.palette + 768), Bytes(759, 0));
    EXPECT_EQ(Bytes(img.pixels, img.pixels + 6), rows);
}

TEST(TargaDeath, BrokenHeadersAndShortDataAreRefusedBeforeAllocating)
{
    Bytes rows = rgbRows(4, 4, 3);
    Bytes good = makeTga(4, 4, 24, rows);

    Bytes depth12 = good;
    depth12[16] = 12;
    MemoryFile a(depth12, "depth.tga");
    Picture img;
    EXPECT_EXIT(xTargaLoad(&a, img), ::testing::ExitedWithCode(6), "Broken file -> depth.tga, 6");

    // 300 colour-map entries cannot fit a 256-entry palette.
    Bytes bigMap = makeTga(2, 2, 8, Bytes(4, 0), Bytes(900, 7));
    MemoryFile b(bigMap, "map.tga");
    EXPECT_EXIT(xTargaLoad(&b, img), ::testing::ExitedWithCode(6), "Broken file -> map.tga");

    // 65535 x 65535 promised by a 100-byte file.
    Bytes huge = good;
    huge.resize(100);
    huge[12] = huge[13] = huge[14] = huge[15] = 0xff;
    MemoryFile c(huge, "huge.tga");
    EXPECT_EXIT(xTargaLoad(&c, img), ::testing::ExitedWithCode(6), "Broken file -> huge.tga");

    // One byte short of the last row.
    Bytes cut = good;
    cut.pop_back();
    MemoryFile d(cut, "cut.tga");
    EXPECT_EXIT(xTargaLoad(&d, img), ::testing::ExitedWithCode(6), "Broken file -> cut.tga");

    Bytes empty = good;
    empty[12] = empty[13] = 0;
    MemoryFile e(empty, "empty.tga");
    EXPECT_EXIT(xTargaLoad(&e, img), ::testing::ExitedWithCode(6), "Broken file -> empty.tga");

    MemoryFile header(Bytes(good.begin(), good.begin() + 17), "short.tga");
    EXPECT_EXIT(xTargaLoad(&header, img), ::testing::ExitedWithCode(6), "Broken file -> short.tga");

    xFile noData = {(char*)"gone.tga", 10, nullptr};
    EXPECT_EXIT(xTargaLoad(&noData, img), ::testing::ExitedWithCode(3), "xTargaLoad::Can't access file -> gone.tga");
    EXPECT_EXIT(xTargaLoad((xFile*)nullptr, img), ::testing::ExitedWithCode(3), "Assertion failed");
}

TEST(Targa, DiskFormDecodesTheSameAndNamesItsFailures)
{
    Bytes map = {0, 0, 255};
    Bytes rows = {0, 0, 0, 0};
    ASSERT_TRUE(writeFile(scratchFile("disk8.tga"), makeTga(2, 2, 8, rows, map)));
    Picture img;
    EXPECT_EQ(xTargaLoad(scratchFile("disk8.tga").c_str(), img), 0);
    EXPECT_EQ(img.mode, 1);
    EXPECT_EQ(img.palette[0], 255);
    EXPECT_EQ(img.palette[2], 0);

    Bytes rgb = rgbRows(3, 2, 3);
    ASSERT_TRUE(writeFile(scratchFile("disk24.tga"), makeTga(3, 2, 24, rgb)));
    Picture img2;
    xTargaLoad(scratchFile("disk24.tga").c_str(), img2);
    EXPECT_EQ(Bytes(img2.pixels, img2.pixels + rgb.size()), rgb);

    Picture img3;
    EXPECT_EXIT(xTargaLoad("no-such.tga", img3), ::testing::ExitedWithCode(3),
                "xTargaLoad::Can't access file -> no-such.tga");
    ASSERT_TRUE(writeFile(scratchFile("short.tga"), Bytes(10, 0)));
    EXPECT_EXIT(xTargaLoad(scratchFile("short.tga").c_str(), img3), ::testing::ExitedWithCode(3),
                "xTargaLoad::Can't read file -> /.*/short.tga");
    Bytes cut = makeTga(3, 2, 24, rgb);
    cut.resize(cut.size() - 1);
    ASSERT_TRUE(writeFile(scratchFile("cut.tga"), cut));
    EXPECT_EXIT(xTargaLoad(scratchFile("cut.tga").c_str(), img3), ::testing::ExitedWithCode(3),
                "xTargaLoad::Can't access file -> /.*/cut.tga");
}

TEST(Pcx, EightBitPictureTakesItsPaletteFromTheLastBytes)
{
    Bytes pixels = pattern(320 * 3, 11);
    Bytes palette = pattern(768, 5);
    MemoryFile f(makePcx(320, 3, 1, pixels, palette), "pic.pcx");
    Picture img;
    EXPECT_EQ(xPcxLoad(&f, img), 0);
    EXPECT_EQ(img.sizeX, 320);
    EXPECT_EQ(img.sizeY, 3);
    EXPECT_EQ(img.mode, 1);
    EXPECT_EQ(Bytes(img.pixels, img.pixels + pixels.size()), pixels);
    EXPECT_EQ(Bytes(img.palette, img.palette + 768), palette);
}

TEST(Pcx, ThreePlanesAreInterleavedIntoRgb)
{
    Bytes pixels = pattern(6 * 4 * 3, 3);
    for (size_t i = 0; i < 18; i++)
        pixels[i] = 0xc5; // runs of values that need the run form
    MemoryFile f(makePcx(6, 4, 3, pixels), "pic.pcx");
    Picture img;
    xPcxLoad(&f, img);
    EXPECT_EQ(img.mode, 5);
    EXPECT_EQ(img.palette, nullptr);
    EXPECT_EQ(Bytes(img.pixels, img.pixels + pixels.size()), pixels);

    ASSERT_TRUE(writeFile(scratchFile("planes.pcx"), makePcx(6, 4, 3, pixels)));
    Picture disk;
    xPcxLoad(scratchFile("planes.pcx").c_str(), disk);
    EXPECT_EQ(disk.mode, 5);
    EXPECT_EQ(Bytes(disk.pixels, disk.pixels + pixels.size()), pixels);
}

TEST(Pcx, RunCountZeroConsumesItsByteAndRunsCarryIntoTheNextRow)
{
    // Rows of 4: a run of 6 fills row 0 and carries 2 bytes into row 1, which
    // then counts 4 more from 0: the block is full after 2 of them.
    Bytes file = pcxHeader(4, 2, 1);
    Bytes data = {0xc0, 0x99, 0xc6, 'A', 0xc2, 'B'};
    file.insert(file.end(), data.begin(), data.end());
    file.resize(file.size() + 768, 0);
    MemoryFile f(file, "carry.pcx");
    Picture img;
    xPcxLoad(&f, img);
    EXPECT_EQ(Bytes(img.pixels, img.pixels + 8), (Bytes{'A', 'A', 'A', 'A', 'A', 'A', 'B', 'B'}));

    // A literal row after the carry: row 1 = two carried bytes, then two of
    // its own count, and the block is full.
    Bytes file2 = pcxHeader(3, 3, 1);
    Bytes data2 = {0xc4, 'A', 'x', 'y', 'z', 'p', 'q'};
    file2.insert(file2.end(), data2.begin(), data2.end());
    file2.resize(file2.size() + 768, 0);
    MemoryFile g(file2, "carry2.pcx");
    Picture img2;
    xPcxLoad(&g, img2);
    EXPECT_EQ(Bytes(img2.pixels, img2.pixels + 9), (Bytes{'A', 'A', 'A', 'A', 'x', 'y', 'z', 'p', 'q'}));
}

TEST(PcxDeath, BrokenFilesAreRefused)
{
    Picture img;
    Bytes runPast = pcxHeader(4, 1, 1);
    runPast.push_back(0xc5); // 5 bytes into a 4-byte picture
    runPast.push_back('A');
    runPast.resize(runPast.size() + 768, 0);
    MemoryFile a(runPast, "past.pcx");
    EXPECT_EXIT(xPcxLoad(&a, img), ::testing::ExitedWithCode(6), "Broken file -> past.pcx, 6");

    Bytes planes = makePcx(2, 2, 3, Bytes(12, 1));
    planes[65] = 2;
    MemoryFile b(planes, "planes.pcx");
    EXPECT_EXIT(xPcxLoad(&b, img), ::testing::ExitedWithCode(6), "Broken file -> planes.pcx");

    // The data ends before the last row.
    Bytes shortData = makePcx(16, 16, 3, pattern(16 * 16 * 3, 9));
    shortData.resize(shortData.size() - 5);
    MemoryFile c(shortData, "short.pcx");
    EXPECT_EXIT(xPcxLoad(&c, img), ::testing::ExitedWithCode(6), "Broken file -> short.pcx");

    // A run byte at the very end has no value byte.
    Bytes lastRun = pcxHeader(8, 1, 3);
    lastRun.push_back(0xc2);
    MemoryFile d(lastRun, "lastrun.pcx");
    EXPECT_EXIT(xPcxLoad(&d, img), ::testing::ExitedWithCode(6), "Broken file -> lastrun.pcx");

    // 32768 x 32768 promised by a few hundred bytes.
    Bytes huge = pcxHeader(32768, 32768, 3);
    huge.resize(300, 0xff);
    MemoryFile e(huge, "huge.pcx");
    EXPECT_EXIT(xPcxLoad(&e, img), ::testing::ExitedWithCode(6), "Broken file -> huge.pcx");

    // An 8-bit file too short to hold its palette.
    Bytes noPalette = pcxHeader(2, 1, 1);
    noPalette.push_back(1);
    noPalette.push_back(2);
    MemoryFile g(noPalette, "nopal.pcx");
    EXPECT_EXIT(xPcxLoad(&g, img), ::testing::ExitedWithCode(6), "Broken file -> nopal.pcx");

    Bytes negative = pcxHeader(2, 2, 3);
    negative[8] = 0xfe;
    negative[9] = 0xff; // Xmax = -2
    negative.resize(200, 1);
    MemoryFile h(negative, "neg.pcx");
    EXPECT_EXIT(xPcxLoad(&h, img), ::testing::ExitedWithCode(6), "Broken file -> neg.pcx");

    EXPECT_EXIT(xPcxLoad("no-such.pcx", img), ::testing::ExitedWithCode(3), "xPcxLoad::Can't access file -> no-such.pcx");
    ASSERT_TRUE(writeFile(scratchFile("tiny.pcx"), Bytes(100, 0x0a)));
    EXPECT_EXIT(xPcxLoad(scratchFile("tiny.pcx").c_str(), img), ::testing::ExitedWithCode(3),
                "xPcxLoad::Can't read file -> /.*/tiny.pcx");
    xFile noData = {(char*)"gone.pcx", 10, nullptr};
    EXPECT_EXIT(xPcxLoad(&noData, img), ::testing::ExitedWithCode(3), "xPcxLoad::Can't access file -> gone.pcx");
}

TEST(Pcx, DiskFormOfEightBitPicture)
{
    Bytes pixels = pattern(10 * 7, 21);
    Bytes palette = pattern(768, 22);
    ASSERT_TRUE(writeFile(scratchFile("disk.pcx"), makePcx(10, 7, 1, pixels, palette)));
    Picture img;
    EXPECT_EQ(xPcxLoad(scratchFile("disk.pcx").c_str(), img), 0);
    EXPECT_EQ(img.mode, 1);
    EXPECT_EQ(Bytes(img.pixels, img.pixels + pixels.size()), pixels);
    EXPECT_EQ(Bytes(img.palette, img.palette + 768), palette);
}
