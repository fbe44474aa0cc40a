// The keyboard driver: key transitions become XEV_KEYDOWN and XEV_KEYUP events.
#pragma once
#include <cstdint>

#include "platform/Plat.h"

// 1 while the key with that scan code is down.
extern uint8_t g_keyState[256];

void xKeyboardInit(PlatWindow* window);
void xKeyboardTimer(uint32_t periods);
const char* xKeyboardErrorName(uint32_t code);
