#include <gtest/gtest.h>

#include <cstdlib>

#include <jerror.h>
#include <jpeglib.h>

#include "tests/images/ImageTestUtil.h"

using namespace qhtest;

namespace {

// The same stream decoded by the library's own memory source: the reference
// our source manager and call order must reproduce exactly.
Bytes referenceDecode(const Bytes& jpeg, int* components)
{
    jpeg_decompress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_decompress(&c);
    jpeg_mem_src(&c, jpeg.data(), (unsigned long)jpeg.size());
    jpeg_read_header(&c, TRUE);
    jpeg_start_decompress(&c);
    size_t row = (size_t)c.output_width * c.output_components;
    Bytes out(row * c.output_height);
    while (c.output_scanline < c.output_height) {
        JSAMPROW r = out.data() + row * c.output_scanline;
        jpeg_read_scanlines(&c, &r, 1);
    }
    *components = c.output_components;
    jpeg_finish_decompress(&c);
    jpeg_destroy_decompress(&c);
    return out;
}

Bytes gradient(int w, int h, int components)
{
    Bytes b((size_t)w * h * components);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++)
            for (int c = 0; c < components; c++)
                b[((size_t)y * w + x) * components + c] = (uint8_t)(c == 0 ? x * 255 / (w - 1) : c == 1 ? y * 255 / (h - 1) : 90);
    return b;
}

} // namespace

TEST(Jpeg, GreyPictureGivesModeOneWithGreyPalette)
{
    Bytes grey(64 * 32, 128);
    MemoryFile f(makeJpeg(64, 32, 1, grey, 100), "grey.jpg");
    Picture img;
    EXPECT_EQ(xJpegLoad(&f, img), 0);
    EXPECT_EQ(img.mode, 1);
    EXPECT_EQ(img.sizeX, 64);
    EXPECT_EQ(img.sizeY, 32);
    ASSERT_NE(img.palette, nullptr);
    EXPECT_EQ(img.palette[128 * 3], 128);
    EXPECT_EQ(img.palette[128 * 3 + 1], 128);
    EXPECT_EQ(img.palette[128 * 3 + 2], 128);
    EXPECT_EQ(img.palette[255 * 3 + 2], 255);
    EXPECT_EQ(img.pixels[0], 128);
    xImageConvert(&img, 6);
    EXPECT_EQ(img.pixel32(10, 10), 0x00808080u);
    EXPECT_EQ(img.palette, nullptr);
}

TEST(Jpeg, ColourPictureGivesRgbBytesAndRedLandsInBits16To23)
{
    Bytes red(16 * 16 * 3);
    for (size_t i = 0; i < red.size(); i += 3) {
        red[i] = 250;
        red[i + 1] = 10;
        red[i + 2] = 20;
    }
    MemoryFile f(makeJpeg(16, 16, 3, red, 100), "red.jpg");
    Picture img;
    xJpegLoad(&f, img);
    EXPECT_EQ(img.mode, 5);
    EXPECT_EQ(img.palette, nullptr);
    EXPECT_NEAR(img.pixels[0], 250, 3);
    EXPECT_NEAR(img.pixels[1], 10, 3);
    EXPECT_NEAR(img.pixels[2], 20, 3);
    xImageConvert(&img, 6);
    uint32_t p = img.pixel32(5, 5);
    EXPECT_NEAR((int)(p >> 16 & 0xff), 250, 3);
    EXPECT_NEAR((int)(p >> 8 & 0xff), 10, 3);
    EXPECT_NEAR((int)(p & 0xff), 20, 3);
    EXPECT_EQ(p >> 24, 0u);
}

TEST(Jpeg, MatchesTheLibraryDecodeAndTheSourcePicture)
{
    // Baseline and progressive, grey and colour, sizes that are not whole
    // blocks; the large noisy one exceeds the 65536-byte staging buffer.
    struct Case {
        int w, h, comps;
        bool progressive;
        bool noisy;
    } cases[] = {{37, 21, 3, false, false}, {37, 21, 1, true, false}, {320, 200, 3, true, false},
                 {400, 300, 3, false, true}, {301, 257, 1, false, true}};
    for (const Case& c : cases) {
        Bytes src = c.noisy ? pattern((size_t)c.w * c.h * c.comps, 3) : gradient(c.w, c.h, c.comps);
        Bytes jpeg = makeJpeg(c.w, c.h, c.comps, src, 95, c.progressive);
        if (c.noisy) {
            EXPECT_GT(jpeg.size(), 65536u);
        }
        int comps = 0;
        Bytes ref = referenceDecode(jpeg, &comps);
        MemoryFile f(jpeg, "x.jpg");
        Picture img;
        xJpegLoad(&f, img);
        ASSERT_EQ(img.sizeX, c.w);
        ASSERT_EQ(img.sizeY, c.h);
        ASSERT_EQ(img.mode, c.comps == 1 ? 1 : 5);
        EXPECT_EQ(Bytes(img.pixels, img.pixels + ref.size()), ref) << c.w << "x" << c.h;
        if (!c.noisy) {
            int worst = 0;
            for (size_t i = 0; i < src.size(); i++)
                worst = std::max(worst, std::abs((int)img.pixels[i] - (int)src[i]));
            EXPECT_LE(worst, 12) << c.w << "x" << c.h;
        }
    }
}

TEST(Jpeg, FlatPicturesPassTheSizeCheck)
{
    // The smallest honest streams: one flat colour, grey and progressive.
    for (int comps : {1, 3})
        for (bool progressive : {false, true}) {
            Bytes jpeg = makeJpeg(640, 480, comps, Bytes((size_t)640 * 480 * comps, 0), 50, progressive);
            MemoryFile f(jpeg, "flat.jpg");
            Picture img;
            xJpegLoad(&f, img);
            EXPECT_EQ(img.sizeX, 640);
            EXPECT_EQ(img.sizeY, 480);
            EXPECT_EQ(img.pixels[640 * 480 - 1], 0);
        }
}

TEST(Jpeg, CutStreamDecodesWhatItHas)
{
    Bytes jpeg = makeJpeg(64, 64, 3, pattern(64 * 64 * 3, 6), 90);
    ASSERT_GT(jpeg.size(), 4000u);
    Bytes cut(jpeg.begin(), jpeg.begin() + jpeg.size() / 2);
    MemoryFile f(cut, "cut.jpg");
    Picture img;
    xJpegLoad(&f, img);
    EXPECT_EQ(img.sizeX, 64);
    EXPECT_EQ(img.sizeY, 64);
    int comps;
    Bytes full = referenceDecode(jpeg, &comps);
    // The top rows are there.
    EXPECT_EQ(Bytes(img.pixels, img.pixels + 64 * 3 * 8), Bytes(full.begin(), full.begin() + 64 * 3 * 8));
}

TEST(Jpeg, FrameDecodeGivesPackedPixelsAndRefusesOtherSizes)
{
    Bytes src = gradient(48, 40, 3);
    Bytes jpeg = makeJpeg(48, 40, 3, src, 90);
    int comps;
    Bytes ref = referenceDecode(jpeg, &comps);
    std::vector<uint32_t> frame(48 * 40, 0xdeadbeef);
    EXPECT_EQ(xJpegDecodeRGB32(jpeg.data(), (uint32_t)jpeg.size(), frame.data(), 48, 40), XJPEG_OK);
    for (size_t i = 0; i < frame.size(); i++)
        ASSERT_EQ(frame[i], (uint32_t)ref[i * 3] << 16 | ref[i * 3 + 1] << 8 | ref[i * 3 + 2]) << i;

    std::vector<uint32_t> other(48 * 41, 0x12345678);
    EXPECT_EQ(xJpegDecodeRGB32(jpeg.data(), (uint32_t)jpeg.size(), other.data(), 48, 41), XJPEG_WRONG_FRAME);
    EXPECT_EQ(xJpegDecodeRGB32(jpeg.data(), (uint32_t)jpeg.size(), other.data(), 47, 40), XJPEG_WRONG_FRAME);
    Bytes grey = makeJpeg(48, 40, 1, Bytes(48 * 40, 9));
    EXPECT_EQ(xJpegDecodeRGB32(grey.data(), (uint32_t)grey.size(), other.data(), 48, 40), XJPEG_WRONG_FRAME);
    for (uint32_t v : other)
        ASSERT_EQ(v, 0x12345678u);
}

TEST(Jpeg, MemorySourceIsAllocatedOnceAndRewound)
{
    Bytes jpeg = makeJpeg(8, 8, 1, Bytes(64, 50));
    jpeg_decompress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_decompress(&c);
    xJpegMemorySource(&c, jpeg.data(), (uint32_t)jpeg.size());
    jpeg_source_mgr* first = c.src;
    jpeg_read_header(&c, TRUE);
    jpeg_abort_decompress(&c);
    xJpegMemorySource(&c, jpeg.data(), (uint32_t)jpeg.size());
    EXPECT_EQ(c.src, first);
    // Read again from the start.
    EXPECT_EQ(jpeg_read_header(&c, TRUE), JPEG_HEADER_OK);
    EXPECT_EQ(c.image_width, 8u);
    // Skipping past everything ends in the inserted end-of-image marker.
    long left = (long)c.src->bytes_in_buffer;
    c.src->skip_input_data(&c, left + 1);
    EXPECT_EQ(c.src->bytes_in_buffer, 1u);
    EXPECT_EQ(c.src->next_input_byte[0], JPEG_EOI);
    jpeg_destroy_decompress(&c);
}

TEST(Jpeg, LargeBlocksAreFedIn65536BytePiecesThenAnEndMarker)
{
    Bytes data = pattern(65536 + 1000, 17);
    jpeg_decompress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_decompress(&c);
    xJpegMemorySource(&c, data.data(), (uint32_t)data.size());
    c.src->init_source(&c);
    ASSERT_TRUE(c.src->fill_input_buffer(&c));
    ASSERT_EQ(c.src->bytes_in_buffer, 65536u);
    EXPECT_EQ(Bytes(c.src->next_input_byte, c.src->next_input_byte + 65536), Bytes(data.begin(), data.begin() + 65536));
    ASSERT_TRUE(c.src->fill_input_buffer(&c));
    ASSERT_EQ(c.src->bytes_in_buffer, 1000u);
    EXPECT_EQ(Bytes(c.src->next_input_byte, c.src->next_input_byte + 1000), Bytes(data.begin() + 65536, data.end()));
    // Past the end: a warning and an end-of-image marker, every time.
    for (int i = 0; i < 2; i++) {
        ASSERT_TRUE(c.src->fill_input_buffer(&c));
        ASSERT_EQ(c.src->bytes_in_buffer, 2u);
        EXPECT_EQ(c.src->next_input_byte[0], 0xff);
        EXPECT_EQ(c.src->next_input_byte[1], JPEG_EOI);
    }
    EXPECT_EQ(err.num_warnings, 2);
    jpeg_destroy_decompress(&c);
}

TEST(JpegDeath, EmptyBrokenAndUnsupportedStreams)
{
    Picture img;
    // A block of size 0 (not a missing block).
    MemoryFile e(Bytes(4, 0xff), "empty.jpg");
    e.file.size = 0;
    EXPECT_EXIT(xJpegLoad(&e, img), ::testing::ExitedWithCode(1), "Empty input file");

    Bytes cmyk = makeJpeg(16, 16, 4, Bytes(16 * 16 * 4, 70));
    MemoryFile c(cmyk, "cmyk.jpg");
    EXPECT_EXIT(xJpegLoad(&c, img), ::testing::ExitedWithCode(6), "Broken file -> cmyk.jpg, 6");

    // 65000 x 65000 (within the library's limit) in the frame header of a
    // small file.
    Bytes huge = makeJpeg(16, 16, 3, Bytes(16 * 16 * 3, 1));
    for (size_t i = 0; i + 8 < huge.size(); i++)
        if (huge[i] == 0xff && huge[i + 1] == 0xc0) {
            huge[i + 5] = huge[i + 7] = 0xfd;
            huge[i + 6] = huge[i + 8] = 0xe8;
            break;
        }
    MemoryFile h(huge, "huge.jpg");
    EXPECT_EXIT(xJpegLoad(&h, img), ::testing::ExitedWithCode(6), "Broken file -> huge.jpg");

    MemoryFile n(Bytes(200, 0x41), "text.jpg");
    EXPECT_EXIT(xJpegLoad(&n, img), ::testing::ExitedWithCode(1), "Not a JPEG file");

    xFile noData = {(char*)"gone.jpg", 10, nullptr};
    EXPECT_EXIT(xJpegLoad(&noData, img), ::testing::ExitedWithCode(3), "xJpegLoad::Can't access file -> gone.jpg");
    EXPECT_EXIT(xJpegLoad((xFile*)nullptr, img), ::testing::ExitedWithCode(3), "Assertion failed");
    EXPECT_EXIT(xJpegLoad("no-such.jpg", img), ::testing::ExitedWithCode(3), "xJpegLoad::Can't access file -> no-such.jpg");
}

TEST(Jpeg, DiskForm)
{
    Bytes src = gradient(40, 30, 3);
    Bytes jpeg = makeJpeg(40, 30, 3, src, 90);
    ASSERT_TRUE(writeFile(scratchFile("disk.jpg"), jpeg));
    Picture img;
    EXPECT_EQ(xJpegLoad(scratchFile("disk.jpg").c_str(), img), 0);
    int comps;
    Bytes ref = referenceDecode(jpeg, &comps);
    EXPECT_EQ(img.mode, 5);
    EXPECT_EQ(Bytes(img.pixels, img.pixels + ref.size()), ref);
}
