#include "Xkeyboard.h"

#include <cstring>

#include "system/Xsystem.h"

uint8_t g_keyState[256];

void xKeyboardInit(PlatWindow*)
{
    xSysAddTimer(xKeyboardTimer, 0);
    memset(g_keyState, 0, sizeof g_keyState);
}

void xKeyboardTimer(uint32_t) {}

const char* xKeyboardErrorName(uint32_t) { return "DIERR_UNKNOWN"; }
