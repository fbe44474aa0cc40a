// Frames of the renderer's tests as files: a hash of the picture for the
// reference list, and a PNG for a person to look at.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include <png.h>

namespace qh3d {

// FNV-1a over the R, G, B bytes of every pixel, as 16 hex digits.
inline std::string frameHash(const uint32_t* frame, int w, int h, int pitch)
{
    uint64_t hash = 1469598103934665603ull;
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            uint32_t p = frame[(size_t)y * pitch + x];
            for (int shift = 16; shift >= 0; shift -= 8) {
                hash ^= (p >> shift) & 0xFF;
                hash *= 1099511628211ull;
            }
        }
    char text[17];
    snprintf(text, sizeof text, "%016llx", (unsigned long long)hash);
    return text;
}

inline bool writeFramePng(const std::string& path, const uint32_t* frame, int w, int h, int pitch)
{
    std::vector<uint8_t> rgb((size_t)w * h * 3);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            uint32_t p = frame[(size_t)y * pitch + x];
            uint8_t* o = &rgb[((size_t)y * w + x) * 3];
            o[0] = (uint8_t)(p >> 16);
            o[1] = (uint8_t)(p >> 8);
            o[2] = (uint8_t)p;
        }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = (png_uint_32)w;
    image.height = (png_uint_32)h;
    image.format = PNG_FORMAT_RGB;
    return png_image_write_to_file(&image, path.c_str(), 0, rgb.data(), 0, nullptr) != 0;
}

} // namespace qh3d
