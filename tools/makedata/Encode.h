// Writers of the file formats the show reads, and of the contact sheet.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "tools/makedata/Canvas.h"

namespace qhd {

using Bytes = std::vector<uint8_t>;

// An 8-bit picture: palette indices and 256 colours (R, G, B).
struct Indexed {
    int w = 0, h = 0;
    std::vector<uint8_t> index;
    std::vector<uint8_t> palette; // 768 bytes
};

// Baseline JFIF, three components (the show recognises JPEGs by the "JFIF"
// marker at byte 6).
Bytes EncodeJpeg(const Canvas& c, int quality = 92);
// Uncompressed true-colour TGA (type 2), 24 bits, stored bottom-up.
Bytes EncodeTga24(const Canvas& c);
// The same with the mask's weights in the fourth byte (32 bits).
Bytes EncodeTga32(const Canvas& c, const Mask& alpha);
// ZSoft PCX version 5, 24 bits as three 8-bit planes (red, green, blue) per
// row, run-length encoded.
Bytes EncodePcx24(const Canvas& c);
// Uncompressed colour-mapped TGA (type 1), 8 bits, 256-entry map.
Bytes EncodeTga8(const Indexed& img);
// GIF 87a, one picture, not interlaced, global table of 256 colours so that
// the LZW minimum code size is 8.
Bytes EncodeGif(const Indexed& img);
// A weight mask as GIF: the palette index is the weight, the palette a grey ramp.
Indexed MaskToIndexed(const Mask& m);
// Reduces a picture to 256 colours (median cut, then error diffusion).
Indexed Quantize(const Canvas& c, bool dither = true);
// Frame animation: "XVD\0", width, height, frame count, then each frame's
// JPEG stream after its 4-byte length.
Bytes EncodeXvd(const std::vector<Canvas>& frames, int quality = 88);
// RGB PNG of the contact sheet.
Bytes EncodePng(const Canvas& c);

void WriteFile(const std::string& path, const Bytes& data);

} // namespace qhd
