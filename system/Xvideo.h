// The video driver: the main window, the display mode and presenting the
// 32-bit frame buffer.
#pragma once
#include <cstdint>

#include "platform/Plat.h"

extern uint32_t* g_frameBuffer;

void xVideoInit();
void xVideoSetMode(int width, int height, int fullscreen, int bpp, uint32_t red, uint32_t green, uint32_t blue);
void xVideoPresent();
void xVideoPresentRect(int x, int y, int width, int height);
void xVideoChangeCoopLevel(PlatWindow* window, int fullscreen);
void xVideoReleaseObjects(PlatWindow* window);

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
