// The video driver: the main window, the display mode and presenting the
// 32-bit frame buffer.
#pragma once
#include <cstdint>

#include "platform/Plat.h"

extern uint32_t* g_frameBuffer;

void xVideoInit();
void xVideoSetMode(int width, int height, int fullscreen, int bpp, uint32_t red, uint32_t green, uint32_t blue);
// Chooses the display depth for the mode: 0 exact, 1 no mode of that size,
// 2 the same size at a substitute depth.
int xVideoGetActualMode(int width, int height, int bpp);
void xVideoInitSurfaces();
// The window's size on the screen, the picture scaled to fill it with its
// shape kept; 0 x 0 (the start) is the largest whole multiple of the mode
// within 90 % of the desktop. Takes effect when the window is next placed.
void xVideoSetWindowSize(int width, int height);
void xVideoPresent();
void xVideoPresentRect(int x, int y, int width, int height);
void xVideoChangeCoopLevel(PlatWindow* window, int fullscreen);
void xVideoReleaseObjects(PlatWindow* window);
const char* xVideoErrorName(int32_t code);

// Releases the display device itself (window destroyed).
void xVideoReleaseDirectDraw();
// True when the frame buffer and both display surfaces exist.
bool xVideoObjectsExist();
bool xVideoIsFullscreen();
// Recomputes the client and screen rectangles after the window moved.
void xVideoUpdateRects();
// Outer size of the window for the current mode.
void xVideoFrameSize(int* width, int* height);
PlatWindow* xVideoMainWindow();
// Bits per pixel of the display mode in use, and the number of listed modes.
int xVideoDisplayDepth();
int xVideoModeCount();
