#include "Timeline.h"

#include <cstring>

#include "X2d/X2d.h"
#include "app/FrameCosts.h"
#include "parts/Credits.h"
#include "parts/Cues.h"
#include "parts/Part_1.h"
#include "parts/Part_2.h"
#include "parts/Part_3.h"
#include "parts/Part_10.h"
#include "parts/gretPart.h"
#include "parts/pstdemop.h"
#include "parts/rotoPart.h"
#include "platform/PlatMusic.h"
#include "system/Xsystem.h"
#include "system/Xvideo.h"

bool g_chainStarted[CHAIN_STEPS];
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
    memset(g_frameBuffer + first * SHOW_WIDTH, 0, (size_t)count * SHOW_WIDTH * 4);
}

// Hand-over actions.
void clearOutsideLetterbox()
{
    const int below = SHOW_LETTERBOX_TOP + SHOW_LETTERBOX_ROWS;
    clearLines(0, SHOW_LETTERBOX_TOP);
    clearLines(below, SHOW_HEIGHT - below);
}

void selectLinesScene() { showSelectScene(g_linesScene); }
void selectCreditsScene() { showSelectScene(g_creditsScene); }

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
        uint32_t readMs, takenMs;
        if (platMusicSyncMs(&readMs, &takenMs))
            fprintf(g_chainTrace, "%s %d %d %u %u\n", s.name, g_musicOrder, g_musicRow, readMs, takenMs);
        else
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
    bool closing = g_musicOrder >= kEndFadeOut.order && g_musicRow >= kEndFadeOut.row;
    if (closing) {
        BASS_SetGlobalVolumes(0, -1, -1);
        g_endLevel += 15;
        if (g_endLevel > 255) {
            BASS_Stop();
            memset(g_frameBuffer, 0, SHOW_SCREEN_PIXELS * 4);
            xVideoPresent();
            platPostQuitMessage(0);
            return;
        }
        x2dSubSpan(g_endLevel, SHOW_PICTURE_PIXELS, g_picture);
        return;
    }
    g_endLevel -= 25;
    if (g_endLevel < 0)
        g_endLevel = 0;
    if (g_endLevel)
        x2dSubSpan(g_endLevel, SHOW_PICTURE_PIXELS, g_picture);
}

void runFallStep() { RunChainStep(CHAIN_FALL); }
// The closing words run the falling letters' step as their background.
struct PublishFallStep {
    PublishFallStep() { g_runFallStep = runFallStep; }
} g_publishFallStep;

// The rectangle most parts present: the letterbox and the caption rows.
const xRect kPicture = {0, SHOW_LETTERBOX_TOP, SHOW_WIDTH, SHOW_PICTURE_ROWS};
} // namespace

xChainStep g_chain[CHAIN_STEPS] = {
    // name, timer, init, draw, pacing, test before, hand-over order, action, successor, presents,
    // first call, early hand-over
    {"Part1Frame", Part1Frame, Part1Init, Part1Draw, 35, true, CUE_FISH, clearOutsideLetterbox, CHAIN_FISH, kPicture, nullptr, nullptr},
    {"Part2Frame", Part2Frame, Part2Init, Part2Draw, 35, false, CUE_LINES, selectLinesScene, CHAIN_LINES, kPicture, nullptr, nullptr},
    {"Part3Frame", Part3Frame, Part3Init, Part3Draw, 50, true, CUE_GREETINGS, clearOutsideLetterbox, CHAIN_GREETINGS, {0, 75, SHOW_WIDTH, 340}, nullptr, nullptr},
    {"GreetFrame", GreetFrame, GreetInit, GreetDraw, 35, true, CUE_CREDITS1, selectCreditsScene, CHAIN_CREDITS1, kPicture, nullptr, nullptr},
    {"Credits1Frame", Credits1Frame, CreditsInit, Credits1Draw, 35, false, CUE_CREDITS2, nullptr, CHAIN_CREDITS2, kPicture, nullptr, nullptr},
    {"Credits2Frame", Credits2Frame, nullptr, Credits2Draw, 35, false, CUE_FLARE, nullptr, CHAIN_FLARE, kPicture, nullptr, nullptr},
    {"FlareFrame", FlareFrame, FlareInit, FlareDraw, 35, false, CUE_ROTO, nullptr, CHAIN_ROTO, kPicture, FlareFirstCall, FlareFadeDone},
    {"RotoFrame", RotoFrame, RotoInit, RotoDraw, 50, true, CUE_CIRCLES, nullptr, CHAIN_CIRCLES, kPicture, nullptr, nullptr},
    {"CirclesFrame", CirclesFrame, CirclesInit, CirclesDraw, 35, false, CUE_FALL, nullptr, CHAIN_FALL, kPicture, nullptr, nullptr},
    {"FallFrame", FallFrame, FallInit, FallDraw, 50, false, CUE_CLOSING, endFalling, CHAIN_CLOSING, kPicture, nullptr, nullptr},
    {"Part10Frame", Part10Frame, Part10Init, Part10Draw, 35, false, CUE_END, nullptr, CHAIN_END, {0, 67, SHOW_WIDTH, 367}, nullptr, nullptr},
    {"EndFrame", EndFrame, EndInit, EndDraw, 35, false, 0x7fffffff, nullptr, -1, {0, 48, SHOW_WIDTH, 367}, nullptr, nullptr},
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
    uint64_t waitBegun = FrameCostWaitBegin();
    g_frameTime = platGetTickCount() - g_lastFrameTick;
    while (g_frameTime < minimum) {
        if (g_clockSpin)
            g_clockSpin(g_lastFrameTick + minimum);
        else
            platYield();
        UpdateMusicPosition();
        g_frameTime = platGetTickCount() - g_lastFrameTick;
    }
    g_lastFrameTick = platGetTickCount();
    FrameCostWaitEnd(waitBegun);
}

void RunChainStep(int step)
{
    const xChainStep& s = g_chain[step];
    if (!g_chainStarted[step]) {
        g_chainStarted[step] = true;
        if (s.firstCall)
            s.firstCall();
    }
    if (s.testBefore && s.successor >= 0 && handOverDue(s)) {
        handOver(step);
        return;
    }
    WaitNextFrame(s.minimum);
    if (!s.testBefore && s.successor >= 0 && handOverDue(s)) {
        handOver(step);
        return;
    }
    if (s.draw) {
        uint64_t drawBegun = FrameCostBegin();
        s.draw();
        FrameCostEnd(s.name, s.minimum, drawBegun);
    } else
        clearLines(s.present.y, s.present.height);
    if (step == CHAIN_END) {
        endingFade();
        if (g_endLevel > 255)
            return;
    }
    if (step == CHAIN_FALL && g_fallOnce)
        return; // drawn as the closing words' background: no present
    xVideoPresentRect(s.present.x, s.present.y, s.present.width, s.present.height);
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
