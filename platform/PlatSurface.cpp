#include "platform/internal/PlatSurface.h"

#include <algorithm>
#include <cstring>

PlatSurfaceHooks g_platSurfaceHooks = {nullptr, nullptr};

namespace {

std::vector<PlatSurface*> g_surfaces;
uint64_t g_changes = 0;

struct Rect {
    int x, y, w, h;
};

PlatPixelFormat pixelFormatOf(int bpp)
{
    if (bpp == 16)
        return PlatPixelFormat{0xf800, 0x7e0, 0x1f, 0, 16};
    return PlatPixelFormat{0xff0000, 0xff00, 0xff, 0, bpp};
}

void show(PlatSurface* s, const Rect& r)
{
    if (s->kind == PlatSurface::PRIMARY)
        g_changes++;
    if (s->kind == PlatSurface::PRIMARY && g_platSurfaceHooks.show)
        g_platSurfaceHooks.show(s, r.x, r.y, r.w, r.h);
}

// Copies w x h pixels between surfaces of the same pixel size, clipped to
// both; returns the destination rectangle actually written.
Rect copyRect(PlatSurface* dst, int dx, int dy, PlatSurface* src, int sx, int sy, int w, int h)
{
    if (dx < 0) { sx -= dx; w += dx; dx = 0; }
    if (dy < 0) { sy -= dy; h += dy; dy = 0; }
    if (sx < 0) { dx -= sx; w += sx; sx = 0; }
    if (sy < 0) { dy -= sy; h += sy; sy = 0; }
    w = std::min({w, dst->width - dx, src->width - sx});
    h = std::min({h, dst->height - dy, src->height - sy});
    if (w <= 0 || h <= 0)
        return Rect{0, 0, 0, 0};
    size_t row = (size_t)w * dst->bytes;
    for (int y = 0; y < h; y++)
        memcpy(dst->pixels.data() + (size_t)(dy + y) * dst->pitch + (size_t)dx * dst->bytes,
               src->pixels.data() + (size_t)(sy + y) * src->pitch + (size_t)sx * src->bytes, row);
    return Rect{dx, dy, w, h};
}

int32_t blitChecks(PlatSurface* dst, PlatSurface* src)
{
    if (!platSurfaceKnown(dst) || !platSurfaceKnown(src))
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

PlatSurface* platSurfaceNew(PlatSurface::Kind kind, int width, int height, int bpp)
{
    PlatSurface* s = new PlatSurface();
    s->kind = kind;
    s->width = width;
    s->height = height;
    s->pf = pixelFormatOf(bpp);
    s->bytes = s->pf.bits / 8;
    s->pitch = (width * s->bytes + 3) & ~3;
    s->pixels.assign((size_t)s->pitch * height, 0);
    g_surfaces.push_back(s);
    g_changes++;
    return s;
}

uint64_t platSurfaceChanges() { return g_changes; }

bool platSurfaceKnown(PlatSurface* s)
{
    return s && std::find(g_surfaces.begin(), g_surfaces.end(), s) != g_surfaces.end();
}

PlatSurface* platSurfacePrimary()
{
    for (PlatSurface* s : g_surfaces)
        if (s->kind == PlatSurface::PRIMARY)
            return s;
    return nullptr;
}

void platSurfaceLoseAll()
{
    for (PlatSurface* s : g_surfaces)
        s->lost = true;
}

void platSurfaceReleaseAll()
{
    for (PlatSurface* s : g_surfaces) {
        platClipperRelease(s->clipper);
        delete s;
    }
    g_surfaces.clear();
}

int32_t platDisplayGetBackBuffer(PlatSurface* primary, PlatSurface** back)
{
    if (!platSurfaceKnown(primary) || !back)
        return PDERR_INVALIDPARAMS;
    *back = primary->back;
    return primary->back ? PD_OK : PDERR_NOTFOUND;
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
    if (!platSurfaceKnown(primary) || primary->kind != PlatSurface::PRIMARY || !clipper)
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
    if (!platSurfaceKnown(surface))
        return;
    if (surface->back)
        platSurfaceRelease(surface->back);
    for (PlatSurface* s : g_surfaces)
        if (s->back == surface)
            s->back = nullptr;
    g_surfaces.erase(std::find(g_surfaces.begin(), g_surfaces.end(), surface));
    platClipperRelease(surface->clipper);
    delete surface;
}

int32_t platSurfaceGetSize(PlatSurface* surface, int* width, int* height, int* pitch)
{
    if (!platSurfaceKnown(surface))
        return PDERR_INVALIDPARAMS;
    if (width) *width = surface->width;
    if (height) *height = surface->height;
    if (pitch) *pitch = surface->pitch;
    return PD_OK;
}

int32_t platSurfaceGetPixelFormat(PlatSurface* surface, PlatPixelFormat* format)
{
    if (!platSurfaceKnown(surface) || !format)
        return PDERR_INVALIDPARAMS;
    *format = surface->pf;
    return PD_OK;
}

bool platSurfaceIsLost(PlatSurface* surface) { return platSurfaceKnown(surface) && surface->lost; }

int32_t platSurfaceLock(PlatSurface* surface, void** pixels, int* pitch)
{
    if (!platSurfaceKnown(surface) || !pixels || !pitch)
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
    if (!platSurfaceKnown(surface))
        return PDERR_INVALIDPARAMS;
    if (!surface->locked)
        return PDERR_NOTLOCKED;
    surface->locked = false;
    show(surface, Rect{0, 0, surface->width, surface->height});
    return PD_OK;
}

int32_t platSurfaceFlip(PlatSurface* primary)
{
    if (!platSurfaceKnown(primary) || primary->kind != PlatSurface::PRIMARY)
        return PDERR_INVALIDPARAMS;
    if (!primary->back)
        return PDERR_NOFLIPHW;
    if (int32_t r = blitChecks(primary, primary->back))
        return r;
    primary->pixels.swap(primary->back->pixels);
    show(primary, Rect{0, 0, primary->width, primary->height});
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
    show(dst, copyRect(dst, x, y, src, s.left, s.top, w, h));
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
    if (dst->kind == PlatSurface::PRIMARY && dstRect && g_platSurfaceHooks.origin) {
        // Blits are cut to the primary whether or not a clipper is set.
        int ox = 0, oy = 0;
        g_platSurfaceHooks.origin(&ox, &oy);
        d.left -= ox;
        d.right -= ox;
        d.top -= oy;
        d.bottom -= oy;
    }
    int w = std::min(s.right - s.left, d.right - d.left), h = std::min(s.bottom - s.top, d.bottom - d.top);
    show(dst, copyRect(dst, d.left, d.top, src, s.left, s.top, w, h));
    return PD_OK;
}
