#include "Player.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "X2d/X2danim.h"
#include "X2d/X2dspr.h"
#include "X3d/X3d.h"
#include "files/xFileIO.h"
#include "app/FrameCosts.h"
#include "app/Timeline.h"
#include "parts/Credits.h"
#include "parts/Part_1.h"
#include "parts/Part_10.h"
#include "parts/Part_2.h"
#include "parts/Part_3.h"
#include "parts/PartLinks.h"
#include "parts/gretPart.h"
#include "parts/pstdemop.h"
#include "parts/rotoPart.h"
#include "platform/PlatGlyphs.h"
#include "platform/PlatMusic.h"
#include "system/Xerror.h"
#include "system/Xkeyboard.h"
#include "system/Xrand.h"
#include "system/Xsystem.h"
#include "system/Xvideo.h"

namespace {

enum {
    SCAN_F1 = 0x3B,
    SCAN_SPACE = 0x39,
    SCAN_HOME = 0xC7,
    SCAN_PAGEUP = 0xC9,
    SCAN_LEFT = 0xCB,
    SCAN_RIGHT = 0xCD,
    SCAN_PAGEDOWN = 0xD1,
};

// The overlay's rows: well above the highest row a part presents (the end
// scroller's small logo, from line 48).
const int kOverlayRows = 22, kOverlayTextY = 4;
const uint32_t kOverlayInk = 0xFFD890;

// A block of memory as start-up left it.
struct Kept {
    void* at;
    std::vector<uint8_t> bytes;
};
std::vector<Kept> g_kept;

void keep(void* at, size_t size)
{
    if (at && size)
        g_kept.push_back(Kept{at, std::vector<uint8_t>((uint8_t*)at, (uint8_t*)at + size)});
}
template <class T> void keep(T& object) { keep(&object, sizeof object); }
void keepPixels(x2dSprite* s)
{
    if (s && s->pixels)
        keep(s->pixels, (size_t)s->sizeX * (size_t)s->sizeY * 4);
}

// Everything the parts change while they play (their states, what moves on
// their screens, the pictures later parts draw into), as start-up left it.
void keepPartsState()
{
    keep(g_opening);
    keep(g_circleGrid);
    keep(g_circleAnim);
    keep(g_logoLetters);
    if (g_logoMaterial)
        keep(*g_logoMaterial);
    keep(g_openingSlideY);
    keep(g_fishSwimmers);
    keep(g_fish);
    if (LinesEffect* e = g_linesEffect) {
        keep(e->lines, LINES_COUNT * sizeof(xLine));
        keep(e->lineBuffer, LINES_BUFFER * 4);
        keep(e->trail, LINES_BUFFER * 4);
        keep(e->height);
    }
    keep(g_linesState);
    keep(g_zoomLetters);
    for (CgreetMan* man : g_greetPart.men)
        if (man)
            keep(*man);
    keepPixels(g_greetPart.brightCircle);
    keep(g_greet);
    // The greetings' background block: the credits, the roto-zoom and the
    // closing words' panels draw into it once the greetings have ended.
    keepPixels(g_greetBack);
    keep(g_bubbles);
    keep(g_floatingCircles);
    keep(g_credits);
    keep(g_flare);
    if (FlareScene* f = g_flareScene) {
        keep(*f);
        if (f->flareLight && f->flareLight->lensFlare)
            keep(*f->flareLight->lensFlare);
    }
    keep(g_particleBox);
    keep(g_roto);
    keep(g_fallingLetters);
    // The closing words draw their background into the calm sea's pixels.
    keepPixels(g_rotoBack);
    keep(g_closing);
    keep(g_panelColumn);
    for (xVideo* v : g_panelColumn.animations)
        if (v)
            keep(*v);
}

// The random stream as start-up left it: every jump starts from it again.
xRandState g_randomAtStart;

std::vector<uint8_t> g_musicFile;
int g_lastOrder = 0;
bool g_paused = false;
uint32_t g_pausedAt = 0;
bool g_overlay = false;
uint32_t g_showStart = 0; // the tick of the show's first frame

// In a capture, the clock moves on to the next whole second counted from
// from: there every frame rate's frames and the music's samples fall as
// they do from the show's start, so what follows is the same picture for
// picture as a fresh run's. Live, nothing waits.
void waitWholeSecond(uint32_t from)
{
    if (!g_clockSpin)
        return;
    uint32_t passed = platGetTickCount() - from;
    uint32_t target = from + (passed + 999) / 1000 * 1000;
    while ((int32_t)(platGetTickCount() - target) < 0)
        g_clockSpin(target);
}

void drawOverlay()
{
    memset(g_frameBuffer, 0, (size_t)SHOW_WIDTH * kOverlayRows * 4);
    if (g_overlay) {
        char text[96];
        PlayerOverlayText(text, sizeof text, g_musicOrder, g_musicRow, g_chain[g_chainStep].name, FrameCostLastNs(),
                          g_paused);
        PlayerDrawText(g_frameBuffer, kOverlayRows, 8, kOverlayTextY, text, kOverlayInk);
    }
    xVideoPresentRect(0, 0, SHOW_WIDTH, kOverlayRows);
}

void afterFrame()
{
    if (g_overlay)
        drawOverlay();
}

// While paused: the window's messages go on; a capture's clock moves on.
void pausedTimer(uint32_t)
{
    if (g_clockSpin)
        g_clockSpin(platGetTickCount() + 5);
    else
        platYield();
}

void pause()
{
    g_paused = true;
    g_pausedAt = platGetTickCount();
    ChainSuspend();
    BASS_Stop();
    xSysAddTimer(pausedTimer, 0);
}

void resume()
{
    waitWholeSecond(g_pausedAt);
    xSysRemoveTimer(pausedTimer);
    BASS_Start();
    // The pause is no frame time: the parts go on from where they stood.
    g_lastFrameTick += platGetTickCount() - g_pausedAt;
    ChainResume();
    g_paused = false;
}

void jump(int order)
{
    order = order < 0 ? 0 : order > g_lastOrder ? g_lastOrder : order;
    if (g_paused)
        resume();
    waitWholeSecond(g_showStart);
    for (const Kept& k : g_kept)
        memcpy(k.at, k.bytes.data(), k.bytes.size());
    xRandRestore(g_randomAtStart);
    // A fresh music, as start-up loads it: a module moved to an order keeps
    // what the orders before it set up (its speed, its volumes).
    BASS_MusicFree(g_music);
    g_music = BASS_MusicLoadMemory(g_musicFile.data(), g_musicFile.size(), 5);
    if (!g_music || !platMusicSeekOrder(g_music, order))
        g_xError.Fatal("Can't load ISEEYOU.MP3");
    BASS_SetGlobalVolumes(100, -1, -1);
    BASS_Start();
    BASS_MusicPlay(g_music);
    memset(g_frameBuffer, 0, SHOW_SCREEN_PIXELS * 4);
    xVideoPresent();
    g_picture = g_frameBuffer + SHOW_LETTERBOX_TOP * SHOW_WIDTH;
    showSelectScene(g_openingScene);
    g_frameTime = 0;
    ChainRestart();
    g_lastFrameTick = platGetTickCount();
    FrameCostsSetOrigin(g_lastFrameTick);
}

int currentOrder()
{
    // Past the music's end the position reads all ones.
    return g_musicOrder > g_lastOrder ? g_lastOrder : g_musicOrder;
}

// A switch between window and full screen while paused: the surfaces are
// new, and no frame will come to fill them.
void videoModeChanged(void*)
{
    if (g_paused)
        xVideoPresent();
}

void playerKeys(void* data)
{
    switch (*(uint32_t*)data) {
    case SCAN_SPACE: g_paused ? resume() : pause(); break;
    case SCAN_RIGHT: jump(currentOrder() + 1); break;
    case SCAN_LEFT: jump(currentOrder() - 1); break;
    case SCAN_PAGEDOWN: jump(currentOrder() + 4); break;
    case SCAN_PAGEUP: jump(currentOrder() - 4); break;
    case SCAN_HOME: jump(0); break;
    case SCAN_F1:
        g_overlay = !g_overlay;
        drawOverlay();
        return;
    default: return;
    }
    if (g_overlay)
        drawOverlay();
}

} // namespace

void PlayerOverlayText(char* out, size_t size, int order, int row, const char* part, uint64_t drawNs, bool paused)
{
    snprintf(out, size, "%02d/%02d  %s  %llu.%02llu MS%s", order, row, part, (unsigned long long)(drawNs / 1000000),
             (unsigned long long)(drawNs / 10000 % 100), paused ? "  PAUSED" : "");
}

void PlayerDrawText(uint32_t* frame, int rows, int x, int y, const char* text, uint32_t colour)
{
    for (; *text; text++, x += 12) {
        const uint8_t* g = platGlyph5x7(*text);
        if (!g)
            continue;
        for (int r = 0; r < 14; r++)
            for (int c = 0; c < 10; c++) {
                const int px = x + c, py = y + r;
                if (px >= 0 && px < SHOW_WIDTH && py >= 0 && py < rows && (g[r / 2] & (0x10 >> (c / 2))))
                    frame[(size_t)py * SHOW_WIDTH + px] = colour;
            }
    }
}

void PlayerStart()
{
    keepPartsState();
    g_randomAtStart = xRandSave();
    xFile music;
    if (g_fileIO.Read("iseeyou.mp3", &music) != 0)
        g_xError.Fatal("Broken resource file -> Can't load iseeyou.mp3");
    g_musicFile.assign((const uint8_t*)music.data, (const uint8_t*)music.data + music.size);
    g_fileIO.Free(&music);
    // The music's last order, on a copy of its own.
    HMUSIC probe = BASS_MusicLoadMemory(g_musicFile.data(), g_musicFile.size(), 5);
    while (probe && platMusicSeekOrder(probe, g_lastOrder + 1))
        g_lastOrder++;
    BASS_MusicFree(probe);
    g_showStart = platGetTickCount();
    g_chainAfterFrame = afterFrame;
    FrameCostsWatch();
    xSysAddResponder(playerKeys, XEV_KEYDOWN, 1);
    xSysAddResponder(videoModeChanged, XEV_VIDEOMODE, 1);
}
