// TGA and PCX files written by an independent encoder (netpbm's pamtotga and
// ppmtopcx) load to the pixels they were made from.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/images/ImageTestUtil.h"

using namespace qhtest;

namespace {

bool haveNetpbm() { return system("command -v pamtotga >/dev/null 2>&1 && command -v ppmtopcx >/dev/null 2>&1") == 0; }

// rgb: R, G, B triplets, top row first.
void writePpm(const std::string& path, int w, int h, const Bytes& rgb)
{
    std::string header = "P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
    Bytes b(header.begin(), header.end());
    b.insert(b.end(), rgb.begin(), rgb.end());
    ASSERT_TRUE(writeFile(path, b));
}

// A picture of few colours, so the palette forms apply.
Bytes fewColours(int w, int h, int colours)
{
    Bytes rgb((size_t)w * h * 3);
    for (int i = 0; i < w * h; i++) {
        int c = (i * 7 + i / w) % colours;
        rgb[i * 3] = (uint8_t)(c * 37);
        rgb[i * 3 + 1] = (uint8_t)(255 - c * 11);
        rgb[i * 3 + 2] = (uint8_t)(c * 5 + 3);
    }
    return rgb;
}

// Loads the named file through the format probes and converts it to 32 bits.
std::vector<uint32_t> loadAs32(const std::string& path, int* mode, int* w, int* h)
{
    xFileIO plain(0);
    xFile f;
    EXPECT_EQ(plain.Read(path.c_str(), &f), 0) << path;
    Picture img;
    xImageLoad(&f, img);
    plain.Free(&f);
    *mode = img.mode;
    *w = img.sizeX;
    *h = img.sizeY;
    xImageConvert(&img, 6);
    return std::vector<uint32_t>((uint32_t*)img.pixels, (uint32_t*)img.pixels + (size_t)img.sizeX * img.sizeY);
}

std::vector<uint32_t> as32(const Bytes& rgb)
{
    std::vector<uint32_t> v(rgb.size() / 3);
    for (size_t i = 0; i < v.size(); i++)
        v[i] = (uint32_t)rgb[i * 3] << 16 | rgb[i * 3 + 1] << 8 | rgb[i * 3 + 2];
    return v;
}

void check(const char* command, int w, int h, const Bytes& rgb, int wantMode, const char* out)
{
    std::string ppm = scratchFile("cross.ppm"), file = scratchFile(out);
    writePpm(ppm, w, h, rgb);
    std::string cmd = std::string(command) + " '" + ppm + "' > '" + file + "' 2>/dev/null";
    ASSERT_EQ(system(cmd.c_str()), 0) << cmd;
    int mode, sx, sy;
    std::vector<uint32_t> got = loadAs32(file, &mode, &sx, &sy);
    EXPECT_EQ(mode, wantMode) << cmd;
    ASSERT_EQ(sx, w);
    ASSERT_EQ(sy, h);
    EXPECT_EQ(got, as32(rgb)) << cmd << " " << w << "x" << h;
}

} // namespace

TEST(NetpbmCrossCheck, TgaFromPamtotgaLoadsUpright)
{
    if (!haveNetpbm())
        GTEST_SKIP() << "netpbm is not installed";
    for (auto s : {std::make_pair(7, 5), std::make_pair(64, 33), std::make_pair(1, 9)}) {
        check("pamtotga -norle -rgb", s.first, s.second, pattern((size_t)s.first * s.second * 3, 41), 4, "cross.tga");
        check("pamtotga -norle -cmap", s.first, s.second, fewColours(s.first, s.second, 24), 1, "cross-map.tga");
    }
}

TEST(NetpbmCrossCheck, PcxFromPpmtopcxWithEvenWidths)
{
    if (!haveNetpbm())
        GTEST_SKIP() << "netpbm is not installed";
    for (auto s : {std::make_pair(8, 6), std::make_pair(320, 10), std::make_pair(2, 31)}) {
        check("ppmtopcx -24bit", s.first, s.second, pattern((size_t)s.first * s.second * 3, 42), 5, "cross.pcx");
        check("ppmtopcx -8bit", s.first, s.second, fewColours(s.first, s.second, 200), 1, "cross8.pcx");
    }
}
