// The JPEG memory source and call order: the loader, and the frame decoder
// of animations on a 64 x 48 buffer.
#include "fuzz/images/FuzzImage.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) { return qhfuzz::initImages(); }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    qhfuzz::runLoader(data, size, [](xFile* f, xImage& img) { xJpegLoad(f, img); });
    static uint32_t frame[64 * 48];
    uint8_t* block = (uint8_t*)malloc(size ? size : 1);
    if (size)
        memcpy(block, data, size);
    QH_FUZZ_GUARD(xJpegDecodeRGB32(block, (uint32_t)size, frame, 64, 48), (void)0);
    free(block);
    return 0;
}
