#include "Xvideo.h"

#include <cstdlib>
#include <cstring>

#include "system/Xerror.h"
#include "system/Xsystem.h"

uint32_t* g_frameBuffer = nullptr;

namespace {
PlatWindow* g_window = nullptr;
int g_width = 640, g_height = 480;
int g_fullscreen = 0;
}

void xVideoInit()
{
    if (!platInit())
        g_xError.Fatal("xVideoInit::RegisterClass(...) - unable to register class");
    g_window = platCreateWindow(g_xSys.title ? g_xSys.title : "", xSysWindowProc, 0, 0, 640, 480);
    if (!g_window)
        g_xError.Fatal("xVideoInit::CreateWindow(..) - unable to create window");
    g_xLog.Print("Initializing video driver");
}

void xVideoSetMode(int width, int height, int fullscreen, int bpp, uint32_t, uint32_t, uint32_t)
{
    g_width = width;
    g_height = height;
    g_fullscreen = fullscreen;
    free(g_frameBuffer);
    g_frameBuffer = (uint32_t*)calloc((size_t)width * height, (bpp + 7) / 8);
    if (!g_frameBuffer)
        g_xError.Raise("system/Xvideo.cpp", 697, 1, nullptr);
    uint32_t flag = (uint32_t)fullscreen;
    xSysDispatch(XEV_VIDEOMODE, &flag);
    g_xSys.active = 1;
}

void xVideoPresent() { xVideoPresentRect(0, 0, g_width, g_height); }

void xVideoPresentRect(int, int, int, int)
{
    xSysDispatch(XEV_PRESENT_BEGIN, nullptr);
    xSysDispatch(XEV_PRESENT_END, nullptr);
}

void xVideoChangeCoopLevel(PlatWindow*, int fullscreen) { g_fullscreen = fullscreen; }
void xVideoReleaseObjects(PlatWindow*) {}
void xVideoReleaseDirectDraw() {}
bool xVideoObjectsExist() { return false; }
bool xVideoIsFullscreen() { return g_fullscreen != 0; }
void xVideoUpdateRects() {}

void xVideoFrameSize(int* width, int* height)
{
    *width = g_width;
    *height = g_height;
}

PlatWindow* xVideoMainWindow() { return g_window; }
