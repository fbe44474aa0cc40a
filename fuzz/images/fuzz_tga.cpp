#include "fuzz/images/FuzzImage.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) { return qhfuzz::initImages(); }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    qhfuzz::runLoader(data, size, [](xFile* f, xImage& img) { xTargaLoad(f, img); });
    return 0;
}
