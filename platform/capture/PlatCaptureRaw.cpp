// The ".rgb" output: the frames one after another without a header, 640 x
// 480 pixels of 4 bytes B, G, R, 255, the music in a WAV file beside them.
#include <string>

#include "platform/capture/PlatCaptureSink.h"

namespace {

PlatCaptureFile g_video;

void open(const std::string& path, int)
{
    g_video.path = path;
    platCaptureOpenMusic(path);
    g_video.f = platCaptureCreate(path);
}

void frame(uint32_t* picture, bool changed, uint32_t)
{
    const size_t pixels = (size_t)PLAT_CAPTURE_WIDTH * PLAT_CAPTURE_HEIGHT;
    if (changed)
        for (size_t i = 0; i < pixels; i++)
            picture[i] |= 0xFF000000u;
    platCapturePut(picture, pixels * 4, g_video.f, g_video.path);
}

void finish(uint64_t, uint64_t) { g_video.finish(); }

void abandon() { g_video.abandon(); }

uint64_t frameBytes() { return (uint64_t)PLAT_CAPTURE_WIDTH * PLAT_CAPTURE_HEIGHT * 4; }
} // namespace

const PlatCaptureSink g_platCaptureRaw = {open, frame, finish, abandon, 0, frameBytes};
