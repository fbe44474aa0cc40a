#include "rotoPart.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "X2d/X2d.h"
#include "X2d/X2dspr.h"
#include "parts/Cues.h"
#include "parts/PartLoad.h"
#include "parts/Credits.h"
#include "parts/Part_1.h"
#include "parts/PartDraw.h"
#include "parts/PartLinks.h"
#include "system/Xerror.h"
#include "system/Xmath.h"
#include "system/Xrand.h"

namespace {

const char* const kModule = "parts/rotoPart.cpp";
const int kRotoCaptionX = 186;
const int kCirclesCaptionX = 170;
const double kQuarterTurn = 1.570796326795;


x2dSprite* g_rotoCaption = nullptr;
x2dSprite* g_street = nullptr;
x2dSprite* g_litWindow = nullptr;

} // namespace

x2dSprite* g_rotoGull = nullptr;
x2dSprite* g_rotoBufferA = nullptr;
x2dSprite* g_rotoBufferB = nullptr;

xRotoState RotoStartState() { return xRotoState{0.0f, 1.5707964f, 40, 0, 0, SHOW_LETTERBOX_ROWS, 0, 0, 0, 0}; }
xRotoState g_roto = RotoStartState();

xRotoCentres RotoCentres(float angleA, float angleB, int32_t swing)
{
    const double s = angleA + kQuarterTurn, t = angleB + kQuarterTurn;
    xRotoCentres c;
    c.xA = 350 - (int32_t)(xSin(s) * -200.0);
    c.yA = 350 - (int32_t)(xCos(s) * -200.0);
    c.xB = 350 - (int32_t)(xSin(t) * -120.0);
    c.yB = swing - (int32_t)(xCos(t) * -120.0);
    return c;
}

void RotoInit()
{
    x2dSprite* sea = partLoadSprite("fon1.gif", nullptr);
    partCheckSize(sea, "RotoInit()", "fon1.gif", SHOW_WIDTH, SHOW_LETTERBOX_ROWS);
    g_rotoBack = sea;
    g_rotoGull = partLoadSprite("orel.tga", "orelmask.gif");
    partCheckSize(g_rotoGull, "RotoInit()", "orel.tga", ROTO_A_SIZE, ROTO_A_SIZE);
    g_rotoCaption = partLoadSprite("backto.tga", nullptr);
    partCheckFits(g_rotoCaption, "RotoInit()", "backto.tga", kRotoCaptionX, SHOW_CAPTION_Y, SHOW_WIDTH,
                  SHOW_CAPTION_Y + 20);
    // The buffers live in the greetings' block, loaded before; without it
    // (the roto-zoom loaded for its background alone) there are none.
    if (g_greetScratch) {
        g_rotoBufferA = partMakeView(g_greetScratch, ROTO_A_SIZE, ROTO_A_SIZE);
        g_rotoBufferB = partMakeView(g_greetScratch + ROTO_B_OFFSET, ROTO_B_SIZE, ROTO_B_SIZE);
    }
    g_roto = RotoStartState();
}

void RotoDraw()
{
    X_ASSERT(g_rotoBufferA && g_rotoBufferB, kModule, __LINE__);
    xRotoState& s = g_roto;
    s.angleA += 0.02f;
    s.angleB += 0.03f;
    if (s.angleA > 4.0f)
        s.angleA = 0.1f;

    memcpy(g_picture, g_rotoBack->pixels, SHOW_LETTERBOX_PIXELS * 4);
    clearCaptionRows();
    // The turned copies leave uncovered pixels as they were.
    g_rotoBufferA->Clear();
    g_rotoBufferB->Clear();

    if (s.swing < 100)
        s.swing++;
    const xRotoCentres c = RotoCentres(s.angleA, s.angleB, s.swing);
    g_rotoGull->RotoZoom(s.angleA, *g_rotoBufferA, 1.0f);
    g_rotoGull->RotoZoom(s.angleB, *g_rotoBufferB, 2.0f);
    g_rotoBufferA->DrawAlphaBlend(c.xA - ROTO_A_SIZE / 2, c.yA - ROTO_A_SIZE / 2, 250, g_picture);
    g_rotoBufferB->DrawAlphaBlend(c.xB - ROTO_B_SIZE / 2, c.yB - ROTO_B_SIZE / 2, 100, g_picture);

    if (g_musicOrder >= kRotoCaption.order && s.flash == 0)
        s.captionLevel = atMost255(s.captionLevel + 10);
    if (g_musicOrder == kRotoFlash.order && g_musicRow >= kRotoFlash.row) {
        s.flash = atMost255(s.flash + 20);
        s.captionLevel = s.captionLevel > 25 ? s.captionLevel - 25 : 0;
        x2dAddSpan(s.flash, SHOW_LETTERBOX_PIXELS, g_picture);
    }
    if (s.captionLevel != 0)
        g_rotoCaption->DrawBlendNoClip(kRotoCaptionX, SHOW_CAPTION_Y, (uint32_t)s.captionLevel, g_picture);
}

void CirclesInit()
{
    g_street = partLoadSprite("may.tga", nullptr);
    partCheckSize(g_street, "CirclesInit()", "may.tga", SHOW_WIDTH, SHOW_LETTERBOX_ROWS);
}

void CirclesDraw()
{
    xRotoState& s = g_roto;
    const int32_t order = g_musicOrder, row = g_musicRow;

    s.slideY -= 1;
    if (s.slideY == 0) {
        memcpy(g_picture, g_street->pixels, SHOW_LETTERBOX_PIXELS * 4);
        clearCaptionRows();
    } else {
        x2dFillRect(0, 0, SHOW_WIDTH, SHOW_LETTERBOX_ROWS, 0xFFFFFF, g_picture);
        clearCaptionRows();
        g_street->Draw(0, s.slideY, g_picture);
    }

    if (order >= CUE_CIRCLES && order < CUE_FALL && cueCircleRow(order, row))
        SpawnCircleCell();
    DrawCircleCells();

    if (order == kCirclesCaptionOrder) {
        if (row >= kCirclesCaptionRows[0] && row <= kCirclesCaptionRows[1]) {
            s.circlesCaption = atMost255(s.circlesCaption + 25);
        } else {
            s.circlesCaption -= 10;
            if (s.circlesCaption < 0)
                s.circlesCaption = 0;
        }
    }
    if (s.circlesCaption != 0)
        g_openingCaption->DrawBlendNoClip(kCirclesCaptionX, SHOW_CAPTION_Y, (uint32_t)s.circlesCaption, g_picture);
}

FallingLetters g_fallingLetters;

void FallingLetters::Init()
{
    speed[0] = xRand() % 2 + 1;
    const int32_t a = xRand() % 300;
    y[0] = a - 50;
    if (a > 175)
        speed[0] = -speed[0];
    for (int i = 1; i < FALL_LETTERS; i++) {
        y[i] = xRand() % 300 - 50;
        int32_t b;
        do
            b = xRand() % 2;
        while (b + 1 == speed[i - 1]);
        speed[i] = y[i] > 125 ? -(b + 1) : b + 1;
    }
    level = 0;
}

void FallingLetters::Update(uint32_t* dst)
{
    if (level != 255)
        level = atMost255(level + 15);
    for (int i = 0; i < FALL_LETTERS; i++) {
        x2dSprite* s = sprites[i];
        if (y[i] + s->sizeY <= 0 || y[i] >= SHOW_LETTERBOX_ROWS)
            continue;
        const int32_t x = FALL_LETTER_SPACING * (i + 1);
        if (level == 255)
            s->DrawLayer(x, y[i], dst);
        else
            s->DrawLayerBlend(x, y[i], (uint32_t)level, dst);
        y[i] += speed[i];
    }
}

void FallInit()
{
    g_litWindow = partLoadSprite("scene3c.tga", nullptr);
    partCheckSize(g_litWindow, "FallInit()", "scene3c.tga", SHOW_WIDTH, SHOW_LETTERBOX_ROWS);
    for (int i = 0; i < FALL_LETTERS; i++) {
        char name[16];
        snprintf(name, sizeof name, "mn%dm.gif", i + 1);
        g_fallingLetters.sprites[i] = partLoadLayer(name, 0);
    }
    g_fallingLetters.Init();
}

void FallDraw()
{
    xRotoState& s = g_roto;
    if (s.fallLevel == 255) {
        memcpy(g_picture, g_litWindow->pixels, SHOW_LETTERBOX_PIXELS * 4);
    } else {
        memset(g_picture, 0xFF, SHOW_LETTERBOX_PIXELS * 4);
        s.slideY -= 2;
        g_street->Draw(0, s.slideY, g_picture);
        s.fallLevel = atMost255(s.fallLevel + 15);
        g_litWindow->DrawBlendNoClip(0, 0, (uint32_t)s.fallLevel, g_picture);
    }
    if (!s.bubblesSet) {
        s.bubblesSet = 1;
        for (Bubble& b : g_bubbles) {
            b.xMin = 0;
            b.Reset();
        }
    }
    for (Bubble& b : g_bubbles)
        b.Update();
    g_fallingLetters.Update(g_picture);
    g_floatingCircles.Update();
}

bool FallOnScreen() { return !g_roto.fallEnded; }

void FallHandOver()
{
    g_roto.fallEnded = 1;
    if (g_setFlareSize)
        g_setFlareSize(800.0f);
}
