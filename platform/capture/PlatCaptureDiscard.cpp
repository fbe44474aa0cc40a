// The "/dev/null" output: every frame converted as for a ".y4m" file and the
// music rendered, nothing kept: what a capture costs without a disk or an
// encoder. Its end says how many frames went.
#include <string>

#include "platform/PlatMusic.h"
#include "platform/capture/PlatCaptureSink.h"

namespace {

void open(const std::string&, int) { platCaptureVideoOpen(); }

void frame(uint32_t* picture, bool changed, uint32_t)
{
    if (changed)
        platCaptureVideoFrame(picture);
}

void finish(uint64_t frames, uint64_t musicFrames)
{
    fprintf(stderr, "capture: discarded %llu frames and %.1f s of music\n", (unsigned long long)frames,
            (double)musicFrames / PLAT_MUSIC_RATE);
}

void abandon() {}
} // namespace

const PlatCaptureSink g_platCaptureDiscard = {open, frame, finish, abandon, 0, nullptr};
