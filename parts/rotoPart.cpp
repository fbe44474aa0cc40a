#include "rotoPart.h"

#include "X2d/X2dspr.h"
#include "files/xFileIO.h"
#include "parts/ShowState.h"
#include "system/Xerror.h"

void RotoInit()
{
    g_rotoBack = x2dSpriteCreate();
    g_rotoBack->Load("fon1.gif", g_pFileIO);
    // Blended whole over the letterbox without clipping.
    if (g_rotoBack->sizeX != SHOW_WIDTH || g_rotoBack->sizeY != SHOW_LETTERBOX_ROWS)
        g_xError.Fatal("RotoInit() -> Wrong size of fon1.gif");
}
