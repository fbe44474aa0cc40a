#include "Part_3.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "X2d/X2d.h"
#include "X2d/X2dspr.h"
#include "X3d/File3ds.h"
#include "X3d/Polygons.h"
#include "X3d/Spline.h"
#include "X3d/X3d.h"
#include "X3d/X3dscr.h"
#include "Ximage/Ximage.h"
#include "files/xFileIO.h"
#include "parts/Cues.h"
#include "parts/PartLoad.h"
#include "parts/PartDraw.h"
#include "parts/PartLinks.h"
#include "system/Xerror.h"
#include "system/Xrand.h"
#include "system/Xvideo.h"

namespace {

const char* const kModule = "parts/Part_3.cpp";

const uint32_t kLineColors[4] = {0xFFF4FF, 0xA9FDFF, 0xE487FA, 0xFBC3C6};
// The trail's smear: each pass pulls the trail one pixel further right
// towards the lines, more weakly.
const int32_t kTrailPasses[5][2] = {{204, 1}, {179, 2}, {153, 3}, {128, 4}, {102, 5}};

const int32_t kLetterCentres[14][2] = {
    {200, 50}, {400, 100}, {300, 150}, {220, 60}, {330, 140}, {400, 90}, {150, 100},
    {300, 150}, {200, 70}, {320, 120}, {200, 50}, {400, 100}, {300, 150}, {220, 60},
};
const double kZoomEnd = 2.2; // times the letter's size
const int kCaptionX = 198;
const int kTileRows = 7, kTileTop = -5, kTilesAfterFirst = 9;


} // namespace

LinesEffect* g_linesEffect = nullptr;
xLinesState g_linesState = LinesStartState();
CzoomLetter g_zoomLetters[14];
x2dSprite* g_zoomSprites[14];
x2dSprite* g_linesCaption = nullptr;

LinesEffect::LinesEffect()
    : height(0), gridWords(nullptr), gridWordsFrom(nullptr), gridWordsLevel(0), gridWordsIndex(-1), gridWordsX(0),
      gridWordsY(0)
{
    memset(grids, 0, sizeof grids);
    lines = (xLine*)calloc(LINES_COUNT, sizeof(xLine));
    if (!lines)
        g_xError.Raise(kModule, 70, 1, nullptr);
    lineBuffer = (uint32_t*)calloc(LINES_BUFFER, 4);
    if (!lineBuffer)
        g_xError.Raise(kModule, 73, 1, nullptr);
    trail = (uint32_t*)calloc(LINES_BUFFER, 4);
    if (!trail)
        g_xError.Raise(kModule, 75, 1, nullptr);
}

void LinesEffect::Init()
{
    X_ASSERT(lines, kModule, 89);
    X_ASSERT(lineBuffer, kModule, 90);
    X_ASSERT(trail, kModule, 91);
    // Three passes, each drawing from xRand() in its own order: the number of
    // draws decides everything xRand() gives later parts.
    for (int i = 0; i < LINES_COUNT; i++) {
        lines[i].width = xRand() % (LINES_WIDEST + 1);
        lines[i].color = (int32_t)kLineColors[xRand() % 4];
    }
    lines[0].direction = -1;
    for (int i = 1; i < LINES_COUNT; i++) {
        int32_t d;
        do
            d = xRand() % 3 - 1;
        while (d == 0 || d == lines[i - 1].direction);
        lines[i].direction = d;
    }
    for (int i = 0; i < LINES_COUNT; i++) {
        const int32_t home = 3 * i;
        lines[i].home = lines[i].x = home;
        lines[i].right = xRand() % 7 + home + 10;
        lines[i].left = home - xRand() % 7 - 10;
    }
}

void LinesEffect::LoadGrid(xFileIO* files)
{
    for (int i = 1; i <= LINES_GRIDS; i++) {
        char name[16];
        snprintf(name, sizeof name, "grid%d.gif", i);
        xFile file;
        memset(&file, 0, sizeof file);
        if (!files || files->Read(name, &file) != 0)
            g_xError.Fatal(xFormat("LinesEffect::LoadGrid() -> Can't load %d", i));
        xImage image;
        memset(&image, 0, sizeof image);
        xGifLoad(&file, image);
        files->Free(&file);
        free(image.palette);
        // The tiles are stepped by the first grid's size whichever grid is
        // drawn: the others must match it.
        if (i > 1 && (image.sizeX != grids[0].sizeX || image.sizeY != grids[0].sizeY))
            g_xError.Fatal(xFormat("LinesEffect::LoadGrid() -> Wrong size of %s", name));
        xLinesGrid& g = grids[i - 1];
        gridWordsFrom = nullptr; // a new picture may come at the old one's address
        free(g.pixels);
        g.sizeX = image.sizeX;
        g.sizeY = image.sizeY;
        g.pixels = image.pixels;
    }
}

void LinesEffect::SetHeight(int32_t rows)
{
    X_ASSERT(rows != 0, kModule, 130);
    height = rows;
}

void LinesEffect::Draw(uint32_t* dst)
{
    memset(lineBuffer, 0xFF, SHOW_WIDTH * 4);
    for (int i = 0; i < LINES_COUNT; i++) {
        xLine& l = lines[i];
        l.x += l.direction;
        if (l.x > l.right || l.x < l.left)
            l.direction = -l.direction;
        // A line starting at the last column is not drawn; a wide one near
        // it runs into the spare half of the buffer.
        if (l.x < 0 || l.x > SHOW_WIDTH - 2)
            continue;
        const int32_t width = l.width < LINES_WIDEST ? l.width : LINES_WIDEST;
        for (int32_t k = 0; k < width; k++)
            lineBuffer[l.x + k] = (uint32_t)l.color;
    }
    for (const auto& pass : kTrailPasses)
        BlendLine((uint32_t)pass[0], pass[1]);
    for (int32_t r = 0; r < height; r++)
        memcpy(dst + (size_t)r * SHOW_WIDTH, trail, SHOW_WIDTH * 4);
}

void LinesEffect::BlendLine(uint32_t alpha, int32_t offset)
{
    if (offset < 0 || offset > LINES_BUFFER - SHOW_WIDTH)
        return;
    const uint8_t* blend = x2dBlendRow(alpha > 255 ? 255 : alpha);
    const uint8_t* src = (const uint8_t*)lineBuffer;
    uint8_t* t = (uint8_t*)(trail + offset);
    for (int i = 0; i < SHOW_WIDTH; i++, src += 4, t += 4) {
        t[0] = (uint8_t)(t[0] + blend[src[0] - t[0]]);
        t[1] = (uint8_t)(t[1] + blend[src[1] - t[1]]);
        t[2] = (uint8_t)(t[2] + blend[src[2] - t[2]]);
    }
}

void LinesEffect::DrawGrid(int32_t x, int32_t y, int32_t level, int32_t index, uint32_t* dst)
{
    const xLinesGrid& g = grids[index];
    const int32_t left = x > x2dClipLeft ? x : x2dClipLeft;
    const int32_t top = y > x2dClipTop ? y : x2dClipTop;
    const int32_t right = x + g.sizeX < x2dClipRight ? x + g.sizeX : x2dClipRight;
    const int32_t bottom = y + g.sizeY < x2dClipBottom ? y + g.sizeY : x2dClipBottom;
    if (!g.pixels || left >= right || top >= bottom)
        return;
    const uint32_t* words = GridWords(level, index);
    // Every byte of the picture taken down by its word's byte, never under
    // 0, in a loop the compiler widens.
    for (int32_t r = top; r < bottom; r++) {
        const uint8_t* w = (const uint8_t*)(words + (size_t)(r - y) * g.sizeX + (left - x));
        uint8_t* d = (uint8_t*)dst + x2dLineOffset[r] + (size_t)left * 4;
        const int32_t n = (right - left) * 4;
        for (int32_t i = 0; i < n; i++) {
            const uint8_t a = d[i], b = w[i];
            d[i] = (uint8_t)((a > b ? a : b) - b);
        }
    }
}

const uint32_t* LinesEffect::GridWords(int32_t level, int32_t index)
{
    const xLinesGrid& g = grids[index];
    if (gridWords && gridWordsFrom == g.pixels && gridWordsLevel == level && gridWordsIndex == index &&
        gridWordsX == g.sizeX && gridWordsY == g.sizeY)
        return gridWords;
    // Below 255 each colour byte goes down by 255 - (level + mask), never
    // under 0, and the fourth byte is cleared (at or below 0 the pixel is
    // black); from 255 up the pixel stays as it is.
    uint32_t byMask[256];
    for (int32_t m = 0; m < 256; m++) {
        const int32_t s = level + m;
        const uint32_t down = s >= 255 ? 0u : s <= 0 ? 255u : (uint32_t)(255 - s);
        byMask[m] = down ? 0xFF000000u | down * 0x010101u : 0u;
    }
    const size_t count = (size_t)g.sizeX * (size_t)g.sizeY;
    uint32_t* grown = (uint32_t*)realloc(gridWords, count * 4);
    if (!grown)
        g_xError.Raise(kModule, __LINE__, 1, nullptr);
    gridWords = grown;
    for (size_t i = 0; i < count; i++)
        gridWords[i] = byMask[g.pixels[i]];
    gridWordsFrom = g.pixels;
    gridWordsLevel = level;
    gridWordsIndex = index;
    gridWordsX = g.sizeX;
    gridWordsY = g.sizeY;
    return gridWords;
}

xLinesState LinesStartState()
{
    // Black, the grid not yet darkening, no caption, the first grid, no
    // scroll, the title at its first frame.
    return xLinesState{255, 255, 0, 0, 0, 0.0f};
}

void LinesResetLetters()
{
    for (int k = 0; k < kLinesZoomLetters; k++) {
        CzoomLetter& l = g_zoomLetters[k];
        l.x = kLetterCentres[k][0];
        l.y = kLetterCentres[k][1];
        l.active = 0;
        l.scale = 0.0f;
        l.alpha = 255;
    }
}

void LinesZoomTriggers(int32_t order, int32_t row)
{
    const int k = cueLinesZoomLetter(order, row);
    if (k < 0 || g_zoomLetters[k].active)
        return;
    g_zoomLetters[k].active = 1;
    g_zoomLetters[k].scale = 0.0f;
    g_zoomLetters[k].alpha = 255;
}

void LinesZoomLetters()
{
    for (int k = 0; k < kLinesZoomLetters; k++) {
        CzoomLetter& l = g_zoomLetters[k];
        if (!l.active)
            continue;
        if (l.scale < kZoomEnd) {
            // Grows 1.0 a second, the sum rounded to float once.
            l.scale = (float)(l.scale + g_frameTime * 0.001);
            if (l.scale > 1.0)
                l.alpha = atLeast0(l.alpha - 20);
            if (l.scale > kZoomEnd) {
                l.scale = (float)kZoomEnd;
                l.alpha = 0;
                l.active = 0;
            }
        }
        x2dSprite* s = g_zoomSprites[k];
        const int32_t w = (int32_t)(s->sizeX * l.scale), h = (int32_t)(s->sizeY * l.scale);
        s->DrawAlphaBlendScaled(l.x - w / 2, l.y - h / 2, l.scale, (uint32_t)l.alpha, g_picture);
    }
}

void LinesScrollGrid()
{
    xLinesState& s = g_linesState;
    LinesEffect& e = *g_linesEffect;
    if (s.gridLevel)
        s.gridLevel = atLeast0(s.gridLevel - 5);
    const int32_t w = e.grids[0].sizeX, h = e.grids[0].sizeY;
    const int32_t f = s.scrollX + w;
    for (int r = 0; r < kTileRows; r++) {
        const int32_t y = kTileTop + r * h;
        e.DrawGrid(s.scrollX, y, s.gridLevel, s.gridCounter, g_picture);
        for (int k = 0; k < kTilesAfterFirst; k++)
            e.DrawGrid(f + k * w, y, s.gridLevel, s.gridCounter, g_picture);
    }
    // Once the first tile has left the screen whole the pattern steps back
    // by one tile, which looks the same.
    if (f < 0)
        s.scrollX = f;
    s.scrollX -= 2;
}

void LinesTitle()
{
    if (!g_linesScene)
        return;
    xLinesState& s = g_linesState;
    // A step a frame, whatever the frame took.
    s.titleTime += 1.0f;
    if (s.titleTime > g_linesScene->lastFrame)
        s.titleTime = 0.0f;
    x3dSetFrame(s.titleTime);
    x3dAnimateScene();
    x3dTransformScene();
    x3dLightScene();
    x3dRenderScene(g_frameBuffer);
}

void Part3Init()
{
    if (!g_linesEffect) {
        g_linesEffect = new (std::nothrow) LinesEffect();
        if (!g_linesEffect)
            g_xError.Fatal("Part3Init() -> can't create object LinesEffect");
    }
    // The 3D title: loaded, current with its camera until start-up selects
    // the opening's; the fish's hand-over selects it again. A second set-up
    // loads it anew.
    static x3dScene title;
    x3dFreeScene(&title);
    x3dLoadSceneScript("test.x3d", &title, g_pFileIO);
    g_linesScene = &title;

    g_linesEffect->LoadGrid(g_pFileIO);
    for (int k = 0; k < kLinesZoomLetters; k++) {
        char name[16], alpha[16];
        snprintf(name, sizeof name, "n%d.tga", k + 1);
        snprintf(alpha, sizeof alpha, "n%d.gif", k + 1);
        delete g_zoomSprites[k];
        g_zoomSprites[k] = partLoadSprite(name, alpha);
    }
    delete g_linesCaption;
    g_linesCaption = partLoadSprite("3dstuff.tga", nullptr);
    // Drawn unclipped below the letterbox.
    partCheckFits(g_linesCaption, "Part3Init()", "3dstuff.tga", kCaptionX, SHOW_CAPTION_Y, SHOW_WIDTH,
                  SHOW_PICTURE_ROWS);
    g_linesEffect->Init();
    g_linesEffect->SetHeight(SHOW_LETTERBOX_ROWS);
    g_linesState = LinesStartState();
    LinesResetLetters();
}

void Part3Draw()
{
    xLinesState& s = g_linesState;
    const int32_t order = g_musicOrder, row = g_musicRow;
    g_linesEffect->Draw(g_picture);
    if (cueReached(order, row, kLinesTitle))
        LinesTitle();

    // The part rises from black; the darkening covers whatever the lines
    // carry.
    if (s.fadeIn) {
        s.fadeIn = atLeast0(s.fadeIn - 5);
        x2dSubSpan(s.fadeIn, SHOW_LETTERBOX_PIXELS, g_picture);
    }
    // The band above the letterbox (with its first ten rows) and the
    // caption rows.
    clearPictureRows(-40, 50);
    clearCaptionRows();

    if (cueReached(order, row, kLinesCaption)) {
        s.captionLevel = atMost255(s.captionLevel + 5);
        g_linesCaption->DrawBlendNoClip(kCaptionX, SHOW_CAPTION_Y, (uint32_t)s.captionLevel, g_picture);
        if (cueReached(order, row, kLinesGridsStep))
            s.gridCounter++;
    }
    if (cueReached(order, row, kLinesGrid) && s.gridCounter < LINES_GRIDS)
        LinesScrollGrid();

    LinesZoomTriggers(order, row);
    LinesZoomLetters();

    if (s.gridCounter >= LINES_GRIDS)
        memset(g_picture, 0, SHOW_LETTERBOX_PIXELS * 4);
}
