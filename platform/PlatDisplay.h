// The display: what the video driver needs of a DirectDraw-style device —
// the mode list, exclusive full-screen with a primary surface, a back buffer
// and page flips, or a window with an off-screen surface blitted into it;
// locks with a pitch, rectangle blits, and surfaces that are lost when the
// program loses the full-screen display or is minimised.
//
// One file each: the device with its checks and state (PlatDisplay.cpp), the
// memory surfaces (PlatSurface.cpp, no renderer needed) and each backend's
// mode list and presentation (sdl/PlatDisplayModesSdl.cpp and
// sdl/PlatDisplaySdl.cpp, or the browser's web/PlatDisplayWeb.cpp).
#pragma once
#include <cstdint>

#include "Plat.h"

// Results in DirectDraw's numbering, so the driver can name them.
enum : int32_t {
    PD_OK = 0,
    PDERR_GENERIC = (int32_t)0x80004005,
    PDERR_INVALIDPARAMS = (int32_t)0x80070057,
    PDERR_OUTOFMEMORY = (int32_t)0x8007000E,
    PDERR_NOTINITIALIZED = (int32_t)0x800401F0,
    PDERR_INVALIDMODE = (int32_t)0x88760078,
    PDERR_INVALIDRECT = (int32_t)0x88760096,
    PDERR_NOCOOPERATIVELEVELSET = (int32_t)0x887600D4,
    PDERR_NOEXCLUSIVEMODE = (int32_t)0x887600E1,
    PDERR_NOFLIPHW = (int32_t)0x887600E6,
    PDERR_NOTFOUND = (int32_t)0x887600FF,
    PDERR_SURFACEBUSY = (int32_t)0x887601AE,
    PDERR_SURFACELOST = (int32_t)0x887601C2,
    PDERR_PRIMARYSURFACEALREADYEXISTS = (int32_t)0x88760234,
    PDERR_NOHWND = (int32_t)0x88760239,
    PDERR_NOTLOCKED = (int32_t)0x88760248,
    PDERR_WRONGMODE = (int32_t)0x8876024B,
};

struct PlatDisplayMode {
    int32_t width, height, bpp;
};

struct PlatPixelFormat {
    uint32_t red, green, blue, alpha;
    int32_t bits;
};

struct PlatRect {
    int32_t left, top, right, bottom;
};

struct PlatSurface;

// The device itself (DirectDrawCreate). The window comes with the
// cooperative level.
int32_t platDisplayCreate();
void platDisplayRelease();

// Calls back once per mode (width, height, bytes per pixel x 8; modes that
// differ only in refresh rate are one) until the callback returns false.
// Without a 640 x 480 mode in the system's list, 640 x 480 at 16, 24 and 32
// bits is offered as well and shown centred on the desktop's own mode.
// QH_DISPLAY_DEPTH=16|24|32 gives every mode that depth instead;
// QH_DISPLAY_MODES="WxHxB,..." (or "none") replaces the system's list.
int32_t platDisplayEnumModes(bool (*callback)(const PlatDisplayMode& mode, void* context), void* context);

// Exclusive full-screen or a normal window. Leaving exclusive mode leaves
// full-screen display.
int32_t platDisplaySetCooperativeLevel(PlatWindow* window, bool exclusive);
// Needs the exclusive level; the mode must be one of the list.
int32_t platDisplaySetMode(int width, int height, int bpp);
int32_t platDisplayRestoreMode();

// The visible surface: exclusive, the mode's size with one back buffer
// (flipChain); normal, the window's client area, addressed in screen
// coordinates.
int32_t platDisplayCreatePrimary(bool flipChain, PlatSurface** primary);
int32_t platDisplayGetBackBuffer(PlatSurface* primary, PlatSurface** back);
int32_t platDisplayCreateOffscreen(int width, int height, PlatSurface** surface);
// A clipper keeps windowed blits into the primary inside the window's client
// area. The surface it is set on holds a reference of its own.
struct PlatClipper;
int32_t platDisplayCreateClipper(PlatClipper** clipper);
int32_t platClipperSetWindow(PlatClipper* clipper, PlatWindow* window);
int32_t platSurfaceSetClipper(PlatSurface* primary, PlatClipper* clipper);
void platClipperRelease(PlatClipper* clipper);
// Releasing the primary releases its back buffer.
void platSurfaceRelease(PlatSurface* surface);

int32_t platSurfaceGetSize(PlatSurface* surface, int* width, int* height, int* pitch);
int32_t platSurfaceGetPixelFormat(PlatSurface* surface, PlatPixelFormat* format);
bool platSurfaceIsLost(PlatSurface* surface);
// Fails while the program does not own the display (minimised, or
// full-screen without focus).
int32_t platSurfaceRestore(PlatSurface* surface);
int32_t platSurfaceLock(PlatSurface* surface, void** pixels, int* pitch);
int32_t platSurfaceUnlock(PlatSurface* surface);
// Shows the back buffer.
int32_t platSurfaceFlip(PlatSurface* primary);
// Copies srcRect of src to (x, y) of dst.
int32_t platSurfaceBltFast(PlatSurface* dst, int x, int y, PlatSurface* src, const PlatRect* srcRect);
// Copies srcRect of src into dstRect of dst (same size; a larger side is cut).
int32_t platSurfaceBlt(PlatSurface* dst, const PlatRect* dstRect, PlatSurface* src, const PlatRect* srcRect);

// For tests and the capture of frames.
// Replaces the system's mode list (count < 0 gives it back).
void platDisplaySetModeList(const PlatDisplayMode* modes, int count);
// No one looks at the window (a capture reads the primary itself): presents
// keep the primary's pixels and skip the renderer.
void platDisplaySetUnseen(bool unseen);
// The picture the primary surface holds, as 0x00RRGGBB, width x height.
bool platDisplayReadPrimary(uint32_t* pixels, int width, int height);
void platDisplayOutputSize(int* width, int* height);
// Where the picture sits in the window (full-screen: centred, 4:3 kept).
PlatRect platDisplayPictureRect();
