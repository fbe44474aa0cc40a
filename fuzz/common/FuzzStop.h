// Fuzz targets run many inputs in one process: a fatal report or a JPEG
// library error must come back to the target instead of ending the process.
#pragma once
#include <csetjmp>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "files/xFileIO.h"
#include "system/Xerror.h"

#include <cstdio>
#include <jpeglib.h>

namespace qhfuzz {

inline jmp_buf& stopPoint()
{
    static jmp_buf point;
    return point;
}

// Keeps a value computed from input bytes alive.
inline volatile uint8_t g_sink;
inline void keep(uint8_t value) { g_sink = value; }

inline void stopOnReport(int) { longjmp(stopPoint(), 1); }

// The library's own exit would destroy the object first; so do we.
inline void stopOnJpegError(j_common_ptr cinfo)
{
    jpeg_destroy(cinfo);
    longjmp(stopPoint(), 2);
}

// Once per process: no dialog, reports come back through stopPoint().
inline void setUp()
{
    setenv("QH_DIALOG_ANSWER", "yes", 1);
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    xErrorSetExitHook(stopOnReport);
}

} // namespace qhfuzz

// Runs body; a fatal report inside it jumps back and runs cleanup instead.
#define QH_FUZZ_GUARD(body, cleanup) \
    do {                             \
        if (setjmp(qhfuzz::stopPoint()) == 0) { \
            body;                    \
        }                            \
        cleanup;                     \
    } while (0)

namespace qhfuzz {

// The input as a file block of its exact size, so a read past it is caught,
// handed to body under the stop guard; cleanup runs afterwards either way.
template <typename Body, typename Cleanup>
void runOnBlock(const uint8_t* data, size_t size, const char* name, Body body, Cleanup cleanup)
{
    uint8_t* block = (uint8_t*)malloc(size ? size : 1);
    if (size)
        memcpy(block, data, size);
    static xFile file;
    file.name = (char*)name;
    file.size = (int32_t)size;
    file.data = block;
    QH_FUZZ_GUARD(body(&file), cleanup());
    free(block);
}

} // namespace qhfuzz
