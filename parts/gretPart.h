// The greetings: sixteen greeted people scroll up the left of the letterbox,
// each a photo in a round frame with his name beside it; frames flash on the
// beat; once a man has left the top he drops into a 16-cell mosaic on the
// right and turns from his photo into a tint of one of five palettes.
// Captions below the letterbox follow the music, two question marks fill the
// two holes of the mosaic, and the picture darkens towards the end.
#pragma once
#include <cstdint>

#include "Ximage/Ximage.h"

class x2dSprite;

enum {
    GREET_MEN = 16,
    GREET_PHOTOS = 22,
    GREET_PALETTES = 5,
    GREET_CELLS = 16,
    GREET_PHOTO_W = 77,
    GREET_PHOTO_H = 76,
    GREET_NAME_ROWS = 44,
};

class CgreetMan {
public:
    int32_t y;      // top of the photo in the scrolling list
    int32_t reveal; // 0-255: cross-fade from photo to tint once placed
    int8_t slot;    // mosaic cell
    uint8_t placed; // shown in the mosaic
    int32_t flash;  // 0-255: brightness boost of the frame
    x2dSprite* photo; // view into the photo strip, the photo mask as alpha
    x2dSprite* tint;  // own pixels: the photo's luminance through a palette
    x2dSprite* name;  // view of the man's 44 rows of the name strip
};

class CgreetPart {
public:
    // Loads the object's pictures and builds the sixteen men.
    void Init();
    // The tint sprite of a photo: each pixel's luminance indexes the palette
    // (256 R, G, B triplets).
    void MakeTint(x2dSprite* photo, x2dSprite* tint, const uint8_t* palette);
    // Rewrites the bright circle: every frame pixel with non-zero alpha gets
    // v added to each colour channel, saturating; its alpha byte is kept.
    void FlashCircle(int v);
    // Moves and draws the list and the mosaic into g_picture.
    void Update();

    xImage photos; // 32-bit strip of 22 photos of 77 x 76
    uint8_t palettes[GREET_PALETTES][768];
    xImage photoMask; // 8-bit, 77 x 76
    x2dSprite* names;
    x2dSprite* circle;
    x2dSprite* brightCircle;
    CgreetMan* men[GREET_MEN];
};

// Top-left corners of the mosaic cells: a 6 x 3 block with two holes.
extern const int32_t g_greetCells[GREET_CELLS][2];

// The levels of the captions, the question marks, the darkening and the
// opening flash, kept between frames.
struct xGreetState {
    int32_t firstLevel;  // "greetings to" -> "the monsters"
    int32_t secondLevel; // "two are missing"
    int32_t thirdLevel;  // "guess who"
    int32_t darkLevel;
    int32_t questionLevel;
    int32_t whiteFlash;
    uint8_t question1;
    uint8_t question2;
};
xGreetState GreetStartState();

extern CgreetPart g_greetPart;
extern xGreetState g_greet;
// The background picture, copied whole into the letterbox every frame; its
// pixel block is published as g_greetScratch.
extern x2dSprite* g_greetBack;

// Loads every picture of the greetings.
void GreetInit();
// One frame of the greetings between pacing and present.
void GreetDraw();
