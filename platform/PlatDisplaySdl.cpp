// The SDL presentation of the display: full-screen or a window, a renderer
// and a streaming texture that shows the primary surface, focus and
// minimising that make the surfaces lost.
#include <algorithm>
#include <cstdlib>

#include "PlatDisplayBackend.h"
#include "PlatSdl.h"

namespace {

PlatDisplayState& g = g_platDisplay;
bool g_watching = false;
bool g_unseen = false; // presents only keep the primary's pixels
SDL_Renderer* g_renderer = nullptr;
SDL_Texture* g_texture = nullptr;
Uint32 g_textureFormat = SDL_PIXELFORMAT_UNKNOWN;
int g_textureWidth = 0, g_textureHeight = 0;

SDL_Window* sdlWindow() { return g.window ? platSdlWindow(g.window) : nullptr; }

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

Uint32 sdlFormatOf(const PlatPixelFormat& f)
{
    return SDL_MasksToPixelFormatEnum(f.bits, f.red, f.green, f.blue, f.alpha);
}

int SDLCALL watchWindow(void*, SDL_Event* e)
{
    SDL_Window* w = sdlWindow();
    if (e->type != SDL_WINDOWEVENT || !w || e->window.windowID != SDL_GetWindowID(w))
        return 0;
    switch (e->window.event) {
    case SDL_WINDOWEVENT_FOCUS_LOST:
        g.focused = false;
        if (g.exclusive && g.modeSet)
            platSurfaceLoseAll();
        break;
    case SDL_WINDOWEVENT_FOCUS_GAINED: g.focused = true; break;
    case SDL_WINDOWEVENT_MINIMIZED:
        g.minimized = true;
        platSurfaceLoseAll();
        break;
    case SDL_WINDOWEVENT_RESTORED:
    case SDL_WINDOWEVENT_MAXIMIZED: g.minimized = false; break;
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
    want.w = g.modeWidth;
    want.h = g.modeHeight;
    // A real mode of the picture's size is used as it is; otherwise the
    // picture is shown centred on the desktop's own mode.
    bool real = !platDisplayModesReplaced() && SDL_GetClosestDisplayMode(0, &want, &got) &&
                got.w == g.modeWidth && got.h == g.modeHeight;
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
    if (g.exclusive && g.modeSet && !g.steppedAside) {
        leaveFullscreen();
        g.steppedAside = true;
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
    if (!(g.exclusive && g.modeSet && !g.steppedAside) || g_textureWidth <= 0 || g_textureHeight <= 0)
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
    if (!g.exclusive)
        platGetClientRect(g.window, x, y, nullptr, nullptr);
}

} // namespace

bool platDisplayBackendOpen()
{
    if (!g_watching) {
        SDL_AddEventWatch(watchWindow, nullptr);
        g_watching = true;
    }
    platSetLeaveFullscreenHook(stepAside);
    g_platSurfaceHooks = PlatSurfaceHooks{showPrimary, primaryOrigin};
    return true;
}

void platDisplayBackendClose()
{
    destroyRenderer();
    if (g_watching) {
        SDL_DelEventWatch(watchWindow, nullptr);
        g_watching = false;
    }
}

int32_t platDisplayBackendAttach(PlatWindow* window)
{
    if (!platSdlWindow(window))
        return PDERR_NOHWND;
    g.window = window;
    return ensureRenderer() ? PD_OK : PDERR_GENERIC;
}

void platDisplayBackendFullscreen(bool on)
{
    if (on)
        enterFullscreen();
    else
        leaveFullscreen();
}

int platDisplayBackendDepth() { return desktopDepth(); }

bool platDisplayBackendPrepare(PlatSurface* p) { return ensureTexture(sdlFormatOf(p->pf), p->width, p->height); }

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
