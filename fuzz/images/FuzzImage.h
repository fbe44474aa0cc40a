// Shared body of the picture fuzz targets: the input as a file record, a
// loader run under the stop guard, and the blocks it left freed afterwards.
#pragma once
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "Ximage/Ximage.h"
#include "files/xFileIO.h"
#include "fuzz/common/FuzzStop.h"

namespace qhfuzz {

// Globals: they must keep their values across the jump back.
inline xImage& picture()
{
    static xImage image;
    return image;
}

inline void releasePicture()
{
    free(picture().pixels);
    free(picture().palette);
    picture().pixels = picture().palette = nullptr;
}

inline int initImages()
{
    setUp();
    xJpegSetErrorExit(stopOnJpegError);
    return 0;
}

// A picture loader on the input, its picture released afterwards.
template <typename Loader>
void runLoader(const uint8_t* data, size_t size, Loader load)
{
    picture() = xImage{0, 0, 0, nullptr, nullptr};
    runOnBlock(data, size, "fuzz.input", [&](xFile* file) { load(file, picture()); }, releasePicture);
}

} // namespace qhfuzz
