// Picture and .xvd files written to a scratch folder for the loading tests.
#pragma once
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/common/Scratch.h"
#include "tests/images/ImageWriters.h"

namespace x2dtest {

using qhtest::Bytes;

// Writes bytes to the test's scratch folder and returns the full path.
inline std::string put(const std::string& name, const Bytes& bytes)
{
    std::string path = scratchFile(name);
    writeFile(path, bytes);
    return path;
}

// 24-bit TGA whose pixel (x, y) is colourOf(x, y).
template <class Fn>
Bytes tga24(int w, int h, Fn colourOf)
{
    Bytes rows;
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            uint32_t c = colourOf(x, y);
            rows.push_back((uint8_t)c);
            rows.push_back((uint8_t)(c >> 8));
            rows.push_back((uint8_t)(c >> 16));
        }
    return qhtest::makeTga(w, h, 24, rows);
}

// 8-bit TGA whose index at (x, y) is indexOf(x, y), with a full grey map.
template <class Fn>
Bytes tga8(int w, int h, Fn indexOf)
{
    Bytes rows, map;
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++)
            rows.push_back((uint8_t)indexOf(x, y));
    for (int i = 0; i < 256; i++)
        for (int k = 0; k < 3; k++)
            map.push_back((uint8_t)(255 - i));
    return qhtest::makeTga(w, h, 8, rows, map);
}

inline void le32(Bytes& b, uint32_t v)
{
    for (int i = 0; i < 4; i++)
        b.push_back((uint8_t)(v >> (8 * i)));
}

// A flat-coloured three-component JPEG.
inline Bytes flatJpeg(int w, int h, uint8_t r, uint8_t g, uint8_t b)
{
    Bytes samples;
    for (int i = 0; i < w * h; i++) {
        samples.push_back(r);
        samples.push_back(g);
        samples.push_back(b);
    }
    return qhtest::makeJpeg(w, h, 3, samples, 100);
}

inline Bytes xvdHeader(int w, int h, int frames)
{
    Bytes b = {'X', 'V', 'D', 0};
    le32(b, (uint32_t)w);
    le32(b, (uint32_t)h);
    le32(b, (uint32_t)frames);
    return b;
}

inline void addFrame(Bytes& xvd, const Bytes& jpeg)
{
    le32(xvd, (uint32_t)jpeg.size());
    xvd.insert(xvd.end(), jpeg.begin(), jpeg.end());
}

} // namespace x2dtest
