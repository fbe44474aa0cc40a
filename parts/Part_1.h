// The opening: small animated circles pop on a 20 x 10 grid in time with the
// music, first on black, then on white; a coloured band opens across the
// letterbox and the ten letters of the group's logo grow onto it; halves of
// it flash inverted and the picture shakes on the hits; white bars close the
// band, a 3D logo turns and whitens away, and the harbour picture slides up.
//
// The circle grid, its animation and its two functions serve the circles'
// return later in the show, with the cells still alive; the slide picture,
// its position and the caption are published in the show state for the fish.
#pragma once
#include <cstdint>

#include "X2d/X2danim.h"

class x2dSprite;
struct x3dMaterial;
struct x3dScene;

enum {
    CIRCLE_COLUMNS = 20,
    CIRCLE_ROWS = 10,
    CIRCLE_SPACING = 25,
    CIRCLE_LEFT = 75,
    LOGO_LETTERS = 10,
    LOGO_LETTER_W = 62,
    LOGO_LETTER_H = 68,
};

struct CircleCell {
    uint8_t active; // playing its animation
    int8_t frame;   // animation frame 0-9
    uint32_t tick;  // tick of its last frame step
};

// [row][column]; cell (c, r) is drawn at (75 + 25 c, 25 r).
extern CircleCell g_circleGrid[CIRCLE_ROWS][CIRCLE_COLUMNS];
// One strip animation shared by every cell: each cell is loaded into it,
// stepped, and stored back.
extern x2dAnim g_circleAnim;

// Starts one free cell, picked at random with column and row apart from
// every active cell and off the band's rows while the band is up.
void SpawnCircleCell();
// Steps every active cell by the tick clock and draws it; a cell that has
// played its ten frames is freed instead.
void DrawCircleCells();

// The ten letters of the group's logo, views into one alpha layer.
class LogoLetters {
public:
    void Init();
    // Grows each shown letter from its centre on the band until full size,
    // then draws it unscaled.
    void Draw();

    x2dSprite* logo;
    x2dSprite* letters[LOGO_LETTERS];
    int32_t centreX[LOGO_LETTERS];
    float scale[LOGO_LETTERS];
    uint8_t shown[LOGO_LETTERS];
};
extern LogoLetters g_logoLetters;

// Rows y0..y1-1, columns x0..x1-1 (clamped to the 2D screen): each colour
// channel becomes (channel + component) / 2, the fourth byte 0. The
// components are bytes, 0-255.
void HalfBlendRect(int x0, int y0, int x1, int y1, int r, int g, int b, uint32_t* dst);

// Moves the letterbox k rows down over itself (k 0-7): the top k rows keep
// their old content, the letterbox ends at most 7 rows below its place.
void OpeningShake(int k, uint32_t* picture);

struct xOpeningState {
    int32_t fadeIn;       // white fade of order 3
    uint8_t white;        // the fade has reached white
    int32_t bandMode;     // 1 solid, -1 half-transparent with trails, 2 solid
    int32_t bandTop, bandBottom;
    int32_t bandFrames;   // frames that drew the band
    int32_t lettersShown; // 0-10
    int32_t inversion;    // 255 .. 0 and back
    int32_t closingTop, closingBottom;
    float logoTime;       // frame of the 3D logo's animation
};
xOpeningState OpeningStartState();
extern xOpeningState g_opening;

// The 3D logo: its scene and the material that whitens away. Set from the
// scene that holds the logo ("logo3d.x3d"); without "MATERIAL_1" the set-up
// ends with an assertion. Null while no logo scene is loaded (tests of the
// 2D steps): the opening then draws everything but the logo.
extern x3dMaterial* g_logoMaterial;
void OpeningUseLogoScene(x3dScene* scene);
// Each colour component + 5, capped at 255, and the packed colour with them.
void BrightenLogoMaterial(x3dMaterial* material);
// The logo's animation frame after frameTime ms: + frameTime x 0.04, held
// at 350 once past the scene's last frame.
float AdvanceLogoTime(float time, uint32_t frameTime, float lastFrame);

// Loads the letters, the logo scene and every picture of the opening.
void Part1Init();
// One frame of the opening between pacing and present.
void Part1Draw();
