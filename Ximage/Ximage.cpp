#include "Ximage.h"

#include <cstdlib>
#include <cstring>

#include "files/Memfile.h"
#include "files/xFileIO.h"
#include "platform/Hermes.h"
#include "system/Xerror.h"

static const char* const kModule = "Ximage/Ximage.cpp";

namespace {

struct ModeFormat {
    int32_t bits, r, g, b;
};

// Bits and masks of modes 1 to 6 (little-endian pixel values, no alpha).
const ModeFormat g_modes[7] = {
    {0, 0, 0, 0},
    {8, 0, 0, 0},
    {16, 0x7c00, 0x3e0, 0x1f},
    {16, 0xf800, 0x7e0, 0x1f},
    {24, 0xff0000, 0xff00, 0xff},
    {24, 0xff, 0xff00, 0xff0000},
    {32, 0xff0000, 0xff00, 0xff},
};

HermesFormat formatOf(int mode)
{
    HermesFormat f;
    f.r = g_modes[mode].r;
    f.g = g_modes[mode].g;
    f.b = g_modes[mode].b;
    f.a = 0;
    f.bits = g_modes[mode].bits;
    f.indexed = mode == XIMAGE_INDEXED;
    f.has_colorkey = 0;
    f.colorkey = 0;
    return f;
}

// A probe reading beyond the end of the file is no match.
bool probe(mfile* file, int32_t offset, void* bytes, int32_t count)
{
    mseek(file, offset);
    return mread(bytes, count, file) == MREAD_OK;
}

} // namespace

int xImageLoad(xFile* file, xImage& image)
{
    X_ASSERT(file != nullptr, kModule, __LINE__);
    image.pixels = nullptr;
    image.palette = nullptr;
    mfile source;
    source.data = file->data;
    source.size = file->data && file->size > 0 ? file->size : 0;
    source.pos = 0;

    uint8_t bytes[128];
    int (*loader)(xFile*, xImage&) = nullptr;
    if (probe(&source, 6, bytes, 4) && memcmp(bytes, "JFIF", 4) == 0)
        loader = xJpegLoad;
    else if (probe(&source, 0, bytes, 128) && bytes[0] == 0x0a)
        loader = xPcxLoad;
    else if (probe(&source, 0, bytes, 18) && (bytes[2] == 1 || bytes[2] == 2))
        loader = xTargaLoad;
    else if (probe(&source, 0, bytes, 13) && memcmp(bytes, "GIF", 3) == 0)
        loader = xGifLoad;
    else
        g_xError.Fatal(xFormat("xImageLoad( xFile *, xImage &): unrecognized file type %s", file->name));

    int result = loader(file, image);
    if (result != 0)
        g_xError.Raise(kModule, __LINE__, result, nullptr);
    return 0;
}

int xImageConvert(xImage* image, int mode)
{
    X_ASSERT(image != nullptr, kModule, __LINE__);
    if (image->mode == mode)
        return 0;
    X_ASSERT(image->pixels != nullptr, kModule, __LINE__);
    X_ASSERT(mode >= 1 && mode <= 6 && image->mode >= 1 && image->mode <= 6, kModule, __LINE__);
    // An indexed picture without a colour table (a GIF that has none) has no
    // colours to convert to.
    if (image->mode == XIMAGE_INDEXED && !image->palette)
        g_xError.Raise(kModule, __LINE__, 6, "xImageConvert -> no palette");

    if (!Hermes_Init())
        g_xError.Fatal("xImageConvert::Hermes_Init()");
    HermesHandle converter = Hermes_ConverterInstance(0);
    if (!converter)
        g_xError.Fatal("xImageConvert::Hermes_ConverterInstance()");

    HermesFormat dest = formatOf(mode);
    HermesFormat source = formatOf(image->mode);
    HermesHandle palette = 0;
    int32_t* table = nullptr;
    if (image->mode == XIMAGE_INDEXED) {
        palette = Hermes_PaletteInstance();
        if (!palette)
            g_xError.Fatal("xImageConvert::Hermes_PaletteInstace()");
        table = (int32_t*)malloc(256 * sizeof(int32_t));
        if (!table)
            g_xError.Raise(kModule, __LINE__, 1, nullptr);
        const uint8_t* p = image->palette;
        for (int i = 0; i < 256; i++, p += 3)
            table[i] = p[0] << 16 | p[1] << 8 | p[2];
        free(image->palette);
        image->palette = nullptr;
        Hermes_PaletteSet(palette, table);
    }

    int sourceBytes = source.bits / 8;
    int destBytes = dest.bits / 8;
    uint8_t* pixels = (uint8_t*)malloc((size_t)image->sizeX * image->sizeY * destBytes);
    if (!pixels)
        g_xError.Raise(kModule, __LINE__, 1, nullptr);
    if (!Hermes_ConverterRequest(converter, &source, &dest))
        g_xError.Fatal("xImageConvert::Hermes_ConverterRequest");
    if (!Hermes_ConverterPalette(converter, palette, palette))
        g_xError.Fatal("xImageConver::Hermes_ConverterPalette");
    if (!Hermes_ConverterCopy(converter, image->pixels, 0, 0, image->sizeX, image->sizeY, image->sizeX * sourceBytes,
                              pixels, 0, 0, image->sizeX, image->sizeY, image->sizeX * destBytes))
        g_xError.Fatal("xImageConvert::Hermes_ConverterCopy");

    free(table);
    free(image->pixels);
    image->pixels = pixels;
    image->mode = mode;
    if (palette)
        Hermes_PaletteReturn(palette);
    Hermes_ConverterReturn(converter);
    return 0;
}
