// Format recognition and the loader it picks, then conversion to 32 bits as
// every user of a picture does.
#include "fuzz/images/FuzzImage.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) { return qhfuzz::initImages(); }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    qhfuzz::runLoader(data, size, [](xFile* f, xImage& img) {
        xImageLoad(f, img);
        xImageConvert(&img, 6);
    });
    return 0;
}
