// The sprite object: factory, adopting pixels, views and ownership, alpha
// channel from an image, copying and rotation.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "X2d/X2d.h"
#include "X2d/X2dspr.h"
#include "Ximage/Ximage.h"

namespace {

xImage makeImage(int w, int h, int mode, uint32_t seed)
{
    int bytes = mode == XIMAGE_ARGB32 ? 4 : mode == XIMAGE_INDEXED ? 1 : 3;
    xImage image{w, h, mode, (uint8_t*)malloc((size_t)w * h * bytes), nullptr};
    for (int i = 0; i < w * h * bytes; i++)
        image.pixels[i] = (uint8_t)(seed + i * 37);
    if (mode == XIMAGE_INDEXED)
        image.palette = (uint8_t*)calloc(768, 1);
    return image;
}

x2dSprite* spriteOf(int w, int h)
{
    x2dSprite* s = x2dSpriteCreate();
    xImage image = makeImage(w, h, XIMAGE_ARGB32, 11);
    s->SetImage(image);
    return s;
}

} // namespace

TEST(X2dSprite, FactoryPicksThePathFromTheFlag)
{
    x2dInit(640, 280);
    x2dMMX = 0;
    x2dSprite* a = x2dSpriteCreate();
    EXPECT_STREQ(a->className, "x2dSpriteX86");
    EXPECT_EQ(a->ops, &x2dSpriteX86Ops);
    x2dMMX = 1;
    x2dSprite* b = x2dSpriteCreate();
    if (x2dSpriteHasMMXPath()) {
        EXPECT_STREQ(b->className, "x2dSpriteMMX");
        EXPECT_EQ(b->ops, &x2dSpriteMMXOps);
    } else {
        EXPECT_STREQ(b->className, "x2dSpriteX86");
    }
    // A fresh sprite is empty and owns what it will receive.
    EXPECT_EQ(b->sizeX, 0);
    EXPECT_EQ(b->pixels, nullptr);
    EXPECT_EQ(b->alphaLayer, nullptr);
    EXPECT_EQ(b->ownsMemory, 1);
    delete a;
    delete b;
}

TEST(X2dSprite, SetImageAdoptsThePixelBlock)
{
    x2dInit(640, 280);
    x2dSprite* s = x2dSpriteCreate();
    s->color = 99;
    xImage image = makeImage(30, 7, XIMAGE_ARGB32, 3);
    uint8_t* block = image.pixels;
    s->SetImage(image);
    EXPECT_EQ(s->sizeX, 30);
    EXPECT_EQ(s->sizeY, 7);
    EXPECT_EQ(s->pitch, 120);
    EXPECT_EQ(s->skip, 610);
    EXPECT_EQ(s->color, 0u);
    EXPECT_EQ((uint8_t*)s->pixels, block);
    EXPECT_EQ(s->alphaLayer, nullptr);
    // skip is fixed when the pixels arrive, not when the screen changes.
    x2dScreenWidth = 140;
    EXPECT_EQ(s->skip, 610);
    x2dScreenWidth = 640;
    // A second image replaces the first (which the sprite releases).
    xImage second = makeImage(4, 4, XIMAGE_ARGB32, 5);
    s->SetImage(second);
    EXPECT_EQ(s->sizeX, 4);
    EXPECT_EQ(s->skip, 636);
    delete s;
}

TEST(X2dSprite, ViewsNeverReleaseAndTheOwnerReleasesOnce)
{
    x2dInit(640, 280);
    x2dSprite* owner = spriteOf(8, 8);
    x2dSprite* view = x2dSpriteCreate();
    view->ownsMemory = 0;
    view->sizeX = 8;
    view->sizeY = 4;
    view->pixels = owner->pixels + 32;
    view->skip = 632;
    delete view; // must not release the owner's block (the allocator would notice a bad free)
    owner->pixels[32] = 5; // the block is still alive
    EXPECT_EQ(owner->pixels[32], 5u);
    delete owner;
}

TEST(X2dSprite, AlphaChannelFromAnEightBitImage)
{
    x2dInit(640, 280);
    x2dSprite* s = spriteOf(5, 4);
    std::vector<uint32_t> before(s->pixels, s->pixels + 20);
    xImage alpha = makeImage(5, 4, XIMAGE_INDEXED, 0);
    for (int i = 0; i < 20; i++)
        alpha.pixels[i] = 200;
    alpha.pixels[7] = 3;
    s->LoadAlphaChannel(alpha);
    for (int i = 0; i < 20; i++) {
        EXPECT_EQ(s->pixels[i] >> 24, i == 7 ? 3u : 200u);
        EXPECT_EQ(s->pixels[i] & 0xffffff, before[i] & 0xffffff);
    }
    // The image stays the caller's.
    EXPECT_NE(alpha.pixels, nullptr);
    free(alpha.pixels);
    free(alpha.palette);
    delete s;
}

TEST(X2dSpriteDeath, AlphaChannelOfTheWrongModeOrSizeIsRefused)
{
    x2dInit(640, 280);
    x2dSprite* s = spriteOf(5, 4);
    xImage rgb = makeImage(5, 4, XIMAGE_RGB24, 0);
    EXPECT_EXIT(s->LoadAlphaChannel(rgb), ::testing::ExitedWithCode(3),
                "x2dSprite::LoadAlphaChannel\\( xImage & \\) -> Incorrect mode or size");
    xImage wide = makeImage(6, 4, XIMAGE_INDEXED, 0);
    EXPECT_EXIT(s->LoadAlphaChannel(wide), ::testing::ExitedWithCode(3), "Incorrect mode or size");
    xImage empty{5, 4, XIMAGE_INDEXED, nullptr, nullptr};
    EXPECT_EXIT(s->LoadAlphaChannel(empty), ::testing::ExitedWithCode(3), "Assertion failed");
    xImage none{5, 4, XIMAGE_ARGB32, nullptr, nullptr};
    EXPECT_EXIT(s->SetImage(none), ::testing::ExitedWithCode(3), "Assertion failed");
    free(rgb.pixels);
    free(wide.pixels);
    free(wide.palette);
    delete s;
}

TEST(X2dSprite, CopyTakesPixelsButNotTheAlphaLayer)
{
    x2dInit(640, 280);
    x2dSprite* src = spriteOf(6, 5);
    src->color = 0x123456;
    src->alphaLayer = (uint8_t*)calloc(30, 1);
    x2dSprite* dst = spriteOf(2, 2);
    dst->alphaLayer = (uint8_t*)calloc(4, 1);
    dst->Copy(*src);
    EXPECT_EQ(dst->sizeX, 6);
    EXPECT_EQ(dst->sizeY, 5);
    EXPECT_EQ(dst->pitch, 24);
    EXPECT_EQ(dst->skip, src->skip);
    EXPECT_EQ(dst->color, 0x123456u);
    EXPECT_EQ(dst->alphaLayer, nullptr);
    EXPECT_NE(dst->pixels, src->pixels);
    EXPECT_EQ(memcmp(dst->pixels, src->pixels, 6 * 5 * 4), 0);
    // Copying onto itself keeps the picture.
    dst->Copy(*dst);
    EXPECT_EQ(memcmp(dst->pixels, src->pixels, 6 * 5 * 4), 0);
    // A view receiving a copy lets go of the block it viewed (not releasing
    // it) and owns the new one.
    x2dSprite* view = x2dSpriteCreate();
    view->ownsMemory = 0;
    view->pixels = src->pixels;
    view->sizeX = 6;
    view->sizeY = 5;
    view->Copy(*dst);
    EXPECT_EQ(view->ownsMemory, 1);
    EXPECT_NE(view->pixels, src->pixels);
    src->pixels[0] ^= 1; // still alive
    delete view;
    delete dst;
    delete src;
}

TEST(X2dSpriteDeath, CopyOfAnEmptySpriteIsAnAssertion)
{
    x2dInit(640, 280);
    x2dSprite* empty = x2dSpriteCreate();
    x2dSprite* s = spriteOf(2, 2);
    EXPECT_EXIT(s->Copy(*empty), ::testing::ExitedWithCode(3), "Assertion failed");
    delete s;
    delete empty;
}

TEST(X2dSprite, RotoZoomIdentityHalfZoomAndQuarterTurn)
{
    x2dInit(640, 280);
    const int N = 16;
    x2dSprite* src = spriteOf(N, N);
    for (int i = 0; i < N * N; i++)
        src->pixels[i] = (uint32_t)i + 1;
    x2dSprite* dst = spriteOf(N, N);

    src->RotoZoom(0.0f, *dst, 1.0f);
    EXPECT_EQ(memcmp(dst->pixels, src->pixels, N * N * 4), 0);

    // zoom 0.5: the centre quarter of the source fills the destination.
    src->RotoZoom(0.0f, *dst, 0.5f);
    for (int r = 0; r < N; r++)
        for (int c = 0; c < N; c++)
            ASSERT_EQ(dst->pixels[r * N + c], src->pixels[(N / 4 + r / 2) * N + N / 4 + c / 2]) << r << "," << c;

    // zoom 2 shows the whole picture at half size in the middle; the rest is
    // left as it was.
    dst->Fill(0xcccccccc);
    src->RotoZoom(0.0f, *dst, 2.0f);
    EXPECT_EQ(dst->pixels[0], 0xccccccccu);
    EXPECT_EQ(dst->pixels[(N / 4) * N + N / 4], src->pixels[0]);
    EXPECT_EQ(dst->pixels[(N / 2) * N + N / 2], src->pixels[(N / 2) * N + N / 2]);

    // A quarter turn keeps every destination pixel inside the source and
    // moves the centre onto the centre.
    dst->Fill(0);
    src->RotoZoom((float)(M_PI / 2), *dst, 1.0f);
    int filled = 0;
    for (int i = 0; i < N * N; i++)
        filled += dst->pixels[i] != 0;
    EXPECT_GE(filled, N * N - 2 * N);
    delete dst;
    delete src;
}
