#include <cstdlib>
#include <cstring>

#include "Ximage.h"
#include "XimageFile.h"
#include "files/xFileIO.h"
#include "system/Xerror.h"

static const char* const kModule = "Ximage/Xpcx.cpp";

namespace {

enum { HEADER_SIZE = 128, PALETTE_SIZE = 768 };


int32_t getSigned16(const uint8_t* p) { return (int16_t)(uint16_t)(p[0] | p[1] << 8); }

[[noreturn]] void refuse(const char* name, int line) { g_xError.Raise(kModule, line, 6, name); }

// Run-length data: a byte of 0xc0 or more repeats the next byte (its low six
// bits) times, any other byte stands for itself. A row is done once at least
// its length has been produced; the surplus of a run that overshoots it
// carries into the next row, which still counts a full row from 0. Decoding
// stops once the block is full, and a run that would go past it is refused.
void decodeRuns(const uint8_t* in, size_t inSize, uint8_t* out, size_t rowLength, int32_t rows, const char* name)
{
    size_t total = rowLength * (size_t)rows;
    size_t o = 0, i = 0;
    for (int32_t y = 0; y < rows && o < total; y++) {
        size_t produced = 0;
        while (produced < rowLength && o < total) {
            if (i >= inSize)
                refuse(name, __LINE__);
            uint8_t b = in[i++];
            if (b >= 0xc0) {
                size_t count = b & 0x3f;
                if (i >= inSize)
                    refuse(name, __LINE__);
                uint8_t value = in[i++];
                if (count > total - o)
                    refuse(name, __LINE__);
                memset(out + o, value, count);
                o += count;
                produced += count;
            } else {
                out[o++] = b;
                produced++;
            }
        }
    }
}

void decodePcx(const uint8_t* data, size_t size, const char* name, XimageForm form, xImage& image)
{
    if (size < HEADER_SIZE) {
        if (form == DISK_FORM)
            g_xError.Fatal(xFormat("xPcxLoad::Can't read file -> %s", name));
        refuse(name, __LINE__);
    }
    int32_t width = getSigned16(data + 8) + 1;
    int32_t height = getSigned16(data + 10) + 1;
    int planes = (int8_t)data[65];
    if (planes != 1 && planes != 3)
        refuse(name, __LINE__);
    if (width <= 0 || height <= 0)
        refuse(name, __LINE__);
    // An 8-bit file carries its palette after the pixel data.
    if (planes == 1 && size < HEADER_SIZE + PALETTE_SIZE)
        refuse(name, __LINE__);

    size_t rowLength = (size_t)width * planes;
    size_t total = rowLength * (size_t)height;
    // Two bytes of data make at most 63 pixels: a picture larger than its data
    // can hold is refused before anything is allocated.
    if (total > (size - HEADER_SIZE) / 2 * 63 + 63)
        refuse(name, __LINE__);

    image.sizeX = width;
    image.sizeY = height;
    image.mode = planes == 1 ? XIMAGE_INDEXED : XIMAGE_RGB24;
    image.pixels = (uint8_t*)malloc(total);
    if (!image.pixels)
        g_xError.Raise(kModule, __LINE__, 1, nullptr);
    decodeRuns(data + HEADER_SIZE, size - HEADER_SIZE, image.pixels, rowLength, height, name);

    if (planes == 3) {
        // Each row holds the red, green and blue planes one after another.
        uint8_t* packed = (uint8_t*)malloc(total);
        if (!packed)
            g_xError.Raise(kModule, __LINE__, 1, nullptr);
        for (int32_t y = 0; y < height; y++) {
            const uint8_t* r = image.pixels + (size_t)y * rowLength;
            const uint8_t* g = r + width;
            const uint8_t* b = g + width;
            uint8_t* d = packed + (size_t)y * rowLength;
            for (int32_t x = 0; x < width; x++) {
                d[0] = r[x];
                d[1] = g[x];
                d[2] = b[x];
                d += 3;
            }
        }
        free(image.pixels);
        image.pixels = packed;
    } else {
        image.palette = (uint8_t*)malloc(PALETTE_SIZE);
        if (!image.palette)
            g_xError.Raise(kModule, __LINE__, 1, nullptr);
        memcpy(image.palette, data + size - PALETTE_SIZE, PALETTE_SIZE);
    }
}

} // namespace

int xPcxLoad(xFile* file, xImage& image)
{
    return ximageLoadMemory(file, image, decodePcx, "xPcxLoad", kModule, __LINE__);
}

int xPcxLoad(const char* name, xImage& image)
{
    return ximageLoadDisk(name, image, decodePcx, "xPcxLoad", kModule, __LINE__);
}
