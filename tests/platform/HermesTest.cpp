#include "platform/Hermes.h"

#include <gtest/gtest.h>
#include <cstring>
#include <vector>

namespace {

// The image layer's pixel modes and the display's formats.
const HermesFormat kIndexed = {0, 0, 0, 0, 8, 1, 0, 0};
const HermesFormat k1555 = {0x7c00, 0x3e0, 0x1f, 0, 16, 0, 0, 0};
const HermesFormat k565 = {0xf800, 0x7e0, 0x1f, 0, 16, 0, 0, 0};
const HermesFormat kBGR = {0xff0000, 0xff00, 0xff, 0, 24, 0, 0, 0}; // bytes B, G, R
const HermesFormat kRGB = {0xff, 0xff00, 0xff0000, 0, 24, 0, 0, 0}; // bytes R, G, B
const HermesFormat k32 = {0xff0000, 0xff00, 0xff, 0, 32, 0, 0, 0};  // the frame buffer
const HermesFormat k32Swapped = {0xff, 0xff00, 0xff0000, 0, 32, 0, 0, 0};

struct HermesTest : ::testing::Test {
    HermesHandle conv = 0;
    void SetUp() override
    {
        ASSERT_EQ(1, Hermes_Init());
        conv = Hermes_ConverterInstance(0);
        ASSERT_NE(0, conv);
    }
    void TearDown() override
    {
        Hermes_ConverterReturn(conv);
        Hermes_Done();
    }
    bool request(HermesFormat s, HermesFormat d) { return Hermes_ConverterRequest(conv, &s, &d) == 1; }
    // Converts one row of n pixels, packed on both sides.
    template <class S, class D> bool row(const S* src, D* dst, int n, int sBytes, int dBytes)
    {
        return Hermes_ConverterCopy(conv, (void*)src, 0, 0, n, 1, n * sBytes, dst, 0, 0, n, 1, n * dBytes) == 1;
    }
};

const uint32_t kColors[] = {0x00000000, 0x00ff0000, 0x0000ff00, 0x000000ff, 0x00ffffff, 0x00123456};

TEST_F(HermesTest, FromFrameBufferTo16Bits)
{
    ASSERT_TRUE(request(k32, k565));
    uint16_t out[6] = {};
    ASSERT_TRUE(row(kColors, out, 6, 4, 2));
    const uint16_t want565[] = {0x0000, 0xf800, 0x07e0, 0x001f, 0xffff, (2 << 11) | (13 << 5) | 10};
    for (int i = 0; i < 6; i++)
        EXPECT_EQ(want565[i], out[i]) << i;

    ASSERT_TRUE(request(k32, k1555));
    ASSERT_TRUE(row(kColors, out, 6, 4, 2));
    const uint16_t want1555[] = {0x0000, 0x7c00, 0x03e0, 0x001f, 0x7fff, (2 << 10) | (6 << 5) | 10};
    for (int i = 0; i < 6; i++)
        EXPECT_EQ(want1555[i], out[i]) << i;
}

TEST_F(HermesTest, From16BitsToFrameBufferFillsTheLowBits)
{
    // Full intensity must stay full intensity: 5 bits of 31 become 255.
    const uint16_t in565[] = {0x0000, 0xf800, 0x07e0, 0x001f, 0xffff, (2 << 11) | (13 << 5) | 10};
    uint32_t out[6];
    memset(out, 0xee, sizeof out);
    ASSERT_TRUE(request(k565, k32));
    ASSERT_TRUE(row(in565, out, 6, 2, 4));
    // SDL widens 6-bit green by its own table (63 gives 254 or 255); red and
    // blue are widened by repeating their top bits.
    const uint32_t want565[] = {0, 0xff0000, 0xff00, 0xff, 0xffffff, 0x103452};
    for (int i = 0; i < 6; i++) {
        EXPECT_EQ(want565[i] & 0xff00ff, out[i] & 0xffff00ff) << i; // fourth byte 0: no alpha here
        EXPECT_NEAR((int)(want565[i] >> 8 & 0xff), (int)(out[i] >> 8 & 0xff), 1) << i;
    }
    // Whatever the widening, the display format's value comes back unchanged.
    uint16_t again[6];
    ASSERT_TRUE(request(k32, k565));
    ASSERT_TRUE(row(out, again, 6, 4, 2));
    EXPECT_EQ(0, memcmp(in565, again, sizeof again));

    const uint16_t in1555[] = {0x0000, 0x7c00, 0x03e0, 0x001f, 0x7fff, (2 << 10) | (6 << 5) | 10};
    memset(out, 0xee, sizeof out);
    ASSERT_TRUE(request(k1555, k32));
    ASSERT_TRUE(row(in1555, out, 6, 2, 4));
    const uint32_t want1555[] = {0, 0xff0000, 0xff00, 0xff, 0xffffff, 0x103152};
    for (int i = 0; i < 6; i++)
        EXPECT_EQ(want1555[i], out[i]) << i;
}

TEST_F(HermesTest, TwentyFourBitByteOrders)
{
    const uint32_t in[] = {0x00123456, 0x00ff0000};
    uint8_t out[6];
    ASSERT_TRUE(request(k32, kBGR));
    ASSERT_TRUE(row(in, out, 2, 4, 3));
    const uint8_t bgr[] = {0x56, 0x34, 0x12, 0x00, 0x00, 0xff};
    EXPECT_EQ(0, memcmp(bgr, out, 6));

    ASSERT_TRUE(request(k32, kRGB));
    ASSERT_TRUE(row(in, out, 2, 4, 3));
    const uint8_t rgb[] = {0x12, 0x34, 0x56, 0xff, 0x00, 0x00};
    EXPECT_EQ(0, memcmp(rgb, out, 6));

    // And back: the same picture stored either way gives the same colours.
    uint32_t back[2];
    memset(back, 0xee, sizeof back);
    ASSERT_TRUE(request(kBGR, k32));
    ASSERT_TRUE(row(bgr, back, 2, 3, 4));
    EXPECT_EQ(0x00123456u, back[0]);
    EXPECT_EQ(0x00ff0000u, back[1]);
    memset(back, 0xee, sizeof back);
    ASSERT_TRUE(request(kRGB, k32));
    ASSERT_TRUE(row(rgb, back, 2, 3, 4));
    EXPECT_EQ(0x00123456u, back[0]);
    EXPECT_EQ(0x00ff0000u, back[1]);
}

TEST_F(HermesTest, ThirtyTwoBits)
{
    // The same layout is a straight copy: the fourth byte survives.
    const uint32_t in[] = {0xab123456, 0x00ff0000};
    uint32_t out[2];
    ASSERT_TRUE(request(k32, k32));
    ASSERT_TRUE(row(in, out, 2, 4, 4));
    EXPECT_EQ(0xab123456u, out[0]);
    EXPECT_EQ(0x00ff0000u, out[1]);

    ASSERT_TRUE(request(k32, k32Swapped));
    ASSERT_TRUE(row(in, out, 2, 4, 4));
    EXPECT_EQ(0x00563412u, out[0] & 0xffffff);
    EXPECT_EQ(0x000000ffu, out[1] & 0xffffff);
}

TEST_F(HermesTest, IndexedWithPalette)
{
    HermesHandle pal = Hermes_PaletteInstance();
    ASSERT_NE(0, pal);
    int32_t entries[256];
    for (int i = 0; i < 256; i++)
        entries[i] = (i << 16) | ((255 - i) << 8) | (i ^ 0x5a);
    Hermes_PaletteSet(pal, entries);
    EXPECT_EQ(0, memcmp(entries, Hermes_PaletteGet(pal), sizeof entries));

    ASSERT_TRUE(request(kIndexed, k32));
    ASSERT_EQ(1, Hermes_ConverterPalette(conv, pal, pal));
    const uint8_t in[] = {0, 1, 128, 255};
    uint32_t out[4];
    memset(out, 0xee, sizeof out);
    ASSERT_TRUE(row(in, out, 4, 1, 4));
    for (int i = 0; i < 4; i++)
        EXPECT_EQ((uint32_t)entries[in[i]], out[i]) << i;

    // A palette changed after it was handed over is the one used.
    entries[1] = 0x00abcdef;
    Hermes_PaletteSet(pal, entries);
    ASSERT_TRUE(row(in, out, 4, 1, 4));
    EXPECT_EQ(0x00abcdefu, out[1]);

    // Other destinations of the image layer.
    uint8_t rgb[12];
    ASSERT_TRUE(request(kIndexed, kRGB));
    ASSERT_TRUE(row(in, rgb, 4, 1, 3));
    EXPECT_EQ(0xab, rgb[3]);
    EXPECT_EQ(0xcd, rgb[4]);
    EXPECT_EQ(0xef, rgb[5]);
    uint16_t w565[4];
    ASSERT_TRUE(request(kIndexed, k565));
    ASSERT_TRUE(row(in, w565, 4, 1, 2));
    EXPECT_EQ((uint16_t)((0xab >> 3) << 11 | (0xcd >> 2) << 5 | (0xef >> 3)), w565[1]);

    // Without a palette there is nothing to convert with.
    Hermes_PaletteReturn(pal);
    ASSERT_TRUE(request(kIndexed, k32));
    EXPECT_FALSE(row(in, out, 4, 1, 4));
}

TEST_F(HermesTest, RectangleCopyTouchesOnlyItsRectangle)
{
    // 8 x 6 source of 32 bits, 10 x 7 destination of 16 bits with padded rows.
    const int sw = 8, sh = 6, dPitch = 24;
    std::vector<uint32_t> src(sw * sh);
    for (int i = 0; i < sw * sh; i++)
        src[i] = 0x00ff0000 | (uint32_t)i;
    std::vector<uint8_t> dst(dPitch * 7, 0xcc);
    ASSERT_TRUE(request(k32, k565));
    ASSERT_EQ(1, Hermes_ConverterCopy(conv, src.data(), 2, 1, 3, 4, sw * 4, dst.data(), 5, 2, 3, 4, dPitch));
    for (int y = 0; y < 7; y++)
        for (int x = 0; x < 12; x++) {
            uint16_t v;
            memcpy(&v, &dst[y * dPitch + x * 2], 2);
            bool inside = x >= 5 && x < 8 && y >= 2 && y < 6;
            if (inside) {
                uint32_t s = src[(y - 2 + 1) * sw + (x - 5 + 2)];
                EXPECT_EQ((uint16_t)(0xf800 | ((s & 0xff) >> 3)), v) << x << "," << y;
            } else {
                EXPECT_EQ(0xcccc, v) << x << "," << y;
            }
        }

    // The straight copy keeps to its rectangle as well.
    std::vector<uint32_t> same(sw * sh, 0x11111111);
    ASSERT_TRUE(request(k32, k32));
    ASSERT_EQ(1, Hermes_ConverterCopy(conv, src.data(), 1, 2, 2, 2, sw * 4, same.data(), 1, 2, 2, 2, sw * 4));
    for (int y = 0; y < sh; y++)
        for (int x = 0; x < sw; x++) {
            bool inside = x >= 1 && x < 3 && y >= 2 && y < 4;
            EXPECT_EQ(inside ? src[y * sw + x] : 0x11111111u, same[y * sw + x]) << x << "," << y;
        }
}

TEST_F(HermesTest, OneConverterForCopiesOfAnySize)
{
    // The converter keeps its state between copies; each copy's own sizes
    // and pitches must still be the ones used.
    ASSERT_TRUE(request(k32, kBGR));
    std::vector<uint32_t> src(64 * 8);
    for (size_t i = 0; i < src.size(); i++)
        src[i] = (uint32_t)(i * 0x010203);
    std::vector<uint8_t> big(64 * 3 * 8, 0), small(5 * 7 * 2, 0xcc);
    ASSERT_EQ(1, Hermes_ConverterCopy(conv, src.data(), 0, 0, 64, 8, 256, big.data(), 0, 0, 64, 8, 192));
    ASSERT_EQ(1, Hermes_ConverterCopy(conv, src.data(), 60, 1, 2, 2, 256, small.data(), 1, 0, 2, 2, 7 * 2 + 1));
    for (int i = 0; i < 64 * 8; i++) {
        EXPECT_EQ((uint8_t)src[i], big[i * 3]) << i;
        EXPECT_EQ((uint8_t)(src[i] >> 16), big[i * 3 + 2]) << i;
    }
    EXPECT_EQ(0xcc, small[0]);
    EXPECT_EQ((uint8_t)src[64 + 60], small[3]);
    EXPECT_EQ((uint8_t)src[128 + 61], small[15 + 6]);
    EXPECT_EQ(0xcc, small[15 + 9]);
}

TEST_F(HermesTest, RefusesWhatItCannotDo)
{
    uint32_t a[16] = {}, b[16] = {};
    // No request yet.
    EXPECT_EQ(0, Hermes_ConverterCopy(conv, a, 0, 0, 2, 2, 8, b, 0, 0, 2, 2, 8));
    // Unknown or unsupported pairs.
    EXPECT_FALSE(request(k32, kIndexed));
    EXPECT_FALSE(request(k32, HermesFormat{0xf00, 0xf0, 0xf, 0, 12, 0, 0, 0}));
    EXPECT_FALSE(request(k32, HermesFormat{0xff0000, 0xff00, 0xff, 0, 16, 0, 0, 0}));
    EXPECT_FALSE(request(HermesFormat{0, 0, 0, 0, 16, 1, 0, 0}, k32));
    EXPECT_EQ(0, Hermes_ConverterRequest(conv, nullptr, nullptr));
    EXPECT_EQ(0, Hermes_ConverterRequest(0, nullptr, nullptr));
    // A failed request leaves no usable converter behind.
    EXPECT_EQ(0, Hermes_ConverterCopy(conv, a, 0, 0, 2, 2, 8, b, 0, 0, 2, 2, 8));

    ASSERT_TRUE(request(k32, k565));
    EXPECT_EQ(0, Hermes_ConverterCopy(conv, a, 0, 0, 2, 2, 8, b, 0, 0, 3, 2, 8)); // no scaling
    EXPECT_EQ(0, Hermes_ConverterCopy(conv, a, 0, 0, 2, 2, 8, b, 0, 0, 2, 3, 8));
    EXPECT_EQ(0, Hermes_ConverterCopy(conv, a, 0, 0, 2, 2, 7, b, 0, 0, 2, 2, 8));  // pitch under a row
    EXPECT_EQ(0, Hermes_ConverterCopy(conv, a, 0, 0, 2, 2, 8, b, 0, 0, 2, 2, 3));
    EXPECT_EQ(0, Hermes_ConverterCopy(conv, a, -1, 0, 2, 2, 8, b, 0, 0, 2, 2, 8));
    EXPECT_EQ(0, Hermes_ConverterCopy(conv, nullptr, 0, 0, 2, 2, 8, b, 0, 0, 2, 2, 8));
    EXPECT_EQ(0, Hermes_ConverterCopy(conv, a, 0, 0, 2, 2, 8, nullptr, 0, 0, 2, 2, 8));
    EXPECT_EQ(0, Hermes_ConverterCopy(conv + 100, a, 0, 0, 2, 2, 8, b, 0, 0, 2, 2, 8));
    EXPECT_EQ(1, Hermes_ConverterCopy(conv, a, 0, 0, 2, 2, 8, b, 0, 0, 2, 2, 4));

    // A returned converter is gone; its handle is reused by the next one.
    Hermes_ConverterReturn(conv);
    EXPECT_EQ(0, Hermes_ConverterCopy(conv, a, 0, 0, 2, 2, 8, b, 0, 0, 2, 2, 4));
    HermesHandle again = Hermes_ConverterInstance(0);
    EXPECT_EQ(conv, again);
    EXPECT_EQ(0, Hermes_ConverterCopy(again, a, 0, 0, 2, 2, 8, b, 0, 0, 2, 2, 4));
    EXPECT_EQ(nullptr, Hermes_PaletteGet(0));
}

} // namespace
