// The SDL presentation of the display: full-screen or a window, a renderer
// and a streaming texture that shows the primary surface, focus and
// minimising that make the surfaces lost.
#include "PlatDisplay.h"

#include <algorithm>
#include <cstdlib>

#include "PlatDisplayModes.h"
#include "PlatSdl.h"
#include "PlatSurface.h"

namespace {

bool g_created = false;
PlatWindow* g_window = nullptr;
bool g_exclusive = false;
bool g_modeSet = false;
int g_modeWidth = 0, g_modeHeight = 0, g_modeBpp = 0;
bool g_steppedAside = false; // a dialog box took the display from full-screen
bool g_focused = true;       // a new window starts in the foreground
bool g_minimized = false;
bool g_watching = false;
bool g_shutdownHooked = false;
bool g_unseen = false; // presents only keep the primary's pixels
SDL_Renderer* g_renderer = nullptr;
SDL_Texture* g_texture = nullptr;
Uint32 g_textureFormat = SDL_PIXELFORMAT_UNKNOWN;
int g_textureWidth = 0, g_textureHeight = 0;

SDL_Window* sdlWindow() { return g_window ? platSdlWindow(g_window) : nullptr; }

int desktopDepth()
{
    SDL_DisplayMode m;
    if (SDL_GetDesktopDisplayMode(0, &m) == 0) {
        int d = SDL_BYTESPERPIXEL(m.format) * 8;
        if (d == 16 || d == 24 || d == 32)
            return d;
    }
    return 32;
}

int currentDepth()
{
    if (g_exclusive && g_modeSet)
        return g_modeBpp;
    if (int d = platDisplayForcedDepth())
        return d;
    return desktopDepth();
}

Uint32 sdlFormatOf(const PlatPixelFormat& f)
{
    return SDL_MasksToPixelFormatEnum(f.bits, f.red, f.green, f.blue, f.alpha);
}

bool ownsDisplay() { return !g_minimized && (!g_exclusive || g_focused || g_steppedAside); }

int SDLCALL watchWindow(void*, SDL_Event* e)
{
    SDL_Window* w = sdlWindow();
    if (e->type != SDL_WINDOWEVENT || !w || e->window.windowID != SDL_GetWindowID(w))
        return 0;
    switch (e->window.event) {
    case SDL_WINDOWEVENT_FOCUS_LOST:
        g_focused = false;
        if (g_exclusive && g_modeSet)
            platSurfaceLoseAll();
        break;
    case SDL_WINDOWEVENT_FOCUS_GAINED: g_focused = true; break;
    case SDL_WINDOWEVENT_MINIMIZED:
        g_minimized = true;
        platSurfaceLoseAll();
        break;
    case SDL_WINDOWEVENT_RESTORED:
    case SDL_WINDOWEVENT_MAXIMIZED: g_minimized = false; break;
    default: break;
    }
    return 0;
}

void enterFullscreen()
{
    SDL_Window* w = sdlWindow();
    if (!w)
        return;
    SDL_DisplayMode want{}, got{};
    want.w = g_modeWidth;
    want.h = g_modeHeight;
    // A real mode of the picture's size is used as it is; otherwise the
    // picture is shown centred on the desktop's own mode.
    bool real = !platDisplayModesReplaced() && SDL_GetClosestDisplayMode(0, &want, &got) &&
                got.w == g_modeWidth && got.h == g_modeHeight;
    if (real && SDL_SetWindowDisplayMode(w, &got) == 0 && SDL_SetWindowFullscreen(w, SDL_WINDOW_FULLSCREEN) == 0)
        return;
    SDL_SetWindowFullscreen(w, SDL_WINDOW_FULLSCREEN_DESKTOP);
}

void leaveFullscreen()
{
    if (SDL_Window* w = sdlWindow())
        if (SDL_GetWindowFlags(w) & SDL_WINDOW_FULLSCREEN)
            SDL_SetWindowFullscreen(w, 0);
}

void stepAside()
{
    if (g_exclusive && g_modeSet && !g_steppedAside) {
        leaveFullscreen();
        g_steppedAside = true;
        platSurfaceLoseAll();
    }
}

void destroyRenderer()
{
    if (g_texture)
        SDL_DestroyTexture(g_texture);
    g_texture = nullptr;
    g_textureFormat = SDL_PIXELFORMAT_UNKNOWN;
    if (g_renderer)
        SDL_DestroyRenderer(g_renderer);
    g_renderer = nullptr;
}

void shutdownHook()
{
    g_shutdownHooked = false;
    platDisplayRelease();
}

bool ensureRenderer()
{
    SDL_Window* w = sdlWindow();
    if (!w)
        return false;
    if (g_renderer && SDL_RenderGetWindow(g_renderer) == w)
        return true;
    destroyRenderer();
    g_renderer = SDL_CreateRenderer(w, -1, 0);
    if (!g_renderer)
        g_renderer = SDL_CreateRenderer(w, -1, SDL_RENDERER_SOFTWARE);
    return g_renderer != nullptr;
}

bool ensureTexture(Uint32 format, int width, int height)
{
    if (!ensureRenderer())
        return false;
    if (g_texture && g_textureFormat == format && g_textureWidth == width && g_textureHeight == height)
        return true;
    if (g_texture)
        SDL_DestroyTexture(g_texture);
    // Whole pixels on any monitor: the picture is only ever scaled by the
    // same factor both ways.
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
    g_texture = SDL_CreateTexture(g_renderer, format, SDL_TEXTUREACCESS_STREAMING, width, height);
    if (!g_texture)
        return false;
    g_textureFormat = format;
    g_textureWidth = width;
    g_textureHeight = height;
    return true;
}

SDL_Rect pictureRect()
{
    int ow = g_textureWidth, oh = g_textureHeight;
    if (g_renderer)
        SDL_GetRendererOutputSize(g_renderer, &ow, &oh);
    if (!(g_exclusive && g_modeSet && !g_steppedAside) || g_textureWidth <= 0 || g_textureHeight <= 0)
        return SDL_Rect{0, 0, g_textureWidth, g_textureHeight};
    // Centred, as large as fits, the same scale both ways (4:3 kept).
    double scale = std::min((double)ow / g_textureWidth, (double)oh / g_textureHeight);
    int w = (int)(g_textureWidth * scale), h = (int)(g_textureHeight * scale);
    return SDL_Rect{(ow - w) / 2, (oh - h) / 2, w, h};
}

// Shows a changed rectangle of the primary.
void showPrimary(PlatSurface* p, int x, int y, int w, int h)
{
    if (g_unseen)
        return;
    if (w <= 0 || h <= 0 || !ensureTexture(sdlFormatOf(p->pf), p->width, p->height))
        return;
    SDL_Rect r{x, y, w, h};
    SDL_UpdateTexture(g_texture, &r, p->pixels.data() + (size_t)y * p->pitch + (size_t)x * p->bytes, p->pitch);
    SDL_Rect dst = pictureRect();
    SDL_SetRenderDrawColor(g_renderer, 0, 0, 0, 255);
    SDL_RenderClear(g_renderer);
    SDL_RenderCopy(g_renderer, g_texture, nullptr, &dst);
    SDL_RenderPresent(g_renderer);
}

// The windowed primary is the client area, addressed in screen coordinates.
void primaryOrigin(int* x, int* y)
{
    *x = *y = 0;
    if (!g_exclusive)
        platGetClientRect(g_window, x, y, nullptr, nullptr);
}

} // namespace

int32_t platDisplayCreate()
{
    if (!platInit())
        return PDERR_GENERIC;
    if (!g_watching) {
        SDL_AddEventWatch(watchWindow, nullptr);
        g_watching = true;
    }
    if (!g_shutdownHooked) {
        platAddShutdownHook(shutdownHook);
        platSetLeaveFullscreenHook(stepAside);
        g_shutdownHooked = true;
    }
    g_platSurfaceHooks = PlatSurfaceHooks{showPrimary, primaryOrigin};
    g_created = true;
    return PD_OK;
}

void platDisplayRelease()
{
    platSurfaceReleaseAll();
    if (g_exclusive || g_modeSet)
        leaveFullscreen();
    destroyRenderer();
    if (g_watching) {
        SDL_DelEventWatch(watchWindow, nullptr);
        g_watching = false;
    }
    g_window = nullptr;
    g_exclusive = g_modeSet = g_steppedAside = g_minimized = false;
    g_focused = true;
    g_created = false;
}

int32_t platDisplayEnumModes(bool (*callback)(const PlatDisplayMode&, void*), void* context)
{
    if (!g_created)
        return PDERR_NOTINITIALIZED;
    if (!callback)
        return PDERR_INVALIDPARAMS;
    for (const PlatDisplayMode& m : platDisplayModeList())
        if (!callback(m, context))
            break;
    return PD_OK;
}

int32_t platDisplaySetCooperativeLevel(PlatWindow* window, bool exclusive)
{
    if (!g_created)
        return PDERR_NOTINITIALIZED;
    if (!window || !platSdlWindow(window))
        return PDERR_NOHWND;
    g_window = window;
    if (!ensureRenderer())
        return PDERR_GENERIC;
    if (!exclusive && g_exclusive) {
        leaveFullscreen();
        g_modeSet = false;
    }
    g_exclusive = exclusive;
    g_steppedAside = false;
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
    if (!platDisplayModeListed(width, height, bpp))
        return PDERR_INVALIDMODE;
    g_modeWidth = width;
    g_modeHeight = height;
    g_modeBpp = bpp;
    g_modeSet = true;
    g_steppedAside = false;
    enterFullscreen();
    return PD_OK;
}

int32_t platDisplayRestoreMode()
{
    if (!g_created)
        return PDERR_NOTINITIALIZED;
    if (g_modeSet)
        leaveFullscreen();
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
    int bpp = currentDepth();
    PlatSurface* p = platSurfaceNew(PlatSurface::PRIMARY, w, h, bpp);
    if (!ensureTexture(sdlFormatOf(p->pf), w, h)) {
        platSurfaceRelease(p);
        return PDERR_OUTOFMEMORY;
    }
    if (flipChain)
        p->back = platSurfaceNew(PlatSurface::BACK, w, h, bpp);
    *primary = p;
    return PD_OK;
}

int32_t platDisplayCreateOffscreen(int width, int height, PlatSurface** surface)
{
    if (!g_created)
        return PDERR_NOTINITIALIZED;
    if (!surface || width <= 0 || height <= 0 || width > 16384 || height > 16384)
        return PDERR_INVALIDPARAMS;
    *surface = platSurfaceNew(PlatSurface::OFFSCREEN, width, height, currentDepth());
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

int32_t platSurfaceRestore(PlatSurface* surface)
{
    if (!platSurfaceKnown(surface))
        return PDERR_INVALIDPARAMS;
    if (!surface->lost)
        return PD_OK;
    if (!ownsDisplay())
        return g_minimized ? PDERR_WRONGMODE : PDERR_NOEXCLUSIVEMODE;
    if (surface->kind == PlatSurface::PRIMARY && g_steppedAside) {
        g_steppedAside = false;
        enterFullscreen();
    }
    surface->lost = false;
    if (surface->back)
        surface->back->lost = false;
    return PD_OK;
}

void platDisplaySetUnseen(bool unseen) { g_unseen = unseen; }

bool platDisplayReadPrimary(uint32_t* pixels, int width, int height)
{
    PlatSurface* p = platSurfacePrimary();
    if (!p || !pixels || width != p->width || height != p->height)
        return false;
    if (SDL_ConvertPixels(width, height, sdlFormatOf(p->pf), p->pixels.data(), p->pitch, SDL_PIXELFORMAT_RGB888,
                          pixels, width * 4) != 0)
        return false;
    for (int i = 0; i < width * height; i++)
        pixels[i] &= 0xffffff;
    return true;
}

void platDisplayOutputSize(int* width, int* height)
{
    int w = 0, h = 0;
    if (g_renderer)
        SDL_GetRendererOutputSize(g_renderer, &w, &h);
    if (width) *width = w;
    if (height) *height = h;
}

PlatRect platDisplayPictureRect()
{
    SDL_Rect r = pictureRect();
    return PlatRect{r.x, r.y, r.x + r.w, r.y + r.h};
}
