// The program's window, message queue, clock and dialog box in a browser tab.
// The window is the page's canvas; key and focus events arrive through
// emscripten's html5 callbacks while the program waits for the next
// animation frame.
//
// The main loop stays the program's own: whenever its message queue runs dry
// the loop yields to the browser until the next animation frame (an
// Asyncify sleep), so one pass of the loop runs per frame the browser draws.
#include "PlatWeb.h"
#include "platform/internal/PlatKeyboardFeed.h"
#include "platform/internal/PlatCommon.h"

#include <emscripten.h>
#include <emscripten/html5.h>

#include <cstdio>
#include <cstring>

struct PlatWindow {
    PlatWndProc proc;
    int width, height;
};

namespace {

bool g_up = false;
int g_cursorCount = 0;
bool g_yieldDue = true; // the queue ran dry since the last yield

// Sleeps until the browser's next animation frame (or a tick of a hidden tab).
// The program goes on as a user callback, so the runtime exits (and tells
// the page) once main returns.
EM_JS(void, qh_wait_frame, (), {
    Asyncify.handleSleep(function(wakeUp) {
        var done = false;
        function go() { if (!done) { done = true; callUserCallback(wakeUp); } }
        requestAnimationFrame(go);
        setTimeout(go, 100); // animation frames stop in a hidden tab
    });
});

EM_JS(void, qh_message_box, (const char* text, const char* caption), {
    var t = UTF8ToString(text), c = UTF8ToString(caption);
    if (Module.showMessage) Module.showMessage(t, c);
});

EM_JS(void, qh_show_cursor, (int show), {
    if (Module.canvas) Module.canvas.style.cursor = show ? "" : "none";
});

void post(PlatWindow* w, uint32_t message, uintptr_t wParam, intptr_t lParam)
{
    platQueuePost(w, message, wParam, lParam);
}

// Keys the page keeps from the browser while the show runs.
bool keptFromBrowser(const EmscriptenKeyboardEvent* e)
{
    static const char* const kept[] = {"Escape", "Enter", "NumpadEnter", "AltLeft", "AltRight", "Space", "Tab",
                                       "ArrowUp", "ArrowDown", "ArrowLeft", "ArrowRight", "F10"};
    for (const char* k : kept)
        if (!strcmp(e->code, k))
            return true;
    return false;
}

EM_BOOL onKey(int type, const EmscriptenKeyboardEvent* e, void*)
{
    bool down = type == EMSCRIPTEN_EVENT_KEYDOWN;
    uint8_t code = platWebScanCode(e->code);
    if (!e->repeat)
        platKeyboardFeed(code, down, platGetTickCount());
    bool sys = e->altKey || !strcmp(e->code, "F10") || !strcmp(e->code, "AltLeft") || !strcmp(e->code, "AltRight");
    uint32_t message = down ? (sys ? WM_SYSKEYDOWN : WM_KEYDOWN) : (sys ? WM_SYSKEYUP : WM_KEYUP);
    post(platWindowMain(), message, code, 0);
    return keptFromBrowser(e);
}

EM_BOOL onFocus(int type, const EmscriptenFocusEvent*, void*)
{
    bool focused = type == EMSCRIPTEN_EVENT_FOCUS;
    platKeyboardFocus(focused);
    post(platWindowMain(), WM_ACTIVATEAPP, focused ? 1 : 0, 0);
    return 0;
}

} // namespace

bool platInit()
{
    if (g_up)
        return true;
    const char* target = EMSCRIPTEN_EVENT_TARGET_WINDOW;
    emscripten_set_keydown_callback(target, nullptr, 1, onKey);
    emscripten_set_keyup_callback(target, nullptr, 1, onKey);
    emscripten_set_focus_callback(target, nullptr, 1, onFocus);
    emscripten_set_blur_callback(target, nullptr, 1, onFocus);
    g_up = true;
    platShutdownAtExit();
    return true;
}

void platShutdown()
{
    platRunShutdownHooks();
    for (PlatWindow* w : platWindows())
        delete w;
    platWindowsClear();
    if (g_up) {
        emscripten_html5_remove_all_event_listeners();
        g_up = false;
    }
}

bool platHasDisplay() { return g_up; }

uint32_t platGetTickCount()
{
    if (g_platTicks)
        return g_platTicks();
    return (uint32_t)(uint64_t)emscripten_get_now();
}

// The page's music plays in its own worklet, which a spinning main thread
// does not hold up.
void platYield() {}

uint32_t platTimeOfDaySeconds()
{
    if (g_platSeconds)
        return g_platSeconds();
    return (uint32_t)(uint64_t)(emscripten_date_now() / 1000.0);
}

PlatWindow* platCreateWindow(const char*, PlatWndProc proc, int, int, int width, int height)
{
    if (!platInit())
        return nullptr;
    PlatWindow* w = new PlatWindow{proc, width, height};
    platWindowAdd(w);
    return w;
}

void platDestroyWindow(PlatWindow* window)
{
    if (!window)
        return;
    platWindowRemove(window);
    delete window;
}

intptr_t platDefWindowProc(PlatWindow*, uint32_t, uintptr_t, intptr_t) { return 0; }

void platGetClientRect(PlatWindow* window, int* x, int* y, int* width, int* height)
{
    if (x) *x = 0;
    if (y) *y = 0;
    if (width) *width = window ? window->width : 0;
    if (height) *height = window ? window->height : 0;
}

void platSetWindowRect(PlatWindow* window, int, int, int clientWidth, int clientHeight)
{
    if (!window)
        return;
    window->width = clientWidth;
    window->height = clientHeight;
}

// The page scales the picture to the browser's window by itself.
void platSetWindowShownSize(PlatWindow*, int, int) {}
void platGetWindowOuterSize(PlatWindow*, int clientWidth, int clientHeight, int* width, int* height)
{
    *width = clientWidth;
    *height = clientHeight;
}

// The page shows the picture at the size of the browser's window; the
// program's idea of the screen is the picture's own size.
void platGetScreenSize(int* width, int* height)
{
    if (width) *width = 640;
    if (height) *height = 480;
}

bool platPeekMessage(PlatMsg* msg)
{
    if (g_yieldDue && !platQueueWaiting()) {
        g_yieldDue = false;
        qh_wait_frame();
    }
    if (platQueueTake(msg))
        return true;
    g_yieldDue = true;
    return false;
}

PlatWndProc platWindowProc(PlatWindow* window) { return window ? window->proc : nullptr; }

void platWaitMessage()
{
    while (!platQueueWaiting())
        qh_wait_frame();
    g_yieldDue = false;
}


// No modal box in a page: the text goes to the console and over the page,
// and the first button is the answer (QH_DIALOG_ANSWER=no is not read here).
int platMessageBox(const char* text, const char* caption, unsigned style)
{
    size_t len = strlen(text);
    fputs(text, stderr);
    if (len == 0 || text[len - 1] != '\n')
        fputc('\n', stderr);
    qh_message_box(text, caption ? caption : "");
    return (style & 0xF) == MB_YESNO ? IDYES : IDOK;
}

void platGetCursorPos(int* x, int* y)
{
    if (x) *x = 0;
    if (y) *y = 0;
}

int platShowCursor(bool show)
{
    g_cursorCount += show ? 1 : -1;
    qh_show_cursor(g_cursorCount >= 0);
    return g_cursorCount;
}

