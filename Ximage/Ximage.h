// Pictures: the image record, format recognition, pixel conversion and the
// TGA, PCX, GIF and JPEG loaders.
#pragma once
#include <cstdint>

struct xFile;
struct jpeg_decompress_struct;
struct jpeg_common_struct;

// A decoded picture. pixels: sizeX x sizeY pixels, top row first, rows packed;
// palette: mode 1 only, 256 R, G, B triplets. Both blocks come from the C heap
// and belong to whoever holds the record.
struct xImage {
    int32_t sizeX;
    int32_t sizeY;
    int32_t mode;
    uint8_t* pixels;
    uint8_t* palette;
};

// Pixel modes: 1 8-bit indexed, 2 16-bit 1-5-5-5, 3 16-bit 5-6-5,
// 4 24-bit B,G,R bytes, 5 24-bit R,G,B bytes, 6 32-bit 0xAARRGGBB.
enum {
    XIMAGE_INDEXED = 1,
    XIMAGE_RGB555 = 2,
    XIMAGE_RGB565 = 3,
    XIMAGE_BGR24 = 4,
    XIMAGE_RGB24 = 5,
    XIMAGE_ARGB32 = 6,
};

// Recognises the format from the bytes (JPEG, PCX, TGA, GIF, in that order)
// and decodes it. Every failure ends the program through the error reporter.
int xImageLoad(xFile* file, xImage& image);
// Converts the picture in place to another pixel mode.
int xImageConvert(xImage* image, int mode);

// Memory forms read a file already held whole; disk forms open a named file.
// The memory forms of TGA, PCX and JPEG return an error-table code, 0 = ok.
int xTargaLoad(xFile* file, xImage& image);
int xTargaLoad(const char* name, xImage& image);
int xPcxLoad(xFile* file, xImage& image);
int xPcxLoad(const char* name, xImage& image);
int xGifLoad(xFile* file, xImage& image);
int xGifLoad(const char* name, xImage& image);
int xJpegLoad(xFile* file, xImage& image);
int xJpegLoad(const char* name, xImage& image);

// Installs the memory source manager on a decompression object: the library
// then reads size bytes from data. The manager is allocated on first use for
// the object and reused afterwards.
void xJpegMemorySource(jpeg_decompress_struct* cinfo, const uint8_t* data, uint32_t size);

// Decodes one JPEG stream held in memory into 32-bit pixels R << 16 | G << 8 | B,
// line y at dst + y x width. The stream must be three-component and exactly
// width x height; otherwise nothing is written and XJPEG_WRONG_FRAME is
// returned for the caller to report. Decoder errors end the program through
// the library's error handler.
enum { XJPEG_OK = 0, XJPEG_WRONG_FRAME = 1 };
int xJpegDecodeRGB32(const uint8_t* data, uint32_t size, uint32_t* dst, int32_t width, int32_t height);

// Replaces the library's fatal-error exit in every decode (fuzz targets jump
// back to their loop from here); null restores the library's own.
void xJpegSetErrorExit(void (*handler)(jpeg_common_struct* cinfo));
