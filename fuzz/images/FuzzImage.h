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

// The input is copied to a block of its exact size, so any read past it is
// caught by the address sanitizer.
template <typename Loader>
void runLoader(const uint8_t* data, size_t size, Loader load)
{
    uint8_t* block = (uint8_t*)malloc(size ? size : 1);
    if (size)
        memcpy(block, data, size);
    static xFile file;
    file.name = (char*)"fuzz.input";
    file.size = (int32_t)size;
    file.data = block;
    picture() = xImage{0, 0, 0, nullptr, nullptr};
    QH_FUZZ_GUARD(load(&file, picture()), releasePicture());
    free(block);
}

} // namespace qhfuzz
