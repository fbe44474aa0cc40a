// The system driver: responders, timers, the main loop and the main window's
// window procedure.
#pragma once
#include <cstdint>

#include "platform/Plat.h"

enum {
    XEV_KEYDOWN = 0,
    XEV_KEYUP = 1,
    XEV_MOUSE = 2,
    XEV_PRESENT_BEGIN = 7,
    XEV_PRESENT_END = 8,
    XEV_VIDEOMODE = 9,
    XEV_ACTIVATE = 10,
    XEV_LOOP = 11,
    XEV_CLOSE = 12,
    XEV_TYPES = 13,
};

typedef void (*xSysResponder)(void* data);
typedef void (*xSysTimer)(uint32_t periods);

enum { XSYS_MAX_RESPONDERS = 10, XSYS_MAX_TIMERS = 10, XSYS_GENERATIONS = 20 };

struct xSysResponderEntry {
    xSysResponder callback;
    uint32_t type;
    uint32_t stamp;
    uint32_t priority;
};

struct xSysResponderList {
    xSysResponderEntry entries[XSYS_MAX_RESPONDERS];
    xSysResponderEntry* end;
};

struct xSysTimerEntry {
    xSysTimer callback;
    uint32_t due;
    uint32_t period;
};

// The driver's state, readable by everyone; written only through the calls
// below, except the active flag, which the video driver sets directly.
struct xSysState {
    xSysResponderList responders[XEV_TYPES];
    xSysTimerEntry timers[XSYS_MAX_TIMERS];
    xSysTimerEntry* timersEnd;
    uint8_t active;
    uint32_t inactiveSince;
    char* title;
    void* icon;
    uint32_t generations[XSYS_GENERATIONS];
    uint32_t* generationTop;
    int mouseArea[4]; // minimum y, minimum x, maximum y, maximum x
    int mouseX, mouseY;
    bool cursorHidden;
};

extern xSysState g_xSys;

void xSysInit(const char* title, void* icon, const char* logName);
void xSysShutdown();
void xSysAddResponder(xSysResponder callback, uint32_t type, uint32_t priority);
void xSysDispatch(uint32_t type, void* data);
void xSysAddTimer(xSysTimer callback, uint32_t frequency);
void xSysRemoveTimer(xSysTimer callback);
bool xSysFindTimer(xSysTimer callback);
void xSysSetActive(uint8_t state);
void xSysRun();
void xSysUpdateMouse();
int xSysTimerCount();

// The window procedure of the main window.
intptr_t xSysWindowProc(PlatWindow* window, uint32_t message, uintptr_t wParam, intptr_t lParam);

// What the window procedure and the mouse ask of the video driver, which sits
// above this one and registers them when it starts; until then, and for a
// null entry, nothing is done (and nothing exists, nothing is full-screen).
struct xSysVideoHooks {
    void (*present)();
    // The window is being destroyed: the surfaces and the display go.
    void (*release)(PlatWindow* window);
    bool (*objectsExist)();
    bool (*fullscreen)();
    void (*updateRects)();
    void (*frameSize)(int* width, int* height);
};
void xSysSetVideoHooks(const xSysVideoHooks& hooks);
