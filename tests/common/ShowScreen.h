// The show's screen for tests and benchmarks that draw the parts directly:
// the system and video drivers with the 640 x 480 frame buffer, the 2D
// engine on the picture rows clipped to the letterbox, g_picture on line 115,
// and the archive as the parts' file source. Header-only, so benchmark
// programs can use it too.
#pragma once
#include "X2d/X2d.h"
#include "files/xFileIO.h"
#include "parts/ShowState.h"
#include "system/Xsystem.h"
#include "system/Xvideo.h"

inline void openShowScreen()
{
    xSysInit("Quiet Harbor", nullptr, nullptr);
    xVideoInit();
    xVideoSetMode(SHOW_WIDTH, SHOW_HEIGHT, 0, 32, 0xff0000, 0xff00, 0xff);
    x2dInit(SHOW_WIDTH, SHOW_2D_ROWS);
    x2dSetClipWindow(0, 0, SHOW_WIDTH, SHOW_LETTERBOX_ROWS);
    g_picture = g_frameBuffer + SHOW_LETTERBOX_TOP * SHOW_WIDTH;
}

// False when the archive cannot be opened.
inline bool openShowArchive(const char* path)
{
    if (g_fileIO.Open(path) != 0)
        return false;
    g_pFileIO = &g_fileIO;
    return true;
}
