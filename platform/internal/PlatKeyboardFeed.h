// Between the keyboard device (PlatKeyboard.cpp) and the backend whose key
// events feed it. Never included above the platform folder.
#pragma once
#include <cstdint>

#include "platform/PlatKeyboard.h"

// Backend: starts (true) or stops listening to the keys for the device.
void platKeyboardListen(bool on);
// Device: one key transition (code 0, a key the device does not know, and
// anything before the device is acquired are dropped).
void platKeyboardFeed(uint8_t code, bool pressed, uint32_t time);
// Device: the window gained or lost the focus.
void platKeyboardFocus(bool focused);
// Device: the window of the cooperative level, or null.
PlatWindow* platKeyboardWindow();
