// The memory surfaces behind PlatDisplay.h: pixels, pitch and pixel format,
// locks, blits and flips, and the lost state. They need no renderer; the
// device (PlatDisplay.cpp) creates the primary and the backend's
// presentation (sdl/PlatDisplaySdl.cpp, web/PlatDisplayWeb.cpp) shows what
// reaches it through the hooks below. Never included above the platform folder.
#pragma once
#include <cstdint>
#include <vector>

#include "platform/PlatDisplay.h"

struct PlatClipper {
    PlatWindow* window = nullptr;
    int references = 1;
};

struct PlatSurface {
    enum Kind { PRIMARY, BACK, OFFSCREEN } kind;
    int width = 0, height = 0, pitch = 0, bytes = 0;
    PlatPixelFormat pf{};
    std::vector<uint8_t> pixels;
    bool lost = false;
    bool locked = false;
    PlatSurface* back = nullptr; // a primary's flip target
    PlatClipper* clipper = nullptr;
};

// What the presentation does for the surfaces; a null hook does nothing.
struct PlatSurfaceHooks {
    // A rectangle of the primary changed: show it.
    void (*show)(PlatSurface* primary, int x, int y, int width, int height);
    // Where the primary's pixel (0, 0) lies in the coordinates blits into it
    // are given in (a windowed primary is addressed in screen coordinates).
    void (*origin)(int* x, int* y);
};
extern PlatSurfaceHooks g_platSurfaceHooks;

// A new surface of the given kind and depth (16: 5-6-5), cleared to 0.
PlatSurface* platSurfaceNew(PlatSurface::Kind kind, int width, int height, int bpp);
bool platSurfaceKnown(PlatSurface* surface);
// Counts every change shown of a primary's pixels and every new surface: a
// reader of the primary that sees the same count sees the same picture.
uint64_t platSurfaceChanges();
PlatSurface* platSurfacePrimary();
void platSurfaceLoseAll();
void platSurfaceReleaseAll();
