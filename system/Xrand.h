// The show's random numbers: one stream for the whole program, the same
// numbers on every platform. It draws exactly what the Linux build drew from
// the C library's rand() (the additive feedback generator of random(3), its
// 31-word state seeded as srandom seeds it), so the pictures the effects make
// from it stay as they were, and a Windows or browser build, whose C library
// has another rand(), shows the same frames.
#pragma once
#include <cstdint>

#define XRAND_MAX 2147483647

// The whole state of the stream, to be taken and put back (the player puts
// the show back where start-up left it).
struct xRandState {
    int32_t words[31];
    int front, rear;
    bool seeded;
};

// Starts the stream anew from seed (0 seeds as 1). Before the first call the
// stream is the one of seed 1.
void xSrand(uint32_t seed);
// The next number of the stream, 0..XRAND_MAX.
int xRand();
// The stream as it stands, and the stream put back to a state taken before.
xRandState xRandSave();
void xRandRestore(const xRandState& state);
