#include "PartLoad.h"

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
