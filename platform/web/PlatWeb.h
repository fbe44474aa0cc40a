// What the browser backend's own modules share (the counterpart of
// PlatSdl.h). Never included above the platform folder.
#pragma once
#include <cstdint>

#include "platform/Plat.h"

// The keyboard device listens to every key transition before it becomes a
// message: the device's scan code, pressed or released, the time in ms.
void platSetKeyHook(void (*hook)(uint8_t scanCode, bool pressed, uint32_t time));
// Focus changes of the page, for the keyboard device's acquisition.
void platSetFocusHook(void (*hook)(bool focused));
// Called by platShutdown, latest registered first (audio, display).
void platAddShutdownHook(void (*hook)());
// The device's scan code of a KeyboardEvent.code ("KeyA", "Escape"...); 0 for
// keys it does not know.
uint8_t platWebScanCode(const char* code);
