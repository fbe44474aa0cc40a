#include "Part_2.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "X2d/X2d.h"
#include "X2d/X2dspr.h"
#include "parts/Cues.h"
#include "parts/PartLoad.h"
#include "parts/PartDraw.h"
#include "parts/PartLinks.h"
#include "system/Xerror.h"
#include "system/Xmath.h"
#include "system/Xrand.h"

namespace {

const char* const kModule = "parts/Part_2.cpp";
const int kTitleX = 218, kTitleY = 32;
const int kHappyX = 172, kCaptionX = 170;


// A copy of the picture with two colour channels exchanged in every pixel;
// the alpha byte stays where it is.
x2dSprite* variant(x2dSprite* source, int a, int b)
{
    x2dSprite* s = x2dSpriteCreate();
    s->Copy(*source);
    uint8_t* p = (uint8_t*)s->pixels;
    for (size_t i = 0, n = (size_t)s->sizeX * (size_t)s->sizeY; i < n; i++, p += 4) {
        const uint8_t t = p[a];
        p[a] = p[b];
        p[b] = t;
    }
    return s;
}

x2dSprite* g_happy = nullptr;
x2dSprite* g_fishTitle = nullptr;

} // namespace

enum { BLUE = 0, GREEN = 1, RED = 2 };
const xFishVariant g_fishVariants[FISH_SPRITES - 3] = {
    {0, GREEN, BLUE}, {2, RED, GREEN}, {1, RED, BLUE}, {2, GREEN, BLUE}, {0, RED, BLUE},
    {1, RED, GREEN},  {0, RED, GREEN}, {1, GREEN, BLUE}, {2, RED, BLUE},
};

x2dSprite* g_fishSprites[FISH_SPRITES];
FishSwimmer g_fishSwimmers[FISH_SWIMMERS];

xFishState FishStartState() { return xFishState{0, 0, 0}; }
xFishState g_fish = FishStartState();

void FishSwimmer::Respawn(int32_t offset, x2dSprite* avoid)
{
    alive = 1;
    do {
        sprite = g_fishSprites[xRand() % FISH_SPRITES];
        // A missing picture would match a missing one to avoid for ever.
        X_ASSERT(sprite, kModule, 68);
    } while (sprite == avoid);
    baseY = xRand() % 100 + 50;
    speed = xRand() % 2 + 2;
    amplitude = xRand() % 4 + 3;
    x = -offset - sprite->sizeX;
}

void FishSwimmer::Move(x2dSprite* avoid)
{
    x += speed;
    const int32_t y = baseY + (int32_t)(xSin(x * 0.0628318530718) * amplitude); // a wave every 100 pixels
    sprite->DrawAlpha(x, y, g_picture);
    if (x > x2dClipRight)
        Respawn(200, avoid);
}

void Part2Init()
{
    g_happy = partLoadSprite("happy.tga", nullptr);
    partCheckFits(g_happy, "Part2Init()", "happy.tga", kHappyX, SHOW_CAPTION_Y, SHOW_WIDTH, SHOW_PICTURE_ROWS);
    g_fishTitle = partLoadSprite("fishtro.tga", "fishtrom.gif");
    partCheckFits(g_fishTitle, "Part2Init()", "fishtro.tga", kTitleX, kTitleY, SHOW_WIDTH, SHOW_LETTERBOX_ROWS);
    g_fishSprites[0] = partLoadSprite("fish1.tga", "fish1m.gif");
    g_fishSprites[1] = partLoadSprite("fish2.tga", "fish2m.gif");
    g_fishSprites[2] = partLoadSprite("fish3.tga", "fish3m.gif");
    // After the alpha channels: the copies take the pixels with their alpha.
    for (int i = 3; i < FISH_SPRITES; i++) {
        const xFishVariant& v = g_fishVariants[i - 3];
        g_fishSprites[i] = variant(g_fishSprites[v.source], v.channelA, v.channelB);
    }
    g_fishSwimmers[0].Respawn(0, nullptr);
    for (int i = 1; i < FISH_SWIMMERS; i++)
        g_fishSwimmers[i].Respawn(150 * i, g_fishSprites[i - 1]);
    g_fish = FishStartState();
}

void Part2Draw()
{
    xFishState& s = g_fish;
    const int32_t order = g_musicOrder, row = g_musicRow;

    if (g_openingSlideY != 0.0f) {
        x2dFillRect(0, 0, SHOW_WIDTH, SHOW_LETTERBOX_ROWS, 0xFFFFFF, g_picture);
        clearCaptionRows();
        g_openingSlideY -= g_frameTime * 0.01;
        if (g_openingSlideY < 0.0f)
            g_openingSlideY = 0.0f;
        g_openingSlide->Draw(0, (int)g_openingSlideY, g_picture);
        clearCaptionRows();
    } else if (s.fadeOut == 255) {
        memset(g_picture, 0, SHOW_PICTURE_PIXELS * 4);
    } else {
        memcpy(g_picture, g_openingSlide->pixels, SHOW_LETTERBOX_PIXELS * 4);
        clearCaptionRows();
    }

    if (s.fadeOut != 255)
        for (int i = 0; i < FISH_SWIMMERS; i++)
            g_fishSwimmers[i].Move(g_fishSwimmers[(i + FISH_SWIMMERS - 1) % FISH_SWIMMERS].sprite);

    if (order >= CUE_FISH && order < CUE_LINES) {
        if (order == kFishCaptionOut.order && row >= kFishCaptionOut.row)
            s.captionLevel = atLeast0(s.captionLevel - 15);
        else
            s.captionLevel = atMost255(s.captionLevel + 5);
        g_openingCaption->DrawBlendNoClip(kCaptionX, SHOW_CAPTION_Y, (uint32_t)s.captionLevel, g_picture);
    }

    if (order >= kFishTitle.order && row >= kFishTitle.row) {
        if (s.fadeOut != 255)
            s.titleLevel = atMost255(s.titleLevel + 10);
        g_happy->DrawBlendNoClip(kHappyX, SHOW_CAPTION_Y, (uint32_t)s.titleLevel, g_picture);
    }

    if (order >= kFishFadeOut.order && row >= kFishFadeOut.row) {
        s.fadeOut = atMost255(s.fadeOut + 50);
        x2dSubSpan(s.fadeOut, SHOW_LETTERBOX_PIXELS, g_picture);
    }

    // After the fade: the title stays bright over black while it fades out.
    if (s.fadeOut == 255)
        s.titleLevel = atLeast0(s.titleLevel - 15);
    if (s.titleLevel != 0)
        g_fishTitle->DrawAlphaBlendNoClip(kTitleX, kTitleY, (uint32_t)s.titleLevel, g_picture);
}
