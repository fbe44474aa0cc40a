// The 2D screen: geometry, line table, blend table, clip window and the
// small fills the effects use for bars, flashes and fades.
//
// The 2D screen is not a surface of its own: every drawing call receives the
// base address of a 32-bit buffer whose geometry is the one installed in the
// globals below, and addresses line y of it as dst + x2dLineOffset[y] bytes.
// A caller that draws into a buffer of another size takes the screen with
// x2dGetScreen, installs its own with x2dSetScreen, draws, and puts the
// first one back.
#pragma once
#include <cstdint>

extern int32_t* x2dLineOffset;  // x2dScreenHeight entries, entry y = y x pitch (bytes)
extern uint8_t* x2dBlendTable;  // 256 rows of 512 bytes, see x2dBlendRow
extern int32_t x2dScreenHeight;
extern int32_t x2dScreenPitch;  // bytes per line
extern int32_t x2dClipTop;      // first line inside
extern int32_t x2dClipLeft;     // first column inside
extern int32_t x2dClipRight;    // first column past the window
extern int32_t x2dClipBottom;   // first line past the window
extern int32_t x2dScreenWidth;  // pixels per line
extern uint8_t x2dMMX;          // 1: sprites created now use the processor (MMX arithmetic) path

// Row a of the blend table, addressed through its middle: row[d] for d from
// -255 to 255 holds the low 8 bits of floor(a x d / 256). Blending a channel
// s over t with weight a is then t + row[s - t] in 8 bits.
inline const uint8_t* x2dBlendRow(uint32_t a) { return x2dBlendTable + a * 512 + 255; }

// The screen state as one record: everything that addresses lines or clips.
struct x2dScreen {
    int32_t width, height, pitch;
    int32_t* lineOffset;
    int32_t clipLeft, clipTop, clipRight, clipBottom;
};
x2dScreen x2dGetScreen();
void x2dSetScreen(const x2dScreen& screen);

void x2dInit(int width, int height);
// Probes the processor: 1 when the processor path is built (SSE2 lanes, or
// WebAssembly SIMD in the browser) and the processor has SSE2. It logs the
// switch as the MMX switch it replaces. QH_NO_MMX=1 in the environment forces
// the plain path.
uint8_t x2dDetectMMX();
void x2dSetClipWindow(int left, int top, int right, int bottom);

// Span between x1 and x2 (either order, x2 exclusive) on line y, clipped to
// the clip window.
void x2dHLine(int x1, int x2, int y, uint32_t color, uint32_t* dst);
// Columns x1..x2-1 of lines y1..y2-1, clamped to the screen (not the clip
// window); y1 == y2 draws the one clipped line x2dHLine draws.
void x2dFillRect(int x1, int y1, int x2, int y2, uint32_t color, uint32_t* dst);
// Same rectangle; every colour channel c becomes |v - c|, fourth byte 0.
void x2dDiffRect(int x1, int y1, int x2, int y2, int v, uint32_t* dst);
// count pixels from p on: each colour channel c becomes max(c - v, 0) /
// min(c + v, 255); the fourth byte is kept; only the low 8 bits of v count.
void x2dSubSpan(int v, int count, uint32_t* p);
void x2dAddSpan(int v, int count, uint32_t* p);
