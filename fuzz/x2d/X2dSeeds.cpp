// Writes the seed inputs of the .xvd fuzz target: small animations of
// flat and banded JPEG frames made by libjpeg's compressor.
// Usage: fuzz_x2d_seeds <seed root>
#include <cstdio>
#include <string>

#include "tests/images/ImageWriters.h"

using namespace qhtest;

namespace {

void le32(Bytes& b, uint32_t v)
{
    for (int i = 0; i < 4; i++)
        b.push_back((uint8_t)(v >> (8 * i)));
}

Bytes frame(int w, int h, int seed)
{
    Bytes samples((size_t)w * h * 3);
    for (size_t i = 0; i < samples.size(); i++)
        samples[i] = (uint8_t)((i / 3 % w) * 9 + (i / 3 / w) * 5 + seed * 40 + (i % 3) * 60);
    return makeJpeg(w, h, 3, samples, 60);
}

Bytes xvd(int w, int h, int frames)
{
    Bytes b = {'X', 'V', 'D', 0};
    le32(b, (uint32_t)w);
    le32(b, (uint32_t)h);
    le32(b, (uint32_t)frames);
    for (int i = 0; i < frames; i++) {
        Bytes f = frame(w, h, i);
        le32(b, (uint32_t)f.size());
        b.insert(b.end(), f.begin(), f.end());
    }
    return b;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: %s <seed root>\n", argv[0]);
        return 2;
    }
    const struct {
        const char* name;
        int w, h, frames;
    } seeds[] = {{"one.xvd", 8, 8, 1}, {"three.xvd", 16, 8, 3}, {"odd.xvd", 13, 7, 2}};
    for (const auto& s : seeds)
        writeSeed(argv[1], "fuzz_xvd", s.name, xvd(s.w, s.h, s.frames));
    return 0;
}
