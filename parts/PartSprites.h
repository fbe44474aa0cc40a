// Pictures as the parts of the show load them: sprites from the archive,
// alpha layers, views on pixels another object owns, and the check that a
// picture drawn without clipping fits its place.
#pragma once
#include <cstdint>

class x2dSprite;

// A sprite from a picture of the archive, with an 8-bit picture of the same
// size as its alpha channel when alphaName is given.
x2dSprite* partLoadSprite(const char* name, const char* alphaName);
// A sprite that is only an alpha layer drawn in one colour.
x2dSprite* partLoadLayer(const char* name, uint32_t color);
// A sprite that shows sizeY rows of sizeX pixels from pixels on, without
// owning them.
x2dSprite* partMakeView(uint32_t* pixels, int32_t sizeX, int32_t sizeY);
// Ends the program ("<step> -> Picture too large for its place -> <name>")
// unless the sprite, placed at (x, y), ends left of right and above bottom.
void partCheckFits(const x2dSprite* s, const char* step, const char* name, int x, int y, int right, int bottom);
