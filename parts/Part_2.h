// The fish: the harbour picture that slid up at the end of the opening
// finishes its slide and stays; five fish swim across it from left to right
// on sine paths, each one of twelve colour variants of three fish pictures.
// The opening's caption fades in below the letterbox, then "happy?" and the
// title picture; at the end the picture fades to black and the fish stop.
#pragma once
#include <cstdint>

class x2dSprite;

enum { FISH_SPRITES = 12, FISH_SWIMMERS = 5 };

struct FishSwimmer {
    // A new fish: a sprite other than avoid, a base row, speed and
    // amplitude at random, starting fully left of the screen, offset pixels
    // further out.
    void Respawn(int32_t offset, x2dSprite* avoid);
    // One step right, drawn on its sine path; past the right edge it comes
    // back as a new fish that is not avoid.
    void Move(x2dSprite* avoid);

    int32_t x;         // left edge
    int32_t baseY;     // 50-149
    int32_t speed;     // pixels a frame, 2-3
    int32_t amplitude; // 3-6
    uint8_t alive;
    x2dSprite* sprite;
};

// F0-F2 as loaded, F3-F11 copies with two colour channels exchanged.
extern x2dSprite* g_fishSprites[FISH_SPRITES];
// Which variant copies which picture, and the two channels it exchanges
// (bytes of a pixel: 0 blue, 1 green, 2 red).
struct xFishVariant {
    int source;
    int channelA, channelB;
};
extern const xFishVariant g_fishVariants[FISH_SPRITES - 3];
extern FishSwimmer g_fishSwimmers[FISH_SWIMMERS];

struct xFishState {
    int32_t fadeOut;      // 0 .. 255: the picture to black
    int32_t captionLevel; // "see you soon"
    int32_t titleLevel;   // the title picture and "happy?"
};
xFishState FishStartState();
extern xFishState g_fish;

// Loads the pictures, builds the variants and the first five fish.
void Part2Init();
// One frame of the fish between pacing and present.
void Part2Draw();
