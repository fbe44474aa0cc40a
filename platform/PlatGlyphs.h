// The small letters of the program's own captions (the storyboard's labels,
// the player's overlay line): 5 x 7 glyphs, one byte a row, bit 4 the
// leftmost column.
#pragma once
#include <cstdint>

// The glyph of A-Z (either case), 0-9, '/', '.' or ':'; null for anything
// else, which is drawn as a space.
const uint8_t* platGlyph5x7(char c);
