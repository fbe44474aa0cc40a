#include "PartLoad.h"

#include "X2d/X2d.h"
#include "X2d/X2dspr.h"
#include "files/xFileIO.h"
#include "system/Xerror.h"

x2dSprite* partLoadSprite(const char* name, const char* alphaName)
{
    x2dSprite* s = x2dSpriteCreate();
    s->Load(name, g_pFileIO);
    if (alphaName)
        s->LoadAlphaChannel(alphaName, g_pFileIO);
    return s;
}

x2dSprite* partLoadLayer(const char* name, uint32_t color)
{
    x2dSprite* s = x2dSpriteCreate();
    s->LoadAlphaLayer(name, g_pFileIO, (int)color);
    return s;
}

x2dSprite* partMakeView(uint32_t* pixels, int32_t sizeX, int32_t sizeY)
{
    x2dSprite* s = x2dSpriteCreate();
    s->ownsMemory = 0;
    s->pixels = pixels;
    s->sizeX = sizeX;
    s->sizeY = sizeY;
    s->pitch = sizeX * 4;
    s->skip = x2dScreenWidth - sizeX;
    return s;
}

void partCheckFits(const x2dSprite* s, const char* step, const char* name, int x, int y, int right, int bottom)
{
    if (x + s->sizeX > right || y + s->sizeY > bottom)
        g_xError.Fatal(xFormat("%s -> Picture too large for its place -> %s", step, name));
}

void partCheckSize(const x2dSprite* s, const char* step, const char* name, int width, int height)
{
    if (s->sizeX != width || s->sizeY != height)
        g_xError.Fatal(xFormat("%s -> Wrong size of %s", step, name));
}
