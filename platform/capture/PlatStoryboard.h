// The storyboard sink of the capture backend: one picture of a whole run, a
// thumbnail of the show every two seconds of its time, eight to a row, each
// labelled under it with its time (m:ss) and the music's order/row. It is
// what a demo maker looks at first after a change.
#pragma once
#include <cstdint>
#include <vector>

// Show time between two thumbnails.
enum : uint32_t { PLAT_STORYBOARD_STEP_MS = 2000 };

// Adds the thumbnail of a 640 x 480 frame (pixels 0x00RRGGBB) shown ms after
// the capture's start, with the music at position (order in the low 16 bits,
// row in the high 16 bits; PLAT_MUSIC_ENDED when no music plays: the label
// then holds the time only).
void platStoryboardAdd(const uint32_t* frame, uint32_t ms, uint32_t position);
// How many thumbnails wait for the picture.
int platStoryboardCount();
// The picture of every thumbnail added, as the bytes of a PNG file; forgets
// the thumbnails. Empty when zlib fails.
std::vector<uint8_t> platStoryboardPng();

// The bytes of a PNG file holding an 8-bit RGB picture (3 bytes a pixel,
// rows top down without padding), compressed with zlib; empty when zlib
// fails (for want of memory).
std::vector<uint8_t> platPngEncode(const uint8_t* rgb, int width, int height);
