// The byte layout the renderer's fuzz target reads, shared with its seed
// writer: a header (modes, camera, far distance, lights) and then triangles
// until the bytes run out. Reads past the end give zeros.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace qhfuzz {

struct ByteReader {
    const uint8_t* data;
    size_t size, pos = 0;
    ByteReader(const uint8_t* d, size_t n) : data(d), size(n) {}
    bool done() const { return pos >= size; }
    uint8_t byte() { return pos < size ? data[pos++] : 0; }
    int16_t i16()
    {
        uint16_t lo = byte(), hi = byte();
        return (int16_t)(lo | hi << 8);
    }
    float rawFloat()
    {
        uint32_t bits = 0;
        for (int i = 0; i < 4; i++)
            bits |= (uint32_t)byte() << (8 * i);
        float f;
        memcpy(&f, &bits, 4);
        return f;
    }
    // A coordinate: a 16-bit value / 32 (within 1024 of the origin), or with
    // raw floats on, any float at all (NaN, infinities, 1e38 ...).
    float coord(bool raw) { return raw ? rawFloat() : i16() / 32.0f; }
};

// Header flags.
enum {
    FUZZ_ZBUFFER = 1,
    FUZZ_FOG = 2,
    FUZZ_BIG_VIEW = 4, // 640 x 480, else 140 x 105
    FUZZ_SOFT_LINES = 8,
    FUZZ_RAW_FLOATS = 16,
};

} // namespace qhfuzz
