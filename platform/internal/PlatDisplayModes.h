// The mode list behind platDisplayEnumModes and platDisplaySetMode.
// Never included above the platform folder.
#pragma once
#include <vector>

#include "platform/PlatDisplay.h"

std::vector<PlatDisplayMode> platDisplayModeList();
bool platDisplayModeListed(int width, int height, int bpp);
// QH_DISPLAY_DEPTH, or 0.
int platDisplayForcedDepth();
// True when the list is not the system's (QH_DISPLAY_MODES or a test's).
bool platDisplayModesReplaced();
