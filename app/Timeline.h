// The show's clock: the music position, frame pacing and the chain of frame
// timers that hands the screen from one part of the show to the next. It
// writes the music and frame state of parts/ShowState.h.
#pragma once
#include <cstdint>
#include <cstdio>

#include "parts/ShowState.h"
#include "system/Xsystem.h"

// Timer callback: reads the music position into g_musicOrder and g_musicRow.
void UpdateMusicPosition(uint32_t periods = 1);
// Busy-waits until at least minimum ms have passed since the last frame,
// polling the music meanwhile; g_frameTime gets the measured time.
void WaitNextFrame(uint32_t minimum);

struct xRect {
    int32_t x, y, width, height;
};

// One row per frame timer, in show order. A part of the show is its module
// in parts/ and its row in the table: its set-up, its drawing and its hooks
// into the timeline. A row plays from its first order until the music
// reaches the next row's, then hands the screen to that row; the last row
// never hands over.
struct xChainStep {
    const char* name = nullptr; // the timer's name in the trace
    int32_t from = 0;           // the first order it plays (its CUE_)
    // Loads the part's assets at start-up, or null. InitParts runs them by
    // their place in the loading order (1 first).
    void (*init)() = nullptr;
    int loadPlace = 0;
    // The effect's drawing between the hand-over test and the present. A
    // part not built yet draws black over its presented rectangle.
    void (*draw)() = nullptr;
    uint32_t minimum = 35;   // pacing, ms
    bool testBefore = false; // hand-over test before pacing (on last pass's position)
    xRect present = {};      // the rectangle it changes
    // Runs once, on the step's first call, before its hand-over test (the
    // flare scene selects its own scene and camera so), or null.
    void (*firstCall)() = nullptr;
    // Hands over before the next row's order too once this is true (the
    // flare scene's cross-fade), or null.
    bool (*handOverEarly)() = nullptr;
    // Hands over only while this is true (the falling letters hand over
    // once), or null.
    bool (*mayHandOver)() = nullptr;
    // Actions at hand-over, or null.
    void (*handOver)() = nullptr;
    // After drawing: true presents the rectangle, false does not (the
    // falling letters as the closing words' background, the ending once it
    // has shown its last picture). Null presents.
    bool (*afterDraw)() = nullptr;
};

extern xChainStep g_chain[];
extern const int g_chainSteps;
// Set on a step's first call, once its firstCall hook has run.
extern bool g_chainStarted[];

// The frame timer of a step, by its place in the table or by its name (a
// name not in the table ends the program).
xSysTimer ChainTimer(int step);
xSysTimer ChainTimer(const char* name);

// One line per hand-over: timer, order, row. Null: no trace.
extern FILE* g_chainTrace;
// Posts the quit message once the music reaches this order (-1: never).
extern int32_t g_endAtOrder;
// Reads the music position (order low, row high); the music channel by default.
extern uint32_t (*g_readMusicPosition)();
// Called by the pacing loop on every spin with the tick the wait ends at
// (the capture backend moves its virtual clock there); null when live.
extern void (*g_clockSpin)(uint32_t until);

// Called after every presented frame (the player's overlay), or null.
extern void (*g_chainAfterFrame)();

// The generic body of every frame timer.
void RunChainStep(int step);

// The row whose frame timer runs now (0 until the first hand-over).
extern int g_chainStep;
// Takes the running row's frame timer off the system driver (a paused
// player), or puts it back.
void ChainSuspend();
void ChainResume();
// The chain as at start-up: every row not yet called, the first row's timer
// in place of the running one (the player's jumps).
void ChainRestart();
