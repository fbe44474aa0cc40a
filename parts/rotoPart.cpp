#include "rotoPart.h"

#include "parts/PartLoad.h"
#include "parts/ShowState.h"

void RotoInit()
{
    g_rotoBack = partLoadSprite("fon1.gif", nullptr);
    // Blended whole over the letterbox without clipping.
    partCheckSize(g_rotoBack, "RotoInit()", "fon1.gif", SHOW_WIDTH, SHOW_LETTERBOX_ROWS);
}
