// Shared by the video and keyboard tests: bringing the drivers up, a test
// picture, and synthetic SDL events.
#pragma once
#include <SDL.h>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/Hermes.h"
#include "platform/PlatDisplay.h"
#include "platform/sdl/PlatSdl.h"
#include "system/Xerror.h"
#include "system/Xkeyboard.h"
#include "system/Xsystem.h"
#include "system/Xvideo.h"
#include "tests/common/Scratch.h"

// A picture whose 16 x 16 blocks all differ, so a shifted or mirrored copy
// shows.
inline uint32_t testPixel(int x, int y)
{
    uint32_t bx = x / 40, by = y / 30;
    return (bx * 16 + 8) << 16 | (by * 16 + 8) << 8 | (((bx + by) & 1) ? 0xf0 : 0x18);
}

// The frame buffer as a 5-6-5 display shows it, back in 0x00RRGGBB.
inline std::vector<uint32_t> frameAt16Bits()
{
    HermesFormat f32 = {0xff0000, 0xff00, 0xff, 0, 32, 0, 0, 0}, f16 = {0xf800, 0x7e0, 0x1f, 0, 16, 0, 0, 0};
    std::vector<uint16_t> mid(640 * 480);
    std::vector<uint32_t> out(640 * 480);
    HermesHandle c = Hermes_ConverterInstance(0);
    Hermes_ConverterRequest(c, &f32, &f16);
    Hermes_ConverterCopy(c, g_frameBuffer, 0, 0, 640, 480, 2560, mid.data(), 0, 0, 640, 480, 1280);
    Hermes_ConverterRequest(c, &f16, &f32);
    Hermes_ConverterCopy(c, mid.data(), 0, 0, 640, 480, 1280, out.data(), 0, 0, 640, 480, 2560);
    Hermes_ConverterReturn(c);
    return out;
}

inline void drawTestPicture()
{
    for (int y = 0; y < 480; y++)
        for (int x = 0; x < 640; x++)
            g_frameBuffer[y * 640 + x] = testPixel(x, y);
}

// System and video drivers up, with a given mode list (null: the system's).
inline void startVideo(const PlatDisplayMode* modes = nullptr, int count = -1, const char* logName = nullptr)
{
    if (modes || count >= 0)
        platDisplaySetModeList(modes, count);
    xSysInit("Quiet Harbor", nullptr, logName);
    xVideoInit();
}

inline std::vector<uint32_t> readPrimary()
{
    std::vector<uint32_t> out(640 * 480);
    if (!platDisplayReadPrimary(out.data(), 640, 480))
        out.clear();
    return out;
}

inline void pushKey(SDL_Scancode code, bool down, bool repeat = false)
{
    SDL_Event e{};
    e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    e.key.repeat = repeat ? 1 : 0;
    e.key.keysym.scancode = code;
    e.key.keysym.sym = SDL_GetKeyFromScancode(code);
    SDL_PushEvent(&e);
}

inline void pushWindowEvent(Uint8 event)
{
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.event = event;
    e.window.windowID = SDL_GetWindowID(platSdlWindow(xVideoMainWindow()));
    SDL_PushEvent(&e);
}

// Takes every waiting message, as the main loop would.
inline void pumpMessages()
{
    PlatMsg msg;
    while (platPeekMessage(&msg))
        platDispatchMessage(&msg);
}
