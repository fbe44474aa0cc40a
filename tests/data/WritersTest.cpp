// The data generator's writers, read back with the program's own loaders:
// row order, channel order, alpha bytes, GIF code size and dictionary
// resets, JFIF marker, animation layout, exact palettes, archive bytes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <unistd.h>
#include <cstring>
#include <string>
#include <vector>

#include "X2d/X2d.h"
#include "X2d/X2danim.h"
#include "Ximage/Ximage.h"
#include "files/xFileIO.h"
#include "tests/common/TestZip.h"
#include "tools/makedata/Bundle.h"
#include "tools/makedata/Looks.h"
#include "tools/makedata/Type.h"

using namespace qhd;

namespace {

// Decodes bytes the way the show does: a named xFile through xImageLoad.
struct Decoded {
    xImage img{};
    explicit Decoded(Bytes& bytes, const char* name = "test")
    {
        xFile f{const_cast<char*>(name), int32_t(bytes.size()), bytes.data()};
        xImageLoad(&f, img);
    }
    ~Decoded()
    {
        free(img.pixels);
        free(img.palette);
    }
    uint32_t Pixel32(int x, int y) const { return reinterpret_cast<const uint32_t*>(img.pixels)[y * img.sizeX + x]; }
};

// Every pixel a different colour, so a flipped or swapped picture shows.
Canvas Distinct(int w, int h)
{
    Canvas c(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            c.At(x, y) = {(x * 40 + 10) / 255.0f, (y * 60 + 20) / 255.0f, ((x + y) * 15 + 5) / 255.0f};
    return c;
}

uint32_t Expected(const Canvas& c, int x, int y)
{
    const Color& p = c.At(x, y);
    return uint32_t(ToByte(p.r)) << 16 | uint32_t(ToByte(p.g)) << 8 | ToByte(p.b);
}

} // namespace

TEST(DataWriters, Tga24ComesOutUprightWithItsColoursInPlace)
{
    Canvas c = Distinct(5, 3);
    Bytes b = EncodeTga24(c);
    EXPECT_NE(0x0a, b[0]);
    EXPECT_EQ(2, b[2]);
    EXPECT_EQ(size_t(18 + 5 * 3 * 3), b.size());
    Decoded d(b);
    ASSERT_EQ(XIMAGE_BGR24, d.img.mode);
    xImageConvert(&d.img, XIMAGE_ARGB32);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(Expected(c, x, y), d.Pixel32(x, y) & 0xffffff) << x << "," << y;
}

TEST(DataWriters, Tga32KeepsTheWeightsInTheFourthByte)
{
    Canvas c = Distinct(4, 4);
    Mask m(4, 4);
    for (int i = 0; i < 16; ++i)
        m.v[size_t(i)] = i / 15.0f;
    Bytes b = EncodeTga32(c, m);
    Decoded d(b);
    ASSERT_EQ(XIMAGE_ARGB32, d.img.mode);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
            EXPECT_EQ(Expected(c, x, y), d.Pixel32(x, y) & 0xffffff);
            EXPECT_EQ(ToByte(m.At(x, y)), d.Pixel32(x, y) >> 24) << x << "," << y;
        }
    EXPECT_THROW(EncodeTga32(c, Mask(3, 4)), std::runtime_error);
}

TEST(DataWriters, Tga8StoresItsMapInTheOrderTheLoaderSwaps)
{
    Indexed img;
    img.w = 3;
    img.h = 2;
    img.index = {0, 1, 2, 3, 4, 255};
    img.palette.assign(768, 0);
    for (int i = 0; i < 256; ++i) {
        img.palette[3 * i] = uint8_t(i);
        img.palette[3 * i + 1] = uint8_t(255 - i);
        img.palette[3 * i + 2] = uint8_t(i / 2);
    }
    Bytes b = EncodeTga8(img);
    EXPECT_EQ(1, b[2]);
    Decoded d(b);
    ASSERT_EQ(XIMAGE_INDEXED, d.img.mode);
    EXPECT_EQ(0, memcmp(d.img.pixels, img.index.data(), 6));
    EXPECT_EQ(0, memcmp(d.img.palette, img.palette.data(), 768)) << "R and B swapped";
}

TEST(DataWriters, GifAlwaysHasTheCodeSizeTheDecoderTakes)
{
    // A mask that uses two weights only: a writer sizing its table to the
    // colours used would pick code size 2, which the show refuses.
    Mask m(40, 30);
    for (int y = 10; y < 20; ++y)
        for (int x = 5; x < 35; ++x)
            m.At(x, y) = 1.0f;
    Bytes b = EncodeGif(MaskToIndexed(m));
    ASSERT_GT(b.size(), 13u + 768 + 11);
    EXPECT_EQ(0, memcmp(b.data(), "GIF87a", 6));
    EXPECT_EQ(0xf7, b[10] & 0xf7);
    const uint8_t* desc = b.data() + 13 + 768;
    EXPECT_EQ(0x2c, desc[0]);
    EXPECT_EQ(0, desc[9] & 0x40) << "interlaced";
    EXPECT_EQ(8, desc[10]);
    Decoded d(b);
    ASSERT_EQ(XIMAGE_INDEXED, d.img.mode);
    EXPECT_EQ(255, d.img.pixels[15 * 40 + 20]);
    EXPECT_EQ(0, d.img.pixels[0]);
    EXPECT_EQ(128, d.img.palette[3 * 128]) << "grey ramp: index is weight";
}

TEST(DataWriters, GifOfNoiseSurvivesDictionaryResets)
{
    // Random weights fill the 4096-entry dictionary many times over, so the
    // stream carries clear codes and 12-bit codes across sub-blocks.
    Mask m(300, 200);
    Rng rng(3);
    for (float& v : m.v)
        v = rng.Unit();
    Indexed img = MaskToIndexed(m);
    Bytes b = EncodeGif(img);
    Decoded d(b);
    ASSERT_EQ(300, d.img.sizeX);
    ASSERT_EQ(200, d.img.sizeY);
    EXPECT_EQ(0, memcmp(d.img.pixels, img.index.data(), img.index.size()));
}

TEST(DataWriters, JpegCarriesTheJfifMarkerAndThreeComponents)
{
    // Even a grey picture is written with three components: the animation
    // player needs three.
    Canvas grey(33, 17, {0.5f, 0.5f, 0.5f});
    Bytes b = EncodeJpeg(grey);
    EXPECT_EQ(0, memcmp(b.data() + 6, "JFIF", 4));
    Decoded d(b);
    EXPECT_EQ(XIMAGE_RGB24, d.img.mode);
    EXPECT_EQ(33, d.img.sizeX);
    EXPECT_EQ(17, d.img.sizeY);
    // Bytes 0 and 6 decide the format before the TGA probe: never a PCX.
    EXPECT_NE(0x0a, b[0]);
}

TEST(DataWriters, XvdFramesFollowEachOtherWithoutGaps)
{
    std::vector<Canvas> frames;
    for (int i = 0; i < 3; ++i)
        frames.push_back(Canvas(140, 105, {i / 3.0f, 0.2f, 0.4f}));
    Bytes b = EncodeXvd(frames);
    ASSERT_EQ(0, memcmp(b.data(), "XVD\0", 4));
    auto le32 = [&](size_t at) { return uint32_t(b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24); };
    EXPECT_EQ(140u, le32(4));
    EXPECT_EQ(105u, le32(8));
    EXPECT_EQ(3u, le32(12));
    size_t at = 16;
    for (int i = 0; i < 3; ++i) {
        uint32_t len = le32(at);
        ASSERT_LE(at + 4 + len, b.size());
        EXPECT_EQ(0, memcmp(b.data() + at + 4 + 6, "JFIF", 4));
        at += 4 + len;
    }
    EXPECT_EQ(b.size(), at) << "no trailer after the last frame";

    xFile f{const_cast<char*>("t.xvd"), int32_t(b.size()), b.data()};
    xVideo v;
    v.load(&f, 0);
    EXPECT_EQ(3, v.frames);
    std::vector<uint32_t> px(140 * 105);
    v.current = 2;
    v.drawFrame(px.data());
    EXPECT_NEAR(int(px[500] >> 16 & 255), int(2 / 3.0f * 255), 3);
    EXPECT_THROW(EncodeXvd({Canvas(140, 105), Canvas(140, 104)}), std::runtime_error);
}

TEST(DataWriters, QuantizeKeepsFewColoursExactAndCapsManyAt256)
{
    Canvas few(20, 20);
    for (int i = 0; i < 400; ++i)
        few.px[size_t(i)] = {float(i % 40) / 39.0f, float((i * 7) % 40) / 39.0f, 1.0f};
    Indexed q = Quantize(few);
    for (int i = 0; i < 400; ++i) {
        const uint8_t* p = &q.palette[size_t(q.index[size_t(i)]) * 3];
        EXPECT_EQ(ToByte(few.px[size_t(i)].r), p[0]);
        EXPECT_EQ(ToByte(few.px[size_t(i)].g), p[1]);
        EXPECT_EQ(255, p[2]);
    }
    Canvas many(256, 256);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x)
            many.At(x, y) = {x / 255.0f, y / 255.0f, 0.5f};
    Indexed m = Quantize(many);
    EXPECT_EQ(768u, m.palette.size());
    // Dithered: the mean colour of a region stays close to the original.
    double sumR = 0;
    for (int y = 0; y < 256; ++y)
        for (int x = 100; x < 110; ++x)
            sumR += m.palette[size_t(m.index[size_t(y) * 256 + x]) * 3];
    EXPECT_NEAR(sumR / (256 * 10), 104.5, 2.0);
}

TEST(DataWriters, ArchiveIsDeterministicAndReadableByTheProgram)
{
    Bundle b;
    b.Tga24("Pic.tga", "a picture", Distinct(8, 8));
    b.GifMask("pic.gif", "its weights", Mask(8, 8, 1.0f));
    b.Raw("iseeyou.mp3", "module", "module", Bytes(5000, 7));
    std::string dir = scratchDir();
    WriteArchive(dir + "/a.pak", b);
    WriteArchive(dir + "/b.pak", b);
    std::string A = readWholeFile(dir + "/a.pak");
    ASSERT_FALSE(A.empty());
    EXPECT_EQ(A, readWholeFile(dir + "/b.pak"));
    // Local header of the first entry: deflated (method 8).
    EXPECT_EQ(0, memcmp(A.data(), "PK\3\4", 4));
    EXPECT_EQ(8, A[8]);

    xFileIO io(1);
    ASSERT_EQ(0, io.OpenMemory(A.data(), A.size()));
    xFile f{};
    ASSERT_EQ(0, io.Read("PIC.TGA", &f)) << "names are looked up without regard to case";
    EXPECT_EQ(b.entries[0].bytes.size(), size_t(f.size));
    EXPECT_EQ(0, memcmp(f.data, b.entries[0].bytes.data(), size_t(f.size)));
    io.Free(&f);
    ASSERT_EQ(0, io.Read("iseeyou.mp3", &f));
    EXPECT_EQ(5000, f.size);
    io.Free(&f);
    EXPECT_THROW(b.Raw("PIC.tga", "x", "x", {}), std::runtime_error) << "a second entry of one name";
    EXPECT_THROW(b.Raw("pic.gif", "x", "x", {}), std::runtime_error);
}

TEST(DataWriters, ManifestNamesEveryEntryWithFormatAndSize)
{
    Bundle b;
    b.Tga24("one.tga", "first thing", Distinct(4, 6));
    b.Strip(2);
    b.Xvd("two.xvd", "second thing", {Canvas(140, 105), Canvas(140, 105)});
    std::string m = Manifest(b);
    EXPECT_NE(std::string::npos, m.find("one.tga        | first thing | TGA 24-bit | 4 x 6, 3 pictures of 4 x 2 |"));
    EXPECT_NE(std::string::npos, m.find("two.xvd        | second thing | XVD, JPEG frames | 140 x 105, 2 frames |"));
}

TEST(DataWriters, ContactSheetShowsThePictureItself)
{
    SetFontDir(QH_FONT_DIR);
    Bundle b;
    Canvas c = Distinct(6, 5);
    b.Tga24("one.tga", "first", c);
    b.Tga24("two.tga", "second", Canvas(30, 30, {1, 0, 0}));
    Canvas sheet = ContactSheet(b, {"one.tga"});
    // First tile at the margin; the second entry is left out.
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 6; ++x)
            EXPECT_EQ(Expected(c, x, y), Expected(sheet, 10 + x, 10 + y));
    for (const Color& p : sheet.px)
        ASSERT_FALSE(p.r == 1.0f && p.g == 0.0f && p.b == 0.0f) << "an entry that was not asked for";
}

TEST(DataWriters, CaptionsStayWithinTheirBox)
{
    SetFontDir(QH_FONT_DIR);
    for (const char* text : {"two are missing", "g", "a caption far too long to fit the width it is given here"}) {
        Canvas c = Caption(text, 200, 20);
        EXPECT_EQ(20, c.h) << text;
        EXPECT_LE(c.w, 200) << text;
        // Ink touches neither the top nor the bottom row: nothing was cut.
        for (int x = 0; x < c.w; ++x) {
            EXPECT_LT(Luma(c.At(x, 0)), 0.05f) << text;
            EXPECT_LT(Luma(c.At(x, 19)), 0.05f) << text;
        }
    }
    Text t = FitText("quiet harbor", Face::SerifBold, 120, 30);
    EXPECT_LE(t.mask.w, 120);
    EXPECT_LE(t.mask.h, 30);
    EXPECT_GE(t.mask.w, 100) << "the largest size that fits, not just any";
}

TEST(DataWriters, NoiseRepeatsWithItsPeriod)
{
    for (float x : {0.3f, 5.7f, 11.2f})
        for (float y : {0.1f, 3.9f}) {
            EXPECT_NEAR(Noise(x, y, 9, 12, 0), Noise(x + 12, y, 9, 12, 0), 1e-5f);
            EXPECT_NEAR(Noise(x, y, 9, 12, 8), Noise(x, y + 8, 9, 12, 8), 1e-5f);
            EXPECT_NEAR(Fbm(x, y, 9, 4, 12, 8), Fbm(x + 12, y + 8, 9, 4, 12, 8), 1e-5f);
        }
    EXPECT_NE(Noise(0.5f, 0.5f, 9), Noise(12.5f, 0.5f, 9)) << "without a period it must not repeat";
}

TEST(DataWriters, MasksMapWeightsOntoIndices)
{
    Mask m(3, 1);
    m.v = {0.0f, 0.5f, 1.0f};
    Indexed i = MaskToIndexed(m);
    EXPECT_EQ(0, i.index[0]);
    EXPECT_EQ(128, i.index[1]);
    EXPECT_EQ(255, i.index[2]);
    m.v = {-0.2f, 1.7f, 0.999f};
    i = MaskToIndexed(m);
    EXPECT_EQ(0, i.index[0]) << "weights are clamped, not wrapped";
    EXPECT_EQ(255, i.index[1]);
    EXPECT_EQ(255, i.index[2]);
}

TEST(DataWriters, LoopsFollowTheirPhaseNotTheirFrameCount)
{
    // Rendering one frame further than the loop must give the first frame
    // again; the panels are built with 24 frames and checked at 12 here.
    for (auto loop : {&WavesLoop, &BeamLoop, &TunnelLoop, &PlanktonLoop}) {
        std::vector<Canvas> twelve = loop(40, 30, 12);
        std::vector<Canvas> six = loop(40, 30, 6);
        ASSERT_EQ(12u, twelve.size());
        // Frame 2k of a 12-frame loop is frame k of a 6-frame loop.
        for (int k = 0; k < 6; ++k)
            for (size_t p = 0; p < six[0].px.size(); ++p)
                ASSERT_NEAR(Luma(twelve[size_t(2 * k)].px[p]), Luma(six[size_t(k)].px[p]), 1e-4f) << "frame " << k;
    }
}
