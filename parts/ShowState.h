// The show's common ground: what every effect reads, and what one part
// publishes for another or for the timeline. The timeline writes the music
// position and the frame state; a part's init publishes what it loads for
// others (a 3D scene, a picture, a setter); the timeline's hand-overs read
// the scenes from here. It includes nothing of the effects or of the
// timeline, so the effects link without the application above them.
#pragma once
#include <cstdint>

struct x3dScene;
class x2dSprite;

// The geometry of the show's screen. The frame buffer (g_frameBuffer of the
// video driver) has 480 lines of 640 pixels. Every effect draws relative to
// g_picture, frame-buffer line 115: picture rows 0-249 are the letterbox,
// rows 250-299 hold the captions, whose tops sit on picture row 260. The 2D
// engine's screen is 280 rows high and clips to the letterbox.
enum {
    SHOW_WIDTH = 640,
    SHOW_HEIGHT = 480,
    SHOW_LETTERBOX_TOP = 115,
    SHOW_LETTERBOX_ROWS = 250,
    SHOW_CAPTION_ROWS = 50,
    SHOW_CAPTION_Y = 260,
    SHOW_PICTURE_ROWS = SHOW_LETTERBOX_ROWS + SHOW_CAPTION_ROWS,
    SHOW_2D_ROWS = 280,
    SHOW_LETTERBOX_PIXELS = SHOW_WIDTH * SHOW_LETTERBOX_ROWS, // a fade over the letterbox
    SHOW_PICTURE_PIXELS = SHOW_WIDTH * SHOW_PICTURE_ROWS,     // letterbox and captions
    SHOW_SCREEN_PIXELS = SHOW_WIDTH * SHOW_HEIGHT,
};

// Where the effects draw: picture row 0. A part may point it at a picture
// of its own for a frame drawn there, and puts it back afterwards.
extern uint32_t* g_picture;

// The music: its handle, and its position as last read (order in the
// module's order list, row in the pattern). Written by the timeline.
extern uint32_t g_music;
extern int32_t g_musicOrder;
extern int32_t g_musicRow;

// Milliseconds the last frame took (at least its part's pacing minimum), and
// the tick at which the current frame began. Written by the pacing step.
extern uint32_t g_frameTime;
extern uint32_t g_lastFrameTick;

// Published by the parts' inits. A scene is made current with its
// "Camera01" at start-up (the opening's) or at a hand-over (the lines', the
// credits'); it stays null until its part is loaded.
extern x3dScene* g_openingScene;
extern x3dScene* g_linesScene;
extern x3dScene* g_creditsScene;
// The opening's caption "see you soon" and the harbour picture that slides
// up at its end (640 x 250), with the row its top has reached (250 .. 0):
// the fish finish the slide and keep the picture.
extern x2dSprite* g_openingCaption;
extern x2dSprite* g_openingSlide;
extern float g_openingSlideY;
// The greetings background's 640 x 250 pixel block, free for later parts to
// draw in once the greetings have ended.
extern uint32_t* g_greetScratch;
// The calm sea behind the roto-zoom (640 x 250): the flare scene
// cross-fades into it over its last frames, and the closing words draw
// their background into its pixels. Null until the roto-zoom is loaded.
extern x2dSprite* g_rotoBack;
// Sets the flare scene's flare size (the falling letters' hand-over makes it
// 800); null until the flare scene is loaded.
extern void (*g_setFlareSize)(float size);

// Runs the falling letters' chain step (its pacing and its drawing into
// g_picture, without present or hand-over once they have ended): the
// closing words draw their first frames over it. Set by the timeline.
extern void (*g_runFallStep)();

// Makes the scene current with its "Camera01" active. A null scene (its part
// is not in the show yet) changes nothing.
void showSelectScene(x3dScene* scene);
