// Our GIF decoder against giflib: pictures written by giflib's encoder must
// decode to exactly the indices giflib's reader returns row by row in file
// order (interlaced rows therefore in their stored order).
#include <gtest/gtest.h>

#include <gif_lib.h>

#include "tests/images/ImageTestUtil.h"

using namespace qhtest;

namespace {

struct Sink {
    Bytes bytes;
};

int writeToSink(GifFileType* gif, const GifByteType* data, int n)
{
    Sink* s = (Sink*)gif->UserData;
    s->bytes.insert(s->bytes.end(), data, data + n);
    return n;
}

struct Source {
    const Bytes* bytes;
    size_t pos;
};

int readFromSource(GifFileType* gif, GifByteType* data, int n)
{
    Source* s = (Source*)gif->UserData;
    size_t left = s->bytes->size() - s->pos;
    size_t k = (size_t)n < left ? (size_t)n : left;
    memcpy(data, s->bytes->data() + s->pos, k);
    s->pos += k;
    return (int)k;
}

ColorMapObject* makeMap(uint32_t seed)
{
    Bytes p = pattern(768, seed);
    GifColorType colours[256];
    for (int i = 0; i < 256; i++)
        colours[i] = {p[i * 3], p[i * 3 + 1], p[i * 3 + 2]};
    return GifMakeMapObject(256, colours);
}

struct Options {
    bool global, local, interlaced, extensions;
};

// rows: the picture's rows in the order they are stored in the file.
Bytes writeWithGiflib(int w, int h, const Bytes& rows, const Options& o)
{
    Sink sink;
    int error = 0;
    GifFileType* gif = EGifOpen(&sink, writeToSink, &error);
    EXPECT_NE(gif, nullptr);
    EGifSetGifVersion(gif, o.extensions);
    ColorMapObject* global = o.global ? makeMap(1) : nullptr;
    ColorMapObject* local = o.local ? makeMap(2) : nullptr;
    EXPECT_EQ(EGifPutScreenDesc(gif, w, h, 8, 0, global), GIF_OK);
    if (o.extensions) {
        GraphicsControlBlock gcb = {0, false, 5, 3};
        GifByteType ext[4];
        EGifGCBToExtension(&gcb, ext);
        EXPECT_EQ(EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, ext), GIF_OK);
        const char* comment = "written by giflib for the decoder cross-check";
        EXPECT_EQ(EGifPutComment(gif, comment), GIF_OK);
    }
    EXPECT_EQ(EGifPutImageDesc(gif, 0, 0, w, h, o.interlaced, local), GIF_OK);
    for (int y = 0; y < h; y++)
        EXPECT_EQ(EGifPutLine(gif, (GifPixelType*)rows.data() + (size_t)y * w, w), GIF_OK);
    EXPECT_EQ(EGifCloseFile(gif, &error), GIF_OK);
    GifFreeMapObject(global);
    GifFreeMapObject(local);
    return sink.bytes;
}

// The first picture's indices as giflib reads them, row by row in file order.
Bytes readWithGiflib(const Bytes& file, Bytes* palette)
{
    Source src = {&file, 0};
    int error = 0;
    GifFileType* gif = DGifOpen(&src, readFromSource, &error);
    EXPECT_NE(gif, nullptr);
    Bytes out;
    GifRecordType type;
    do {
        EXPECT_EQ(DGifGetRecordType(gif, &type), GIF_OK);
        if (type == EXTENSION_RECORD_TYPE) {
            int code;
            GifByteType* ext;
            DGifGetExtension(gif, &code, &ext);
            while (ext)
                DGifGetExtensionNext(gif, &ext);
        } else if (type == IMAGE_DESC_RECORD_TYPE) {
            EXPECT_EQ(DGifGetImageDesc(gif), GIF_OK);
            int w = gif->Image.Width, h = gif->Image.Height;
            out.resize((size_t)w * h);
            for (int y = 0; y < h; y++)
                EXPECT_EQ(DGifGetLine(gif, out.data() + (size_t)y * w, w), GIF_OK);
            ColorMapObject* map = gif->Image.ColorMap ? gif->Image.ColorMap : gif->SColorMap;
            palette->clear();
            for (int i = 0; map && i < map->ColorCount; i++) {
                palette->push_back(map->Colors[i].Red);
                palette->push_back(map->Colors[i].Green);
                palette->push_back(map->Colors[i].Blue);
            }
            break;
        }
    } while (type != TERMINATE_RECORD_TYPE);
    DGifCloseFile(gif, &error);
    return out;
}

Bytes picture(int w, int h, int kind)
{
    Bytes b((size_t)w * h);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            uint8_t v;
            switch (kind) {
            case 0: v = (uint8_t)((x / 9 + y / 5) & 0xff); break;          // bands: long runs
            case 1: v = (uint8_t)((x * x + y * 3) ^ (y * y)); break;       // busy
            default: v = (uint8_t)(x % 4 == 0 ? 200 : (x * 31 + y * 17)); // mixed
            }
            b[(size_t)y * w + x] = v;
        }
    if (kind == 3)
        b = pattern(b.size(), (uint32_t)(w * 7 + h)); // noise: full dictionaries
    return b;
}

} // namespace

TEST(GifCrossCheck, GiflibPicturesDecodeToGiflibsOwnIndices)
{
    const Options options[] = {
        {true, false, false, false}, {true, false, true, false}, {false, true, false, true},
        {false, true, true, true},   {true, true, false, true},  {true, true, true, false},
    };
    const int sizes[][2] = {{1, 1}, {7, 3}, {64, 64}, {320, 17}, {640, 250}, {333, 111}};
    int checked = 0;
    for (const Options& o : options)
        for (auto& s : sizes)
            for (int kind = 0; kind < 4; kind++) {
                Bytes rows = picture(s[0], s[1], kind);
                Bytes file = writeWithGiflib(s[0], s[1], rows, o);
                Bytes palette;
                Bytes expected = readWithGiflib(file, &palette);
                ASSERT_EQ(expected, rows);
                MemoryFile f(file, "giflib.gif");
                Picture img;
                EXPECT_EQ(xImageLoad(&f, img), 0);
                ASSERT_EQ(img.sizeX, s[0]);
                ASSERT_EQ(img.sizeY, s[1]);
                ASSERT_EQ(Bytes(img.pixels, img.pixels + expected.size()), expected)
                    << s[0] << "x" << s[1] << " kind " << kind << " global " << o.global << " local " << o.local
                    << " interlaced " << o.interlaced;
                ASSERT_NE(img.palette, nullptr);
                EXPECT_EQ(Bytes(img.palette, img.palette + palette.size()), palette);
                checked++;
            }
    EXPECT_EQ(checked, 6 * 6 * 4);
}

TEST(GifCrossCheck, OurEncoderOutputReadsTheSameInGiflib)
{
    // The writer used by the other tests and the seed corpora is itself
    // checked against giflib, so a fault shared by writer and decoder shows.
    for (int blockSize : {255, 5}) {
        Bytes rows = picture(200, 90, 3);
        GifOptions o;
        o.blockSize = blockSize;
        o.extensions = true;
        Bytes file = makeGif(200, 90, rows, pattern(768, 3), o);
        Bytes palette;
        EXPECT_EQ(readWithGiflib(file, &palette), rows);
    }
}
