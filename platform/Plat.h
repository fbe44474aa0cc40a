// The program's window, message queue, clock, dialog box and cursor.
// Everything above this folder sees only these declarations; SDL stays inside.
#pragma once
#include <cstdint>

struct PlatWindow;

// Window messages, numbered as the program's window procedure expects them.
enum : uint32_t {
    WM_DESTROY = 0x0002,
    WM_MOVE = 0x0003,
    WM_SIZE = 0x0005,
    WM_CLOSE = 0x0010,
    WM_QUIT = 0x0012,
    WM_ERASEBKGND = 0x0014,
    WM_ACTIVATEAPP = 0x001C,
    WM_GETMINMAXINFO = 0x0024,
    WM_KEYDOWN = 0x0100,
    WM_KEYUP = 0x0101,
    WM_SYSKEYDOWN = 0x0104,
    WM_SYSKEYUP = 0x0105,
    WM_EXITSIZEMOVE = 0x0232,
};

// WM_SIZE size types.
enum : uintptr_t { SIZE_RESTORED = 0, SIZE_MINIMIZED = 1 };

// Dialog styles and answers.
enum : unsigned {
    MB_OK = 0x0,
    MB_YESNO = 0x4,
    MB_ICONERROR = 0x10,
    MB_ICONQUESTION = 0x20,
    MB_SETFOREGROUND = 0x10000,
    MB_TOPMOST = 0x40000,
};
enum : int { IDOK = 1, IDYES = 6, IDNO = 7 };

struct PlatMsg {
    PlatWindow* window; // null for the quit message
    uint32_t message;
    uintptr_t wParam;
    intptr_t lParam;
};

struct PlatMinMaxInfo {
    int minTrackX, minTrackY, maxTrackX, maxTrackY;
};

typedef intptr_t (*PlatWndProc)(PlatWindow* window, uint32_t message, uintptr_t wParam, intptr_t lParam);

// Brings up SDL's event and video subsystems. Without a display it falls back
// to SDL's dummy video driver, so the program also runs headless. Safe to call
// more than once; returns false only when no video driver at all can start.
bool platInit();
// Closes everything the platform opened (windows, display, audio). Also runs
// at process exit, fatal paths included.
void platShutdown();
// True when a person can see the windows (not the dummy or offscreen driver).
bool platHasDisplay();

// Milliseconds since start, 32 bits, wrapping like GetTickCount.
uint32_t platGetTickCount();
// Lets the other threads that wait for a processor run for a moment, without
// sleeping: called on every spin of a busy wait, so that the sound device's
// thread is never kept waiting by the show's pacing.
void platYield();
// Seconds of the time of day, for seeding the random generator.
uint32_t platTimeOfDaySeconds();
// Replaces the clock (tests, virtual-time capture); null restores the real one.
void platSetClock(uint32_t (*ticks)(), uint32_t (*seconds)());

// Window with a window procedure; shown at once. Size is the client size.
//
// The client area is the picture the program draws; on the screen a window
// may be larger or smaller than that (the person resizes it, or it is shown
// at a multiple of it): the picture is then scaled to fill the window with
// its shape kept, black bars where the shapes differ. The program always
// sees the client size it asked for.
PlatWindow* platCreateWindow(const char* title, PlatWndProc proc, int x, int y, int width, int height);
// Sends WM_DESTROY to the window procedure, then closes the window.
void platDestroyWindow(PlatWindow* window);
intptr_t platDefWindowProc(PlatWindow* window, uint32_t message, uintptr_t wParam, intptr_t lParam);
// The window's top-left corner in screen coordinates, and its client size.
void platGetClientRect(PlatWindow* window, int* x, int* y, int* width, int* height);
// Gives the window its client size and shows it at its shown size with its
// top-left corner at (x, y).
void platSetWindowRect(PlatWindow* window, int x, int y, int clientWidth, int clientHeight);
// The size platSetWindowRect shows the window at from now on; 0 x 0 (the
// start) is the largest whole multiple of the client size within 90 % of
// the desktop's width and height.
void platSetWindowShownSize(PlatWindow* window, int width, int height);
// The size on the screen that platSetWindowRect gives a window for that
// client size (the window manager's frame not included).
void platGetWindowOuterSize(PlatWindow* window, int clientWidth, int clientHeight, int* width, int* height);
void platGetScreenSize(int* width, int* height);

// Message queue with PeekMessage(PM_REMOVE), DispatchMessage, WaitMessage,
// PostMessage and PostQuitMessage semantics. The quit message belongs to the
// queue: it is returned by platPeekMessage once the other messages are taken
// and never reaches a window procedure.
bool platPeekMessage(PlatMsg* msg);
intptr_t platDispatchMessage(const PlatMsg* msg);
void platWaitMessage();
void platPostMessage(PlatWindow* window, uint32_t message, uintptr_t wParam, intptr_t lParam);
void platPostQuitMessage(int exitCode);

// A modal message box. The text always goes to stderr as well. It never
// blocks where no one can answer: without a display it takes the first
// button, and QH_DIALOG_ANSWER=yes|no|ok answers it by itself.
int platMessageBox(const char* text, const char* caption, unsigned style);

// Cursor position in the client coordinates of the main window.
void platGetCursorPos(int* x, int* y);

// ShowCursor with its display count: the cursor shows while the count is >= 0.
int platShowCursor(bool show);
