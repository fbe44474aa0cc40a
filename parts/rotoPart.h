// The roto-zoom and the circles' return. The roto-zoom: on a calm sea two
// turned and zoomed copies of a gull swing on circles, "back to" fades in
// below and the part ends in a flash to white. The circles: a street picture
// rises over white while the opening's circle cells pop again on the beat,
// and the opening's caption comes back.
#pragma once
#include <cstdint>

class x2dSprite;

enum {
    ROTO_A_SIZE = 256,         // buffer A: zoom 1, at the start of the greetings' block
    ROTO_B_SIZE = 128,         // buffer B: zoom 2
    ROTO_B_OFFSET = 264000 / 4, // buffer B's first pixel in that block
};

struct xRotoState {
    float angleA;         // 0.02 a frame, back to 0.1 past 4.0
    float angleB;         // 0.03 a frame, never wraps
    int32_t swing;        // buffer B's vertical centre offset, 40 .. 100
    int32_t captionLevel; // "back to"
    int32_t flash;        // the flash to white
    int32_t slideY;       // the street picture's top row: 250 .. 0 and on upwards
    int32_t circlesCaption; // "see you soon" again
};
xRotoState RotoStartState();
extern xRotoState g_roto;

// The gull and the two views it is turned into: A is 256 x 256 at byte 0 of
// the greetings' background block, B 128 x 128 at byte 264000 of it.
extern x2dSprite* g_rotoGull;
extern x2dSprite* g_rotoBufferA;
extern x2dSprite* g_rotoBufferB;

// The centres of buffers A and B for the angles and the swing counter.
struct xRotoCentres {
    int32_t xA, yA, xB, yB;
};
xRotoCentres RotoCentres(float angleA, float angleB, int32_t swing);

// Loads the sea, the gull and the caption and makes the two buffers; the
// greetings must be loaded (their background block holds the buffers).
void RotoInit();
// One roto-zoom frame between pacing and present.
void RotoDraw();
// Loads the street picture; the circles themselves are the opening's.
void CirclesInit();
// One frame of the circles between pacing and present.
void CirclesDraw();
