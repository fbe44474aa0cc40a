// The display device: the calls of PlatDisplay.h with their checks and the
// device's state (cooperative level, mode, stepping aside for a dialog box,
// surfaces that are lost while the program does not own the display). The
// presentation behind it is the backend's (PlatDisplayBackend.h).
#include "platform/internal/PlatDisplayBackend.h"

PlatDisplayState g_platDisplay;

namespace {

PlatDisplayState& g = g_platDisplay;
bool g_shutdownHooked = false;

int currentDepth()
{
    if (g.exclusive && g.modeSet)
        return g.modeBpp;
    if (int d = platDisplayForcedDepth())
        return d;
    return platDisplayBackendDepth();
}

bool ownsDisplay() { return !g.minimized && (!g.exclusive || g.focused || g.steppedAside); }

void shutdownHook()
{
    g_shutdownHooked = false;
    platDisplayRelease();
}

} // namespace

int32_t platDisplayCreate()
{
    if (!platInit() || !platDisplayBackendOpen())
        return PDERR_GENERIC;
    if (!g_shutdownHooked) {
        platAddShutdownHook(shutdownHook);
        g_shutdownHooked = true;
    }
    g.created = true;
    return PD_OK;
}

void platDisplayRelease()
{
    platSurfaceReleaseAll();
    if (g.exclusive || g.modeSet)
        platDisplayBackendFullscreen(false);
    platDisplayBackendClose();
    g = PlatDisplayState();
}

int32_t platDisplayEnumModes(bool (*callback)(const PlatDisplayMode&, void*), void* context)
{
    if (!g.created)
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
    if (!g.created)
        return PDERR_NOTINITIALIZED;
    if (!window)
        return PDERR_NOHWND;
    if (int32_t r = platDisplayBackendAttach(window))
        return r;
    g.window = window;
    if (!exclusive && g.exclusive) {
        platDisplayBackendFullscreen(false);
        g.modeSet = false;
    }
    g.exclusive = exclusive;
    g.steppedAside = false;
    return PD_OK;
}

int32_t platDisplaySetMode(int width, int height, int bpp)
{
    if (!g.created)
        return PDERR_NOTINITIALIZED;
    if (!g.window)
        return PDERR_NOCOOPERATIVELEVELSET;
    if (!g.exclusive)
        return PDERR_NOEXCLUSIVEMODE;
    if (!platDisplayModeListed(width, height, bpp))
        return PDERR_INVALIDMODE;
    g.modeWidth = width;
    g.modeHeight = height;
    g.modeBpp = bpp;
    g.modeSet = true;
    g.steppedAside = false;
    platDisplayBackendFullscreen(true);
    return PD_OK;
}

int32_t platDisplayRestoreMode()
{
    if (!g.created)
        return PDERR_NOTINITIALIZED;
    if (g.modeSet)
        platDisplayBackendFullscreen(false);
    g.modeSet = false;
    return PD_OK;
}

int32_t platDisplayCreatePrimary(bool flipChain, PlatSurface** primary)
{
    if (!g.created)
        return PDERR_NOTINITIALIZED;
    if (!primary)
        return PDERR_INVALIDPARAMS;
    *primary = nullptr;
    if (!g.window)
        return PDERR_NOCOOPERATIVELEVELSET;
    if (platSurfacePrimary())
        return PDERR_PRIMARYSURFACEALREADYEXISTS;
    if (flipChain && !g.exclusive)
        return PDERR_NOEXCLUSIVEMODE;
    int w, h;
    if (g.exclusive && g.modeSet) {
        w = g.modeWidth;
        h = g.modeHeight;
    } else {
        platGetClientRect(g.window, nullptr, nullptr, &w, &h);
    }
    if (w <= 0 || h <= 0)
        return PDERR_INVALIDPARAMS;
    int bpp = currentDepth();
    PlatSurface* p = platSurfaceNew(PlatSurface::PRIMARY, w, h, bpp);
    if (!platDisplayBackendPrepare(p)) {
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
    if (!g.created)
        return PDERR_NOTINITIALIZED;
    if (!surface || width <= 0 || height <= 0 || width > 16384 || height > 16384)
        return PDERR_INVALIDPARAMS;
    *surface = platSurfaceNew(PlatSurface::OFFSCREEN, width, height, currentDepth());
    return PD_OK;
}

int32_t platDisplayCreateClipper(PlatClipper** clipper)
{
    if (!g.created)
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
        return g.minimized ? PDERR_WRONGMODE : PDERR_NOEXCLUSIVEMODE;
    if (surface->kind == PlatSurface::PRIMARY && g.steppedAside) {
        g.steppedAside = false;
        platDisplayBackendFullscreen(true);
    }
    surface->lost = false;
    if (surface->back)
        surface->back->lost = false;
    return PD_OK;
}

