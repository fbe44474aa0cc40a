// A file record over test bytes, and a picture that frees itself.
#pragma once
#include <cstdlib>
#include <string>

#include "Ximage/Ximage.h"
#include "files/xFileIO.h"
#include "tests/images/ImageWriters.h"

namespace qhtest {

struct MemoryFile {
    MemoryFile(const Bytes& b, const char* fileName) : bytes(b), name(fileName)
    {
        file.name = (char*)name.c_str();
        file.size = (int32_t)bytes.size();
        file.data = bytes.data();
    }
    xFile* operator&() { return &file; }
    Bytes bytes;
    std::string name;
    xFile file;
};

struct Picture : xImage {
    Picture()
    {
        sizeX = sizeY = mode = 0;
        pixels = palette = nullptr;
    }
    ~Picture()
    {
        free(pixels);
        free(palette);
    }
    Picture(const Picture&) = delete;
    Picture& operator=(const Picture&) = delete;
    uint32_t pixel32(int x, int y) const { return ((const uint32_t*)pixels)[y * sizeX + x]; }
};

inline Bytes pattern(size_t n, uint32_t seed)
{
    Bytes b(n);
    for (size_t i = 0; i < n; i++) {
        seed = seed * 1664525u + 1013904223u;
        b[i] = (uint8_t)(seed >> 24);
    }
    return b;
}

} // namespace qhtest
