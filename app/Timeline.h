// The show's clock: the music position, frame pacing and the chain of frame
// timers that hands the screen from one part of the show to the next. It
// writes the music and frame state of parts/ShowState.h.
#pragma once
#include <cstdint>
#include <cstdio>

#include "parts/ShowState.h"

// Timer callback: reads the music position into g_musicOrder and g_musicRow.
void UpdateMusicPosition(uint32_t periods = 1);
// Busy-waits until at least minimum ms have passed since the last frame,
// polling the music meanwhile; g_frameTime gets the measured time.
void WaitNextFrame(uint32_t minimum);

// The twelve frame timers, in show order.
void Part1Frame(uint32_t);
void Part2Frame(uint32_t);
void Part3Frame(uint32_t);
void GreetFrame(uint32_t);
void Credits1Frame(uint32_t);
void Credits2Frame(uint32_t);
void FlareFrame(uint32_t);
void RotoFrame(uint32_t);
void CirclesFrame(uint32_t);
void FallFrame(uint32_t);
void Part10Frame(uint32_t);
void EndFrame(uint32_t);

enum {
    CHAIN_OPENING, CHAIN_FISH, CHAIN_LINES, CHAIN_GREETINGS, CHAIN_CREDITS1, CHAIN_CREDITS2,
    CHAIN_FLARE, CHAIN_ROTO, CHAIN_CIRCLES, CHAIN_FALL, CHAIN_CLOSING, CHAIN_END, CHAIN_STEPS
};

struct xRect {
    int32_t x, y, width, height;
};

// One row per frame timer. A part of the show is its module in parts/ and
// its row here: its set-up, its drawing and its hooks into the timeline.
struct xChainStep {
    const char* name;
    void (*timer)(uint32_t);
    // Loads the part's assets at start-up (InitParts runs them in the show's
    // loading order), or null.
    void (*init)();
    // The effect's drawing between the hand-over test and the present. A
    // part not built yet draws black over its presented rectangle.
    void (*draw)();
    uint32_t minimum;    // pacing, ms
    bool testBefore;     // hand-over test before pacing (on last pass's position)
    int32_t handOrder;   // hands over once the order reaches this
    void (*handOver)();  // actions at hand-over, or null
    int successor;       // index of the next step, -1 for none
    xRect present;
    // Runs once, on the step's first call, before its hand-over test (the
    // flare scene selects its own scene and camera so), or null.
    void (*firstCall)();
    // An extra hand-over condition (the flare scene's cross-fade), or null.
    bool (*handOverEarly)();
};

extern xChainStep g_chain[CHAIN_STEPS];
// Set on a step's first call, once its firstCall hook has run.
extern bool g_chainStarted[CHAIN_STEPS];

// Set once the falling letters have handed over (they then neither hand
// over nor present when the closing words call them).
extern bool g_fallOnce;
// The ending's fade level, 255 at the start.
extern int32_t g_endLevel;

// One line per hand-over: timer, order, row. Null: no trace.
extern FILE* g_chainTrace;
// Posts the quit message once the music reaches this order (-1: never).
extern int32_t g_endAtOrder;
// Reads the music position (order low, row high); the music channel by default.
extern uint32_t (*g_readMusicPosition)();
// Called by the pacing loop on every spin with the tick the wait ends at
// (the capture backend moves its virtual clock there); null when live.
extern void (*g_clockSpin)(uint32_t until);

// The generic body of every frame timer.
void RunChainStep(int step);
