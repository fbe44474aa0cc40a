// The display's presentation in a browser tab (the device itself is
// PlatDisplay.cpp): the primary surface is shown on the page's
// canvas (640 x 480 pixels, scaled by the page to the window with 4:3 kept),
// each changed rectangle converted to RGBA and put with putImageData. The
// one mode is the picture's own size at 32 bits; "exclusive" full-screen is
// the browser's Fullscreen API, which a page may only enter shortly after a
// key press or a click (the browser refuses it otherwise, and the picture
// stays in the page).
#include <emscripten.h>

#include <vector>

#include "platform/internal/PlatDisplayBackend.h"

namespace {

std::vector<uint8_t> g_rgba;
bool g_unseen = false; // the hash mode: no one looks at the canvas

EM_JS(void, qh_canvas_put, (const uint8_t* rgba, int x, int y, int width, int height, int canvasWidth,
                            int canvasHeight), {
    var c = Module.canvas;
    if (!c) return;
    if (c.width != canvasWidth || c.height != canvasHeight) {
        c.width = canvasWidth;
        c.height = canvasHeight;
    }
    if (!Module.qhContext || Module.qhContext.canvas !== c) Module.qhContext = c.getContext("2d");
    var bytes = new Uint8ClampedArray(HEAPU8.buffer, rgba, width * height * 4);
    Module.qhContext.putImageData(new ImageData(new Uint8ClampedArray(bytes), width, height), x, y);
});

EM_JS(void, qh_fullscreen, (int on), {
    if (Module.setFullscreen) Module.setFullscreen(!!on);
});

// Shows a changed rectangle of the primary.
void showPrimary(PlatSurface* p, int x, int y, int w, int h)
{
    if (w <= 0 || h <= 0 || g_unseen)
        return;
    g_rgba.resize((size_t)w * h * 4);
    uint8_t* out = g_rgba.data();
    for (int row = 0; row < h; row++) {
        const uint8_t* in = p->pixels.data() + (size_t)(y + row) * p->pitch + (size_t)x * p->bytes;
        for (int col = 0; col < w; col++, out += 4) {
            // Blue, green, red in memory (the masks 0xff0000, 0xff00, 0xff).
            out[0] = in[2];
            out[1] = in[1];
            out[2] = in[0];
            out[3] = 255;
            in += p->bytes;
        }
    }
    qh_canvas_put(g_rgba.data(), x, y, w, h, p->width, p->height);
}

void primaryOrigin(int* x, int* y) { *x = *y = 0; }

} // namespace

bool platDisplayBackendOpen()
{
    g_platSurfaceHooks = PlatSurfaceHooks{showPrimary, primaryOrigin};
    return true;
}

void platDisplayBackendClose() {}
void platDisplaySetUnseen(bool unseen) { g_unseen = unseen; }
int32_t platDisplayBackendAttach(PlatWindow*) { return PD_OK; }
void platDisplayBackendFullscreen(bool on) { qh_fullscreen(on); }
int platDisplayBackendDepth() { return 32; }
bool platDisplayBackendPrepare(PlatSurface*) { return true; }

// One mode: the picture's own size at 32 bits.
std::vector<PlatDisplayMode> platDisplayModeList() { return {PlatDisplayMode{640, 480, 32}}; }
bool platDisplayModeListed(int width, int height, int bpp) { return width == 640 && height == 480 && bpp == 32; }
int platDisplayForcedDepth() { return 0; }
bool platDisplayModesReplaced() { return false; }
void platDisplaySetModeList(const PlatDisplayMode*, int) {}

bool platDisplayReadPrimary(uint32_t* pixels, int width, int height)
{
    PlatSurface* p = platSurfacePrimary();
    if (!p || !pixels || width != p->width || height != p->height || p->bytes != 4)
        return false;
    for (int y = 0; y < height; y++) {
        const uint32_t* row = (const uint32_t*)(p->pixels.data() + (size_t)y * p->pitch);
        for (int x = 0; x < width; x++)
            pixels[y * width + x] = row[x] & 0xffffff;
    }
    return true;
}

void platDisplayOutputSize(int* width, int* height)
{
    PlatSurface* p = platSurfacePrimary();
    if (width) *width = p ? p->width : 0;
    if (height) *height = p ? p->height : 0;
}

PlatRect platDisplayPictureRect()
{
    PlatSurface* p = platSurfacePrimary();
    return PlatRect{0, 0, p ? p->width : 0, p ? p->height : 0};
}
