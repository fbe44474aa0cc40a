#include "Timeline.h"

#include <array>
#include <cstring>
#include <utility>

#include "app/FrameCosts.h"
#include "parts/Credits.h"
#include "parts/Cues.h"
#include "parts/Part_1.h"
#include "parts/Part_2.h"
#include "parts/Part_3.h"
#include "parts/Part_10.h"
#include "parts/PartDraw.h"
#include "parts/PartLinks.h"
#include "parts/gretPart.h"
#include "parts/pstdemop.h"
#include "parts/rotoPart.h"
#include "platform/PlatMusic.h"
#include "system/Xerror.h"
#include "system/Xsystem.h"
#include "system/Xvideo.h"

FILE* g_chainTrace = nullptr;
uint32_t (*g_readMusicPosition)() = nullptr;
int32_t g_endAtOrder = -1;
void (*g_clockSpin)(uint32_t until) = nullptr;

namespace {
uint32_t readChannel() { return BASS_ChannelGetPosition(g_music); }

// Hand-over actions.
void clearOutsideLetterbox()
{
    const int below = SHOW_LETTERBOX_TOP + SHOW_LETTERBOX_ROWS;
    clearFrameLines(0, SHOW_LETTERBOX_TOP);
    clearFrameLines(below, SHOW_HEIGHT - below);
}

void selectLinesScene() { showSelectScene(g_linesScene); }
void selectCreditsScene() { showSelectScene(g_creditsScene); }

// The rectangle most parts present: the letterbox and the caption rows.
const xRect kPicture = {0, SHOW_LETTERBOX_TOP, SHOW_WIDTH, SHOW_PICTURE_ROWS};
// The lines also clear and present the 40 rows above the letterbox, where
// their 3D title rises.
const xRect kLinesPicture = {0, SHOW_LETTERBOX_TOP - 40, SHOW_WIDTH, SHOW_PICTURE_ROWS + 40};
// The closing words put "we" above the letterbox, from line 67; the end
// scroller its small logo, from line 48. Both present 367 lines.
const xRect kClosingPicture = {0, 67, SHOW_WIDTH, 367};
const xRect kEndPicture = {0, 48, SHOW_WIDTH, 367};
} // namespace

// The chain of the show. Each row is one part: what it plays, where it lives
// and where it is tested.
//
//   row            orders  module            tests
//   Part1Frame      0-9    parts/Part_1      tests/opening
//   Part2Frame     10-12   parts/Part_2      tests/opening (FishTest)
//   Part3Frame     13-16   parts/Part_3      tests/lines
//   GreetFrame     17-21   parts/gretPart    tests/greetings
//   Credits1Frame  22-23   parts/Credits     tests/credits
//   Credits2Frame  24-25   parts/Credits     tests/credits
//   FlareFrame     26-27   parts/pstdemop    tests/flare
//   RotoFrame      28-29   parts/rotoPart    tests/roto
//   CirclesFrame   30-31   parts/rotoPart    tests/roto
//   FallFrame      32-33   parts/rotoPart    tests/roto
//   Part10Frame    34-35   parts/Part_10     tests/closing
//   EndFrame       36-     parts/Part_10     tests/closing
//
// The timeline itself is tested in tests/timeline, the whole show in
// tests/frames and tests/show. The loading order (loadPlace) is the show's
// own: the end scroller first, the credits last.
xChainStep g_chain[] = {
    {.name = "Part1Frame", .from = CUE_OPENING,
     .init = Part1Init, .loadPlace = 2, .draw = Part1Draw,
     .minimum = 35, .testBefore = true, .present = kPicture,
     .handOver = clearOutsideLetterbox},
    {.name = "Part2Frame", .from = CUE_FISH,
     .init = Part2Init, .loadPlace = 3, .draw = Part2Draw,
     .minimum = 35, .testBefore = false, .present = kPicture,
     .handOver = selectLinesScene},
    {.name = "Part3Frame", .from = CUE_LINES,
     .init = Part3Init, .loadPlace = 4, .draw = Part3Draw,
     .minimum = 50, .testBefore = true, .present = kLinesPicture,
     .handOver = clearOutsideLetterbox},
    {.name = "GreetFrame", .from = CUE_GREETINGS,
     .init = GreetInit, .loadPlace = 8, .draw = GreetDraw,
     .minimum = 35, .testBefore = true, .present = kPicture,
     .handOver = selectCreditsScene},
    {.name = "Credits1Frame", .from = CUE_CREDITS1,
     .init = CreditsInit, .loadPlace = 11, .draw = Credits1Draw, // sets up both credits
     .minimum = 35, .testBefore = false, .present = kPicture},
    {.name = "Credits2Frame", .from = CUE_CREDITS2,
     .draw = Credits2Draw,
     .minimum = 35, .testBefore = false, .present = kPicture},
    {.name = "FlareFrame", .from = CUE_FLARE,
     .init = FlareInit, .loadPlace = 7, .draw = FlareDraw,
     .minimum = 35, .testBefore = false, .present = kPicture,
     .firstCall = FlareFirstCall, .handOverEarly = FlareFadeDone},
    {.name = "RotoFrame", .from = CUE_ROTO,
     .init = RotoInit, .loadPlace = 9, .draw = RotoDraw,
     .minimum = 50, .testBefore = true, .present = kPicture},
    {.name = "CirclesFrame", .from = CUE_CIRCLES,
     .init = CirclesInit, .loadPlace = 5, .draw = CirclesDraw,
     .minimum = 35, .testBefore = false, .present = kPicture},
    {.name = "FallFrame", .from = CUE_FALL,
     .init = FallInit, .loadPlace = 6, .draw = FallDraw,
     .minimum = 50, .testBefore = false, .present = kPicture,
     .mayHandOver = FallOnScreen, .handOver = FallHandOver, .afterDraw = FallOnScreen},
    {.name = "Part10Frame", .from = CUE_CLOSING,
     .init = Part10Init, .loadPlace = 10, .draw = Part10Draw,
     .minimum = 35, .testBefore = false, .present = kClosingPicture},
    {.name = "EndFrame", .from = CUE_END,
     .init = EndInit, .loadPlace = 1, .draw = EndDraw,
     .minimum = 35, .testBefore = false, .present = kEndPicture,
     .afterDraw = EndFade},
};
const int g_chainSteps = (int)(sizeof g_chain / sizeof g_chain[0]);
bool g_chainStarted[sizeof g_chain / sizeof g_chain[0]];
int g_chainStep = 0;
void (*g_chainAfterFrame)() = nullptr;

namespace {
// One frame timer per row: the system driver tells the parts apart by them.
template <int Step> void stepTimer(uint32_t) { RunChainStep(Step); }
template <int... Steps> constexpr std::array<xSysTimer, sizeof...(Steps)> makeTimers(std::integer_sequence<int, Steps...>)
{
    return {stepTimer<Steps>...};
}
const auto kTimers = makeTimers(std::make_integer_sequence<int, sizeof g_chain / sizeof g_chain[0]>());

bool handOverDue(int step)
{
    const xChainStep& s = g_chain[step];
    if (step + 1 >= g_chainSteps || (s.mayHandOver && !s.mayHandOver()))
        return false;
    return g_musicOrder >= g_chain[step + 1].from || (s.handOverEarly && s.handOverEarly());
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
    xSysRemoveTimer(kTimers[step]);
    xSysAddTimer(kTimers[step + 1], 0);
    g_chainStep = step + 1;
}
} // namespace

xSysTimer ChainTimer(int step) { return kTimers[step]; }

void ChainSuspend() { xSysRemoveTimer(kTimers[g_chainStep]); }
void ChainResume() { xSysAddTimer(kTimers[g_chainStep], 0); }

void ChainRestart()
{
    xSysRemoveTimer(kTimers[g_chainStep]);
    memset(g_chainStarted, 0, sizeof g_chainStarted);
    g_chainStep = 0;
    xSysAddTimer(kTimers[0], 0);
}

xSysTimer ChainTimer(const char* name)
{
    for (int step = 0; step < g_chainSteps; step++)
        if (strcmp(g_chain[step].name, name) == 0)
            return kTimers[step];
    g_xError.Fatal(xFormat("ChainTimer(..) -> No step %s", name));
}

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
    if (s.testBefore && handOverDue(step)) {
        handOver(step);
        return;
    }
    WaitNextFrame(s.minimum);
    if (!s.testBefore && handOverDue(step)) {
        handOver(step);
        return;
    }
    if (s.draw) {
        uint64_t drawBegun = FrameCostBegin();
        s.draw();
        FrameCostEnd(s.name, s.minimum, drawBegun);
    } else
        clearFrameLines(s.present.y, s.present.height);
    if (s.afterDraw && !s.afterDraw())
        return;
    xVideoPresentRect(s.present.x, s.present.y, s.present.width, s.present.height);
    if (g_chainAfterFrame)
        g_chainAfterFrame();
}
