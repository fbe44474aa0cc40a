#include "PlatDisplay.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "PlatSdl.h"

struct PlatClipper {
    PlatWindow* window = nullptr;
    int references = 1;
};

struct PlatSurface {
    enum Kind { PRIMARY, BACK, OFFSCREEN } kind;
    int width = 0, height = 0, pitch = 0, bytes = 0;
    Uint32 format = SDL_PIXELFORMAT_UNKNOWN;
    PlatPixelFormat pf{};
    std::vector<uint8_t> pixels;
    bool lost = false;
    bool locked = false;
    PlatSurface* back = nullptr; // a primary's flip target
    PlatClipper* clipper = nullptr;
};

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
SDL_Renderer* g_renderer = nullptr;
SDL_Texture* g_texture = nullptr;
Uint32 g_textureFormat = SDL_PIXELFORMAT_UNKNOWN;
int g_textureWidth = 0, g_textureHeight = 0;
PlatSurface* g_primary = nullptr;
std::vector<PlatSurface*> g_surfaces;
bool g_useModeList = false;
std::vector<PlatDisplayMode> g_modeList;

SDL_Window* sdlWindow() { return g_window ? platSdlWindow(g_window) : nullptr; }

int forcedDepth()
{
    const char* v = getenv("QH_DISPLAY_DEPTH");
    if (!v)
        return 0;
    int d = atoi(v);
    return d == 16 || d == 24 || d == 32 ? d : 0;
}

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
    if (int d = forcedDepth())
        return d;
    return desktopDepth();
}

PlatPixelFormat pixelFormatOf(int bpp)
{
    if (bpp == 16)
        return PlatPixelFormat{0xf800, 0x7e0, 0x1f, 0, 16};
    return PlatPixelFormat{0xff0000, 0xff00, 0xff, 0, bpp};
}

Uint32 sdlFormatOf(const PlatPixelFormat& f)
{
    return SDL_MasksToPixelFormatEnum(f.bits, f.red, f.green, f.blue, f.alpha);
}

void addMode(std::vector<PlatDisplayMode>& list, int w, int h, int bpp)
{
    for (const PlatDisplayMode& m : list)
        if (m.width == w && m.height == h && m.bpp == bpp)
            return;
    list.push_back(PlatDisplayMode{w, h, bpp});
}

bool parseModes(const char* text, std::vector<PlatDisplayMode>& list)
{
    if (!strcmp(text, "none"))
        return true;
    const char* p = text;
    while (*p) {
        int w, h, b, n = 0;
        if (sscanf(p, "%dx%dx%d%n", &w, &h, &b, &n) != 3 || w <= 0 || h <= 0)
            return false;
        list.push_back(PlatDisplayMode{w, h, b});
        p += n;
        if (*p == ',')
            p++;
    }
    return true;
}

std::vector<PlatDisplayMode> modeList()
{
    if (g_useModeList)
        return g_modeList;
    std::vector<PlatDisplayMode> list;
    if (const char* env = getenv("QH_DISPLAY_MODES")) {
        if (parseModes(env, list))
            return list;
        list.clear();
    }
    int forced = forcedDepth();
    int n = SDL_GetNumDisplayModes(0);
    for (int i = 0; i < n; i++) {
        SDL_DisplayMode m;
        if (SDL_GetDisplayMode(0, i, &m) != 0)
            continue;
        // SDL calls its 32-bit XRGB format 24 bits; the list counts bytes.
        addMode(list, m.w, m.h, forced ? forced : SDL_BYTESPERPIXEL(m.format) * 8);
    }
    bool has640 = false;
    for (const PlatDisplayMode& m : list)
        has640 = has640 || (m.width == 640 && m.height == 480);
    if (!has640) {
        if (forced)
            addMode(list, 640, 480, forced);
        else
            for (int bpp : {16, 24, 32})
                addMode(list, 640, 480, bpp);
    }
    return list;
}

bool inModeList(int w, int h, int bpp)
{
    for (const PlatDisplayMode& m : modeList())
        if (m.width == w && m.height == h && m.bpp == bpp)
            return true;
    return false;
}

bool ownsDisplay() { return !g_minimized && (!g_exclusive || g_focused || g_steppedAside); }

void loseAll()
{
    for (PlatSurface* s : g_surfaces)
        s->lost = true;
}

int SDLCALL watchWindow(void*, SDL_Event* e)
{
    SDL_Window* w = sdlWindow();
    if (e->type != SDL_WINDOWEVENT || !w || e->window.windowID != SDL_GetWindowID(w))
        return 0;
    switch (e->window.event) {
    case SDL_WINDOWEVENT_FOCUS_LOST:
        g_focused = false;
        if (g_exclusive && g_modeSet)
            loseAll();
        break;
    case SDL_WINDOWEVENT_FOCUS_GAINED: g_focused = true; break;
    case SDL_WINDOWEVENT_MINIMIZED:
        g_minimized = true;
        loseAll();
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
    bool real = !g_useModeList && !getenv("QH_DISPLAY_MODES") && SDL_GetClosestDisplayMode(0, &want, &got) &&
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
        loseAll();
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

PlatSurface* newSurface(PlatSurface::Kind kind, int width, int height)
{
    PlatPixelFormat pf = pixelFormatOf(currentDepth());
    PlatSurface* s = new PlatSurface();
    s->kind = kind;
    s->width = width;
    s->height = height;
    s->pf = pf;
    s->format = sdlFormatOf(pf);
    s->bytes = pf.bits / 8;
    s->pitch = (width * s->bytes + 3) & ~3;
    s->pixels.assign((size_t)s->pitch * height, 0);
    g_surfaces.push_back(s);
    return s;
}

bool known(PlatSurface* s) { return s && std::find(g_surfaces.begin(), g_surfaces.end(), s) != g_surfaces.end(); }

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

void render()
{
    if (!g_renderer || !g_texture)
        return;
    SDL_Rect dst = pictureRect();
    SDL_SetRenderDrawColor(g_renderer, 0, 0, 0, 255);
    SDL_RenderClear(g_renderer);
    SDL_RenderCopy(g_renderer, g_texture, nullptr, &dst);
}

// Shows a changed rectangle of the primary.
void showPrimary(int x, int y, int w, int h)
{
    PlatSurface* p = g_primary;
    if (!p || w <= 0 || h <= 0 || !ensureTexture(p->format, p->width, p->height))
        return;
    SDL_Rect r{x, y, w, h};
    SDL_UpdateTexture(g_texture, &r, p->pixels.data() + (size_t)y * p->pitch + (size_t)x * p->bytes, p->pitch);
    render();
    SDL_RenderPresent(g_renderer);
}

// Copies w x h pixels between surfaces of the same pixel size, clipped to
// both; returns the destination rectangle actually written.
SDL_Rect copyRect(PlatSurface* dst, int dx, int dy, PlatSurface* src, int sx, int sy, int w, int h)
{
    if (dx < 0) { sx -= dx; w += dx; dx = 0; }
    if (dy < 0) { sy -= dy; h += dy; dy = 0; }
    if (sx < 0) { dx -= sx; w += sx; sx = 0; }
    if (sy < 0) { dy -= sy; h += sy; sy = 0; }
    w = std::min({w, dst->width - dx, src->width - sx});
    h = std::min({h, dst->height - dy, src->height - sy});
    if (w <= 0 || h <= 0)
        return SDL_Rect{0, 0, 0, 0};
    size_t row = (size_t)w * dst->bytes;
    for (int y = 0; y < h; y++)
        memcpy(dst->pixels.data() + (size_t)(dy + y) * dst->pitch + (size_t)dx * dst->bytes,
               src->pixels.data() + (size_t)(sy + y) * src->pitch + (size_t)sx * src->bytes, row);
    return SDL_Rect{dx, dy, w, h};
}

int32_t blitChecks(PlatSurface* dst, PlatSurface* src)
{
    if (!known(dst) || !known(src))
        return PDERR_INVALIDPARAMS;
    if (dst->lost || src->lost)
        return PDERR_SURFACELOST;
    if (dst->locked || src->locked)
        return PDERR_SURFACEBUSY;
    if (dst->bytes != src->bytes)
        return PDERR_INVALIDPARAMS;
    return PD_OK;
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
    g_created = true;
    return PD_OK;
}

void platDisplayRelease()
{
    for (PlatSurface* s : g_surfaces) {
        platClipperRelease(s->clipper);
        delete s;
    }
    g_surfaces.clear();
    g_primary = nullptr;
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

bool platDisplayExists() { return g_created; }

int32_t platDisplayEnumModes(bool (*callback)(const PlatDisplayMode&, void*), void* context)
{
    if (!g_created)
        return PDERR_NOTINITIALIZED;
    if (!callback)
        return PDERR_INVALIDPARAMS;
    for (const PlatDisplayMode& m : modeList())
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
    if (!inModeList(width, height, bpp))
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
    if (g_primary)
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
    PlatSurface* p = newSurface(PlatSurface::PRIMARY, w, h);
    if (!ensureTexture(p->format, w, h)) {
        platSurfaceRelease(p);
        return PDERR_OUTOFMEMORY;
    }
    if (flipChain)
        p->back = newSurface(PlatSurface::BACK, w, h);
    g_primary = p;
    *primary = p;
    return PD_OK;
}

int32_t platDisplayGetBackBuffer(PlatSurface* primary, PlatSurface** back)
{
    if (!known(primary) || !back)
        return PDERR_INVALIDPARAMS;
    *back = primary->back;
    return primary->back ? PD_OK : PDERR_NOTFOUND;
}

int32_t platDisplayCreateOffscreen(int width, int height, PlatSurface** surface)
{
    if (!g_created)
        return PDERR_NOTINITIALIZED;
    if (!surface || width <= 0 || height <= 0 || width > 16384 || height > 16384)
        return PDERR_INVALIDPARAMS;
    *surface = newSurface(PlatSurface::OFFSCREEN, width, height);
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

int32_t platClipperSetWindow(PlatClipper* clipper, PlatWindow* window)
{
    if (!clipper || !window)
        return PDERR_INVALIDPARAMS;
    clipper->window = window;
    return PD_OK;
}

int32_t platSurfaceSetClipper(PlatSurface* primary, PlatClipper* clipper)
{
    if (!known(primary) || primary->kind != PlatSurface::PRIMARY || !clipper)
        return PDERR_INVALIDPARAMS;
    if (!clipper->window)
        return PDERR_NOHWND;
    clipper->references++;
    platClipperRelease(primary->clipper);
    primary->clipper = clipper;
    return PD_OK;
}

void platClipperRelease(PlatClipper* clipper)
{
    if (clipper && --clipper->references == 0)
        delete clipper;
}

void platSurfaceRelease(PlatSurface* surface)
{
    if (!known(surface))
        return;
    if (surface->back)
        platSurfaceRelease(surface->back);
    for (PlatSurface* s : g_surfaces)
        if (s->back == surface)
            s->back = nullptr;
    g_surfaces.erase(std::find(g_surfaces.begin(), g_surfaces.end(), surface));
    if (g_primary == surface)
        g_primary = nullptr;
    platClipperRelease(surface->clipper);
    delete surface;
}

int32_t platSurfaceGetSize(PlatSurface* surface, int* width, int* height, int* pitch)
{
    if (!known(surface))
        return PDERR_INVALIDPARAMS;
    if (width) *width = surface->width;
    if (height) *height = surface->height;
    if (pitch) *pitch = surface->pitch;
    return PD_OK;
}

int32_t platSurfaceGetPixelFormat(PlatSurface* surface, PlatPixelFormat* format)
{
    if (!known(surface) || !format)
        return PDERR_INVALIDPARAMS;
    *format = surface->pf;
    return PD_OK;
}

bool platSurfaceIsLost(PlatSurface* surface) { return known(surface) && surface->lost; }

int32_t platSurfaceRestore(PlatSurface* surface)
{
    if (!known(surface))
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

int32_t platSurfaceLock(PlatSurface* surface, void** pixels, int* pitch)
{
    if (!known(surface) || !pixels || !pitch)
        return PDERR_INVALIDPARAMS;
    if (surface->lost)
        return PDERR_SURFACELOST;
    if (surface->locked)
        return PDERR_SURFACEBUSY;
    surface->locked = true;
    *pixels = surface->pixels.data();
    *pitch = surface->pitch;
    return PD_OK;
}

int32_t platSurfaceUnlock(PlatSurface* surface)
{
    if (!known(surface))
        return PDERR_INVALIDPARAMS;
    if (!surface->locked)
        return PDERR_NOTLOCKED;
    surface->locked = false;
    if (surface == g_primary)
        showPrimary(0, 0, surface->width, surface->height);
    return PD_OK;
}

int32_t platSurfaceFlip(PlatSurface* primary)
{
    if (!known(primary) || primary->kind != PlatSurface::PRIMARY)
        return PDERR_INVALIDPARAMS;
    if (!primary->back)
        return PDERR_NOFLIPHW;
    if (int32_t r = blitChecks(primary, primary->back))
        return r;
    primary->pixels.swap(primary->back->pixels);
    showPrimary(0, 0, primary->width, primary->height);
    return PD_OK;
}

int32_t platSurfaceBltFast(PlatSurface* dst, int x, int y, PlatSurface* src, const PlatRect* srcRect)
{
    if (int32_t r = blitChecks(dst, src))
        return r;
    PlatRect s = srcRect ? *srcRect : PlatRect{0, 0, src->width, src->height};
    int w = s.right - s.left, h = s.bottom - s.top;
    // BltFast never clips: every rectangle must lie inside its surface.
    if (w <= 0 || h <= 0 || s.left < 0 || s.top < 0 || s.right > src->width || s.bottom > src->height || x < 0 ||
        y < 0 || x + w > dst->width || y + h > dst->height)
        return PDERR_INVALIDRECT;
    SDL_Rect done = copyRect(dst, x, y, src, s.left, s.top, w, h);
    if (dst == g_primary)
        showPrimary(done.x, done.y, done.w, done.h);
    return PD_OK;
}

int32_t platSurfaceBlt(PlatSurface* dst, const PlatRect* dstRect, PlatSurface* src, const PlatRect* srcRect)
{
    if (int32_t r = blitChecks(dst, src))
        return r;
    PlatRect s = srcRect ? *srcRect : PlatRect{0, 0, src->width, src->height};
    PlatRect d = dstRect ? *dstRect : PlatRect{0, 0, dst->width, dst->height};
    if (s.right <= s.left || s.bottom <= s.top || d.right <= d.left || d.bottom <= d.top)
        return PDERR_INVALIDRECT;
    if (dst->kind == PlatSurface::PRIMARY && !g_exclusive && dstRect) {
        // The windowed primary is the client area, addressed in screen
        // coordinates; blits are cut to it whether or not a clipper is set.
        int cx, cy;
        platGetClientRect(g_window, &cx, &cy, nullptr, nullptr);
        d.left -= cx;
        d.right -= cx;
        d.top -= cy;
        d.bottom -= cy;
    }
    int w = std::min(s.right - s.left, d.right - d.left), h = std::min(s.bottom - s.top, d.bottom - d.top);
    SDL_Rect done = copyRect(dst, d.left, d.top, src, s.left, s.top, w, h);
    if (dst == g_primary)
        showPrimary(done.x, done.y, done.w, done.h);
    return PD_OK;
}

void platDisplaySetModeList(const PlatDisplayMode* modes, int count)
{
    g_useModeList = count >= 0;
    g_modeList.clear();
    for (int i = 0; i < count; i++)
        g_modeList.push_back(modes[i]);
}

bool platDisplayReadPrimary(uint32_t* pixels, int width, int height)
{
    PlatSurface* p = g_primary;
    if (!p || !pixels || width != p->width || height != p->height)
        return false;
    if (SDL_ConvertPixels(width, height, p->format, p->pixels.data(), p->pitch, SDL_PIXELFORMAT_RGB888, pixels,
                          width * 4) != 0)
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

bool platDisplayReadOutput(uint32_t* pixels, int width, int height)
{
    int w, h;
    platDisplayOutputSize(&w, &h);
    if (!g_renderer || !g_texture || !pixels || w != width || h != height)
        return false;
    render();
    bool ok = SDL_RenderReadPixels(g_renderer, nullptr, SDL_PIXELFORMAT_RGB888, pixels, width * 4) == 0;
    SDL_RenderPresent(g_renderer);
    for (int i = 0; ok && i < width * height; i++)
        pixels[i] &= 0xffffff;
    return ok;
}

PlatRect platDisplayPictureRect()
{
    SDL_Rect r = pictureRect();
    return PlatRect{r.x, r.y, r.x + r.w, r.y + r.h};
}
