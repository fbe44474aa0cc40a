#include "Timeline.h"

#include <cstring>

#include "X3d/X3d.h"
#include "app/Demo.h"
#include "platform/PlatMusic.h"
#include "system/Xsystem.h"
#include "system/Xvideo.h"
#include "X2d/X2d.h"

int32_t g_musicOrder = 0;
int32_t g_musicRow = 0;
uint32_t g_frameTime = 0;
x3dScene* g_linesScene = nullptr;
x3dScene* g_creditsScene = nullptr;
void (*g_setFlareSize)(float) = nullptr;
bool g_fallOnce = false;
int32_t g_endLevel = 255;
FILE* g_chainTrace = nullptr;
uint32_t (*g_readMusicPosition)() = nullptr;
int32_t g_endAtOrder = -1;
void (*g_clockSpin)(uint32_t until) = nullptr;

namespace {
uint32_t readChannel() { return BASS_ChannelGetPosition(g_music); }

void clearLines(int first, int count)
{
    memset(g_frameBuffer + first * 640, 0, (size_t)count * 640 * 4);
}

// Hand-over actions.
void clearOutsideLetterbox()
{
    clearLines(0, 115);
    clearLines(365, 115);
}

void selectScene(x3dScene* scene)
{
    if (!scene)
        return; // the scene is not part of the show yet
    x3dSetScene(scene);
    if (x3dCamera* camera = x3dFindCamera("Camera01", scene))
        x3dSetActiveCamera(camera);
}
void selectLinesScene() { selectScene(g_linesScene); }
void selectCreditsScene() { selectScene(g_creditsScene); }

void endFalling()
{
    g_fallOnce = true;
    if (g_setFlareSize)
        g_setFlareSize(800.0f);
}

bool handOverDue(const xChainStep& s)
{
    if (&s == &g_chain[CHAIN_FALL])
        return g_musicOrder >= s.handOrder && !g_fallOnce;
    return g_musicOrder >= s.handOrder || (s.handOverEarly && s.handOverEarly());
}

void handOver(int step)
{
    const xChainStep& s = g_chain[step];
    if (g_chainTrace) {
        fprintf(g_chainTrace, "%s %d %d\n", s.name, g_musicOrder, g_musicRow);
        fflush(g_chainTrace);
    }
    if (s.handOver)
        s.handOver();
    xSysRemoveTimer(s.timer);
    xSysAddTimer(g_chain[s.successor].timer, 0);
}

// Ending: fade in from black, then out once the music's last phrase is over.
void endingFade()
{
    bool closing = g_musicOrder >= 38 && g_musicRow > 40;
    if (closing) {
        BASS_SetGlobalVolumes(0, -1, -1);
        g_endLevel += 15;
        if (g_endLevel > 255) {
            BASS_Stop();
            memset(g_frameBuffer, 0, 640 * 480 * 4);
            xVideoPresent();
            platPostQuitMessage(0);
            return;
        }
        x2dSubSpan(g_endLevel, 192000, g_picture);
        return;
    }
    g_endLevel -= 25;
    if (g_endLevel < 0)
        g_endLevel = 0;
    if (g_endLevel)
        x2dSubSpan(g_endLevel, 192000, g_picture);
}
} // namespace

xChainStep g_chain[CHAIN_STEPS] = {
    {"Part1Frame", Part1Frame, 35, true, 10, clearOutsideLetterbox, CHAIN_FISH, {0, 115, 640, 300}, nullptr, nullptr},
    {"Part2Frame", Part2Frame, 35, false, 13, selectLinesScene, CHAIN_LINES, {0, 115, 640, 300}, nullptr, nullptr},
    {"Part3Frame", Part3Frame, 50, true, 17, clearOutsideLetterbox, CHAIN_GREETINGS, {0, 75, 640, 340}, nullptr, nullptr},
    {"GreetFrame", GreetFrame, 35, true, 22, selectCreditsScene, CHAIN_CREDITS1, {0, 115, 640, 300}, nullptr, nullptr},
    {"Credits1Frame", Credits1Frame, 35, false, 24, nullptr, CHAIN_CREDITS2, {0, 115, 640, 300}, nullptr, nullptr},
    {"Credits2Frame", Credits2Frame, 35, false, 26, nullptr, CHAIN_FLARE, {0, 115, 640, 300}, nullptr, nullptr},
    {"FlareFrame", FlareFrame, 35, false, 28, nullptr, CHAIN_ROTO, {0, 115, 640, 300}, nullptr, nullptr},
    {"RotoFrame", RotoFrame, 50, true, 30, nullptr, CHAIN_CIRCLES, {0, 115, 640, 300}, nullptr, nullptr},
    {"CirclesFrame", CirclesFrame, 35, false, 32, nullptr, CHAIN_FALL, {0, 115, 640, 300}, nullptr, nullptr},
    {"FallFrame", FallFrame, 50, false, 34, endFalling, CHAIN_CLOSING, {0, 115, 640, 300}, nullptr, nullptr},
    {"Part10Frame", Part10Frame, 35, false, 36, nullptr, CHAIN_END, {0, 67, 640, 367}, nullptr, nullptr},
    {"EndFrame", EndFrame, 35, false, 0x7fffffff, nullptr, -1, {0, 48, 640, 367}, nullptr, nullptr},
};

void UpdateMusicPosition(uint32_t)
{
    uint32_t position = g_readMusicPosition ? g_readMusicPosition() : readChannel();
    g_musicOrder = (int32_t)(position & 0xFFFF);
    g_musicRow = (int32_t)(position >> 16);
    if (g_endAtOrder >= 0 && g_musicOrder >= g_endAtOrder) {
        g_endAtOrder = -1;
        platPostQuitMessage(0);
    }
}

void WaitNextFrame(uint32_t minimum)
{
    g_frameTime = platGetTickCount() - g_lastFrameTick;
    while (g_frameTime < minimum) {
        if (g_clockSpin)
            g_clockSpin(g_lastFrameTick + minimum);
        UpdateMusicPosition();
        g_frameTime = platGetTickCount() - g_lastFrameTick;
    }
    g_lastFrameTick = platGetTickCount();
}

void RunChainStep(int step)
{
    const xChainStep& s = g_chain[step];
    if (s.testBefore && s.successor >= 0 && handOverDue(s)) {
        handOver(step);
        return;
    }
    WaitNextFrame(s.minimum);
    if (!s.testBefore && s.successor >= 0 && handOverDue(s)) {
        handOver(step);
        return;
    }
    if (s.draw)
        s.draw();
    else
        clearLines(s.present[1], s.present[3]);
    if (step == CHAIN_END) {
        endingFade();
        if (g_endLevel > 255)
            return;
    }
    if (step == CHAIN_FALL && g_fallOnce)
        return; // drawn as the closing words' background: no present
    xVideoPresentRect(s.present[0], s.present[1], s.present[2], s.present[3]);
}

void Part1Frame(uint32_t) { RunChainStep(CHAIN_OPENING); }
void Part2Frame(uint32_t) { RunChainStep(CHAIN_FISH); }
void Part3Frame(uint32_t) { RunChainStep(CHAIN_LINES); }
void GreetFrame(uint32_t) { RunChainStep(CHAIN_GREETINGS); }
void Credits1Frame(uint32_t) { RunChainStep(CHAIN_CREDITS1); }
void Credits2Frame(uint32_t) { RunChainStep(CHAIN_CREDITS2); }
void FlareFrame(uint32_t) { RunChainStep(CHAIN_FLARE); }
void RotoFrame(uint32_t) { RunChainStep(CHAIN_ROTO); }
void CirclesFrame(uint32_t) { RunChainStep(CHAIN_CIRCLES); }
void FallFrame(uint32_t) { RunChainStep(CHAIN_FALL); }
void Part10Frame(uint32_t) { RunChainStep(CHAIN_CLOSING); }
void EndFrame(uint32_t) { RunChainStep(CHAIN_END); }
