// The SDL presentation of the display: full-screen or a window, the primary
// surface scaled into the window's own surface (the window system's shared
// memory on X11, no GL), focus and minimising that make the surfaces lost.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/internal/PlatDisplayBackend.h"
#include "platform/sdl/PlatSdl.h"

namespace {

PlatDisplayState& g = g_platDisplay;
bool g_watching = false;
bool g_unseen = false; // presents only keep the primary's pixels
// The window's surface needs painting whole, the black around the picture
// included: it is new, resized, or was covered.
bool g_paintAll = true;
SDL_Surface* g_painted = nullptr; // the window surface last painted
SDL_Surface* g_source = nullptr;  // the primary's pixels as SDL sees them
SDL_Surface* g_staging = nullptr; // the primary in the window's format, when the two differ
// For each column and row of the picture's place in the window, the picture
// column and row it shows; made anew when the place changes size.
std::vector<int> g_columns, g_rows;
int g_scaledFromWidth = 0, g_scaledFromHeight = 0;

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
    case SDL_WINDOWEVENT_MAXIMIZED: g.minimized = false; g_paintAll = true; break;
    case SDL_WINDOWEVENT_SHOWN:
    case SDL_WINDOWEVENT_EXPOSED:
    case SDL_WINDOWEVENT_SIZE_CHANGED: g_paintAll = true; break;
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

void freeSurfaces()
{
    SDL_FreeSurface(g_source);
    SDL_FreeSurface(g_staging);
    g_source = g_staging = nullptr;
    g_painted = nullptr;
}

// The primary's pixels wrapped for SDL's blits (a flip moves them, so the
// address is taken anew every time).
SDL_Surface* sourceOf(PlatSurface* p)
{
    Uint32 format = sdlFormatOf(p->pf);
    if (!g_source || g_source->w != p->width || g_source->h != p->height || g_source->pitch != p->pitch ||
        g_source->format->format != format) {
        SDL_FreeSurface(g_source);
        g_source = SDL_CreateRGBSurfaceWithFormatFrom(p->pixels.data(), p->width, p->height, p->bytes * 8, p->pitch,
                                                      format);
        if (!g_source)
            return nullptr;
    }
    g_source->pixels = p->pixels.data();
    return g_source;
}

// Where the picture goes in an output of the given size.
SDL_Rect pictureRect(int pictureWidth, int pictureHeight, int outputWidth, int outputHeight)
{
    PlatBox b = platFitPicture(pictureWidth, pictureHeight, outputWidth, outputHeight);
    return SDL_Rect{b.x, b.y, b.width, b.height};
}

// Nearest-pixel scaling of 32-bit pixels into dst of out: each picture row is
// spread through the column table into the first window row that shows it,
// and the window rows that repeat it are copies of that one.
void scale32(const SDL_Surface* src, SDL_Surface* out, const SDL_Rect& dst)
{
    if ((int)g_columns.size() != dst.w || (int)g_rows.size() != dst.h || g_scaledFromWidth != src->w ||
        g_scaledFromHeight != src->h) {
        g_columns.resize((size_t)dst.w);
        g_rows.resize((size_t)dst.h);
        // The picture pixel under each window pixel's centre.
        for (int x = 0; x < dst.w; x++)
            g_columns[(size_t)x] = (int)((2 * (int64_t)x + 1) * src->w / (2 * (int64_t)dst.w));
        for (int y = 0; y < dst.h; y++)
            g_rows[(size_t)y] = (int)((2 * (int64_t)y + 1) * src->h / (2 * (int64_t)dst.h));
        g_scaledFromWidth = src->w;
        g_scaledFromHeight = src->h;
    }
    const int* columns = g_columns.data();
    const uint32_t* previous = nullptr;
    int previousRow = -1;
    for (int y = 0; y < dst.h; y++) {
        uint32_t* o = (uint32_t*)((uint8_t*)out->pixels + (size_t)(dst.y + y) * out->pitch) + dst.x;
        int row = g_rows[(size_t)y];
        if (row == previousRow) {
            memcpy(o, previous, (size_t)dst.w * 4);
        } else {
            const uint32_t* in = (const uint32_t*)((const uint8_t*)src->pixels + (size_t)row * src->pitch);
            for (int x = 0; x < dst.w; x++)
                o[x] = in[columns[x]];
        }
        previous = o;
        previousRow = row;
    }
}

// Shows a changed rectangle of the primary: at its own size the rectangle is
// copied, otherwise the whole picture is scaled (nearest pixel) into place.
void showPrimary(PlatSurface* p, int x, int y, int w, int h)
{
    SDL_Window* window = sdlWindow();
    SDL_Surface* out = !g_unseen && window ? SDL_GetWindowSurface(window) : nullptr;
    SDL_Surface* src = out ? sourceOf(p) : nullptr;
    if (!src) {
        // What the staging copy holds is no longer the primary's picture.
        SDL_FreeSurface(g_staging);
        g_staging = nullptr;
        return;
    }
    if (w <= 0 || h <= 0)
        return;
    if (src->format->format != out->format->format) {
        // Scaling copies pixels as they are: the primary goes through a copy
        // in the window's format first.
        if (!g_staging || g_staging->w != p->width || g_staging->h != p->height ||
            g_staging->format->format != out->format->format) {
            SDL_FreeSurface(g_staging);
            g_staging = SDL_CreateRGBSurfaceWithFormat(0, p->width, p->height, out->format->BitsPerPixel,
                                                       out->format->format);
            if (!g_staging)
                return;
            x = y = 0;
            w = p->width;
            h = p->height;
        }
        SDL_Rect changed{x, y, w, h};
        SDL_Rect at = changed;
        SDL_BlitSurface(src, &changed, g_staging, &at);
        src = g_staging;
    }
    SDL_Rect dst = pictureRect(p->width, p->height, out->w, out->h);
    if (g_paintAll || out != g_painted) {
        SDL_FillRect(out, nullptr, SDL_MapRGB(out->format, 0, 0, 0));
        x = y = 0;
        w = p->width;
        h = p->height;
    }
    SDL_Rect shown;
    if (dst.w == p->width && dst.h == p->height) {
        SDL_Rect changed{x, y, w, h};
        shown = SDL_Rect{dst.x + x, dst.y + y, w, h};
        SDL_Rect at = shown;
        SDL_BlitSurface(src, &changed, out, &at);
    } else {
        shown = dst;
        if (out->format->BytesPerPixel == 4 && !SDL_MUSTLOCK(out)) {
            scale32(src, out, dst);
        } else {
            SDL_Rect at = dst;
            SDL_BlitScaled(src, nullptr, out, &at);
        }
    }
    if (g_paintAll || out != g_painted)
        SDL_UpdateWindowSurface(window);
    else
        SDL_UpdateWindowSurfaceRects(window, &shown, 1);
    g_paintAll = false;
    g_painted = out;
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
    freeSurfaces();
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
    g_paintAll = true;
    return PD_OK;
}

void platDisplayBackendFullscreen(bool on)
{
    if (on)
        enterFullscreen();
    else
        leaveFullscreen();
}

int platDisplayBackendDepth() { return desktopDepth(); }

bool platDisplayBackendPrepare(PlatSurface*)
{
    SDL_FreeSurface(g_staging);
    g_staging = nullptr;
    g_paintAll = true;
    return true;
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
    if (SDL_Window* window = sdlWindow())
        SDL_GetWindowSizeInPixels(window, &w, &h);
    if (width) *width = w;
    if (height) *height = h;
}

PlatRect platDisplayPictureRect()
{
    PlatSurface* p = platSurfacePrimary();
    int w, h;
    platDisplayOutputSize(&w, &h);
    SDL_Rect r = p ? pictureRect(p->width, p->height, w, h) : SDL_Rect{0, 0, 0, 0};
    return PlatRect{r.x, r.y, r.x + r.w, r.y + r.h};
}
