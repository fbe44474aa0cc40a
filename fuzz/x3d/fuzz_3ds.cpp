// 3DS scenes: the input as a block in memory for the reader, then the
// animation at the first, middle and last frame, before the start and far
// beyond the end, twice forwards and once backwards (the track cursors
// restart), then everything released.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "X3d/File3ds.h"
#include "X3d/Spline.h"
#include "fuzz/common/FuzzStop.h"

namespace {

// Globals: they must keep their values across the jump back.
x3dScene g_scene;

void release()
{
    x3dFreeScene(&g_scene);
    memset(&g_scene, 0, sizeof g_scene);
}

void run(xFile* file)
{
    x3dLoad3dsMem(file, &g_scene);
    g_scene.fogDistance = 1000.0f;
    x3dSetScene(&g_scene);
    float first = g_scene.firstFrame, last = g_scene.lastFrame;
    const float frames[5] = {-1.0f, first, (first + last) * 0.5f, last, last + 100000.0f};
    for (int pass = 0; pass < 3; pass++)
        for (int i = 0; i < 5; i++) {
            g_scene.frame = frames[pass < 2 ? i : 4 - i];
            x3dAnimateScene();
        }
    for (int i = 0; i < g_scene.objectCount; i++)
        qhfuzz::keep((uint8_t)(g_scene.objects[i].matrix[0][3] > 0.0f));
    for (int i = 0; i < g_scene.cameraCount; i++)
        qhfuzz::keep((uint8_t)(g_scene.cameras[i].view[2][3] > 0.0f));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    qhfuzz::setUp();
    x3dInit(640, 480, nullptr);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    qhfuzz::runOnBlock(data, size, "fuzz.3ds", run, release);
    return 0;
}
