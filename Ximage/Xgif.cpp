#include <cstdlib>
#include <cstring>

#include "Ximage.h"
#include "files/Memfile.h"
#include "files/xFileIO.h"
#include "system/Xerror.h"

static const char* const kModule = "Ximage/Xgif.cpp";

namespace {

enum {
    CLEAR_CODE = 256,
    END_CODE = 257,
    FIRST_FREE = 258,
    DICTIONARY_SIZE = 4096,
    MAX_CODE_SIZE = 12,
};

// Decoder state: one set for the program; loads must not overlap.
struct GifDecoder {
    mfile* source;
    const char* name;
    // The current data sub-block followed by the next sub-block's length byte.
    uint8_t block[256];
    int blockLength;
    int blockPos;     // one past the byte that holds the current bit position
    int bitOffset;    // bits of that byte already consumed
    int codeSize;
    bool dataEnded;   // no further sub-block could be loaded
    // Dictionary: prefix code and suffix byte; codes below FIRST_FREE are
    // single bytes. length is the string length of each code, so a string is
    // written straight to its place in the picture.
    uint16_t prefix[DICTIONARY_SIZE];
    uint8_t suffix[DICTIONARY_SIZE];
    uint16_t length[DICTIONARY_SIZE];
    uint8_t* out;
    uint8_t* outEnd;
};

GifDecoder g_gif;

[[noreturn]] void readError() { g_xError.Fatal(xFormat("xGifLoad:: file read error -> %s", g_gif.name)); }
[[noreturn]] void unsupported() { g_xError.Fatal(xFormat("xGifLoad::unsupported format -> %s", g_gif.name)); }

void readBytes(void* destination, int32_t count)
{
    if (mread(destination, count, g_gif.source) != MREAD_OK)
        readError();
}

// Loads the sub-block whose length byte follows the current data. A length
// of 0 ends the picture's data: the terminator is not read past.
bool loadBlock()
{
    int next = g_gif.block[g_gif.blockLength];
    if (g_gif.dataEnded || next == 0 || mread(g_gif.block, next + 1, g_gif.source) != MREAD_OK) {
        g_gif.dataEnded = true;
        return false;
    }
    g_gif.blockLength = next;
    g_gif.blockPos = 0;
    return true;
}

// One code of the current size, least significant bits first; -1 when the
// data ran out before all of its bits were read.
int readCode()
{
    int size = g_gif.codeSize;
    int offset = g_gif.bitOffset;
    uint32_t code = (uint32_t)g_gif.block[g_gif.blockPos - 1] >> offset;
    int gathered = 8 - offset;
    // A code may continue in the next byte and, from offset + size = 16 on,
    // in the one after; the byte holding the next code's first bit is always
    // taken, so blockPos stays one past it.
    int further = offset + size >= 16 ? 2 : 1;
    for (int i = 0; i < further; i++) {
        if (g_gif.blockPos >= g_gif.blockLength && !loadBlock()) {
            if (gathered < size)
                return -1;
            // The code is whole; only the next one lacks data.
            g_gif.block[0] = 0;
            g_gif.blockLength = 0;
            g_gif.blockPos = 1;
            break;
        }
        code |= (uint32_t)g_gif.block[g_gif.blockPos++] << gathered;
        gathered += 8;
    }
    g_gif.bitOffset = (offset + size) & 7;
    return (int)(code & ((1u << size) - 1));
}

// Writes the string of code at the output position.
void output(int code)
{
    int n = g_gif.length[code];
    if (n > g_gif.outEnd - g_gif.out)
        unsupported();
    uint8_t* p = g_gif.out + n;
    g_gif.out = p;
    while (code >= FIRST_FREE) {
        *--p = g_gif.suffix[code];
        code = g_gif.prefix[code];
    }
    *--p = (uint8_t)code;
}

uint8_t firstByte(int code)
{
    while (code >= FIRST_FREE)
        code = g_gif.prefix[code];
    return (uint8_t)code;
}

// Decodes until the end code, or until the data ends with the picture full.
void decodeLzw()
{
    for (int i = 0; i < FIRST_FREE; i++) {
        g_gif.prefix[i] = 0;
        g_gif.suffix[i] = (uint8_t)i;
        g_gif.length[i] = 1;
    }
    // The stream starts with a clear code.
    if (readCode() < 0)
        readError();
    for (;;) {
        g_gif.codeSize = 9;
        int nextFree = FIRST_FREE;
        int code = readCode();
        if (code == CLEAR_CODE)
            continue;
        if (code == END_CODE)
            return;
        if (code < 0) {
            if (g_gif.out == g_gif.outEnd)
                return;
            readError();
        }
        // The first code after a clear is a single byte and adds nothing.
        if (code >= CLEAR_CODE)
            unsupported();
        output(code);
        int previous = code;
        uint8_t previousFirst = (uint8_t)code;
        for (;;) {
            code = readCode();
            if (code < 0) {
                // Data that ends without an end code is accepted once the
                // picture is full; before that the picture would stay partly
                // undecoded.
                if (g_gif.out == g_gif.outEnd)
                    return;
                readError();
            }
            if (code == CLEAR_CODE)
                break;
            if (code == END_CODE)
                return;
            uint8_t first;
            if (code < nextFree) {
                first = firstByte(code);
                if (nextFree < DICTIONARY_SIZE) {
                    g_gif.prefix[nextFree] = (uint16_t)previous;
                    g_gif.suffix[nextFree] = first;
                    g_gif.length[nextFree] = (uint16_t)(g_gif.length[previous] + 1);
                    nextFree++;
                }
                output(code);
            } else if (code == nextFree && nextFree < DICTIONARY_SIZE) {
                // The string not yet in the dictionary: the previous one plus
                // its own first byte.
                first = previousFirst;
                g_gif.prefix[nextFree] = (uint16_t)previous;
                g_gif.suffix[nextFree] = first;
                g_gif.length[nextFree] = (uint16_t)(g_gif.length[previous] + 1);
                nextFree++;
                output(code);
            } else {
                // No encoder writes a code that is not yet defined.
                unsupported();
            }
            if (nextFree == (1 << g_gif.codeSize) && g_gif.codeSize < MAX_CODE_SIZE)
                g_gif.codeSize++;
            previous = code;
            previousFirst = first;
        }
    }
}

// Skips an extension whole: label, then sub-blocks up to a length of 0.
void skipExtension()
{
    uint8_t buffer[256];
    readBytes(buffer, 2);
    int length = buffer[1];
    while (length != 0) {
        readBytes(buffer, length + 1);
        length = buffer[length];
    }
}

void decodeGif(xImage& image)
{
    image.mode = XIMAGE_INDEXED;
    image.palette = nullptr;
    image.pixels = nullptr;
    uint8_t header[13];
    readBytes(header, 13);
    if (memcmp(header, "GIF", 3) != 0)
        g_xError.Fatal(xFormat("xGifLoad:: not a GIF image file -> %s", g_gif.name));
    if (header[3] != '8' || (header[4] != '7' && header[4] != '9') || header[5] != 'a')
        g_xError.Fatal(xFormat("xGifLoad:: unsupported version -> %s", g_gif.name));
    uint8_t flags = header[10];
    if (flags & 0x80) {
        // Entries beyond the table's own stay black.
        image.palette = (uint8_t*)calloc(768, 1);
        if (!image.palette)
            g_xError.Raise(kModule, __LINE__, 1, nullptr);
        readBytes(image.palette, 3 * (1 << ((flags & 7) + 1)));
    }

    for (;;) {
        uint8_t b;
        readBytes(&b, 1);
        if (b == 0x2c)
            break;
        if (b != 0x21)
            g_xError.Fatal(xFormat("xGifLoad:: unknown error -> %s ", g_gif.name));
        skipExtension();
    }

    // The descriptor is 9 bytes; a local colour table follows it, and only
    // then the minimum code size.
    uint8_t descriptor[9];
    readBytes(descriptor, 9);
    image.sizeX = (int16_t)(uint16_t)(descriptor[4] | descriptor[5] << 8);
    image.sizeY = (int16_t)(uint16_t)(descriptor[6] | descriptor[7] << 8);
    uint8_t imageFlags = descriptor[8];
    if (imageFlags & 0x80) {
        if (!image.palette) {
            image.palette = (uint8_t*)malloc(768);
            if (!image.palette)
                g_xError.Raise(kModule, __LINE__, 1, nullptr);
        }
        memset(image.palette, 0, 768);
        readBytes(image.palette, 3 * (1 << ((imageFlags & 7) + 1)));
    }
    uint8_t minCodeSize;
    readBytes(&minCodeSize, 1);
    // An interlaced picture keeps its rows in stored order.
    if (minCodeSize != 8 || image.sizeX <= 0 || image.sizeY <= 0)
        unsupported();

    // Every code takes at least 9 bits and its string is at most one byte
    // longer than any before it, which bounds the pixels the data can hold;
    // a larger picture is refused before it is allocated.
    int64_t codes = ((int64_t)g_gif.source->size - g_gif.source->pos) * 8 / 9;
    int64_t most = codes < DICTIONARY_SIZE ? codes * (codes + 1) / 2 : codes * DICTIONARY_SIZE;
    int64_t pixels = (int64_t)image.sizeX * image.sizeY;
    if (pixels > most)
        readError();

    image.pixels = (uint8_t*)calloc((size_t)pixels, 1);
    X_ASSERT(image.pixels != nullptr, kModule, __LINE__);
    g_gif.out = image.pixels;
    g_gif.outEnd = image.pixels + pixels;

    uint8_t first;
    readBytes(&first, 1);
    if (first == 0)
        readError();
    readBytes(g_gif.block, first + 1);
    g_gif.blockLength = first;
    g_gif.blockPos = 1;
    g_gif.bitOffset = 0;
    g_gif.codeSize = 9;
    g_gif.dataEnded = false;
    decodeLzw();
}

} // namespace

int xGifLoad(xFile* file, xImage& image)
{
    X_ASSERT(file != nullptr, kModule, __LINE__);
    // The memory file lies over the record's bytes; it owns nothing.
    mfile source;
    source.data = file->data;
    source.size = file->data ? file->size : 0;
    source.pos = 0;
    g_gif.source = &source;
    g_gif.name = file->name;
    decodeGif(image);
    g_gif.source = nullptr;
    return 0;
}

int xGifLoad(const char* name, xImage& image)
{
    mfile* source = mopen(name);
    if (!source)
        g_xError.Raise(kModule, __LINE__, 1, nullptr);
    g_gif.source = source;
    g_gif.name = name;
    decodeGif(image);
    g_gif.source = nullptr;
    mclose(source);
    return 0;
}
