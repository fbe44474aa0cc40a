#include "Part_1.h"

#include <cstdlib>
#include <cstring>

#include "X2d/X2d.h"
#include "X2d/X2dspr.h"
#include "X3d/Polygons.h"
#include "X3d/Spline.h"
#include "X3d/X3d.h"
#include "X3d/X3dscr.h"
#include "files/xFileIO.h"
#include "parts/Cues.h"
#include "parts/PartLoad.h"
#include "parts/PartDraw.h"
#include "parts/PartLinks.h"
#include "platform/Plat.h"
#include "system/Xerror.h"
#include "system/Xrand.h"
#include "system/Xvideo.h"

namespace {

const char* const kModule = "parts/Part_1.cpp";

const int kCircleFrames = 10, kCircleDelay = 30;
const int kCaptionX = 170;
// The band: its edges open from row 125 to 113 and 137, drawn with a light
// line above and below.
const int kBandMiddle = 125, kBandTopMost = 113, kBandBottomMost = 137;
const uint32_t kBandTopLine = 0xF8D2A4, kBandColour = 0xEC870E, kBandBottomLine = 0xF5BF7F;
const int kLetterTop = 91;
// The band's rows are kept free of circles while it is up (grid rows 3-6),
// and one more row above while the halves invert (2-6).
const int kBandCellRows[2] = {3, 6}, kInvertCellRows[2] = {2, 6};
// The inverted halves, and the white bars that close the band.
const int kInvertTop = 85, kInvertBottom = 165, kInvertSplit = 277;
const int kClosingTop = 112, kClosingBottom = 138;
const float kLogoHeldTime = 350.0f;


// Cells outside the grid count as inactive.
bool activeAt(int c, int r)
{
    if (c < 0 || c >= CIRCLE_COLUMNS || r < 0 || r >= CIRCLE_ROWS)
        return false;
    return g_circleGrid[r][c].active != 0;
}

bool inRange(int v, const int (&range)[2]) { return v >= range[0] && v <= range[1]; }

void fillRows(int first, int count, int byte)
{
    memset(g_picture + first * SHOW_WIDTH, byte, (size_t)count * SHOW_WIDTH * 4);
}

void background(int order)
{
    xOpeningState& s = g_opening;
    if (!s.white) {
        fillRows(0, SHOW_PICTURE_ROWS, 0);
        // From order 3 on until white: a show started later fades in too.
        if (order >= kOpeningWhiteOrder) {
            s.fadeIn += 20;
            if (s.fadeIn > 255) {
                s.fadeIn = 255;
                s.white = 1;
            }
            x2dAddSpan(s.fadeIn, SHOW_LETTERBOX_PIXELS, g_picture);
        }
    } else if (s.bandMode != -1) {
        for (int i = 0; i < SHOW_LETTERBOX_PIXELS; i++)
            g_picture[i] = 0xFFFFFF;
        fillRows(SHOW_LETTERBOX_ROWS, SHOW_CAPTION_ROWS, 0);
    } else {
        // The band's rows and the caption rows keep the last frame: the
        // half-transparent band and the growing letters leave trails.
        fillRows(0, 91, 0xFF);
        fillRows(159, SHOW_LETTERBOX_ROWS - 159, 0xFF);
    }
}

void band()
{
    xOpeningState& s = g_opening;
    s.bandFrames++;
    // Opens while not yet full (a show started late opens it too).
    if (s.bandFrames % 2 == 0 && (s.bandTop > kBandTopMost || s.bandBottom < kBandBottomMost)) {
        s.bandTop = s.bandTop - 1 < kBandTopMost ? kBandTopMost : s.bandTop - 1;
        s.bandBottom = s.bandBottom + 1 > kBandBottomMost ? kBandBottomMost : s.bandBottom + 1;
    }
    x2dHLine(0, SHOW_WIDTH, s.bandTop - 1, kBandTopLine, g_picture);
    if (s.bandMode == -1)
        HalfBlendRect(0, s.bandTop, SHOW_WIDTH, s.bandBottom, kBandColour >> 16, kBandColour >> 8 & 255,
                      kBandColour & 255, g_picture);
    else
        x2dFillRect(0, s.bandTop, SHOW_WIDTH, s.bandBottom, kBandColour, g_picture);
    x2dHLine(0, SHOW_WIDTH, s.bandBottom, kBandBottomLine, g_picture);
}

void shake() { OpeningShake(xRand() % 8, g_picture); }

// The scene of the 3D logo, for the whole run.
x3dScene g_logoScene;

// The 3D logo: turning from order 7 on until "MATERIAL_1" has whitened away
// in order 9, drawn after everything 2D and unlit (its lines carry their own
// colour); the rows under the caption rows, where the engine's picture
// spills, are cleared afterwards.
void logo(int order)
{
    if (!g_logoMaterial || !g_openingScene)
        return;
    if (order == kOpeningSlideOrder)
        BrightenLogoMaterial(g_logoMaterial);
    if (order < kOpeningLogoOrder || g_logoMaterial->red == 255)
        return;
    g_opening.logoTime = AdvanceLogoTime(g_opening.logoTime, g_frameTime, g_openingScene->lastFrame);
    x3dSetFrame(g_opening.logoTime);
    x3dAnimateScene();
    x3dTransformScene();
    x3dRenderScene(g_frameBuffer);
    fillRows(SHOW_LETTERBOX_ROWS, 100, 0);
}

} // namespace

CircleCell g_circleGrid[CIRCLE_ROWS][CIRCLE_COLUMNS];
x2dAnim g_circleAnim;
LogoLetters g_logoLetters;
x3dMaterial* g_logoMaterial = nullptr;

xOpeningState OpeningStartState()
{
    xOpeningState s;
    s.fadeIn = 0;
    s.white = 0;
    s.bandMode = 1;
    s.bandTop = kBandMiddle;
    s.bandBottom = kBandMiddle;
    s.bandFrames = 0;
    s.lettersShown = 0;
    s.inversion = 255;
    s.closingTop = kClosingTop;
    s.closingBottom = kClosingBottom;
    s.logoTime = 0.0f;
    return s;
}
xOpeningState g_opening = OpeningStartState();

void SpawnCircleCell()
{
    const int order = g_musicOrder;
    for (;;) {
        // Two statements: the column's number comes first.
        const int c = xRand() % CIRCLE_COLUMNS;
        const int r = xRand() % CIRCLE_ROWS;
        if (activeAt(c, r) || activeAt(c - 1, r) || activeAt(c + 1, r) || activeAt(c, r - 1) || activeAt(c, r + 1))
            continue;
        if (order >= kOpeningWhiteOrder && order <= kOpeningCloseOrder && inRange(r, kBandCellRows))
            continue;
        if (order >= kOpeningInvertOrders[0] && order <= kOpeningInvertOrders[1] && inRange(r, kInvertCellRows))
            continue;
        CircleCell& cell = g_circleGrid[r][c];
        cell.active = 1;
        cell.frame = 0;
        cell.tick = platGetTickCount();
        return;
    }
}

void DrawCircleCells()
{
    x2dAnim& a = g_circleAnim;
    for (int r = 0; r < CIRCLE_ROWS; r++)
        for (int c = 0; c < CIRCLE_COLUMNS; c++) {
            CircleCell& cell = g_circleGrid[r][c];
            if (!cell.active)
                continue;
            a.current = cell.frame;
            a.frame->pixels = a.frameTable[cell.frame];
            a.lastTick = (int32_t)cell.tick;
            a.Update();
            cell.frame = (int8_t)a.current;
            cell.tick = (uint32_t)a.lastTick;
            if (a.wrapped) {
                cell.active = 0;
                cell.frame = 0;
                cell.tick = 0;
            } else {
                a.frame->DrawAlphaNoClip(CIRCLE_LEFT + CIRCLE_SPACING * c, CIRCLE_SPACING * r, g_picture);
            }
        }
}

void LogoLetters::Init()
{
    static const int32_t centres[LOGO_LETTERS] = {44, 105, 170, 232, 319, 380, 439, 480, 526, 593};
    logo = x2dSpriteCreate();
    logo->LoadAlphaLayer("grplogo.gif", g_pFileIO, 0xFFFFFF);
    // The letters are views of ten cells one under the other.
    if (logo->sizeX != LOGO_LETTER_W || logo->sizeY < LOGO_LETTERS * LOGO_LETTER_H)
        g_xError.Fatal("LogoLetters::Init() -> Wrong size of grplogo.gif");
    for (int i = 0; i < LOGO_LETTERS; i++) {
        x2dSprite* l = x2dSpriteCreate();
        l->ownsMemory = 0;
        l->alphaLayer = logo->alphaLayer + (size_t)i * LOGO_LETTER_W * LOGO_LETTER_H;
        l->sizeX = LOGO_LETTER_W;
        l->sizeY = LOGO_LETTER_H;
        l->pitch = 0;
        l->skip = x2dScreenWidth - LOGO_LETTER_W;
        l->color = logo->color;
        letters[i] = l;
        centreX[i] = centres[i];
        scale[i] = 0.0f;
        shown[i] = 0;
    }
}

void LogoLetters::Draw()
{
    for (int i = 0; i < LOGO_LETTERS; i++) {
        if (!shown[i])
            continue;
        if (scale[i] != 1.0f) {
            scale[i] += 0.02;
            if (scale[i] > 1.0f)
                scale[i] = 1.0f;
            // Grows from its centre on the band.
            const int w = (int)(scale[i] * (float)LOGO_LETTER_W), h = (int)(scale[i] * (float)LOGO_LETTER_H);
            letters[i]->DrawLayerScaled(centreX[i] - w / 2, kBandMiddle - h / 2, scale[i], g_picture);
        } else {
            letters[i]->DrawLayerNoClip(centreX[i] - LOGO_LETTER_W / 2, kLetterTop, g_picture);
        }
    }
}

void HalfBlendRect(int x0, int y0, int x1, int y1, int r, int g, int b, uint32_t* dst)
{
    x0 = x0 < 0 ? 0 : x0;
    y0 = y0 < 0 ? 0 : y0;
    x1 = x1 > x2dScreenWidth ? x2dScreenWidth : x1;
    y1 = y1 > x2dScreenHeight ? x2dScreenHeight : y1;
    // Each colour byte becomes (byte + colour) / 2, rounded down, as
    // (byte >> 1) + (colour >> 1) + (byte & colour & 1), all three bytes of
    // a word at once; the fourth byte is cleared.
    const uint32_t colour = (uint32_t)(r & 255) << 16 | (uint32_t)(g & 255) << 8 | (uint32_t)(b & 255);
    const uint32_t half = (colour >> 1) & 0x7F7F7Fu, odd = colour & 0x010101u;
    for (int y = y0; y < y1; y++) {
        uint32_t* p = (uint32_t*)((uint8_t*)dst + x2dLineOffset[y]) + x0;
        for (int x = 0; x < x1 - x0; x++)
            p[x] = ((p[x] >> 1) & 0x7F7F7Fu) + half + (p[x] & odd);
    }
}

void OpeningShake(int k, uint32_t* picture)
{
    memmove(picture + k * SHOW_WIDTH, picture, SHOW_LETTERBOX_PIXELS * 4);
}

void OpeningUseLogoScene(x3dScene* scene)
{
    g_openingScene = scene;
    g_logoMaterial = x3dFindMaterial("MATERIAL_1", scene);
    X_ASSERT(g_logoMaterial, kModule, 216);
}

void BrightenLogoMaterial(x3dMaterial* m)
{
    // In int: a byte would wrap from 253 to 2 and never reach white.
    m->red = (uint8_t)atMost255(m->red + 5);
    m->green = (uint8_t)atMost255(m->green + 5);
    m->blue = (uint8_t)atMost255(m->blue + 5);
    // The plain wireframe lines draw with the packed colour.
    m->packedColour = (uint32_t)m->red << 16 | (uint32_t)m->green << 8 | m->blue;
}

float AdvanceLogoTime(float time, uint32_t frameTime, float lastFrame)
{
    time += frameTime * 0.04;
    if (time > lastFrame)
        time = kLogoHeldTime;
    return time;
}

void Part1Init()
{
    g_logoLetters.Init();
    x3dLoadSceneScript("logo3d.x3d", &g_logoScene, g_pFileIO);
    OpeningUseLogoScene(&g_logoScene);
    g_circleAnim.Load("circles.tga", kCircleFrames, kCircleDelay, g_pFileIO);
    // Cells are drawn unclipped as far right and down as (550, 225).
    partCheckFits(g_circleAnim.frame, "Part1Init()", "circles.tga", CIRCLE_LEFT + CIRCLE_SPACING * (CIRCLE_COLUMNS - 1),
                  CIRCLE_SPACING * (CIRCLE_ROWS - 1), SHOW_WIDTH, SHOW_LETTERBOX_ROWS);
    g_circleAnim.LoadAlphaChannel("ccmask.gif", g_pFileIO);
    g_circleAnim.Restart();
    g_openingCaption = partLoadSprite("cusoon.tga", nullptr);
    partCheckFits(g_openingCaption, "Part1Init()", "cusoon.tga", kCaptionX, SHOW_CAPTION_Y, SHOW_WIDTH,
                  SHOW_PICTURE_ROWS);
    // Copied whole over the letterbox by the fish.
    g_openingSlide = partLoadSprite("mart.tga", nullptr);
    partCheckSize(g_openingSlide, "Part1Init()", "mart.tga", SHOW_WIDTH, SHOW_LETTERBOX_ROWS);
    memset(g_circleGrid, 0, sizeof g_circleGrid);
    g_opening = OpeningStartState();
    g_openingSlideY = 250.0f;
}

void Part1Draw()
{
    xOpeningState& s = g_opening;
    const int32_t order = g_musicOrder, row = g_musicRow;

    background(order);
    if (order == kOpeningSlideOrder) {
        g_openingSlideY -= g_frameTime * 0.01;
        if (g_openingSlideY < 0.0f)
            g_openingSlideY = 0.0f;
        g_openingSlide->Draw(0, (int)g_openingSlideY, g_picture);
    }
    if (order == kOpeningCaption.order && row >= kOpeningCaption.row && row <= kOpeningCaptionLastRow)
        g_openingCaption->DrawNoClip(kCaptionX, SHOW_CAPTION_Y, g_picture);
    if (cueCircleRow(order, row))
        SpawnCircleCell();
    DrawCircleCells();
    // White, the band not open yet: the frame ends here.
    if (order == kOpeningBand.order && row < kOpeningBand.row)
        return;

    if (cueReached(order, row, kOpeningBand) && order <= kOpeningCloseOrder)
        band();
    if (order >= kOpeningLettersOrder && order <= kOpeningCloseOrder) {
        if (s.bandMode == 1)
            s.bandMode = -1;
        if (s.lettersShown < LOGO_LETTERS && row % kOpeningLetterEvery == 0)
            g_logoLetters.shown[s.lettersShown++] = 1;
        g_logoLetters.Draw();
    }
    if (order == kOpeningInvertOrders[0]) {
        s.bandMode = 2;
        if (row >= kOpeningInvertBackRow)
            s.inversion = atLeast0(s.inversion - 8);
        x2dDiffRect(0, kInvertTop, kInvertSplit, kInvertBottom, s.inversion, g_picture);
        if (row <= kOpeningShakeLastRow)
            shake();
    }
    if (order == kOpeningInvertOrders[1]) {
        if (row >= kOpeningInvertBackRow)
            s.inversion = atMost255(s.inversion + 8);
        x2dDiffRect(kInvertSplit, kInvertTop, SHOW_WIDTH, kInvertBottom, 255 - s.inversion, g_picture);
        if (row <= kOpeningShakeLastRow)
            shake();
    }
    if (order == kOpeningCloseOrder) {
        s.closingTop = s.closingTop + 1 > kBandMiddle ? kBandMiddle : s.closingTop + 1;
        s.closingBottom = s.closingBottom - 1 < kBandMiddle ? kBandMiddle : s.closingBottom - 1;
        x2dFillRect(0, kClosingTop, SHOW_WIDTH, s.closingTop, 0xFFFFFF, g_picture);
        x2dFillRect(0, s.closingBottom, SHOW_WIDTH, kClosingBottom, 0xFFFFFF, g_picture);
    }
    logo(order);
}
