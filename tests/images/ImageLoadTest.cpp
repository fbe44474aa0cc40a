#include <gtest/gtest.h>

#include "tests/images/ImageTestUtil.h"

using namespace qhtest;

namespace {

Bytes tga24(int w, int h)
{
    Bytes rows((size_t)w * h * 3);
    for (size_t i = 0; i < rows.size(); i++)
        rows[i] = (uint8_t)(i * 13);
    return makeTga(w, h, 24, rows);
}

} // namespace

TEST(ImageLoad, ProbesRunInOrderAndShortFilesSkipTheLongerProbes)
{
    // A 21-byte TGA (shorter than the 128-byte PCX probe).
    MemoryFile small(tga24(1, 1), "small.tga");
    Picture a;
    EXPECT_EQ(xImageLoad(&small, a), 0);
    EXPECT_EQ(a.mode, 4);

    // A file shorter than 128 bytes whose first byte is 0x0a and byte 2 is 2
    // is taken as a TGA; at 128 bytes and more, as a PCX.
    Bytes tga = tga24(2, 2);
    tga[0] = 0x0a; // ID length 10: pixel data move 10 bytes on
    tga.insert(tga.begin() + 18, 10, 'i');
    ASSERT_LT(tga.size(), 128u);
    MemoryFile t(tga, "ten.tga");
    Picture b;
    xImageLoad(&t, b);
    EXPECT_EQ(b.mode, 4);
    EXPECT_EQ(b.sizeX, 2);

    Bytes pcx = makePcx(4, 4, 3, pattern(48, 1));
    pcx[2] = 2;
    MemoryFile p(pcx, "pic.pcx");
    Picture c;
    xImageLoad(&p, c);
    EXPECT_EQ(c.mode, 5);

    // A GIF of fewer than 128 bytes, with no colour table.
    GifOptions none;
    none.globalTable = false;
    Bytes gif = makeGif(3, 2, Bytes{1, 2, 3, 4, 5, 6}, Bytes(), none);
    ASSERT_LT(gif.size(), 128u);
    MemoryFile g(gif, "pic.gif");
    Picture d;
    xImageLoad(&g, d);
    EXPECT_EQ(d.mode, 1);
    EXPECT_EQ(Bytes(d.pixels, d.pixels + 6), (Bytes{1, 2, 3, 4, 5, 6}));

    Bytes jpeg = makeJpeg(8, 8, 3, Bytes(192, 77));
    MemoryFile j(jpeg, "pic.jpg");
    Picture e;
    xImageLoad(&j, e);
    EXPECT_EQ(e.mode, 5);
}

TEST(ImageLoadDeath, JfifComesFirstAndUnknownContentIsNamed)
{
    // Byte 0 of 0x0a does not make a JFIF file a PCX: the JPEG loader gets it
    // (and the library rejects the damaged start marker).
    Bytes jpeg = makeJpeg(8, 8, 3, Bytes(192, 77));
    jpeg[0] = 0x0a;
    jpeg.resize(200, 0);
    MemoryFile j(jpeg, "odd.jpg");
    Picture img;
    EXPECT_EXIT(xImageLoad(&j, img), ::testing::ExitedWithCode(1), "Not a JPEG file");

    // Run-length TGA (type 10) is not recognised.
    Bytes rle = tga24(2, 2);
    rle[2] = 10;
    MemoryFile r(rle, "rle.tga");
    EXPECT_EXIT(xImageLoad(&r, img), ::testing::ExitedWithCode(3),
                "xImageLoad\\( xFile \\*, xImage &\\): unrecognized file type rle.tga");
    MemoryFile empty(Bytes(), "empty.bin");
    EXPECT_EXIT(xImageLoad(&empty, img), ::testing::ExitedWithCode(3), "unrecognized file type empty.bin");
    // A loader's refusal keeps its code.
    Bytes cut = tga24(4, 4);
    cut.resize(40);
    MemoryFile c(cut, "cut.tga");
    EXPECT_EXIT(xImageLoad(&c, img), ::testing::ExitedWithCode(6), "Broken file -> cut.tga");
}

TEST(ImageConvert, IndexedToTrueColourUsesThePaletteAndDropsIt)
{
    Bytes map = {0x30, 0x20, 0x10, 0xff, 0x80, 0x01}; // B, G, R
    MemoryFile f(makeTga(2, 1, 8, Bytes{1, 0}, map), "pal.tga");
    Picture img;
    xImageLoad(&f, img);
    // Same mode: nothing changes, the palette stays.
    uint8_t* before = img.pixels;
    EXPECT_EQ(xImageConvert(&img, 1), 0);
    EXPECT_EQ(img.pixels, before);
    EXPECT_NE(img.palette, nullptr);

    EXPECT_EQ(xImageConvert(&img, 6), 0);
    EXPECT_EQ(img.mode, 6);
    EXPECT_EQ(img.palette, nullptr);
    EXPECT_EQ(img.pixel32(0, 0), 0x000180ffu);
    EXPECT_EQ(img.pixel32(1, 0), 0x00102030u);
}

TEST(ImageConvert, AllModesAgreeOnColours)
{
    // The same picture as R, G, B bytes (PCX) and as B, G, R bytes (TGA).
    Bytes rgb = pattern(5 * 3 * 3, 8);
    Bytes bgr = rgb;
    for (size_t i = 0; i < bgr.size(); i += 3)
        std::swap(bgr[i], bgr[i + 2]);
    MemoryFile p(makePcx(5, 3, 3, rgb), "pic.pcx");
    MemoryFile t(makeTga(5, 3, 24, bgr), "pic.tga");
    Picture a, b;
    xImageLoad(&p, a);
    xImageLoad(&t, b);
    ASSERT_EQ(a.mode, 5);
    ASSERT_EQ(b.mode, 4);
    xImageConvert(&a, 6);
    xImageConvert(&b, 6);
    for (int i = 0; i < 15; i++) {
        uint32_t want = (uint32_t)rgb[i * 3] << 16 | rgb[i * 3 + 1] << 8 | rgb[i * 3 + 2];
        EXPECT_EQ(a.pixel32(i % 5, i / 5), want);
        EXPECT_EQ(b.pixel32(i % 5, i / 5), want);
    }

    // To mode 5: red in the first byte; to mode 4: blue first.
    xImageConvert(&b, 5);
    EXPECT_EQ(Bytes(b.pixels, b.pixels + rgb.size()), rgb);
    xImageConvert(&b, 4);
    EXPECT_EQ(Bytes(b.pixels, b.pixels + bgr.size()), bgr);

    // 1-5-5-5 TGA: 0x7c00 is full red, 0x001f full blue.
    Bytes px16 = {0x00, 0x7c, 0x1f, 0x00, 0xe0, 0x03};
    MemoryFile s(makeTga(3, 1, 16, px16), "pic16.tga");
    Picture c;
    xImageLoad(&s, c);
    ASSERT_EQ(c.mode, 2);
    xImageConvert(&c, 6);
    EXPECT_EQ(c.pixel32(0, 0) & 0xff0000, 0xff0000u);
    EXPECT_EQ(c.pixel32(0, 0) & 0xffff, 0u);
    EXPECT_EQ(c.pixel32(1, 0), 0x000000ffu);
    EXPECT_EQ(c.pixel32(2, 0) & 0xff00, 0xff00u);
    // 5-6-5 and back keeps the top bits.
    xImageConvert(&c, 3);
    EXPECT_EQ(((uint16_t*)c.pixels)[0], 0xf800);
    EXPECT_EQ(((uint16_t*)c.pixels)[1], 0x001f);
}

TEST(ImageConvert, ThirtyTwoBitTgaKeepsItsAlpha)
{
    Bytes px = {1, 2, 3, 0x80, 4, 5, 6, 0xff};
    MemoryFile f(makeTga(2, 1, 32, px), "alpha.tga");
    Picture img;
    xImageLoad(&f, img);
    xImageConvert(&img, 6);
    EXPECT_EQ(img.pixel32(0, 0), 0x80030201u);
    EXPECT_EQ(img.pixel32(1, 0), 0xff060504u);
    // Any other source leaves the fourth byte 0.
    xImageConvert(&img, 4);
    xImageConvert(&img, 6);
    EXPECT_EQ(img.pixel32(0, 0), 0x00030201u);
}

TEST(ImageConvertDeath, MissingPixelsOrPaletteAreRefused)
{
    Picture img;
    img.sizeX = img.sizeY = 2;
    img.mode = 4;
    EXPECT_EXIT(xImageConvert(&img, 6), ::testing::ExitedWithCode(3), "Assertion failed");
    EXPECT_EXIT(xImageConvert(nullptr, 6), ::testing::ExitedWithCode(3), "Assertion failed");

    GifOptions none;
    none.globalTable = false;
    MemoryFile g(makeGif(2, 1, Bytes{1, 2}, Bytes(), none), "bare.gif");
    Picture bare;
    xImageLoad(&g, bare);
    EXPECT_EXIT(xImageConvert(&bare, 6), ::testing::ExitedWithCode(6), "Broken file -> xImageConvert -> no palette");
}
