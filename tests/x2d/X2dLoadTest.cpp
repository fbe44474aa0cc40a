// Sprites from picture files: pixels, alpha channel and alpha layer.
#include <gtest/gtest.h>

#include "X2d/X2d.h"
#include "X2d/X2dspr.h"
#include "X2dTestFiles.h"
#include "files/xFileIO.h"

using namespace x2dtest;

namespace {

xFileIO& disk()
{
    static xFileIO files(0);
    return files;
}

uint32_t colourAt(int x, int y) { return (uint32_t)(x * 8) << 16 | (uint32_t)(y * 8) << 8 | (uint32_t)(x ^ y); }

} // namespace

TEST(X2dLoad, PictureBecomesThirtyTwoBitPixelsWithoutAlpha)
{
    x2dInit(640, 280);
    std::string path = put("pic.tga", tga24(12, 5, colourAt));
    x2dSprite* s = x2dSpriteCreate();
    s->Load(path.c_str(), &disk());
    ASSERT_NE(s->pixels, nullptr);
    EXPECT_EQ(s->sizeX, 12);
    EXPECT_EQ(s->sizeY, 5);
    EXPECT_EQ(s->pitch, 48);
    EXPECT_EQ(s->skip, 628);
    for (int y = 0; y < 5; y++)
        for (int x = 0; x < 12; x++)
            ASSERT_EQ(s->pixels[y * 12 + x], colourAt(x, y)) << x << "," << y;
    delete s;
}

TEST(X2dLoad, AlphaChannelFromAnIndexedPicture)
{
    x2dInit(640, 280);
    std::string pic = put("a.tga", tga24(6, 4, colourAt));
    std::string alpha = put("a_alpha.tga", tga8(6, 4, [](int x, int y) { return x == 2 && y == 1 ? 7 : 200; }));
    x2dSprite* s = x2dSpriteCreate();
    s->Load(pic.c_str(), &disk());
    s->LoadAlphaChannel(alpha.c_str(), &disk());
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 6; x++) {
            EXPECT_EQ(s->pixels[y * 6 + x] >> 24, x == 2 && y == 1 ? 7u : 200u);
            EXPECT_EQ(s->pixels[y * 6 + x] & 0xffffff, colourAt(x, y));
        }
    delete s;
}

TEST(X2dLoadDeath, AlphaChannelRefusals)
{
    x2dInit(640, 280);
    std::string pic = put("b.tga", tga24(6, 4, colourAt));
    std::string wide = put("b_wide.tga", tga8(7, 4, [](int, int) { return 1; }));
    std::string rgb = put("b_rgb.tga", tga24(6, 4, colourAt));
    x2dSprite* s = x2dSpriteCreate();
    s->Load(pic.c_str(), &disk());
    EXPECT_EXIT(s->LoadAlphaChannel(wide.c_str(), &disk()), ::testing::ExitedWithCode(3),
                "x2dSprite::LoadAlphaChannel\\(\\) -> Incorrect mode or size -> .*b_wide.tga");
    EXPECT_EXIT(s->LoadAlphaChannel(rgb.c_str(), &disk()), ::testing::ExitedWithCode(3),
                "Incorrect mode or size -> .*b_rgb.tga");
    EXPECT_EXIT(s->LoadAlphaChannel("/nonexistent/x.tga", &disk()), ::testing::ExitedWithCode(3),
                "x2dSprite::LoadAlphaChannel\\(\\) -> Can't load /nonexistent/x.tga");
    EXPECT_EXIT(s->LoadAlphaChannel(nullptr, &disk()), ::testing::ExitedWithCode(3), "Assertion failed");
    EXPECT_EXIT(s->Load("/nonexistent/y.tga", &disk()), ::testing::ExitedWithCode(3),
                "x2dSprite::Load\\(\\.\\.\\) -> Error loading /nonexistent/y.tga");
    EXPECT_EXIT(s->LoadAlphaLayer(rgb.c_str(), &disk(), -1), ::testing::ExitedWithCode(3),
                "x2dSprite::LoadAlphaLayer\\(\\) -> Wrong format .*b_rgb.tga");
    EXPECT_EXIT(s->LoadAlphaLayer("/nonexistent/z.gif", &disk(), -1), ::testing::ExitedWithCode(3),
                "x2dSprite::LoadAlphaLayer\\(\\) -> Can't load /nonexistent/z.gif");
    delete s;
}

TEST(X2dLoad, AlphaLayerTakesItsSizeAndPaintsTheColour)
{
    x2dInit(64, 16);
    std::string mask = put("mask.tga", tga8(5, 3, [](int x, int) { return x % 2 ? 0 : 255; }));
    x2dSprite* s = x2dSpriteCreate();
    s->color = 0x00112233;
    s->LoadAlphaLayer(mask.c_str(), &disk(), -1);
    EXPECT_EQ(s->color, 0x00112233u); // -1 keeps the colour
    EXPECT_EQ(s->sizeX, 5);
    EXPECT_EQ(s->sizeY, 3);
    EXPECT_EQ(s->pitch, 0);
    EXPECT_EQ(s->skip, 59);
    EXPECT_EQ(s->pixels, nullptr);
    s->LoadAlphaLayer(mask.c_str(), &disk(), 0xffffff);
    EXPECT_EQ(s->color, 0xffffffu);
    std::vector<uint32_t> screen(64 * 16, 0);
    s->DrawLayer(1, 1, screen.data());
    for (int x = 0; x < 7; x++)
        EXPECT_EQ(screen[64 + x], x >= 1 && x <= 5 && (x - 1) % 2 == 0 ? 0xffffffu : 0u) << x;

    // A layer of another size than the pixels the sprite had: the pixel modes
    // must not read the old block past its end.
    std::string pic = put("small.tga", tga24(2, 2, colourAt));
    x2dSprite* t = x2dSpriteCreate();
    t->Load(pic.c_str(), &disk());
    t->LoadAlphaLayer(mask.c_str(), &disk(), 5);
    EXPECT_EQ(t->sizeX, 5);
    std::vector<uint32_t> before = screen;
    t->Draw(0, 0, screen.data());
    EXPECT_EQ(screen, before);
    delete t;
    delete s;
}
