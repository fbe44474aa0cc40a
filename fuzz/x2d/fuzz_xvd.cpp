// .xvd frame animations: the header and frame walk, then every frame decoded
// into a buffer of exactly the size the header gives.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "X2d/X2danim.h"
#include "Ximage/Ximage.h"
#include "files/xFileIO.h"
#include "fuzz/common/FuzzStop.h"

namespace {

// Globals: they must keep their values across the jump back.
xVideo* g_video = nullptr;
uint32_t* g_frame = nullptr;

void release()
{
    delete g_video;
    g_video = nullptr;
    free(g_frame);
    g_frame = nullptr;
}

void run(xFile* file)
{
    g_video = new xVideo();
    g_video->load(file, 0);
    // Frames beyond a screen's worth of pixels are not worth the time here.
    if ((int64_t)g_video->sizeX * g_video->sizeY > 640 * 480)
        return;
    g_frame = (uint32_t*)malloc((size_t)g_video->sizeX * g_video->sizeY * 4);
    for (int i = 0; i < g_video->frames && i < 8; i++) {
        g_video->drawFrame(g_frame);
        qhfuzz::keep((uint8_t)g_frame[0]);
        g_video->update();
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    qhfuzz::setUp();
    xJpegSetErrorExit(qhfuzz::stopOnJpegError);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    qhfuzz::runOnBlock(data, size, "fuzz.xvd", run, release);
    return 0;
}
