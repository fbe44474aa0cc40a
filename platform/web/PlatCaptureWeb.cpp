// No capture in a browser tab: the page shows and plays the show live.
#include "platform/PlatCapture.h"

#include <cstdlib>

namespace {
void (*g_failHook)(const char*) = nullptr;
}

void platCaptureSetFailHook(void (*hook)(const char* text)) { g_failHook = hook; }
void platCaptureSetSize(int, int) {}

void platCaptureStart(const char* path, int)
{
    if (g_failHook)
        g_failHook("capture is not available in the browser");
    exit(4);
}

bool platCapturing() { return false; }
void platCaptureSpin(uint32_t) {}
void platCaptureSetLength(uint32_t) {}
void platCaptureFinish() {}
