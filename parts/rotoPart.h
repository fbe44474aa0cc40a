// The roto-zoom, the circles' return and the falling letters. The
// roto-zoom: on a calm sea two turned and zoomed copies of a gull swing on
// circles, "back to" fades in below and the part ends in a flash to white.
// The circles: a street picture rises over white while the opening's circle
// cells pop again on the beat, and the opening's caption comes back. The
// falling letters: the street cross-fades into a lit window, sixteen black
// letters drift up or down with the credits' bubbles and floating circles
// over them; the closing words draw this frame as their background.
#pragma once
#include <cstdint>

class x2dSprite;

enum {
    ROTO_A_SIZE = 256,         // buffer A: zoom 1, at the start of the greetings' block
    ROTO_B_SIZE = 128,         // buffer B: zoom 2
    ROTO_B_OFFSET = 264000 / 4, // buffer B's first pixel in that block
    FALL_LETTERS = 16,
    FALL_LETTER_SPACING = 38,
};

// Sixteen black letters standing at x = 38 (i + 1), each drifting up or
// down by one or two pixels a frame. A letter that has left the picture
// stays where it left.
class FallingLetters {
public:
    // Speeds and rows from rand: letter 0 its speed, then its row; every
    // other letter its row, then a speed other than its left neighbour's.
    void Init();
    // Fades the letters in by 15 a frame, and draws and moves those on the
    // letterbox into dst.
    void Update(uint32_t* dst);

    x2dSprite* sprites[FALL_LETTERS] = {}; // alpha layers, drawn black
    int32_t speed[FALL_LETTERS] = {};
    int32_t y[FALL_LETTERS] = {};
    int32_t level = 0;
};
extern FallingLetters g_fallingLetters;

struct xRotoState {
    float angleA;         // 0.02 a frame, back to 0.1 past 4.0
    float angleB;         // 0.03 a frame, never wraps
    int32_t swing;        // buffer B's vertical centre offset, 40 .. 100
    int32_t captionLevel; // "back to"
    int32_t flash;        // the flash to white
    int32_t slideY;       // the street picture's top row: 250 .. 0 and on upwards
    int32_t circlesCaption; // "see you soon" again
    int32_t fallLevel;    // the lit window over the street
    uint8_t bubblesSet;   // the credits' bubbles moved to the left
    // The falling letters have handed over: from then on they only draw the
    // closing words' background, without present or hand-over.
    uint8_t fallEnded;
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

// Loads the sea (published as g_rotoBack), the gull and the caption, and
// makes the two buffers when the greetings are loaded (their background
// block holds them; the roto-zoom draws only with them).
void RotoInit();
// One roto-zoom frame between pacing and present.
void RotoDraw();
// Loads the street picture; the circles themselves are the opening's.
void CirclesInit();
// One frame of the circles between pacing and present.
void CirclesDraw();
// Loads the lit window and the letters, and places the letters.
void FallInit();
// One frame of the falling letters into g_picture's 250 rows; the caption
// rows below are left as they are.
void FallDraw();
// Chain hooks: the falling letters are on the screen (they present and may
// hand over) until their hand-over, which ends them and makes the flare
// scene's flares 800 large for the closing part's panel.
bool FallOnScreen();
void FallHandOver();
