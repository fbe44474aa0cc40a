// Writers of small TGA, PCX, GIF and JPEG files for tests, seed corpora and
// benchmarks. Header-only so fuzz and bench programs can use them too.
#pragma once
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "tests/common/Scratch.h"

namespace qhtest {

typedef std::vector<uint8_t> Bytes;

inline void put16(Bytes& b, int v)
{
    b.push_back((uint8_t)(v & 0xff));
    b.push_back((uint8_t)((v >> 8) & 0xff));
}

// TGA, uncompressed, stored bottom-up: rows are given top row first and are
// written last row first. depth 8 takes a colour map of B, G, R triplets.
inline Bytes makeTga(int width, int height, int depth, const Bytes& rowsTopFirst, const Bytes& colourMap = Bytes(),
                     int idLength = 0, int type = -1)
{
    Bytes b;
    int mapEntries = (int)colourMap.size() / 3;
    b.push_back((uint8_t)idLength);
    b.push_back(mapEntries ? 1 : 0);
    b.push_back((uint8_t)(type >= 0 ? type : depth == 8 ? 1 : 2));
    put16(b, 0);
    put16(b, mapEntries);
    b.push_back(24);
    put16(b, 0);
    put16(b, 0);
    put16(b, width);
    put16(b, height);
    b.push_back((uint8_t)depth);
    b.push_back(0);
    for (int i = 0; i < idLength; i++)
        b.push_back((uint8_t)('a' + i % 26));
    b.insert(b.end(), colourMap.begin(), colourMap.end());
    size_t row = (size_t)width * ((depth + 7) / 8);
    for (int y = height - 1; y >= 0; y--)
        b.insert(b.end(), rowsTopFirst.begin() + y * row, rowsTopFirst.begin() + (y + 1) * row);
    return b;
}

inline Bytes pcxHeader(int width, int height, int planes)
{
    Bytes b(128, 0);
    b[0] = 0x0a;
    b[1] = 5;
    b[2] = 1;
    b[3] = 8;
    b[8] = (uint8_t)((width - 1) & 0xff);
    b[9] = (uint8_t)((width - 1) >> 8);
    b[10] = (uint8_t)((height - 1) & 0xff);
    b[11] = (uint8_t)((height - 1) >> 8);
    b[65] = (uint8_t)planes;
    b[66] = (uint8_t)(width & 0xff);
    b[67] = (uint8_t)(width >> 8);
    return b;
}

// Run-length encodes one row (runs never cross the row's end).
inline void pcxEncodeRow(Bytes& out, const uint8_t* row, int n)
{
    int i = 0;
    while (i < n) {
        int run = 1;
        while (i + run < n && run < 63 && row[i + run] == row[i])
            run++;
        if (run > 1 || row[i] >= 0xc0) {
            out.push_back((uint8_t)(0xc0 | run));
            out.push_back(row[i]);
        } else {
            out.push_back(row[i]);
        }
        i += run;
    }
}

// PCX, 1 plane (indices + 768-byte R, G, B palette) or 3 planes (pixels given
// as R, G, B triplets, written as planes).
inline Bytes makePcx(int width, int height, int planes, const Bytes& pixels, const Bytes& palette = Bytes())
{
    Bytes b = pcxHeader(width, height, planes);
    std::vector<uint8_t> row((size_t)width * planes);
    for (int y = 0; y < height; y++) {
        for (int x = 0; x < width; x++)
            for (int p = 0; p < planes; p++)
                row[(size_t)p * width + x] = pixels[((size_t)y * width + x) * planes + p];
        pcxEncodeRow(b, row.data(), (int)row.size());
    }
    if (planes == 1) {
        b.push_back(0x0c);
        Bytes pal = palette;
        pal.resize(768, 0);
        b.insert(b.end(), pal.begin(), pal.end());
    }
    return b;
}

// Packs codes of given bit sizes, least significant bit first, and cuts the
// result into data sub-blocks of at most blockSize bytes.
class GifCodeWriter {
public:
    void put(int code, int size)
    {
        acc |= (uint64_t)code << bits;
        bits += size;
        while (bits >= 8) {
            data.push_back((uint8_t)acc);
            acc >>= 8;
            bits -= 8;
        }
    }
    Bytes blocks(int blockSize = 255)
    {
        Bytes all = data;
        if (bits)
            all.push_back((uint8_t)acc);
        Bytes out;
        for (size_t i = 0; i < all.size(); i += blockSize) {
            size_t n = all.size() - i < (size_t)blockSize ? all.size() - i : (size_t)blockSize;
            out.push_back((uint8_t)n);
            out.insert(out.end(), all.begin() + i, all.begin() + i + n);
        }
        out.push_back(0);
        return out;
    }

    Bytes data;
    uint64_t acc = 0;
    int bits = 0;
};

// A plain LZW encoder for 8-bit GIF data (clear code first, codes grow to 12
// bits, a clear code when the dictionary is full).
inline Bytes gifLzw(const uint8_t* pixels, size_t n, int blockSize = 255, bool clearWhenFull = true)
{
    GifCodeWriter w;
    std::vector<int> table(4096 * 256, -1);
    int size = 9, next = 258;
    w.put(256, size);
    if (n == 0) {
        w.put(257, size);
        return w.blocks(blockSize);
    }
    int prefix = pixels[0];
    for (size_t i = 1; i < n; i++) {
        int c = pixels[i];
        int found = table[(size_t)prefix * 256 + c];
        if (found >= 0) {
            prefix = found;
            continue;
        }
        w.put(prefix, size);
        if (next < 4096) {
            table[(size_t)prefix * 256 + c] = next++;
            if (next > (1 << size) && size < 12)
                size++;
        } else if (clearWhenFull) {
            w.put(256, size);
            std::fill(table.begin(), table.end(), -1);
            size = 9;
            next = 258;
        }
        prefix = c;
    }
    w.put(prefix, size);
    w.put(257, size);
    return w.blocks(blockSize);
}

struct GifOptions {
    bool globalTable = true;
    bool localTable = false;
    bool interlaced = false;
    bool extensions = false;
    int minCodeSize = 8;
    int blockSize = 255;
};

inline Bytes gifHeader(int width, int height, bool globalTable, const Bytes& palette, const char* version = "89a")
{
    Bytes b = {'G', 'I', 'F', (uint8_t)version[0], (uint8_t)version[1], (uint8_t)version[2]};
    put16(b, width);
    put16(b, height);
    b.push_back(globalTable ? 0xf7 : 0x00);
    b.push_back(0);
    b.push_back(0);
    if (globalTable) {
        Bytes pal = palette;
        pal.resize(768, 0);
        b.insert(b.end(), pal.begin(), pal.end());
    }
    return b;
}

inline void gifDescriptor(Bytes& b, int width, int height, int flags, int minCodeSize)
{
    b.push_back(0x2c);
    put16(b, 0);
    put16(b, 0);
    put16(b, width);
    put16(b, height);
    b.push_back((uint8_t)flags);
    (void)minCodeSize;
}

// A GIF of one picture whose data are the given indices in stored order.
inline Bytes makeGif(int width, int height, const Bytes& indices, const Bytes& palette, const GifOptions& o = GifOptions())
{
    Bytes b = gifHeader(width, height, o.globalTable, palette);
    if (o.extensions) {
        const uint8_t gce[] = {0x21, 0xf9, 4, 1, 10, 0, 3, 0};
        b.insert(b.end(), gce, gce + sizeof gce);
        const char* text = "made by the harbour tests";
        b.push_back(0x21);
        b.push_back(0xfe);
        b.push_back((uint8_t)strlen(text));
        b.insert(b.end(), text, text + strlen(text));
        b.push_back(0);
    }
    int flags = (o.localTable ? 0x87 : 0) | (o.interlaced ? 0x40 : 0);
    gifDescriptor(b, width, height, flags, o.minCodeSize);
    if (o.localTable) {
        Bytes pal = palette;
        pal.resize(768, 0);
        b.insert(b.end(), pal.begin(), pal.end());
    }
    b.push_back((uint8_t)o.minCodeSize);
    Bytes data = gifLzw(indices.data(), indices.size(), o.blockSize);
    b.insert(b.end(), data.begin(), data.end());
    b.push_back(0x3b);
    return b;
}

// JPEG written by the library's own compressor: components 1 (grey) or 3
// (R, G, B samples).
inline Bytes makeJpeg(int width, int height, int components, const Bytes& samples, int quality = 95,
                      bool progressive = false)
{
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    jpeg_mem_dest(&c, &out, &outSize);
    c.image_width = (JDIMENSION)width;
    c.image_height = (JDIMENSION)height;
    c.input_components = components;
    c.in_color_space = components == 1 ? JCS_GRAYSCALE : components == 4 ? JCS_CMYK : JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, quality, TRUE);
    if (progressive)
        jpeg_simple_progression(&c);
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = (JSAMPROW)(samples.data() + (size_t)c.next_scanline * width * components);
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    Bytes result(out, out + outSize);
    jpeg_destroy_compress(&c);
    free(out);
    return result;
}

} // namespace qhtest
