// The SDL backend of Plat.h: start-up and shutdown, the tick clock, the
// windows with their event pump into the message queue, the dialog box and
// the cursor.
#include "platform/internal/PlatCommon.h"
#include "platform/internal/PlatMusicOutput.h"
#include "platform/internal/PlatOs.h"
#include "platform/sdl/PlatSdl.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

struct PlatWindow {
    SDL_Window* sdl;
    PlatWndProc proc;
    int clientWidth, clientHeight; // the program's picture
    int shownWidth, shownHeight;   // asked for on the screen; 0: the default
};

namespace {

bool g_sdlUp = false;
bool g_hasDisplay = false;
int g_cursorCount = 0;
void (*g_keyHook)(const SDL_KeyboardEvent&) = nullptr;
void (*g_focusHook)(bool) = nullptr;
void (*g_leaveFullscreenHook)() = nullptr;

PlatWindow* findWindow(Uint32 id)
{
    for (PlatWindow* w : platWindows())
        if (SDL_GetWindowID(w->sdl) == id)
            return w;
    return nullptr;
}

void post(PlatWindow* w, uint32_t message, uintptr_t wParam, intptr_t lParam)
{
    platQueuePost(w, message, wParam, lParam);
}

// Turns one SDL event into the window messages the program expects.
void translate(const SDL_Event& e)
{
    switch (e.type) {
    case SDL_QUIT: // Ctrl+C in the terminal: the same as closing the window
        post(platWindowMain(), WM_CLOSE, 0, 0);
        break;
    case SDL_WINDOWEVENT: {
        PlatWindow* w = findWindow(e.window.windowID);
        switch (e.window.event) {
        case SDL_WINDOWEVENT_CLOSE: post(w, WM_CLOSE, 0, 0); break;
        case SDL_WINDOWEVENT_FOCUS_GAINED:
            if (g_focusHook) g_focusHook(true);
            post(w, WM_ACTIVATEAPP, 1, 0);
            break;
        case SDL_WINDOWEVENT_FOCUS_LOST:
            if (g_focusHook) g_focusHook(false);
            post(w, WM_ACTIVATEAPP, 0, 0);
            break;
        case SDL_WINDOWEVENT_MOVED: post(w, WM_MOVE, 0, 0); break;
        case SDL_WINDOWEVENT_SIZE_CHANGED:
            post(w, WM_SIZE, SIZE_RESTORED, 0);
            post(w, WM_EXITSIZEMOVE, 0, 0);
            break;
        case SDL_WINDOWEVENT_MINIMIZED: post(w, WM_SIZE, SIZE_MINIMIZED, 0); break;
        case SDL_WINDOWEVENT_RESTORED: post(w, WM_SIZE, SIZE_RESTORED, 0); break;
        case SDL_WINDOWEVENT_EXPOSED: post(w, WM_ERASEBKGND, 0, 0); break;
        default: break;
        }
        break;
    }
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
        if (g_keyHook)
            g_keyHook(e.key);
        PlatWindow* w = findWindow(e.key.windowID);
        if (!w)
            w = platWindowMain();
        bool sys = (e.key.keysym.mod & KMOD_ALT) || e.key.keysym.sym == SDLK_F10 ||
                   e.key.keysym.sym == SDLK_LALT || e.key.keysym.sym == SDLK_RALT;
        uint32_t message = e.type == SDL_KEYDOWN ? (sys ? WM_SYSKEYDOWN : WM_KEYDOWN)
                                                 : (sys ? WM_SYSKEYUP : WM_KEYUP);
        post(w, message, (uintptr_t)e.key.keysym.scancode, 0);
        break;
    }
    default: break;
    }
}

void pump()
{
    if (!g_sdlUp)
        return;
    SDL_Event e;
    while (SDL_PollEvent(&e))
        translate(e);
}

bool isHeadlessDriver(const char* name)
{
    return !name || !strcmp(name, "dummy") || !strcmp(name, "offscreen") || !strcmp(name, "evdev");
}

} // namespace

bool platInit()
{
    if (g_sdlUp)
        return true;
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "0");
    // The window's pixels are written by the processor and handed to the
    // window system as they are: a GL stack would only add its memory.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS | SDL_INIT_TIMER) != 0) {
        if (getenv("SDL_VIDEODRIVER"))
            return false;
        // No display here: keep going without a window anyone can see.
        SDL_SetHint(SDL_HINT_VIDEODRIVER, "dummy");
        if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS | SDL_INIT_TIMER) != 0)
            return false;
    }
    g_sdlUp = true;
    g_hasDisplay = !isHeadlessDriver(SDL_GetCurrentVideoDriver());
    platShutdownAtExit();
    return true;
}

void platShutdown()
{
    platRunShutdownHooks();
    for (PlatWindow* w : platWindows()) {
        SDL_DestroyWindow(w->sdl);
        delete w;
    }
    platWindowsClear();
    if (g_sdlUp) {
        SDL_Quit();
        g_sdlUp = false;
    }
}

bool platHasDisplay() { return g_sdlUp && g_hasDisplay; }

uint32_t platSystemTicks()
{
    if (g_platTicks)
        return g_platTicks();
    return (uint32_t)(platOsMonotonicNs() / 1000000u);
}

// While a sound device plays, the show's clock is the music the listener
// hears: the picture then keeps to the sound whatever the device's own rate
// against the processor's clock, and waits while a sound server has not yet
// played the first samples. From the moment a music is started the clock
// stands until its first frame is heard, so that the show's first frame and
// the music's begin together. Otherwise the processor's clock runs, going on
// from where the music's left off; the clock never runs back.
uint32_t platGetTickCount()
{
    if (g_platTicks)
        return g_platTicks();
    static uint32_t s_last = 0, s_shift = 0, s_lockTicks = 0;
    static uint64_t s_lockFrom = 0, s_base = 0;
    static bool s_started = false, s_locked = false;
    uint32_t system = platSystemTicks();
    if (!s_started) {
        s_started = true;
        s_last = system;
    }
    uint64_t heard, from;
    uint32_t now;
    if (platMusicLiveHeard(&heard, &from)) {
        if (!s_locked || from != s_lockFrom || heard + PLAT_MUSIC_RATE < s_base) {
            s_locked = true;
            s_lockTicks = s_last;
            s_lockFrom = from;
            s_base = std::max(heard, from);
        }
        now = s_lockTicks + (uint32_t)((heard > s_base ? heard - s_base : 0) * 1000 / PLAT_MUSIC_RATE);
    } else {
        if (s_locked) {
            s_locked = false;
            s_shift = s_last - system;
        }
        now = system + s_shift;
    }
    if ((int32_t)(now - s_last) > 0)
        s_last = now;
    return s_last;
}

void platYield() { platOsYield(); }

uint32_t platTimeOfDaySeconds()
{
    if (g_platSeconds)
        return g_platSeconds();
    return (uint32_t)time(nullptr);
}

PlatWindow* platCreateWindow(const char* title, PlatWndProc proc, int x, int y, int width, int height)
{
    if (!platInit())
        return nullptr;
    SDL_Window* sdl = SDL_CreateWindow(title, x, y, width, height, SDL_WINDOW_SHOWN | SDL_WINDOW_RESIZABLE);
    if (!sdl)
        return nullptr;
    PlatWindow* w = new PlatWindow{sdl, proc, width, height, 0, 0};
    platWindowAdd(w);
    return w;
}

void platDestroyWindow(PlatWindow* window)
{
    if (!window)
        return;
    platWindowRemove(window);
    SDL_DestroyWindow(window->sdl);
    delete window;
}

SDL_Window* platSdlWindow(PlatWindow* window) { return window ? window->sdl : nullptr; }

intptr_t platDefWindowProc(PlatWindow*, uint32_t message, uintptr_t, intptr_t)
{
    return 0;
}

void platGetClientRect(PlatWindow* window, int* x, int* y, int* width, int* height)
{
    int px = 0, py = 0, w = 0, h = 0;
    if (window) {
        SDL_GetWindowPosition(window->sdl, &px, &py);
        w = window->clientWidth;
        h = window->clientHeight;
    }
    if (x) *x = px;
    if (y) *y = py;
    if (width) *width = w;
    if (height) *height = h;
}

void platSetWindowRect(PlatWindow* window, int x, int y, int clientWidth, int clientHeight)
{
    if (!window)
        return;
    window->clientWidth = clientWidth;
    window->clientHeight = clientHeight;
    int w, h;
    platGetWindowOuterSize(window, clientWidth, clientHeight, &w, &h);
    // Smaller than the picture only when asked for.
    SDL_SetWindowMinimumSize(window->sdl, std::min(w, clientWidth), std::min(h, clientHeight));
    SDL_SetWindowSize(window->sdl, w, h);
    SDL_SetWindowPosition(window->sdl, x, y);
    SDL_ShowWindow(window->sdl);
}

void platGetWindowOuterSize(PlatWindow* window, int clientWidth, int clientHeight, int* width, int* height)
{
    if (window && window->shownWidth > 0 && window->shownHeight > 0) {
        *width = window->shownWidth;
        *height = window->shownHeight;
        return;
    }
    int desktopWidth, desktopHeight;
    platGetScreenSize(&desktopWidth, &desktopHeight);
    platDefaultShownSize(clientWidth, clientHeight, desktopWidth, desktopHeight, width, height);
}

void platSetWindowShownSize(PlatWindow* window, int width, int height)
{
    if (window) {
        window->shownWidth = width;
        window->shownHeight = height;
    }
}

void platGetScreenSize(int* width, int* height)
{
    SDL_DisplayMode mode;
    int w = 640, h = 480;
    if (g_sdlUp && SDL_GetDesktopDisplayMode(0, &mode) == 0) {
        w = mode.w;
        h = mode.h;
    }
    if (width) *width = w;
    if (height) *height = h;
}

bool platPeekMessage(PlatMsg* msg)
{
    pump();
    return platQueueTake(msg);
}

PlatWndProc platWindowProc(PlatWindow* window) { return window ? window->proc : nullptr; }

void platWaitMessage()
{
    pump();
    if (platQueueWaiting() || !g_sdlUp)
        return;
    SDL_Event e;
    if (SDL_WaitEvent(&e))
        translate(e);
}


int platMessageBox(const char* text, const char* caption, unsigned style)
{
    size_t len = strlen(text);
    fputs(text, stderr);
    if (len == 0 || text[len - 1] != '\n')
        fputc('\n', stderr);
    fflush(stderr);

    bool yesNo = (style & 0xF) == MB_YESNO;
    int first = yesNo ? IDYES : IDOK;
    if (const char* answer = getenv("QH_DIALOG_ANSWER")) {
        if (!strcmp(answer, "no"))
            return yesNo ? IDNO : IDOK;
        return first;
    }
    if (!platHasDisplay())
        return first;

    if (g_leaveFullscreenHook)
        g_leaveFullscreenHook();
    SDL_MessageBoxButtonData yesNoButtons[] = {
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, IDYES, "Yes"},
        {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, IDNO, "No"},
    };
    SDL_MessageBoxButtonData okButton[] = {
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, IDOK, "OK"},
    };
    SDL_MessageBoxData data{};
    data.flags = (style & MB_ICONERROR) ? SDL_MESSAGEBOX_ERROR : SDL_MESSAGEBOX_INFORMATION;
    data.window = nullptr;
    data.title = caption;
    data.message = text;
    data.numbuttons = yesNo ? 2 : 1;
    data.buttons = yesNo ? yesNoButtons : okButton;
    int pressed = first;
    if (SDL_ShowMessageBox(&data, &pressed) != 0 || pressed < 0)
        return yesNo ? IDNO : IDOK;
    return pressed;
}

void platGetCursorPos(int* x, int* y)
{
    int mx = 0, my = 0;
    PlatWindow* w = platWindowMain();
    if (g_sdlUp && w) {
        SDL_GetMouseState(&mx, &my);
        // From the window's pixels to the picture's.
        int ww, wh;
        SDL_GetWindowSize(w->sdl, &ww, &wh);
        PlatBox box = platFitPicture(w->clientWidth, w->clientHeight, ww, wh);
        if (box.width > 0 && box.height > 0) {
            mx = (int)((int64_t)(mx - box.x) * w->clientWidth / box.width);
            my = (int)((int64_t)(my - box.y) * w->clientHeight / box.height);
        }
    }
    if (x) *x = mx;
    if (y) *y = my;
}

int platShowCursor(bool show)
{
    g_cursorCount += show ? 1 : -1;
    if (g_sdlUp)
        SDL_ShowCursor(g_cursorCount >= 0 ? SDL_ENABLE : SDL_DISABLE);
    return g_cursorCount;
}

void platSetKeyHook(void (*hook)(const SDL_KeyboardEvent&)) { g_keyHook = hook; }
void platSetFocusHook(void (*hook)(bool)) { g_focusHook = hook; }
void platSetLeaveFullscreenHook(void (*hook)()) { g_leaveFullscreenHook = hook; }
