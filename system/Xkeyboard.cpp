#include "Xkeyboard.h"

#include <cstring>

#include "platform/PlatKeyboard.h"
#include "system/Xerror.h"
#include "system/Xsystem.h"

uint8_t g_keyState[256];

namespace {

enum { BUFFER_RECORDS = 16 };

PlatKeyRecord g_events[BUFFER_RECORDS];

void check(int32_t result, const char* step)
{
    if (result < 0)
        g_xError.Fatal(xFormat("%s: %s", step, xKeyboardErrorName((uint32_t)result)));
}

} // namespace

void xKeyboardInit(PlatWindow* window)
{
    g_xLog.Print("Initializing keyboard driver");
    check(platKeyboardCreate(), "xKeyboardInit::DirectInputCreate()");
    if (!window)
        g_xError.Fatal("xKeyboardInit::No main window to set cooperative level");
    check(platKeyboardSetCooperativeLevel(window), "xKeyboardInit::lpDI_Keyboard->SetCooperativeLevel");
    check(platKeyboardSetBufferSize(BUFFER_RECORDS), "xKeyboardInit::lpDI_Keyboard->SetProperty");
    check(platKeyboardAcquire(), "xKeyboardInit::lpDI_Keyboard->Acquire()");
    xSysAddTimer(xKeyboardTimer, 0);
    memset(g_keyState, 0, sizeof g_keyState);
}

void xKeyboardTimer(uint32_t)
{
    memset(g_events, 0, sizeof g_events);
    uint32_t count = BUFFER_RECORDS;
    int32_t r = platKeyboardGetDeviceData(g_events, &count);
    if (r < 0) {
        if (r != PKERR_INPUTLOST && r != PKERR_NOTACQUIRED)
            g_xError.Fatal(xFormat("%s: %s", "xKeyboradTimer::GetDeviceData()", xKeyboardErrorName((uint32_t)r)));
        // Another program has the keyboard while we are in the background:
        // try again on the next pass instead of waiting here.
        int32_t a = platKeyboardAcquire();
        if (a == PKERR_OTHERAPPHASPRIO)
            return;
        if (a < 0)
            g_xError.Fatal(xFormat("xKeyboardTimer::lpDI_Keyboard->Acquire() : %s", xKeyboardErrorName((uint32_t)a)));
        count = BUFFER_RECORDS;
        r = platKeyboardGetDeviceData(g_events, &count);
        if (r < 0)
            g_xError.Fatal(xFormat("%s: %s", "xKeyboradTimer::lpDI_Keyborad->GetDeviceData(..)",
                                   xKeyboardErrorName((uint32_t)r)));
    }
    for (uint32_t i = 0; i < count && i < BUFFER_RECORDS; i++) {
        uint32_t scanCode = g_events[i].offset & 0xff;
        if (g_events[i].data & 0x80) {
            g_keyState[scanCode] = 1;
            xSysDispatch(XEV_KEYDOWN, &scanCode);
        } else {
            g_keyState[scanCode] = 0;
            xSysDispatch(XEV_KEYUP, &scanCode);
        }
    }
}

const char* xKeyboardErrorName(uint32_t code)
{
    switch (code) {
    case 0x80070002: return "DIERR_OBJECTNOTFOUND";
    case 0x80040207: return "DIERR_NOTBUFFERED";
    case 0x80004001: return "DIERR_UNSUPPORTED";
    case 0x80070005: return "DIERR_OTHERAPPHASPRIO";
    case 0x80070006: return "DIERR_E_HANDLE";
    case 0x8007000C: return "DIERR_NOTACQUIRED";
    case 0x8007000E: return "DIERR_OUTOFMEMORY";
    case 0x80070015: return "DIERR_NOTINITIALIZED";
    case 0x8007001E: return "DIERR_INPUTLOST";
    case 0x80070057: return "DIERR_INVALIDPARAM";
    case 0x800700AA: return "DIERR_ACQUIRED";
    case 0x8007047E: return "DIERR_OLDDIRECTINPUTVERISON";
    case 0x80070481: return "DIERR_BETADIRECTINPUTVERSION";
    default: return "DIERR_UNKNOWN";
    }
}
