// Loading the parts' pictures, and the checks that keep a picture drawn
// without clipping, or copied whole, inside the place it is drawn in.
#pragma once
#include <cstdint>

class x2dSprite;

// A sprite from the archive, with the alpha channel of a second picture
// (alphaName null: none).
x2dSprite* partLoadSprite(const char* name, const char* alphaName);
// A sprite that is only an alpha layer, drawn in one colour.
x2dSprite* partLoadLayer(const char* name, uint32_t color);
// A sprite that shows sizeY rows of sizeX pixels from pixels on, without
// owning them.
x2dSprite* partMakeView(uint32_t* pixels, int32_t sizeX, int32_t sizeY);
// Ends the show with "<step> -> Picture too large for its place -> <name>"
// unless the sprite placed at (x, y) stays left of right and above bottom.
void partCheckFits(const x2dSprite* s, const char* step, const char* name, int x, int y, int right, int bottom);
// Ends the show with "<step> -> Wrong size of <name>" unless the sprite is
// exactly width x height.
void partCheckSize(const x2dSprite* s, const char* step, const char* name, int width, int height);
