// Between the display device (PlatDisplay.cpp: the calls of PlatDisplay.h,
// their checks and the device's state) and the presentation that shows it
// (sdl/PlatDisplaySdl.cpp natively, the page's canvas in the browser). Never
// included above the platform folder.
#pragma once
#include <cstdint>

#include "platform/internal/PlatCommon.h"
#include "platform/PlatDisplay.h"
#include "platform/internal/PlatDisplayModes.h"
#include "platform/internal/PlatSurface.h"

// The device's state; the presentation reads it and keeps focus and
// minimising up to date.
struct PlatDisplayState {
    bool created = false;
    PlatWindow* window = nullptr;
    bool exclusive = false;
    bool modeSet = false;
    int modeWidth = 0, modeHeight = 0, modeBpp = 0;
    bool steppedAside = false; // a dialog box took the display from full-screen
    bool focused = true;       // a new window starts in the foreground
    bool minimized = false;
};
extern PlatDisplayState g_platDisplay;

// The presentation's part.
// At platDisplayCreate: starts watching the window; false when it cannot.
bool platDisplayBackendOpen();
// At platDisplayRelease, after the surfaces went.
void platDisplayBackendClose();
// The window of the cooperative level: PD_OK, or why it cannot be shown on.
int32_t platDisplayBackendAttach(PlatWindow* window);
// Shows the picture full-screen (true) or in the window again.
void platDisplayBackendFullscreen(bool on);
// Bits per pixel of the desktop (16, 24 or 32).
int platDisplayBackendDepth();
// Gets ready to show a new primary surface; false when out of memory.
bool platDisplayBackendPrepare(PlatSurface* primary);
