// The swinging lines: 220 thin coloured lines swing left and right across
// the letterbox with a smeared trail; fourteen letters zoom out of fixed
// points on the bells of the first two orders; then a caption fades in, a
// scrolling grid darkens the picture, and at the very end the grid changes
// pattern frame by frame and the letterbox goes black.
#pragma once
#include <cstdint>

class x2dSprite;
class xFileIO;

enum {
    LINES_COUNT = 220,
    LINES_BUFFER = 1280, // pixels of the line and trail buffers; the first 640 are shown
    LINES_GRIDS = 4,
    LINES_WIDEST = 14,
};

// One swinging line (seven 32-bit values, in this order).
struct xLine {
    int32_t right;
    int32_t left;
    int32_t home;
    int32_t x;
    int32_t color;
    int32_t direction; // +1 or -1
    int32_t width;     // 0-14 pixels
};

// An 8-bit darkening mask: 255 keeps the picture, 0 blackens it.
struct xLinesGrid {
    int32_t sizeX;
    int32_t sizeY;
    uint8_t* pixels;
};

class LinesEffect {
public:
    // Allocates the lines and both buffers, zeroed.
    LinesEffect();
    // Widths, colours, alternating directions and the swing limits, all from
    // xRand() in three passes.
    void Init();
    // Reads grid1.gif to grid4.gif, all of one size.
    void LoadGrid(xFileIO* files);
    void SetHeight(int32_t rows);
    // One frame of lines into height rows of 640 pixels at dst.
    void Draw(uint32_t* dst);
    // Blends the line buffer into the trail, shifted right by offset pixels.
    void BlendLine(uint32_t alpha, int32_t offset);
    // Darkens the picture through grid index with its top-left at (x, y),
    // clipped to the 2D clip window.
    void DrawGrid(int32_t x, int32_t y, int32_t level, int32_t index, uint32_t* dst);

    xLinesGrid grids[LINES_GRIDS];
    int32_t height;
    xLine* lines;
    uint32_t* lineBuffer;
    uint32_t* trail;
    // The grid at a level as words to take off the picture's pixels byte by
    // byte (never under 0): made once for the grid and level that DrawGrid
    // draws 70 tiles of in a frame, then kept while they stay.
    const uint32_t* GridWords(int32_t level, int32_t index);
    uint32_t* gridWords;
    const uint8_t* gridWordsFrom;
    int32_t gridWordsLevel, gridWordsIndex, gridWordsX, gridWordsY;
};

// A letter zooming out of its centre.
struct CzoomLetter {
    int32_t x, y; // centre in the picture
    uint8_t active;
    float scale;
    int32_t alpha;
};

// The levels and positions of the part, kept between frames.
struct xLinesState {
    int32_t fadeIn;   // darkness still over the picture
    int32_t gridLevel;
    int32_t captionLevel;
    int32_t gridCounter; // grid drawn; from 4 on the letterbox is black
    int32_t scrollX;
    float titleTime;
};
xLinesState LinesStartState();
// The letters at rest at their centres.
void LinesResetLetters();

extern LinesEffect* g_linesEffect; // made by Part3Init
extern xLinesState g_linesState;
extern CzoomLetter g_zoomLetters[14];
extern x2dSprite* g_zoomSprites[14];
extern x2dSprite* g_linesCaption;

// Starts the letters whose window is open at the music position.
void LinesZoomTriggers(int32_t order, int32_t row);
// Grows, fades and draws the running letters into g_picture.
void LinesZoomLetters();
// The grid's tiles over the letterbox and its scroll.
void LinesScrollGrid();

// One frame of the 3D title (g_linesScene, current since the fish handed
// over) over the whole frame buffer, lit, its time a step further.
void LinesTitle();

// Loads the part and prepares its lines.
void Part3Init();
// One frame of the part between pacing and present.
void Part3Draw();
