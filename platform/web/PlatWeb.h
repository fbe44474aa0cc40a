// What the browser backend's own modules share (the counterpart of
// sdl/PlatSdl.h). Never included above the platform folder.
#pragma once
#include <cstdint>

#include "platform/Plat.h"

// The device's scan code of a KeyboardEvent.code ("KeyA", "Escape"...); 0 for
// keys it does not know.
uint8_t platWebScanCode(const char* code);
