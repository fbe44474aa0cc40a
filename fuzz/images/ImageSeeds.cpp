// Writes the seed inputs of the picture fuzz targets: small valid files of
// every kind the loaders take, made by our own writers and libjpeg's
// compressor. Usage: fuzz_images_seeds <seed root>
#include <cstdio>
#include <string>

#include "tests/images/ImageWriters.h"

using namespace qhtest;

namespace {

std::string g_root;
int g_count = 0;

void put(const char* target, const char* name, const Bytes& bytes)
{
    writeSeed(g_root, target, name, bytes);
    g_count++;
}

Bytes noise(size_t n, uint32_t seed)
{
    Bytes b(n);
    for (size_t i = 0; i < n; i++) {
        seed = seed * 1664525u + 1013904223u;
        b[i] = (uint8_t)(seed >> 24);
    }
    return b;
}

Bytes bands(int w, int h, int comps)
{
    Bytes b((size_t)w * h * comps);
    for (size_t i = 0; i < b.size(); i++)
        b[i] = (uint8_t)((i / comps % w) / 3 * 5 + (i / comps / w) * 2 + (i % comps) * 40);
    return b;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: %s <seed root>\n", argv[0]);
        return 2;
    }
    g_root = argv[1];

    std::vector<std::pair<std::string, Bytes>> tga = {
        {"8.tga", makeTga(6, 4, 8, bands(6, 4, 1), noise(16 * 3, 1), 2)},
        {"16.tga", makeTga(5, 3, 16, noise(30, 2))},
        {"15.tga", makeTga(3, 3, 15, noise(18, 3))},
        {"24.tga", makeTga(7, 5, 24, bands(7, 5, 3))},
        {"32.tga", makeTga(4, 4, 32, noise(64, 4), Bytes(), 3)},
    };
    std::vector<std::pair<std::string, Bytes>> pcx = {
        {"8.pcx", makePcx(9, 5, 1, bands(9, 5, 1), noise(768, 5))},
        {"24.pcx", makePcx(8, 6, 3, bands(8, 6, 3))},
        {"noise.pcx", makePcx(5, 4, 3, noise(60, 6))},
    };
    Bytes carry = pcxHeader(4, 3, 1);
    for (int b : {0xc0, 0x11, 0xc6, (int)'A', (int)'x', (int)'y', 0xc2, (int)'B'})
        carry.push_back((uint8_t)b);
    carry.resize(carry.size() + 768, 9);
    pcx.push_back({"carry.pcx", carry});

    std::vector<std::pair<std::string, Bytes>> gif;
    int k = 0;
    for (bool global : {true, false})
        for (bool interlaced : {false, true})
            for (int blockSize : {255, 3}) {
                GifOptions o;
                o.globalTable = global;
                o.localTable = !global || k % 3 == 0;
                o.interlaced = interlaced;
                o.extensions = k % 2 == 0;
                o.blockSize = blockSize;
                int w = 8 + k * 3, h = 5 + k;
                Bytes px = k % 2 ? noise((size_t)w * h, 7 + k) : bands(w, h, 1);
                gif.push_back({"g" + std::to_string(k) + ".gif", makeGif(w, h, px, noise(768, 20 + k), o)});
                k++;
            }
    GifOptions bare;
    bare.globalTable = false;
    gif.push_back({"bare.gif", makeGif(4, 2, bands(4, 2, 1), Bytes(), bare)});

    std::vector<std::pair<std::string, Bytes>> jpeg = {
        {"grey.jpg", makeJpeg(16, 12, 1, bands(16, 12, 1), 80)},
        {"colour.jpg", makeJpeg(20, 13, 3, bands(20, 13, 3), 75)},
        {"progressive.jpg", makeJpeg(24, 17, 3, bands(24, 17, 3), 70, true)},
        {"frame.jpg", makeJpeg(64, 48, 3, bands(64, 48, 3), 50)},
    };

    for (auto& s : tga) {
        put("fuzz_tga", s.first.c_str(), s.second);
        put("fuzz_imageload", s.first.c_str(), s.second);
    }
    for (auto& s : pcx) {
        put("fuzz_pcx", s.first.c_str(), s.second);
        put("fuzz_imageload", s.first.c_str(), s.second);
    }
    for (auto& s : gif) {
        put("fuzz_gif", s.first.c_str(), s.second);
        put("fuzz_imageload", s.first.c_str(), s.second);
    }
    for (auto& s : jpeg) {
        put("fuzz_jpeg", s.first.c_str(), s.second);
        put("fuzz_imageload", s.first.c_str(), s.second);
    }
    printf("%d seed files in %s\n", g_count, g_root.c_str());
    return 0;
}
