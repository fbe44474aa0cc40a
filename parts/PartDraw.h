// Small drawing helpers the parts share: fade levels held in their range,
// and rows of the picture or lines of the frame buffer cleared to black.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "parts/ShowState.h"
#include "system/Xvideo.h"

// A fade level that rises stops at 255; one that falls stops at 0.
inline int32_t atMost255(int32_t v) { return v > 255 ? 255 : v; }
inline int32_t atLeast0(int32_t v) { return v < 0 ? 0 : v; }

// count picture rows from row first (relative to g_picture, so a negative
// row lies above the letterbox).
inline void clearPictureRows(int first, int count)
{
    memset(g_picture + (ptrdiff_t)first * SHOW_WIDTH, 0, (size_t)count * SHOW_WIDTH * 4);
}
// The caption rows below the letterbox.
inline void clearCaptionRows() { clearPictureRows(SHOW_LETTERBOX_ROWS, SHOW_CAPTION_ROWS); }
// count lines of the frame buffer from line first.
inline void clearFrameLines(int first, int count)
{
    memset(g_frameBuffer + first * SHOW_WIDTH, 0, (size_t)count * SHOW_WIDTH * 4);
}
