// What the pixel-format converter (Hermes.cpp: handles, palettes, checks,
// straight copies) asks of the code that converts between differing layouts:
// SDL's blitters natively (sdl/HermesSdl.cpp), a loop of our own in the browser.
// Converters are named by their index. Never included above the platform folder.
#pragma once
#include <cstdint>

#include "platform/Hermes.h"

// Takes a source and destination format for converter index; false when the
// pair cannot be converted.
bool hermesBackendRequest(int index, const HermesFormat& source, const HermesFormat& dest);
// Converts width x height pixels of the requested pair; palette: 256 entries
// 0x00RRGGBB for an indexed source, else null. A 32-bit destination's bits no
// mask covers come out 0.
bool hermesBackendCopy(int index, const uint8_t* src, int width, int height, int srcPitch, uint8_t* dst,
                       int dstPitch, const int32_t* palette);
// The converter is returned: whatever it kept goes.
void hermesBackendReturn(int index);
