// What every backend shares: the message queue (posted messages in order,
// then the quit message once the others are taken; each backend adds its own
// event pump in front, platPeekMessage and platWaitMessage), the shutdown
// hooks and the replaced clock. Never included above the platform folder.
#pragma once
#include "platform/Plat.h"

#include <vector>

// Queues a message for a window (a null window's message is dropped).
void platQueuePost(PlatWindow* window, uint32_t message, uintptr_t wParam, intptr_t lParam);
// Takes the oldest message, or the quit message once none is left.
bool platQueueTake(PlatMsg* msg);
// True when a message or the quit message waits.
bool platQueueWaiting();
// Drops the waiting messages of a window that goes (null: every message).
void platQueueForget(PlatWindow* window);
// The backend's: the window procedure of a window.
PlatWndProc platWindowProc(PlatWindow* window);

// The open windows in the order they were made; the first one made while no
// main window is open becomes the main window, which gets the keys, focus
// and quit messages of a backend that cannot tell windows apart.
void platWindowAdd(PlatWindow* window);
// Sends the window WM_DESTROY, then drops it and its waiting messages; the
// caller frees it.
void platWindowRemove(PlatWindow* window);
const std::vector<PlatWindow*>& platWindows();
PlatWindow* platWindowMain();
// Forgets every window and message (the caller has freed the windows).
void platWindowsClear();

// Where a picture of pictureWidth x pictureHeight is shown in an area of
// areaWidth x areaHeight: as large as fits at one scale both ways (its shape
// kept), centred; the rest of the area is black.
struct PlatBox {
    int x, y, width, height;
};
PlatBox platFitPicture(int pictureWidth, int pictureHeight, int areaWidth, int areaHeight);
// The size a window shows a client area at when none is asked for: the
// largest whole multiple of the client size within 90 % of the desktop's
// width and height, at least the client size itself.
void platDefaultShownSize(int clientWidth, int clientHeight, int desktopWidth, int desktopHeight, int* width,
                          int* height);

// Called by platShutdown, latest registered first (audio, display).
void platAddShutdownHook(void (*hook)());
// Runs the shutdown hooks, latest first, each once; the first call also has
// platShutdown run at process exit.
void platRunShutdownHooks();
void platShutdownAtExit();
// The clock given to platSetClock, or null.
extern uint32_t (*g_platTicks)();
extern uint32_t (*g_platSeconds)();
