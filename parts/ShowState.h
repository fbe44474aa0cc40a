// The show's common ground: what every effect reads. The screen's geometry,
// the picture, the music position and the frame time; the timeline and
// start-up write them. What one part publishes for another is in
// parts/PartLinks.h. It includes nothing of the effects or of the timeline,
// so the effects link without the application above them.
#pragma once
#include <cstdint>

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
