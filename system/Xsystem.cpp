#include "Xsystem.h"

#include <cstdlib>
#include <cstring>

#include "system/Xerror.h"
#include "system/Xrand.h"

namespace {
const char* const kModule = "system/Xsystem.cpp";

xSysVideoHooks g_video = {};

void present()
{
    if (g_video.present)
        g_video.present();
}
bool objectsExist() { return g_video.objectsExist && g_video.objectsExist(); }

void emptyResponders()
{
    for (int t = 0; t < XEV_TYPES; t++)
        g_xSys.responders[t].end = g_xSys.responders[t].entries;
}

struct StateInit {
    StateInit()
    {
        emptyResponders();
        g_xSys.timersEnd = g_xSys.timers;
        g_xSys.generationTop = g_xSys.generations;
    }
};
} // namespace

xSysState g_xSys;
static StateInit s_stateInit;

void xSysInit(const char* title, void* icon, const char* logName)
{
    xSrand(platTimeOfDaySeconds() % 60);
    if (logName) {
        g_xLog.Open(logName);
        g_xLog.Print(xFormat("Initializing system driver for %s", title));
    }
    emptyResponders();
    free(g_xSys.title);
    size_t n = strlen(title) + 1;
    g_xSys.title = (char*)malloc(n);
    if (!g_xSys.title)
        g_xError.Raise(kModule, 40, 1, nullptr);
    memcpy(g_xSys.title, title, n);
    g_xSys.icon = icon;
    xSysSetActive(0);
}

void xSysShutdown()
{
    emptyResponders();
    g_xSys.timersEnd = g_xSys.timers;
    free(g_xSys.title);
    g_xSys.title = nullptr;
    g_xSys.icon = nullptr;
}

void xSysAddResponder(xSysResponder callback, uint32_t type, uint32_t priority)
{
    X_ASSERT(type < XEV_TYPES, kModule, 100);
    xSysResponderList& list = g_xSys.responders[type];
    if (list.end - list.entries >= XSYS_MAX_RESPONDERS)
        g_xError.Fatal(xFormat("xSysAddResponder() - limit of %u responders exceeded", (unsigned)XSYS_MAX_RESPONDERS));
    xSysResponderEntry* at = list.entries;
    while (at < list.end && at->priority <= priority)
        at++;
    memmove(at + 1, at, (char*)list.end - (char*)at);
    at->callback = callback;
    at->type = type;
    at->stamp = *g_xSys.generationTop;
    at->priority = priority;
    list.end++;
}

void xSysDispatch(uint32_t type, void* data)
{
    X_ASSERT(type < XEV_TYPES, kModule, 62);
    xSysResponderList& list = g_xSys.responders[type];
    if (list.end == list.entries)
        return;
    xSysResponderEntry* end = list.end;
    X_ASSERT(g_xSys.generationTop + 1 < g_xSys.generations + XSYS_GENERATIONS, kModule, 66);
    uint32_t generation = *g_xSys.generationTop;
    *++g_xSys.generationTop = generation;
    for (xSysResponderEntry* e = list.entries; e < end; e++)
        if (e->stamp <= *g_xSys.generationTop)
            e->callback(data);
    uint32_t leaving = *g_xSys.generationTop;
    *--g_xSys.generationTop = leaving;
}

void xSysAddTimer(xSysTimer callback, uint32_t frequency)
{
    if (frequency > 1000)
        g_xError.Fatal(xFormat("xSysAddTimer() - invalid frequency %u", frequency));
    if (xSysFindTimer(callback))
        return;
    if (g_xSys.timersEnd - g_xSys.timers >= XSYS_MAX_TIMERS)
        g_xError.Fatal(xFormat("xSysAddTimer() - limit of %u timers exceeded", (unsigned)XSYS_MAX_TIMERS));
    xSysTimerEntry* t = g_xSys.timersEnd++;
    t->callback = callback;
    t->period = frequency ? 1000u / frequency : 0u;
    t->due = platGetTickCount() + t->period;
}

bool xSysFindTimer(xSysTimer callback)
{
    X_ASSERT(callback != nullptr, kModule, 138);
    for (xSysTimerEntry* t = g_xSys.timers; t < g_xSys.timersEnd; t++)
        if (t->callback == callback)
            return true;
    return false;
}

void xSysRemoveTimer(xSysTimer callback)
{
    for (xSysTimerEntry* t = g_xSys.timers; t < g_xSys.timersEnd; t++)
        if (t->callback == callback) {
            memmove(t, t + 1, (char*)g_xSys.timersEnd - (char*)(t + 1));
            g_xSys.timersEnd--;
            return;
        }
    // The address as Windows' %p writes it: zero-padded upper-case hex.
    g_xError.Fatal(xFormat("xSysRemoveTimer() - cannot find timer 0x%0*llX", (int)(2 * sizeof(void*)),
                           (unsigned long long)(uintptr_t)callback));
}

void xSysSetVideoHooks(const xSysVideoHooks& hooks) { g_video = hooks; }

int xSysTimerCount() { return (int)(g_xSys.timersEnd - g_xSys.timers); }

void xSysSetActive(uint8_t state)
{
    if (state == g_xSys.active)
        return;
    uint32_t value = state;
    xSysDispatch(XEV_ACTIVATE, &value);
    g_xSys.active = state;
    if (state) {
        // Time spent inactive does not count as lateness.
        uint32_t shift = platGetTickCount() - g_xSys.inactiveSince + 1;
        for (xSysTimerEntry* t = g_xSys.timers; t < g_xSys.timersEnd; t++)
            t->due += shift;
        g_xSys.inactiveSince = shift;
    } else {
        g_xSys.inactiveSince = platGetTickCount();
    }
}

void xSysRun()
{
    uint32_t loop = 0;
    xSysDispatch(XEV_LOOP, &loop);
    for (;;) {
        if (g_xSys.active) {
            // The end is re-read before every entry: a timer added during the
            // walk runs in this pass, and the entry that moves into the slot
            // of a removed one waits for the next.
            for (xSysTimerEntry* t = g_xSys.timers; t < g_xSys.timersEnd; t++) {
                if (t->period == 0) {
                    t->callback(1);
                    continue;
                }
                uint32_t now = platGetTickCount();
                int32_t late = (int32_t)(now - t->due);
                if (late < 0)
                    continue;
                t->due += t->period;
                if ((uint32_t)late >= t->period)
                    t->due += (uint32_t)late;
                t->callback((uint32_t)late / t->period + 1);
            }
        } else {
            platWaitMessage();
        }
        PlatMsg msg;
        while (platPeekMessage(&msg)) {
            platDispatchMessage(&msg);
            if (msg.message == WM_QUIT) {
                loop = 1;
                xSysDispatch(XEV_LOOP, &loop);
                return;
            }
        }
    }
}

void xSysUpdateMouse()
{
    int x, y;
    platGetCursorPos(&x, &y);
    const int* area = g_xSys.mouseArea;
    bool inside = y >= area[0] && x >= area[1] && y <= area[2] && x <= area[3];
    if (inside) {
        while (platShowCursor(false) >= 0) {
        }
        g_xSys.cursorHidden = true;
    } else {
        present();
        g_xSys.cursorHidden = false;
        while (platShowCursor(true) < 0) {
        }
        return;
    }
    if (x < area[1]) x = area[1];
    if (x > area[3] - 1) x = area[3] - 1;
    if (y < area[0]) y = area[0];
    if (y > area[2] - 1) y = area[2] - 1;
    g_xSys.mouseX = x;
    g_xSys.mouseY = y;
    int32_t data[4] = {x, y, 0, 0};
    xSysDispatch(XEV_MOUSE, data);
}

intptr_t xSysWindowProc(PlatWindow* window, uint32_t message, uintptr_t wParam, intptr_t lParam)
{
    switch (message) {
    case WM_DESTROY:
    case WM_QUIT:
        if (g_video.release)
            g_video.release(window);
        xSysShutdown();
        platPostQuitMessage(0);
        return platDefWindowProc(window, message, wParam, lParam);
    case WM_MOVE:
        if (g_xSys.active && !(g_video.fullscreen && g_video.fullscreen()) && g_video.updateRects)
            g_video.updateRects();
        return 1;
    case WM_SIZE:
        g_xLog.Print("WM_SIZE");
        if (wParam == SIZE_RESTORED && g_xSys.active && objectsExist())
            present();
        return 1;
    case WM_CLOSE:
        xSysDispatch(XEV_CLOSE, nullptr);
        return 1;
    case WM_ERASEBKGND:
        g_xLog.Print("WM_ERASEBACKGROUND");
        if (objectsExist())
            present();
        return 1;
    case WM_ACTIVATEAPP:
        if (wParam) {
            g_xLog.Print("WM_ACTIVATEAPP -> activating...");
            xSysSetActive(1);
            if (objectsExist()) {
                present();
                xSysUpdateMouse();
            }
        } else {
            while (platShowCursor(true) < 0) {
            }
            xSysSetActive(0);
            g_xLog.Print("WM_ACTIVATEAPP -> deactivating...");
        }
        return 1;
    case WM_GETMINMAXINFO: {
        PlatMinMaxInfo* info = (PlatMinMaxInfo*)lParam;
        if (info) {
            int w = 0, h = 0;
            if (g_video.frameSize)
                g_video.frameSize(&w, &h);
            info->minTrackX = info->maxTrackX = w;
            info->minTrackY = info->maxTrackY = h;
        }
        return 1;
    }
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
        return 1;
    case WM_EXITSIZEMOVE:
        g_xLog.Print("WM_EXITSIZEMOVE");
        if (objectsExist() && g_xSys.active)
            present();
        return 1;
    default:
        return platDefWindowProc(window, message, wParam, lParam);
    }
}
