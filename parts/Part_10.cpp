#include "Part_10.h"

#include <cstdlib>
#include <cstring>

#include "X2d/X2d.h"
#include "X2d/X2danim.h"
#include "X2d/X2dspr.h"
#include "files/xFileIO.h"
#include "parts/Cues.h"
#include "parts/PartLoad.h"
#include "parts/PartDraw.h"
#include "parts/PartLinks.h"
#include "parts/pstdemop.h"
#include "platform/Plat.h"
#include "platform/PlatMusic.h"
#include "system/Xerror.h"
#include "system/Xvideo.h"

namespace {

const char* const kModule = "Part_10";
const char* const kAnimationNames[4] = {"waves.xvd", "beam.xvd", "tunnel.xvd", "plankton.xvd"};
const int kAnimationLines[4] = {53, 55, 57, 59};
const char* const kStillNames[3] = {"still1.jpg", "still2.jpg", "still3.jpg"};

x2dSprite* g_we = nullptr;
x2dSprite* g_brought = nullptr;
x2dSprite* g_thisMask = nullptr;
x2dSprite* g_to = nullptr;
x2dSprite* g_you = nullptr;
x2dSprite* g_scroll = nullptr;
x2dSprite* g_cutHere = nullptr;
x2dSprite* g_smallLogo = nullptr;


} // namespace

PanelColumn g_panelColumn;

xClosingState ClosingStartState() { return xClosingState{SHOW_LETTERBOX_ROWS, 255, 0, -560, 0, 255}; }
xClosingState g_closing = ClosingStartState();

void PanelColumn::Init()
{
    for (int a = 0; a < 4; a++) {
        animations[a] = new xVideo();
        X_ASSERT(animations[a], kModule, kAnimationLines[a]);
        xFile file;
        int code = g_fileIO.Read(kAnimationNames[a], &file);
        // Every read is checked: a failed one would go on with an empty file.
        if (code)
            g_xError.Raise(kModule, 63, code, kAnimationNames[a]);
        animations[a]->load(&file, 0);
        g_fileIO.Free(&file);
        // Frames are decoded into the 140 x 105 work buffer.
        if (animations[a]->sizeX != PANEL_W || animations[a]->sizeY != PANEL_H)
            g_xError.Fatal(xFormat("PanelColumn::Init() -> Wrong size of %s", kAnimationNames[a]));
    }
    for (int s = 0; s < 3; s++) {
        stills[s] = partLoadSprite(kStillNames[s], nullptr);
        partCheckSize(stills[s], "PanelColumn::Init()", kStillNames[s], PANEL_W, PANEL_H);
    }
    X_ASSERT(g_greetScratch, kModule, 66);
    for (int b = 0; b < 4; b++) {
        buffers[b] = partMakeView(g_greetScratch + b * PANEL_BYTES / 4, PANEL_W, PANEL_H);
        // They are drawn into one another on the 140 x 105 target, whose
        // lines follow one another without a gap.
        buffers[b]->skip = 0;
    }
    for (int32_t& level : levels)
        level = 255;
}

void PanelColumn::StepAnimation(int a, int32_t step, x2dSprite* buffer)
{
    levels[a] += step;
    if (levels[a] > 255) {
        animations[a]->update();
        levels[a] = 0;
    }
    x2dSprite* work = buffers[3];
    animations[a]->drawFrame(work->pixels);
    g_panelTarget.Begin2D();
    if (levels[a])
        work->DrawBlendNoClip(0, 0, (uint32_t)levels[a], buffer->pixels);
    g_panelTarget.End2D();
}

void PanelColumn::Draw(int32_t y, uint32_t* dst)
{
    x2dSprite* work = buffers[3];
    for (int k = 0; k < PANEL_COUNT; k++) {
        int32_t top = y + PANEL_SPACING * k;
        if (top > SHOW_LETTERBOX_ROWS)
            break;
        if (top + PANEL_H < 0)
            continue;
        x2dSprite* shown = nullptr;
        switch (k) {
        case 0: StepAnimation(0, 70, buffers[0]); shown = buffers[0]; break;
        case 1: shown = stills[0]; break;
        case 2: StepAnimation(2, 50, buffers[1]); shown = buffers[1]; break;
        case 3: g_particleBox.Update(work->pixels); shown = work; break;
        case 4: StepAnimation(3, 80, buffers[2]); shown = buffers[2]; break;
        case 5: shown = stills[2]; break;
        case 6:
            if (g_flareScene)
                g_flareScene->RenderPanel(work->pixels);
            shown = work;
            break;
        case 7: shown = stills[1]; break;
        default: StepAnimation(1, 25, buffers[1]); shown = buffers[1]; break;
        }
        shown->Draw(PANEL_X, top, dst);
    }
}

void Part10Init()
{
    g_panelColumn.Init();
    g_particleBox.Init();
    const char* step = "Part10Init()";
    g_we = partLoadSprite("we.tga", nullptr);
    partCheckFits(g_we, step, "we.tga", 0, 67, SHOW_WIDTH, SHOW_LETTERBOX_TOP);
    g_brought = partLoadSprite("brought.tga", nullptr);
    partCheckFits(g_brought, step, "brought.tga", 125, 0, SHOW_WIDTH, SHOW_LETTERBOX_ROWS);
    g_thisMask = partLoadLayer("thism.gif", 0);
    partCheckFits(g_thisMask, step, "thism.gif", 485, 0, SHOW_WIDTH, SHOW_LETTERBOX_ROWS);
    g_to = partLoadSprite("to.tga", nullptr);
    partCheckFits(g_to, step, "to.tga", 45, 105, SHOW_WIDTH, SHOW_LETTERBOX_ROWS);
    g_you = partLoadSprite("you.tga", nullptr);
    partCheckFits(g_you, step, "you.tga", 0, 160, SHOW_WIDTH, SHOW_LETTERBOX_ROWS);
    g_closing = ClosingStartState();
}

void EndInit()
{
    const char* step = "EndInit()";
    g_scroll = partLoadSprite("scroll1.jpg", nullptr);
    // Drawn twice 1200 pixels apart, it covers the letterbox seamlessly.
    partCheckSize(g_scroll, step, "scroll1.jpg", END_SCROLL_W, SHOW_LETTERBOX_ROWS);
    g_cutHere = partLoadSprite("cuthere.tga", nullptr);
    partCheckFits(g_cutHere, step, "cuthere.tga", 200, SHOW_CAPTION_Y, SHOW_WIDTH, SHOW_CAPTION_Y + 20);
    g_smallLogo = partLoadSprite("smlogo.tga", "smlogom.gif");
    partCheckFits(g_smallLogo, step, "smlogo.tga", 22, 15, SHOW_WIDTH, SHOW_LETTERBOX_ROWS);
    g_closing = ClosingStartState();
}

void Part10Draw()
{
    xClosingState& s = g_closing;
    if (s.fallLevel != 0 && g_runFallStep && g_rotoBack) {
        uint32_t* saved = g_picture;
        g_picture = g_rotoBack->pixels;
        g_runFallStep(1);
        g_picture = saved;
    }
    clearFrameLines(45, 70);
    for (int i = 0; i < SHOW_LETTERBOX_PIXELS; i++)
        g_picture[i] = 0xFFFFFF;
    clearCaptionRows();
    s.columnY += (int32_t)(g_frameTime * -0.11);
    g_panelColumn.Draw(s.columnY, g_picture);
    g_we->DrawNoClip(0, 67, g_frameBuffer);
    g_brought->DrawNoClip(125, 0, g_picture);
    g_thisMask->DrawLayerNoClip(485, 0, g_picture);
    g_to->DrawNoClip(45, 105, g_picture);
    g_you->DrawNoClip(0, 160, g_picture);
    if (g_musicOrder == kClosingDark.order && g_musicRow >= kClosingDark.row) {
        s.darkness = atMost255(s.darkness + 25);
        x2dSubSpan(s.darkness, 202880, g_picture - 67 * SHOW_WIDTH);
    }
    if (s.fallLevel != 0) {
        s.fallLevel -= 25;
        if (s.fallLevel < 0)
            s.fallLevel = 0;
        if (g_rotoBack)
            g_rotoBack->DrawBlendNoClip(0, 0, (uint32_t)s.fallLevel, g_picture);
    }
}

void EndScrollDraw(int32_t x, uint32_t* dst)
{
    g_scroll->Draw(x, 0, dst);
    if (x > 0)
        g_scroll->Draw(x - END_SCROLL_W, 0, dst);
}

void EndDraw()
{
    xClosingState& s = g_closing;
    clearFrameLines(48, 67);
    clearCaptionRows();
    if (s.cut != 255) {
        s.scrollX += 1;
        EndScrollDraw(s.scrollX, g_picture);
        if (s.scrollX >= SHOW_WIDTH)
            s.scrollX = -560;
    }
    if (cueReached(g_musicOrder, g_musicRow, kEndCut)) {
        s.cut = atMost255(s.cut + 5);
        x2dSubSpan(s.cut, SHOW_LETTERBOX_PIXELS, g_picture);
        g_cutHere->DrawBlendNoClip(200, SHOW_CAPTION_Y, (uint32_t)s.cut, g_picture);
    }
    g_smallLogo->DrawAlphaNoClip(22, 15, g_picture);
}

bool EndFade()
{
    int32_t& level = g_closing.endLevel;
    // Order and row each at least the fade-out's (the show's music ends
    // within order 38).
    if (g_musicOrder >= kEndFadeOut.order && g_musicRow >= kEndFadeOut.row) {
        BASS_SetGlobalVolumes(0, -1, -1);
        level += 15;
        if (level > 255) {
            BASS_Stop();
            memset(g_frameBuffer, 0, SHOW_SCREEN_PIXELS * 4);
            xVideoPresent();
            platPostQuitMessage(0);
            return false;
        }
        x2dSubSpan(level, SHOW_PICTURE_PIXELS, g_picture);
        return true;
    }
    level -= 25;
    if (level < 0)
        level = 0;
    if (level)
        x2dSubSpan(level, SHOW_PICTURE_PIXELS, g_picture);
    return true;
}
