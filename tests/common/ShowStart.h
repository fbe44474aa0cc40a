// What the program's start-up makes before the parts draw, for tests and
// benches of the parts and the timeline.
#pragma once
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "X2d/X2d.h"
#include "X3d/X3d.h"
#include "files/xFileIO.h"
#include "parts/Credits.h"
#include "parts/ShowState.h"
#include "parts/gretPart.h"
#include "system/Xrand.h"
#include "system/Xsystem.h"
#include "system/Xvideo.h"
#include "tests/common/TestZip.h"

// The system and video drivers with a 640 x 480 window of 32 bits, the 2D
// engine clipped to the letterbox and the picture on the letterbox's top.
inline void startShowScreen()
{
    xSysInit("Quiet Harbor", nullptr, nullptr);
    xVideoInit();
    xVideoSetMode(SHOW_WIDTH, SHOW_HEIGHT, 0, 32, 0xff0000, 0xff00, 0xff);
    x2dInit(SHOW_WIDTH, SHOW_2D_ROWS);
    x2dSetClipWindow(0, 0, SHOW_WIDTH, SHOW_LETTERBOX_ROWS);
    g_picture = g_frameBuffer + SHOW_LETTERBOX_TOP * SHOW_WIDTH;
}

// Makes the folder of the archive at pak the working one: the scenes read
// their textures beside the archive, as the show does in its own folder.
inline bool enterFolderOf(const char* pak)
{
    const std::string path = pak;
    return chdir(path.substr(0, path.rfind('/') + 1).c_str()) == 0;
}

// The same, with the greetings loaded from the archive at pak (the random
// generator seeded alike every time). False when the archive does not open.
inline bool startGreetings(const char* pak)
{
    startShowScreen();
    if (g_fileIO.Open(pak) != 0)
        return false;
    g_pFileIO = &g_fileIO;
    xSrand(20);
    GreetInit();
    return true;
}

// The same, with the 3D engine and the credits loaded after the greetings
// (their roto-zoom draws on the greetings' background block). The credits
// scene reads its textures from the folder beside the archive, as the show
// does from its own folder.
inline bool startCredits(const char* pak)
{
    if (!startGreetings(pak))
        return false;
    x3dInit(SHOW_WIDTH, SHOW_HEIGHT, nullptr);
    char here[4096];
    if (!getcwd(here, sizeof here) || !enterFolderOf(pak))
        return false;
    CreditsInit();
    return chdir(here) == 0;
}

// The 2D engine and the file source on an archive of the entries, read from
// memory, for a part's set-up on broken data (in a death test: the archive is
// kept for the rest of the run). Ends the program with status 99 when the
// archive cannot be made or opened.
inline void startOnEntries(const std::vector<TestZipEntry>& entries)
{
    writeTestZip(scratchFile("demo.pak"), entries);
    static std::string archive;
    archive = readWholeFile(scratchFile("demo.pak"));
    xSysInit("Quiet Harbor", nullptr, nullptr);
    x2dInit(SHOW_WIDTH, SHOW_2D_ROWS);
    g_fileIO.Close();
    if (g_fileIO.OpenMemory(archive.data(), archive.size()) != 0)
        exit(99);
    g_pFileIO = &g_fileIO;
}
