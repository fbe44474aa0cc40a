#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jpeglib.h>
#include <jerror.h>

#include "Ximage.h"
#include "XimageFile.h"
#include "files/xFileIO.h"
#include "system/Xerror.h"

static const char* const kModule = "Ximage/Xjpeg.cpp";

namespace {

enum { STAGING_SIZE = 65536 };

// The library's source record followed by the manager's own fields.
struct MemorySource {
    jpeg_source_mgr pub;
    JOCTET* buffer;
    boolean startOfFile;
    const JOCTET* data;
    uint32_t position;
    uint32_t size;
};

void (*g_errorExit)(j_common_ptr) = nullptr;

void initSource(j_decompress_ptr cinfo) { ((MemorySource*)cinfo->src)->startOfFile = TRUE; }

boolean fillInputBuffer(j_decompress_ptr cinfo)
{
    MemorySource* src = (MemorySource*)cinfo->src;
    uint32_t left = src->size - src->position;
    size_t n = left < (uint32_t)STAGING_SIZE ? left : (uint32_t)STAGING_SIZE;
    if (n > 0) {
        memcpy(src->buffer, src->data + src->position, n);
        src->position += (uint32_t)n;
    } else {
        if (src->startOfFile)
            ERREXIT(cinfo, JERR_INPUT_EMPTY);
        WARNMS(cinfo, JWRN_JPEG_EOF);
        // An inserted end-of-image marker lets a cut stream finish.
        src->buffer[0] = (JOCTET)0xff;
        src->buffer[1] = (JOCTET)JPEG_EOI;
        n = 2;
    }
    src->pub.next_input_byte = src->buffer;
    src->pub.bytes_in_buffer = n;
    src->startOfFile = FALSE;
    return TRUE;
}

void skipInputData(j_decompress_ptr cinfo, long count)
{
    MemorySource* src = (MemorySource*)cinfo->src;
    if (count <= 0)
        return;
    while (count > (long)src->pub.bytes_in_buffer) {
        count -= (long)src->pub.bytes_in_buffer;
        fillInputBuffer(cinfo);
    }
    src->pub.next_input_byte += count;
    src->pub.bytes_in_buffer -= (size_t)count;
}

void termSource(j_decompress_ptr) {}

// Creates the decompression object over a block in memory and reads the
// header; the caller owns jerr and cinfo.
void beginDecode(jpeg_decompress_struct& cinfo, jpeg_error_mgr& jerr, const uint8_t* data, uint32_t size)
{
    cinfo.err = jpeg_std_error(&jerr);
    if (g_errorExit)
        jerr.error_exit = g_errorExit;
    jpeg_create_decompress(&cinfo);
    xJpegMemorySource(&cinfo, data, size);
    jpeg_read_header(&cinfo, TRUE);
}

// Decodes into a fresh image: mode 1 with a grey palette for one component,
// mode 5 (R, G, B) for three.
void decodeJpeg(const uint8_t* data, uint32_t size, const char* name, xImage& image)
{
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr jerr;
    beginDecode(cinfo, jerr, data, size);
    // Other component counts (CMYK) are not pictures of this program. A frame
    // larger than even a flat picture's data could describe (a DC code of at
    // least one bit per 8 x 8 block, 512 pixels a byte; twice that allowed)
    // is refused before the library sets aside room for it.
    uint64_t area = (uint64_t)cinfo.image_width * cinfo.image_height;
    if ((cinfo.num_components != 1 && cinfo.num_components != 3) || area > (uint64_t)size * 1024) {
        jpeg_destroy_decompress(&cinfo);
        g_xError.Raise(kModule, __LINE__, 6, name);
    }
    jpeg_start_decompress(&cinfo);
    int components = cinfo.output_components;
    if (components != 1 && components != 3) {
        jpeg_destroy_decompress(&cinfo);
        g_xError.Raise(kModule, __LINE__, 6, name);
    }
    image.pixels = nullptr;
    image.palette = nullptr;
    image.sizeX = (int32_t)cinfo.output_width;
    image.sizeY = (int32_t)cinfo.output_height;
    image.mode = components == 1 ? XIMAGE_INDEXED : XIMAGE_RGB24;
    size_t row = (size_t)cinfo.output_width * components;
    image.pixels = (uint8_t*)malloc(row * cinfo.output_height);
    if (!image.pixels) {
        jpeg_destroy_decompress(&cinfo);
        g_xError.Raise(kModule, __LINE__, 1, nullptr);
    }
    if (components == 1) {
        image.palette = (uint8_t*)malloc(768);
        if (!image.palette) {
            jpeg_destroy_decompress(&cinfo);
            g_xError.Raise(kModule, __LINE__, 1, nullptr);
        }
        for (int i = 0; i < 256; i++)
            image.palette[i * 3] = image.palette[i * 3 + 1] = image.palette[i * 3 + 2] = (uint8_t)i;
    }
    JSAMPARRAY buffer = (*cinfo.mem->alloc_sarray)((j_common_ptr)&cinfo, JPOOL_IMAGE, (JDIMENSION)row, 1);
    while (cinfo.output_scanline < cinfo.output_height) {
        uint8_t* dst = image.pixels + row * cinfo.output_scanline;
        jpeg_read_scanlines(&cinfo, buffer, 1);
        memcpy(dst, buffer[0], row);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
}

} // namespace

void xJpegMemorySource(jpeg_decompress_struct* cinfo, const uint8_t* data, uint32_t size)
{
    if (!cinfo->src) {
        MemorySource* src = (MemorySource*)(*cinfo->mem->alloc_small)((j_common_ptr)cinfo, JPOOL_PERMANENT,
                                                                      sizeof(MemorySource));
        src->buffer = (JOCTET*)(*cinfo->mem->alloc_small)((j_common_ptr)cinfo, JPOOL_PERMANENT, STAGING_SIZE);
        cinfo->src = &src->pub;
    }
    MemorySource* src = (MemorySource*)cinfo->src;
    src->pub.init_source = initSource;
    src->pub.fill_input_buffer = fillInputBuffer;
    src->pub.skip_input_data = skipInputData;
    src->pub.resync_to_restart = jpeg_resync_to_restart;
    src->pub.term_source = termSource;
    src->pub.bytes_in_buffer = 0;
    src->pub.next_input_byte = nullptr;
    src->data = data;
    src->size = data ? size : 0;
    src->position = 0;
}

void xJpegSetErrorExit(void (*handler)(jpeg_common_struct*)) { g_errorExit = handler; }

int xJpegLoad(xFile* file, xImage& image)
{
    X_ASSERT(file != nullptr, kModule, __LINE__);
    if (!file->data)
        g_xError.Fatal(xFormat("xJpegLoad::Can't access file -> %s", file->name));
    decodeJpeg(file->data, file->size > 0 ? (uint32_t)file->size : 0, file->name, image);
    return 0;
}

int xJpegLoad(const char* name, xImage& image)
{
    uint8_t* data;
    size_t size;
    if (ximageReadFile(name, &data, &size, kModule, __LINE__) != XIMAGE_FILE_OK)
        g_xError.Fatal(xFormat("xJpegLoad::Can't access file -> %s", name));
    decodeJpeg(data, (uint32_t)size, name, image);
    free(data);
    return 0;
}

int xJpegDecodeRGB32(const uint8_t* data, uint32_t size, uint32_t* dst, int32_t width, int32_t height)
{
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr jerr;
    beginDecode(cinfo, jerr, data, size);
    if (cinfo.num_components != 3 || (int64_t)cinfo.image_width != width || (int64_t)cinfo.image_height != height) {
        jpeg_destroy_decompress(&cinfo);
        return XJPEG_WRONG_FRAME;
    }
    jpeg_start_decompress(&cinfo);
    if (cinfo.output_components != 3 || (int64_t)cinfo.output_width != width ||
        (int64_t)cinfo.output_height != height) {
        jpeg_destroy_decompress(&cinfo);
        return XJPEG_WRONG_FRAME;
    }
    JSAMPARRAY buffer = (*cinfo.mem->alloc_sarray)((j_common_ptr)&cinfo, JPOOL_IMAGE, (JDIMENSION)width * 3, 1);
    while (cinfo.output_scanline < cinfo.output_height) {
        uint32_t* line = dst + (size_t)cinfo.output_scanline * width;
        jpeg_read_scanlines(&cinfo, buffer, 1);
        const JSAMPLE* s = buffer[0];
        for (int32_t x = 0; x < width; x++, s += 3)
            line[x] = (uint32_t)s[0] << 16 | (uint32_t)s[1] << 8 | s[2];
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return XJPEG_OK;
}
