// The display in a browser tab: the primary surface is shown on the page's
// canvas (640 x 480 pixels, scaled by the page to the window with 4:3 kept),
// each changed rectangle converted to RGBA and put with putImageData. The
// one mode is the picture's own size at 32 bits; "exclusive" full-screen is
// the browser's Fullscreen API, which a page may only enter shortly after a
// key press or a click (the browser refuses it otherwise, and the picture
// stays in the page).
#include <emscripten.h>

#include <vector>

#include "PlatWeb.h"
#include "platform/PlatDisplay.h"
#include "platform/PlatSurface.h"

namespace {

const PlatDisplayMode kModes[] = {{640, 480, 32}};

bool g_created = false;
PlatWindow* g_window = nullptr;
bool g_exclusive = false;
bool g_modeSet = false;
int g_modeWidth = 0, g_modeHeight = 0;
bool g_shutdownHooked = false;
std::vector<uint8_t> g_rgba;

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
    if (w <= 0 || h <= 0)
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

void shutdownHook()
{
    g_shutdownHooked = false;
    platDisplayRelease();
}

} // namespace

int32_t platDisplayCreate()
{
    if (!platInit())
        return PDERR_GENERIC;
    if (!g_shutdownHooked) {
        platAddShutdownHook(shutdownHook);
        g_shutdownHooked = true;
    }
    g_platSurfaceHooks = PlatSurfaceHooks{showPrimary, primaryOrigin};
    g_created = true;
    return PD_OK;
}

void platDisplayRelease()
{
    platSurfaceReleaseAll();
    if (g_modeSet)
        qh_fullscreen(0);
    g_window = nullptr;
    g_exclusive = g_modeSet = false;
    g_created = false;
}

int32_t platDisplayEnumModes(bool (*callback)(const PlatDisplayMode&, void*), void* context)
{
    if (!g_created)
        return PDERR_NOTINITIALIZED;
    if (!callback)
        return PDERR_INVALIDPARAMS;
    for (const PlatDisplayMode& m : kModes)
        if (!callback(m, context))
            break;
    return PD_OK;
}

int32_t platDisplaySetCooperativeLevel(PlatWindow* window, bool exclusive)
{
    if (!g_created)
        return PDERR_NOTINITIALIZED;
    if (!window)
        return PDERR_NOHWND;
    g_window = window;
    if (!exclusive && g_exclusive && g_modeSet) {
        qh_fullscreen(0);
        g_modeSet = false;
    }
    g_exclusive = exclusive;
    return PD_OK;
}

int32_t platDisplaySetMode(int width, int height, int bpp)
{
    if (!g_created)
        return PDERR_NOTINITIALIZED;
    if (!g_window)
        return PDERR_NOCOOPERATIVELEVELSET;
    if (!g_exclusive)
        return PDERR_NOEXCLUSIVEMODE;
    bool listed = false;
    for (const PlatDisplayMode& m : kModes)
        listed = listed || (m.width == width && m.height == height && m.bpp == bpp);
    if (!listed)
        return PDERR_INVALIDMODE;
    g_modeWidth = width;
    g_modeHeight = height;
    g_modeSet = true;
    qh_fullscreen(1);
    return PD_OK;
}

int32_t platDisplayRestoreMode()
{
    if (!g_created)
        return PDERR_NOTINITIALIZED;
    if (g_modeSet)
        qh_fullscreen(0);
    g_modeSet = false;
    return PD_OK;
}

int32_t platDisplayCreatePrimary(bool flipChain, PlatSurface** primary)
{
    if (!g_created)
        return PDERR_NOTINITIALIZED;
    if (!primary)
        return PDERR_INVALIDPARAMS;
    *primary = nullptr;
    if (!g_window)
        return PDERR_NOCOOPERATIVELEVELSET;
    if (platSurfacePrimary())
        return PDERR_PRIMARYSURFACEALREADYEXISTS;
    if (flipChain && !g_exclusive)
        return PDERR_NOEXCLUSIVEMODE;
    int w, h;
    if (g_exclusive && g_modeSet) {
        w = g_modeWidth;
        h = g_modeHeight;
    } else {
        platGetClientRect(g_window, nullptr, nullptr, &w, &h);
    }
    if (w <= 0 || h <= 0)
        return PDERR_INVALIDPARAMS;
    PlatSurface* p = platSurfaceNew(PlatSurface::PRIMARY, w, h, 32);
    if (flipChain)
        p->back = platSurfaceNew(PlatSurface::BACK, w, h, 32);
    *primary = p;
    return PD_OK;
}

int32_t platDisplayCreateOffscreen(int width, int height, PlatSurface** surface)
{
    if (!g_created)
        return PDERR_NOTINITIALIZED;
    if (!surface || width <= 0 || height <= 0 || width > 16384 || height > 16384)
        return PDERR_INVALIDPARAMS;
    *surface = platSurfaceNew(PlatSurface::OFFSCREEN, width, height, 32);
    return PD_OK;
}

int32_t platDisplayCreateClipper(PlatClipper** clipper)
{
    if (!g_created)
        return PDERR_NOTINITIALIZED;
    if (!clipper)
        return PDERR_INVALIDPARAMS;
    *clipper = new PlatClipper();
    return PD_OK;
}

// A page's canvas is never taken away: nothing is ever lost for long.
int32_t platSurfaceRestore(PlatSurface* surface)
{
    if (!platSurfaceKnown(surface))
        return PDERR_INVALIDPARAMS;
    surface->lost = false;
    if (surface->back)
        surface->back->lost = false;
    return PD_OK;
}

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

void platDisplaySetModeList(const PlatDisplayMode*, int) {}
