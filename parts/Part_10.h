// The closing words and the end scroller. The closing words: "we brought
// this to you" on white while a column of nine 140 x 105 panels scrolls up
// on the right (cross-fading animations, stills, a particle swarm and a
// small flare-scene render); the falling letters' picture fades out over it
// at first, and everything darkens at the end. The end scroller: a wide
// panorama scrolls sideways under the small logo, "cut here" darkens it,
// and the timeline's ending fades the show out.
#pragma once
#include <cstdint>

class x2dSprite;
class xVideo;

enum {
    PANEL_W = 140,
    PANEL_H = 105,
    PANEL_PITCH = PANEL_W * 4,
    PANEL_BYTES = PANEL_W * PANEL_H * 4, // 58800
    PANEL_COUNT = 9,
    PANEL_SPACING = 110,
    PANEL_X = 490,
    END_SCROLL_W = 1200,
};

class PanelColumn {
public:
    // The four animations, the three stills, and the buffers P0-P2 and the
    // work buffer P3 in the greetings' block; every level 255.
    void Init();
    // The column with panel 0's top at y into dst (picture rows): stops at
    // the first panel whose top is below the letterbox, skips those wholly
    // above it.
    void Draw(int32_t y, uint32_t* dst);
    // One animated panel: advance when the level passes 255, decode into P3
    // and blend it into the panel buffer at the level.
    void StepAnimation(int a, int32_t step, x2dSprite* buffer);

    xVideo* animations[4] = {};
    x2dSprite* stills[3] = {};
    x2dSprite* buffers[4] = {}; // P0, P1, P2 and the work buffer P3
    int32_t levels[4] = {255, 255, 255, 255};
};
extern PanelColumn g_panelColumn;

struct xClosingState {
    int32_t columnY;   // panel 0's top
    int32_t fallLevel; // the falling letters' picture over the white page
    int32_t darkness;  // the closing darkening
    int32_t scrollX;   // the panorama's left edge
    int32_t cut;       // "cut here" and its darkening
    int32_t endLevel;  // the ending's fade: in from black, out at the end
};
xClosingState ClosingStartState();
extern xClosingState g_closing;

// Loads the column, the particles and the words; the panorama, "cut
// here" and the small logo.
void Part10Init();
void EndInit();
// One frame of each between pacing and present.
void Part10Draw();
void EndDraw();
// The ending, after each end-scroller frame: the fade in from black, then
// at the music's last phrase the fade of picture and music to silence and
// black, and the quit. False once the show has ended (nothing to present).
bool EndFade();
// The panorama at scroll x into dst, with its second copy 1200 pixels to
// the left while x > 0.
void EndScrollDraw(int32_t x, uint32_t* dst);
