#include <cstdlib>
#include <cstring>

#include "Ximage.h"
#include "XimageFile.h"
#include "files/xFileIO.h"
#include "system/Xerror.h"

static const char* const kModule = "Ximage/Xtarga.cpp";

namespace {

enum { HEADER_SIZE = 18 };


uint32_t get16(const uint8_t* p) { return (uint32_t)p[0] | (uint32_t)p[1] << 8; }

[[noreturn]] void refuse(const char* name, int line) { g_xError.Raise(kModule, line, 6, name); }

// The file is always taken as bottom-up: the last stored row becomes the top.
void decodeTarga(const uint8_t* data, size_t size, const char* name, XimageForm form, xImage& image)
{
    if (size < HEADER_SIZE) {
        if (form == DISK_FORM)
            g_xError.Fatal(xFormat("xTargaLoad::Can't read file -> %s", name));
        refuse(name, __LINE__);
    }
    uint32_t idLength = data[0];
    uint32_t mapLength = get16(data + 5);
    int32_t width = (int32_t)get16(data + 12);
    int32_t height = (int32_t)get16(data + 14);
    int depth = data[16];

    int mode, bytes;
    switch (depth) {
    case 8: mode = XIMAGE_INDEXED; bytes = 1; break;
    case 15:
    case 16: mode = XIMAGE_RGB555; bytes = 2; break;
    case 24: mode = XIMAGE_BGR24; bytes = 3; break;
    case 32: mode = XIMAGE_ARGB32; bytes = 4; break;
    default: refuse(name, __LINE__);
    }
    // The palette holds 256 entries; an empty picture has nothing to show.
    if (mapLength > 256 || width == 0 || height == 0)
        refuse(name, __LINE__);

    size_t mapOffset = HEADER_SIZE + idLength;
    size_t pixelOffset = mapOffset + 3 * (size_t)mapLength;
    size_t row = (size_t)width * bytes;
    size_t total = row * (size_t)height;
    // Checked before anything is allocated.
    if (pixelOffset > size || total > size - pixelOffset) {
        if (form == DISK_FORM)
            g_xError.Fatal(xFormat("xTargaLoad::Can't access file -> %s", name));
        refuse(name, __LINE__);
    }

    image.sizeX = width;
    image.sizeY = height;
    image.mode = mode;
    image.pixels = (uint8_t*)malloc(total);
    if (!image.pixels)
        g_xError.Raise(kModule, __LINE__, 1, nullptr);
    const uint8_t* src = data + pixelOffset;
    for (int32_t y = 0; y < height; y++)
        memcpy(image.pixels + (size_t)y * row, src + (size_t)(height - 1 - y) * row, row);

    if (mode == XIMAGE_INDEXED) {
        // Entries the colour map does not cover stay black.
        image.palette = (uint8_t*)calloc(768, 1);
        if (!image.palette)
            g_xError.Raise(kModule, __LINE__, 1, nullptr);
        memcpy(image.palette, data + mapOffset, 3 * (size_t)mapLength);
        // Stored B, G, R; the record wants R, G, B.
        for (int i = 0; i < 256; i++) {
            uint8_t t = image.palette[i * 3];
            image.palette[i * 3] = image.palette[i * 3 + 2];
            image.palette[i * 3 + 2] = t;
        }
    }
}

} // namespace

int xTargaLoad(xFile* file, xImage& image)
{
    return ximageLoadMemory(file, image, decodeTarga, "xTargaLoad", kModule, __LINE__);
}

int xTargaLoad(const char* name, xImage& image)
{
    return ximageLoadDisk(name, image, decodeTarga, "xTargaLoad", kModule, __LINE__);
}
