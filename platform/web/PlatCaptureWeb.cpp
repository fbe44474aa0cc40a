// The browser's capture: the page's hash mode (?hash), the show on the
// native capture's virtual clock, each frame that falls due handed to the
// page as the 64-bit FNV-1a hash of its 640 x 480 x 4 bytes B, G, R, 255 (the
// hash of the reference frames), so a browser can be checked against the
// native program's capture of the same orders. The page renders the music
// silently up to the virtual time, as the native capture does, and the
// canvas is left alone. Files cannot be captured here.
#include "platform/PlatCapture.h"

#include <emscripten.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/PlatDisplay.h"
#include "platform/internal/PlatCommon.h"
#include "platform/internal/PlatSurface.h"
#include "platform/internal/PlatVirtualClock.h"

namespace {

const int kWidth = 640, kHeight = 480;
const uint32_t kStartTick = kVirtualStartTick;

void (*g_failHook)(const char*) = nullptr;
bool g_on = false;
uint32_t g_now = kStartTick;
int g_fps = 60;
uint64_t g_frames = 0;
std::vector<uint32_t> g_picture;
uint64_t g_pictureChanges = 0;
uint64_t g_pictureHash = 0;

EM_JS(void, qh_capture_clock, (uint32_t ms), {
    if (Module.music && Module.music.setVirtualMs) Module.music.setVirtualMs(ms);
});

EM_JS(void, qh_capture_hash, (uint32_t hi, uint32_t lo), {
    var hex = (h) => ("0000000" + h.toString(16)).slice(-8);
    if (Module.onFrameHash) Module.onFrameHash(hex(hi >>> 0) + hex(lo >>> 0));
});

uint32_t virtualTicks() { return g_now; }
uint32_t virtualSeconds() { return platVirtualSeconds(g_now); }

uint64_t frameDue(uint64_t k) { return k * 1000 / (uint64_t)g_fps; }

uint64_t hashOf(const std::vector<uint32_t>& picture)
{
    uint64_t h = 14695981039346656037ull;
    for (uint32_t p : picture) {
        uint32_t v = p | 0xFF000000u;
        for (int i = 0; i < 4; i++, v >>= 8)
            h = (h ^ (v & 0xFF)) * 1099511628211ull;
    }
    return h;
}

// As the native capture: an unchanged primary keeps the frame read last.
void writeFrame()
{
    uint64_t changes = platSurfaceChanges();
    if (g_frames == 0 || changes != g_pictureChanges) {
        if (!platDisplayReadPrimary(g_picture.data(), kWidth, kHeight))
            memset(g_picture.data(), 0, g_picture.size() * 4);
        g_pictureChanges = changes;
        g_pictureHash = hashOf(g_picture);
    }
    qh_capture_hash((uint32_t)(g_pictureHash >> 32), (uint32_t)g_pictureHash);
    g_frames++;
}

} // namespace

void platCaptureSetFailHook(void (*hook)(const char* text)) { g_failHook = hook; }
void platCaptureSetSize(int, int) {}

void platCaptureStart(const char* path, int fps)
{
    if (strcmp(path, "hash") != 0) {
        if (g_failHook)
            g_failHook("capture is not available in the browser");
        exit(4);
    }
    g_fps = fps > 0 ? fps : 60;
    g_picture.assign((size_t)kWidth * kHeight, 0);
    g_now = kStartTick;
    g_frames = 0;
    platSetClock(virtualTicks, virtualSeconds);
    qh_capture_clock(g_now);
    platDisplaySetUnseen(true);
    g_on = true;
}

bool platCapturing() { return g_on; }
void platCaptureSetLength(uint32_t) {}

void platCaptureSpin(uint32_t until)
{
    if (!g_on)
        return;
    g_now = platVirtualStep(g_now, until);
    qh_capture_clock(g_now);
    while (frameDue(g_frames) <= (uint64_t)(g_now - kStartTick))
        writeFrame();
}

void platCaptureFinish()
{
    if (!g_on)
        return;
    // The show's last picture closes the capture as one frame more.
    writeFrame();
    platDisplaySetUnseen(false);
    g_on = false;
}
