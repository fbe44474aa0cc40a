#include <gtest/gtest.h>

#include "tests/images/ImageTestUtil.h"

using namespace qhtest;

namespace {

Bytes greyPalette(int entries)
{
    Bytes p;
    for (int i = 0; i < entries; i++) {
        p.push_back((uint8_t)i);
        p.push_back((uint8_t)(255 - i));
        p.push_back((uint8_t)(i * 3));
    }
    return p;
}

// A GIF whose image data are the given codes (all of the given sizes).
Bytes gifWithCodes(int width, int height, const std::vector<std::pair<int, int>>& codes, int blockSize = 255)
{
    Bytes b = gifHeader(width, height, true, greyPalette(256), "87a");
    gifDescriptor(b, width, height, 0, 8);
    b.push_back(8);
    GifCodeWriter w;
    for (auto& c : codes)
        w.put(c.first, c.second);
    Bytes data = w.blocks(blockSize);
    b.insert(b.end(), data.begin(), data.end());
    b.push_back(0x3b);
    return b;
}

Bytes load(const Bytes& file, Picture& img, const char* name = "pic.gif")
{
    MemoryFile f(file, name);
    xGifLoad(&f, img);
    return Bytes(img.pixels, img.pixels + (size_t)img.sizeX * img.sizeY);
}

} // namespace

TEST(Gif, RoundTripsPicturesOfEveryCodeWidthAndSubBlockSize)
{
    // Noise drives the codes to 12 bits (every bit offset occurs, and codes
    // span three bytes); small sub-blocks make codes straddle them.
    Bytes noise = pattern(200 * 150, 77);
    Bytes smooth(300 * 100);
    for (size_t i = 0; i < smooth.size(); i++)
        smooth[i] = (uint8_t)((i % 300) / 7 + (i / 300) / 5);
    for (int blockSize : {255, 254, 7, 3, 2, 1}) {
        GifOptions o;
        o.blockSize = blockSize;
        Picture a, b;
        EXPECT_EQ(load(makeGif(200, 150, noise, greyPalette(256), o), a), noise) << blockSize;
        EXPECT_EQ(load(makeGif(300, 100, smooth, greyPalette(256), o), b), smooth) << blockSize;
        EXPECT_EQ(a.mode, 1);
        EXPECT_EQ(a.sizeX, 200);
        EXPECT_EQ(a.sizeY, 150);
    }
}

TEST(Gif, FullDictionaryTakesNoMoreEntriesUntilAClear)
{
    // The encoder keeps sending codes after the dictionary is full, without a
    // clear code: the decoder must not grow it past 4096 entries.
    Bytes noise = pattern(400 * 100, 5);
    Bytes file = gifHeader(400, 100, true, greyPalette(256));
    gifDescriptor(file, 400, 100, 0, 8);
    file.push_back(8);
    Bytes data = gifLzw(noise.data(), noise.size(), 255, false);
    file.insert(file.end(), data.begin(), data.end());
    file.push_back(0x3b);
    Picture img;
    EXPECT_EQ(load(file, img), noise);
}

TEST(Gif, FirstCodeAfterAClearAddsNoEntry)
{
    // After the second clear, 'B' adds nothing, so 258 is "BB" (the string not
    // yet defined), not an entry built from the 'A' before the clear.
    Picture img;
    Bytes px = load(gifWithCodes(4, 1, {{256, 9}, {'A', 9}, {256, 9}, {'B', 9}, {258, 9}, {257, 9}}), img);
    EXPECT_EQ(px, (Bytes{'A', 'B', 'B', 'B'}));
}

TEST(Gif, CodesSpanThreeBytesAndSubBlockBoundaries)
{
    // Nine-bit codes run through every bit offset; with offset 7 a code ends
    // exactly at a byte boundary and the next code starts in a new byte. One-
    // and two-byte sub-blocks make every code straddle them.
    std::vector<std::pair<int, int>> codes = {{256, 9}};
    Bytes expected;
    for (int i = 0; i < 16; i++) {
        codes.push_back({256, 9});
        codes.push_back({(i * 37) & 0xff, 9});
        expected.push_back((uint8_t)((i * 37) & 0xff));
    }
    codes.push_back({257, 9});
    for (int blockSize : {255, 1, 2, 3}) {
        Picture img;
        EXPECT_EQ(load(gifWithCodes(16, 1, codes, blockSize), img), expected) << blockSize;
    }
}

TEST(Gif, ExtensionsAreSkippedAndTransparencyNotApplied)
{
    Bytes px = pattern(13 * 9, 4);
    GifOptions o;
    o.extensions = true;
    Picture img;
    EXPECT_EQ(load(makeGif(13, 9, px, greyPalette(256), o), img), px);
    EXPECT_EQ(Bytes(img.palette, img.palette + 768), greyPalette(256));
}

TEST(Gif, LocalTableGivesThePaletteAndInterlacedRowsKeepTheirStoredOrder)
{
    Bytes px(8 * 20);
    for (size_t i = 0; i < px.size(); i++)
        px[i] = (uint8_t)(i / 8); // row number in stored order
    GifOptions o;
    o.globalTable = false;
    o.localTable = true;
    o.interlaced = true;
    Bytes pal = greyPalette(256);
    Picture img;
    EXPECT_EQ(load(makeGif(8, 20, px, pal, o), img), px);
    ASSERT_NE(img.palette, nullptr);
    EXPECT_EQ(Bytes(img.palette, img.palette + 768), pal);
}

TEST(Gif, SmallTablesAreZeroFilledAndNoTableGivesNoPalette)
{
    // A global table of 2 entries (size bits 0).
    Bytes file = makeGif(2, 2, Bytes{0, 1, 1, 0}, greyPalette(256));
    file[10] = 0x80;
    Bytes two = {9, 8, 7, 6, 5, 4};
    Bytes small(file.begin(), file.begin() + 13);
    small.insert(small.end(), two.begin(), two.end());
    small.insert(small.end(), file.begin() + 13 + 768, file.end());
    Picture img;
    EXPECT_EQ(load(small, img), (Bytes{0, 1, 1, 0}));
    EXPECT_EQ(Bytes(img.palette, img.palette + 6), two);
    EXPECT_EQ(Bytes(img.palette + 6, img.palette + 768), Bytes(762, 0));

    GifOptions none;
    none.globalTable = false;
    Picture bare;
    EXPECT_EQ(load(makeGif(3, 1, Bytes{1, 2, 3}, Bytes(), none), bare), (Bytes{1, 2, 3}));
    EXPECT_EQ(bare.palette, nullptr);
}

TEST(Gif, EarlyEndCodeLeavesTheRestBlackAndMissingEndCodeIsAcceptedWhenFull)
{
    Picture a;
    EXPECT_EQ(load(gifWithCodes(2, 2, {{256, 9}, {7, 9}, {257, 9}}), a), (Bytes{7, 0, 0, 0}));
    Picture b;
    EXPECT_EQ(load(gifWithCodes(2, 1, {{256, 9}, {7, 9}, {8, 9}}), b), (Bytes{7, 8}));
}

TEST(GifDeath, BrokenStreamsAreRefusedWithTheirMessages)
{
    Picture img;
    Bytes good = makeGif(4, 4, pattern(16, 1), greyPalette(256));

    Bytes codeSize4 = good;
    codeSize4[13 + 768 + 10] = 4;
    EXPECT_EXIT(load(codeSize4, img), ::testing::ExitedWithCode(3), "xGifLoad::unsupported format -> pic.gif");

    Bytes trailer(good.begin(), good.begin() + 13 + 768);
    trailer.push_back(0x3b);
    EXPECT_EXIT(load(trailer, img), ::testing::ExitedWithCode(3), "xGifLoad:: unknown error -> pic.gif \n");

    Bytes notGif = good;
    notGif[0] = 'J';
    EXPECT_EXIT(load(notGif, img), ::testing::ExitedWithCode(3), "xGifLoad:: not a GIF image file -> pic.gif");
    Bytes v88 = good;
    v88[4] = '8';
    EXPECT_EXIT(load(v88, img), ::testing::ExitedWithCode(3), "xGifLoad:: unsupported version -> pic.gif");
    EXPECT_EXIT(load(Bytes(good.begin(), good.begin() + 12), img), ::testing::ExitedWithCode(3),
                "xGifLoad:: file read error -> pic.gif");
    EXPECT_EXIT(load(Bytes(good.begin(), good.begin() + 500), img), ::testing::ExitedWithCode(3),
                "xGifLoad:: file read error -> pic.gif");

    // A code two beyond the next free one.
    EXPECT_EXIT(load(gifWithCodes(4, 1, {{256, 9}, {'A', 9}, {259, 9}, {257, 9}}), img),
                ::testing::ExitedWithCode(3), "xGifLoad::unsupported format");
    // A code that is not a byte right after a clear.
    EXPECT_EXIT(load(gifWithCodes(4, 1, {{256, 9}, {258, 9}, {257, 9}}), img), ::testing::ExitedWithCode(3),
                "xGifLoad::unsupported format");
    // More pixels than the picture holds.
    EXPECT_EXIT(load(gifWithCodes(2, 1, {{256, 9}, {1, 9}, {2, 9}, {3, 9}, {257, 9}}), img),
                ::testing::ExitedWithCode(3), "xGifLoad::unsupported format");
    // Data that ends before the picture is full (no end code).
    EXPECT_EXIT(load(gifWithCodes(3, 1, {{256, 9}, {1, 9}, {2, 9}}), img), ::testing::ExitedWithCode(3),
                "xGifLoad:: file read error");

    // 32767 x 32767 promised by a tiny file.
    Bytes huge = good;
    huge[13 + 768 + 5] = 0xff;
    huge[13 + 768 + 6] = 0x7f;
    huge[13 + 768 + 7] = 0xff;
    huge[13 + 768 + 8] = 0x7f;
    EXPECT_EXIT(load(huge, img), ::testing::ExitedWithCode(3), "xGifLoad:: file read error");
    Bytes negative = good;
    negative[13 + 768 + 6] = 0xff;
    EXPECT_EXIT(load(negative, img), ::testing::ExitedWithCode(3), "xGifLoad::unsupported format");

    // An image whose data begin with the terminator.
    Bytes noData(good.begin(), good.begin() + 13 + 768 + 11);
    noData.push_back(0);
    noData.push_back(0x3b);
    EXPECT_EXIT(load(noData, img), ::testing::ExitedWithCode(3), "xGifLoad:: file read error");
}

TEST(Gif, DiskForm)
{
    Bytes px = pattern(30 * 20, 12);
    ASSERT_TRUE(writeFile(scratchFile("disk.gif"), makeGif(30, 20, px, greyPalette(256))));
    Picture img;
    EXPECT_EQ(xGifLoad(scratchFile("disk.gif").c_str(), img), 0);
    EXPECT_EQ(Bytes(img.pixels, img.pixels + px.size()), px);
    EXPECT_EXIT(xGifLoad("no-such.gif", img), ::testing::ExitedWithCode(3), "mopen:: unable to open file -> no-such.gif");
}
