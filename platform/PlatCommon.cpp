#include "platform/internal/PlatCommon.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <vector>

namespace {
std::deque<PlatMsg> g_queue;
bool g_quitPosted = false;
int g_quitCode = 0;
std::vector<void (*)()> g_shutdownHooks;
std::vector<PlatWindow*> g_windows;
PlatWindow* g_mainWindow = nullptr;
} // namespace

uint32_t (*g_platTicks)() = nullptr;
uint32_t (*g_platSeconds)() = nullptr;

void platSetClock(uint32_t (*ticks)(), uint32_t (*seconds)())
{
    g_platTicks = ticks;
    g_platSeconds = seconds;
}

void platAddShutdownHook(void (*hook)()) { g_shutdownHooks.push_back(hook); }

void platRunShutdownHooks()
{
    while (!g_shutdownHooks.empty()) {
        void (*hook)() = g_shutdownHooks.back();
        g_shutdownHooks.pop_back();
        hook();
    }
}

void platShutdownAtExit()
{
    static bool registered = false;
    if (!registered) {
        registered = true;
        atexit(platShutdown);
    }
}

void platQueuePost(PlatWindow* window, uint32_t message, uintptr_t wParam, intptr_t lParam)
{
    if (window)
        g_queue.push_back(PlatMsg{window, message, wParam, lParam});
}

bool platQueueTake(PlatMsg* msg)
{
    if (!g_queue.empty()) {
        *msg = g_queue.front();
        g_queue.pop_front();
        return true;
    }
    if (g_quitPosted) {
        g_quitPosted = false;
        *msg = PlatMsg{nullptr, WM_QUIT, (uintptr_t)g_quitCode, 0};
        return true;
    }
    return false;
}

bool platQueueWaiting() { return !g_queue.empty() || g_quitPosted; }

void platQueueForget(PlatWindow* window)
{
    for (size_t i = 0; i < g_queue.size();)
        if (!window || g_queue[i].window == window)
            g_queue.erase(g_queue.begin() + i);
        else
            i++;
}

intptr_t platDispatchMessage(const PlatMsg* msg)
{
    PlatWndProc proc = msg && msg->window ? platWindowProc(msg->window) : nullptr;
    return proc ? proc(msg->window, msg->message, msg->wParam, msg->lParam) : 0;
}

void platPostMessage(PlatWindow* window, uint32_t message, uintptr_t wParam, intptr_t lParam)
{
    platQueuePost(window, message, wParam, lParam);
}

void platPostQuitMessage(int exitCode)
{
    g_quitPosted = true;
    g_quitCode = exitCode;
}

void platWindowAdd(PlatWindow* window)
{
    g_windows.push_back(window);
    if (!g_mainWindow)
        g_mainWindow = window;
}

void platWindowRemove(PlatWindow* window)
{
    if (PlatWndProc proc = platWindowProc(window))
        proc(window, WM_DESTROY, 0, 0);
    for (size_t i = 0; i < g_windows.size(); i++)
        if (g_windows[i] == window) {
            g_windows.erase(g_windows.begin() + (std::ptrdiff_t)i);
            break;
        }
    platQueueForget(window);
    if (g_mainWindow == window)
        g_mainWindow = nullptr;
}

const std::vector<PlatWindow*>& platWindows() { return g_windows; }

PlatWindow* platWindowMain() { return g_mainWindow; }

void platWindowsClear()
{
    g_windows.clear();
    g_mainWindow = nullptr;
    platQueueForget(nullptr);
}

PlatBox platFitPicture(int pictureWidth, int pictureHeight, int areaWidth, int areaHeight)
{
    if (pictureWidth <= 0 || pictureHeight <= 0 || areaWidth <= 0 || areaHeight <= 0)
        return PlatBox{0, 0, 0, 0};
    int64_t w = areaWidth, h = areaHeight;
    // The narrower of the two shapes decides which side fills the area.
    if ((int64_t)areaWidth * pictureHeight > (int64_t)areaHeight * pictureWidth)
        w = (int64_t)pictureWidth * areaHeight / pictureHeight;
    else
        h = (int64_t)pictureHeight * areaWidth / pictureWidth;
    return PlatBox{(areaWidth - (int)w) / 2, (areaHeight - (int)h) / 2, (int)w, (int)h};
}

void platDefaultShownSize(int clientWidth, int clientHeight, int desktopWidth, int desktopHeight, int* width,
                          int* height)
{
    int times = 1;
    if (clientWidth > 0 && clientHeight > 0)
        while ((int64_t)clientWidth * (times + 1) * 10 <= (int64_t)desktopWidth * 9 &&
               (int64_t)clientHeight * (times + 1) * 10 <= (int64_t)desktopHeight * 9)
            times++;
    *width = clientWidth * times;
    *height = clientHeight * times;
}
