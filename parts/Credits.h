// The credits: two authors, one after the other. Each gets a background
// put together from pieces that arrive on the beat, a photo turned upright in
// three steps of a roto-zoom, role strips sliding across and the name and
// contact line as black masks. Translucent bubbles darken the first credit
// and dark circles drift over the second; the first plays the credits scene
// behind it, the second slides a third photo and a name plate in and ends in
// white. The bubbles and the floating circles live on in the falling letters.
#pragma once
#include <cstdint>

class x2dSprite;

enum {
    CREDITS_BUBBLES = 15,
    CREDITS_FLOATERS = 15,
    CREDITS_SHAPES = 8,      // circle shapes in "cpcir.gif", 50 x 50 each
    CREDITS_SHAPE_PICKS = 5, // shapes a floating circle may take
    CREDITS_SHAPE_SIZE = 50,
    CREDITS_SCRATCH_SIZE = 400, // the roto-zoomed photo, on the greetings' block
};

// A translucent bubble: a rectangle that darkens what lies under it by a
// fifth, drifting up or down, and born again in its ranges once it has left
// the clip window.
class Bubble {
public:
    // Ready to move at once: x range 200 from x 400, then Reset.
    Bubble();
    // Direction, size, place and speed anew, from rand in this order:
    // direction, the two sides, x, y, speed.
    void Reset();
    // Moves, resets when out of the clip window, and darkens the clipped
    // rectangle of g_picture (each channel c -> c + floor(51 (0 - c) / 256),
    // the fourth byte kept).
    void Update();

    int32_t width, height;
    int32_t x, y;
    int32_t direction; // +1 down, -1 up
    int32_t speed;     // pixels a frame, +-1 to +-3
    int32_t xRange, xMin;
};

extern Bubble g_bubbles[CREDITS_BUBBLES];

// Dark translucent circles drifting up or down, each one of the first five
// shapes of "cpcir.gif".
class FloatingCircles {
public:
    struct Item {
        int32_t x, y;
        int32_t direction;
        int32_t speed;
        int32_t shape;
    };
    // Item i anew, from rand in this order: direction, x, y, speed, shape.
    void Reset(int i);
    // Moves every item, resets those out of the clip window and draws each
    // as its shape's layer into g_picture.
    void Update();

    x2dSprite* layer = nullptr;                   // "cpcir.gif", the shapes stacked
    x2dSprite* shapes[CREDITS_SHAPES] = {};       // 50 x 50 views into the layer
    Item items[CREDITS_FLOATERS] = {};
    int32_t xRange = 200, xMin = 400;
};

extern FloatingCircles g_floatingCircles;

// What the two credits keep between frames. Nothing is reset when one
// credit hands over to the other.
struct xCreditsState {
    // First credit.
    float angle1, zoom1, lastAngle1; // the roto-zoom runs when angle differs from lastAngle
    int32_t x1;
    float y1;
    float sceneTime;
    int32_t codePos, progPos; // the role strips "codem.gif" and "progmask.gif"
    // Second credit.
    float angle2, zoom2, lastAngle2;
    int32_t x2;
    float y2;
    int32_t musicPos, designPos;
    int32_t thirdX; // the third photo
    int32_t white;  // the closing fade
};
xCreditsState CreditsStartState();
extern xCreditsState g_credits;

// The roto-zoom's target: a 400 x 400 view on the greetings background's
// block (free once the greetings have ended).
extern x2dSprite* g_creditsScratch;

// Places the floating circles and loads every picture of the credits. Runs
// after the greetings' set-up (the scratch lives on their background).
void CreditsInit();
// One frame of each credit, between pacing and present.
void Credits1Draw();
void Credits2Draw();
