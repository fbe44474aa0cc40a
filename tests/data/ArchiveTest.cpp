// The show's archive as the show reads it: every picture through the
// program's own file reader and loaders, with the size, mode and placement
// each effect relies on; every animation decoded frame by frame; and the
// archive made again byte for byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>
#include <sys/wait.h>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "X2d/X2d.h"
#include "X2d/X2danim.h"
#include "X2d/X2dspr.h"
#include "Ximage/Ximage.h"
#include "files/xFileIO.h"
#include "tests/common/TestZip.h"

namespace {

// ---- reading ----

struct Archive {
    xFileIO io{1};
    bool open = false;
    Archive() { open = io.Open(QH_PAK) == 0; }
};

Archive& Pak()
{
    static Archive a;
    return a;
}

// A file read from the archive, released at the end of the scope.
struct Read {
    xFile file{};
    int result;
    explicit Read(const std::string& name) { result = Pak().io.Read(name.c_str(), &file); }
    ~Read()
    {
        if (result == 0)
            Pak().io.Free(&file);
    }
    bool ok() const { return result == 0 && file.data && file.size > 0; }
    const uint8_t* bytes() const { return file.data; }
};

// A decoded picture, released at the end of the scope.
struct Picture {
    xImage img{};
    bool ok = false;
    explicit Picture(const std::string& name)
    {
        Read r(name);
        if (!r.ok())
            return;
        xImageLoad(&r.file, img);
        ok = img.pixels != nullptr;
    }
    ~Picture()
    {
        free(img.pixels);
        free(img.palette);
    }
};

uint16_t Le16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

// ---- what the loaders take, checked on the file's own bytes ----

void ExpectLoaderFriendly(const std::string& name, const uint8_t* b, int32_t size)
{
    SCOPED_TRACE(name);
    std::string ext = name.substr(name.rfind('.') + 1);
    if (ext == "jpg") {
        ASSERT_GE(size, 10);
        EXPECT_EQ(0, memcmp(b + 6, "JFIF", 4)) << "the JFIF marker is how the program recognises a JPEG";
    } else if (ext == "tga") {
        ASSERT_GE(size, 18);
        EXPECT_NE(0x0a, b[0]) << "an ID length of 10 would make the file a PCX";
        EXPECT_TRUE(b[2] == 1 || b[2] == 2) << "image type " << int(b[2]);
        EXPECT_TRUE(b[16] == 8 || b[16] == 24 || b[16] == 32) << "depth " << int(b[16]);
        EXPECT_EQ(0, b[17] & 0x20) << "rows must be stored bottom-up";
        int bpp = b[16] / 8;
        int64_t expect = 18 + b[0] + (b[1] ? 3 * Le16(b + 5) : 0) + int64_t(Le16(b + 12)) * Le16(b + 14) * bpp;
        EXPECT_EQ(expect, size) << "pixel data must be exactly what the header promises";
    } else if (ext == "gif") {
        ASSERT_GE(size, 13 + 768 + 11);
        std::string sig(reinterpret_cast<const char*>(b), 6);
        EXPECT_TRUE(sig == "GIF87a" || sig == "GIF89a") << sig;
        EXPECT_EQ(0x80, b[10] & 0x80) << "global colour table";
        EXPECT_EQ(7, b[10] & 7) << "256-entry colour table";
        size_t p = 13 + 768;
        while (p < size_t(size) && b[p] == 0x21) { // skip extensions
            p += 2;
            while (p < size_t(size) && b[p] != 0)
                p += b[p] + 1;
            ++p;
        }
        ASSERT_LT(p + 10, size_t(size));
        EXPECT_EQ(0x2c, b[p]) << "image descriptor";
        EXPECT_EQ(0, b[p + 9] & 0x40) << "not interlaced: the decoder keeps the stored row order";
        EXPECT_EQ(0, b[p + 9] & 0x80) << "no local table";
        EXPECT_EQ(8, b[p + 10]) << "LZW minimum code size";
    } else if (ext == "xvd") {
        ASSERT_GE(size, 16);
        EXPECT_EQ(0, memcmp(b, "XVD\0", 4));
    }
}

std::vector<std::string> ArchiveNames()
{
    std::vector<std::string> names;
    std::ifstream in(QH_MANIFEST);
    std::string line;
    while (std::getline(in, line)) {
        // The scenes' textures are files beside the archive, checked with the scenes.
        if (line.empty() || line[0] == '#' || line.find("(a file beside the archive)") != std::string::npos)
            continue;
        names.push_back(line.substr(0, line.find_first_of(" |")));
    }
    return names;
}

class DataArchive : public ::testing::Test {
protected:
    static void SetUpTestSuite() { x2dInit(640, 280); }
    void SetUp() override { ASSERT_TRUE(Pak().open) << "cannot open " << QH_PAK; }

    // Loads the picture and checks its size; returns false when it is missing.
    static bool Size(const std::string& name, int w, int h, int mode = 0)
    {
        SCOPED_TRACE(name);
        Picture p(name);
        EXPECT_TRUE(p.ok) << name << " missing or not decoded";
        if (!p.ok)
            return false;
        if (w > 0) {
            EXPECT_EQ(w, p.img.sizeX);
        }
        if (h > 0) {
            EXPECT_EQ(h, p.img.sizeY);
        }
        if (mode) {
            EXPECT_EQ(mode, p.img.mode);
        }
        return true;
    }

    // Placement: a picture drawn unclipped at (x, y) stays inside right x bottom.
    static void Fits(const std::string& name, int x, int y, int right, int bottom)
    {
        SCOPED_TRACE(name);
        Picture p(name);
        ASSERT_TRUE(p.ok) << name;
        EXPECT_LE(x + p.img.sizeX, right) << name << " spills to the right";
        EXPECT_LE(y + p.img.sizeY, bottom) << name << " spills below";
    }

    // A sprite with its alpha channel: the channel is 8-bit and exactly the sprite's size.
    static void WithAlpha(const std::string& sprite, const std::string& alpha)
    {
        SCOPED_TRACE(sprite + " + " + alpha);
        Picture a(alpha), s(sprite);
        ASSERT_TRUE(a.ok && s.ok);
        EXPECT_EQ(XIMAGE_INDEXED, a.img.mode);
        ASSERT_EQ(s.img.sizeX, a.img.sizeX);
        ASSERT_EQ(s.img.sizeY, a.img.sizeY);
        // The program's own path: sprite from the archive, alpha into its fourth byte.
        x2dSprite* spr = x2dSpriteCreate();
        spr->Load(sprite.c_str(), &Pak().io);
        spr->LoadAlphaChannel(alpha.c_str(), &Pak().io);
        int strongest = 0;
        for (int i = 0; i < spr->sizeX * spr->sizeY; ++i) {
            uint8_t w = uint8_t(spr->pixels[i] >> 24);
            EXPECT_EQ(a.img.pixels[i], w);
            strongest = std::max(strongest, int(w));
        }
        EXPECT_GE(strongest, 100) << "an alpha channel that all but hides the picture";
        delete spr;
    }

    // An alpha layer standing alone: 8-bit weights, some of them full.
    static void Layer(const std::string& name, int w = 0, int h = 0)
    {
        SCOPED_TRACE(name);
        x2dSprite* spr = x2dSpriteCreate();
        spr->LoadAlphaLayer(name.c_str(), &Pak().io, 0xffffff);
        ASSERT_NE(nullptr, spr->alphaLayer);
        if (w) {
            EXPECT_EQ(w, spr->sizeX);
        }
        if (h) {
            EXPECT_EQ(h, spr->sizeY);
        }
        int strongest = 0;
        for (int i = 0; i < spr->sizeX * spr->sizeY; ++i)
            strongest = std::max(strongest, int(spr->alphaLayer[i]));
        EXPECT_GE(strongest, 100) << "a layer this faint paints almost nothing";
        delete spr;
    }
};

TEST_F(DataArchive, EveryEntryIsWhatTheLoadersTake)
{
    std::vector<std::string> names = ArchiveNames();
    ASSERT_GT(names.size(), 100u) << "manifest " << QH_MANIFEST;
    std::set<std::string> seen;
    for (const std::string& name : names) {
        EXPECT_TRUE(seen.insert(name).second) << "listed twice: " << name;
        Read r(name);
        ASSERT_TRUE(r.ok()) << name;
        ExpectLoaderFriendly(name, r.bytes(), r.file.size);
        std::string ext = name.substr(name.rfind('.') + 1);
        if (ext == "jpg" || ext == "tga" || ext == "gif") {
            Picture p(name);
            EXPECT_TRUE(p.ok) << name;
            if (ext == "jpg") {
                EXPECT_EQ(XIMAGE_RGB24, p.img.mode) << name << ": three components";
            }
            if (ext == "gif") {
                EXPECT_EQ(XIMAGE_INDEXED, p.img.mode) << name;
            }
        }
    }
}

TEST_F(DataArchive, StartUpFindsItsFilesWhateverTheLetterCase)
{
    Read loading("LOADING.JPG");
    EXPECT_TRUE(loading.ok());
    Fits("loading.jpg", 0, 260, 640, 280);
    Read music("iseeyou.mp3");
    EXPECT_TRUE(music.ok()) << "the music under the name start-up reads";
}

TEST_F(DataArchive, OpeningAssets)
{
    // Ten circle frames stacked; each frame at most 90 x 25 so a cell of the
    // last grid row and column stays inside the letterbox.
    Picture circles("circles.tga");
    ASSERT_TRUE(circles.ok);
    EXPECT_EQ(0, circles.img.sizeY % 10);
    EXPECT_LE(circles.img.sizeX, 90);
    EXPECT_LE(circles.img.sizeY / 10, 25);
    WithAlpha("circles.tga", "ccmask.gif");
    Fits("cusoon.tga", 170, 260, 640, 280);
    Size("mart.tga", 640, 250);
    Layer("grplogo.gif", 62, 680);
    // Every one of the ten letter cells holds a letter, and the letter stands
    // inside the opened band: cells are drawn from picture row 91 and the band
    // fills rows 113-136, so white paint outside cell rows 22-45 lands on white.
    Picture logo("grplogo.gif");
    ASSERT_TRUE(logo.ok);
    for (int cell = 0; cell < 10; ++cell) {
        int ink = 0, outside = 0;
        for (int y = 0; y < 68; ++y)
            for (int x = 0; x < 62; ++x) {
                uint8_t w = logo.img.pixels[(cell * 68 + y) * 62 + x];
                ink += w > 128;
                outside += (y < 22 || y > 45) && w > 8;
            }
        EXPECT_GT(ink, 100) << "letter cell " << cell;
        EXPECT_EQ(0, outside) << "letter cell " << cell << " spills off the band";
    }
}

TEST_F(DataArchive, FishAssets)
{
    Fits("happy.tga", 172, 260, 640, 280);
    Fits("fishtro.tga", 218, 32, 640, 250);
    WithAlpha("fishtro.tga", "fishtrom.gif");
    for (int i = 1; i <= 3; ++i) {
        std::string mask = "fish" + std::to_string(i) + "m.gif";
        WithAlpha("fish" + std::to_string(i) + ".tga", mask);
        // A fish, not a box: the corners are clear, the body is solid.
        Picture m(mask);
        ASSERT_TRUE(m.ok);
        int w = m.img.sizeX, h = m.img.sizeY, clear = 0;
        for (int k : {0, w - 1, (h - 1) * w, h * w - 1})
            EXPECT_EQ(0, m.img.pixels[k]) << mask << " corner";
        EXPECT_EQ(255, m.img.pixels[(h / 2) * w + w / 2]) << mask << " middle";
        for (int k = 0; k < w * h; ++k)
            clear += m.img.pixels[k] == 0;
        EXPECT_GT(clear, w * h / 4) << mask;
    }
}

TEST_F(DataArchive, LinesAssets)
{
    Picture first("grid1.gif");
    ASSERT_TRUE(first.ok);
    // Seven rows from y = -5 and ten columns from one tile left must cover the letterbox.
    EXPECT_GE(first.img.sizeX, 72);
    EXPECT_GE(first.img.sizeY, 37);
    for (int i = 2; i <= 4; ++i)
        Size("grid" + std::to_string(i) + ".gif", first.img.sizeX, first.img.sizeY, XIMAGE_INDEXED);
    // The last grid darkens the most: the letterbox goes black after it.
    auto mean = [](const Picture& p) {
        double s = 0;
        for (int i = 0; i < p.img.sizeX * p.img.sizeY; ++i)
            s += p.img.pixels[i];
        return s / (p.img.sizeX * p.img.sizeY);
    };
    Picture last("grid4.gif");
    EXPECT_LT(mean(last), mean(first));
    for (int i = 1; i <= 14; ++i)
        WithAlpha("n" + std::to_string(i) + ".tga", "n" + std::to_string(i) + ".gif");
    Fits("3dstuff.tga", 198, 260, 640, 280);
}

TEST_F(DataArchive, GreetingsAssets)
{
    Size("greets.jpg", 640, 250, XIMAGE_RGB24);
    Size("photos.jpg", 77, 22 * 76, XIMAGE_RGB24);
    {
        // Twenty-two different people: no photo is a near copy of another.
        Picture p("photos.jpg");
        ASSERT_TRUE(p.ok);
        const int n = 77 * 76 * 3;
        for (int a = 0; a < 22; ++a)
            for (int b = a + 1; b < 22; ++b) {
                double d = 0;
                for (int k = 0; k < n; ++k)
                    d += std::abs(int(p.img.pixels[a * n + k]) - int(p.img.pixels[b * n + k]));
                EXPECT_GT(d / n, 12.0) << "photos " << a << " and " << b;
            }
    }
    Size("photmask.gif", 77, 76, XIMAGE_INDEXED);
    // The photo mask is round: its corners hide, its centre shows.
    Picture mask("photmask.gif");
    ASSERT_TRUE(mask.ok);
    EXPECT_EQ(0, mask.img.pixels[0]);
    EXPECT_EQ(0, mask.img.pixels[77 * 76 - 1]);
    EXPECT_EQ(255, mask.img.pixels[38 * 77 + 38]);
    for (int i = 1; i <= 5; ++i) {
        std::string name = "colpal_" + std::to_string(i) + ".gif";
        SCOPED_TRACE(name);
        Picture p(name);
        ASSERT_TRUE(p.ok && p.img.palette);
        // The tint looks colours up by brightness: a ramp from dark to light.
        auto lum = [&](int k) {
            return 0.299 * p.img.palette[3 * k] + 0.587 * p.img.palette[3 * k + 1] + 0.114 * p.img.palette[3 * k + 2];
        };
        for (int k = 1; k < 256; ++k)
            EXPECT_GE(lum(k) + 0.75, lum(k - 1)) << "entry " << k;
        EXPECT_GT(lum(255) - lum(0), 150);
    }
    Size("gname.tga", 0, 22 * 44);
    WithAlpha("gname.tga", "gnmask.gif");
    {
        // Each man shows a 44-row view of the names: every slot holds a name,
        // and none reaches the slot's edge rows, where the view would cut it.
        Picture names("gnmask.gif");
        ASSERT_TRUE(names.ok);
        int w = names.img.sizeX;
        for (int slot = 0; slot < 22; ++slot) {
            int ink = 0, edge = 0;
            for (int y = 0; y < 44; ++y)
                for (int x = 0; x < w; ++x) {
                    uint8_t v = names.img.pixels[(slot * 44 + y) * w + x];
                    ink += v > 200;
                    if (y == 0 || y == 43)
                        edge = std::max(edge, int(v));
                }
            EXPECT_GT(ink, 100) << "name slot " << slot;
            EXPECT_LT(edge, 64) << "name slot " << slot;
        }
    }
    WithAlpha("circle2.tga", "circmask.gif");
    Fits("greetsto.tga", 174, 260, 640, 280);
    Fits("monstrs.tga", 151, 260, 640, 280);
    Fits("twomiss.tga", 157, 260, 640, 280);
    Fits("guesswho.tga", 240, 260, 640, 280);
    // Both question marks sit in a mosaic hole of 77 x 76 at (228, 86) and (394, 86).
    Fits("vopros.tga", 245, 88, 228 + 77, 86 + 76);
    Fits("vopros.tga", 411, 88, 394 + 77, 86 + 76);
    WithAlpha("vopros.tga", "vprsmask.gif");
}

TEST_F(DataArchive, CreditsAssets)
{
    Fits("cpcir1.tga", 145, 0, 640, 250);
    Fits("cpcir2.tga", 205, 0, 640, 250);
    Fits("cpcir3.tga", 262, 67, 640, 250);
    Fits("cprec1.tga", 105, 0, 640, 250);
    Fits("cprec2.tga", 175, 0, 640, 250);
    Fits("cprec3.tga", 247, 52, 640, 250);
    Fits("plate.tga", 220, 0, 640, 250);
    WithAlpha("cpcir2.tga", "cpcir2m.gif");
    WithAlpha("cprec2.tga", "cprec2m.gif");
    WithAlpha("cprec3.tga", "cprec3m.gif");
    // The first pixel is the fill colour around the backdrop: the backdrop's
    // whole border has to match it or a seam shows.
    for (const char* name : {"cpcir1.tga", "cprec1.tga"}) {
        SCOPED_TRACE(name);
        Picture p(name);
        ASSERT_TRUE(p.ok);
        xImageConvert(&p.img, XIMAGE_ARGB32);
        const uint32_t* px = reinterpret_cast<const uint32_t*>(p.img.pixels);
        int w = p.img.sizeX, h = p.img.sizeY;
        uint32_t fill = px[0] & 0xffffff;
        for (int y = 0; y < h; ++y) {
            EXPECT_EQ(fill, px[y * w] & 0xffffff) << "left edge row " << y;
            EXPECT_EQ(fill, px[y * w + w - 1] & 0xffffff) << "right edge row " << y;
        }
        for (int x = 0; x < w; ++x)
            EXPECT_EQ(fill, px[(h - 1) * w + x] & 0xffffff) << "bottom edge column " << x;
    }
    WithAlpha("auth1.jpg", "auth1m.gif");
    WithAlpha("auth2.jpg", "auth2m.gif");
    WithAlpha("auth3.tga", "auth3m.gif");
    for (const char* strip : {"progmask.gif", "codem.gif", "musicm.gif", "designm.gif", "mus_col.gif", "des_col.gif"})
        Layer(strip);
    // The shadows lie under their strips: the same size.
    Picture music("musicm.gif"), musicShadow("mus_col.gif"), design("designm.gif"), designShadow("des_col.gif");
    EXPECT_EQ(music.img.sizeX, musicShadow.img.sizeX);
    EXPECT_EQ(music.img.sizeY, musicShadow.img.sizeY);
    EXPECT_EQ(design.img.sizeX, designShadow.img.sizeX);
    EXPECT_EQ(design.img.sizeY, designShadow.img.sizeY);
    Layer("name1m.gif");
    Layer("name2m.gif");
    Fits("name1m.gif", 0, 0, 640, 250);
    Fits("name2m.gif", 0, 0, 640, 250);
    Layer("mail1m.gif");
    Layer("mail2m.gif");
    Fits("mail1m.gif", 5, 216, 640, 250);
    Fits("mail2m.gif", 10, 215, 640, 250);
    Layer("cpcir.gif", 50, 400);
}

TEST_F(DataArchive, RotoAndFallingLettersAssets)
{
    Size("fon1.gif", 640, 250, XIMAGE_INDEXED);
    WithAlpha("orel.tga", "orelmask.gif");
    Fits("backto.tga", 186, 260, 640, 280);
    Size("may.tga", 640, 250);
    Size("scene3c.tga", 640, 250);
    for (int i = 1; i <= 16; ++i)
        Layer("mn" + std::to_string(i) + "m.gif");
}

// Mean absolute difference of two columns (or rows) of a 32-bit picture.
double ColumnGap(const uint32_t* px, int w, int h, int a, int b)
{
    double s = 0;
    for (int y = 0; y < h; ++y)
        for (int sh = 0; sh < 24; sh += 8)
            s += std::abs(int((px[y * w + a] >> sh) & 255) - int((px[y * w + b] >> sh) & 255));
    return s / (3.0 * h);
}

TEST_F(DataArchive, WrappingPicturesHaveNoSeam)
{
    // The end scroller is drawn twice 1200 pixels apart; the warp texture wraps
    // both ways. Across the seam the picture must change no more than between
    // ordinary neighbours.
    {
        Picture p("scroll1.jpg");
        ASSERT_TRUE(p.ok);
        xImageConvert(&p.img, XIMAGE_ARGB32);
        const uint32_t* px = reinterpret_cast<const uint32_t*>(p.img.pixels);
        int w = p.img.sizeX, h = p.img.sizeY;
        double inner = 0;
        for (int x = 1; x < w; ++x)
            inner += ColumnGap(px, w, h, x - 1, x);
        inner /= (w - 1);
        EXPECT_LT(ColumnGap(px, w, h, w - 1, 0), 2.5 * inner + 2.0);
    }
    {
        Picture p("texture1.jpg");
        ASSERT_TRUE(p.ok);
        xImageConvert(&p.img, XIMAGE_ARGB32);
        const uint32_t* px = reinterpret_cast<const uint32_t*>(p.img.pixels);
        double inner = 0;
        for (int x = 1; x < 256; ++x)
            inner += ColumnGap(px, 256, 256, x - 1, x);
        inner /= 255;
        EXPECT_LT(ColumnGap(px, 256, 256, 255, 0), 2.5 * inner + 2.0);
        // Rows: transpose by reading the picture sideways.
        std::vector<uint32_t> t(256 * 256);
        for (int y = 0; y < 256; ++y)
            for (int x = 0; x < 256; ++x)
                t[x * 256 + y] = px[y * 256 + x];
        double innerRows = 0;
        for (int x = 1; x < 256; ++x)
            innerRows += ColumnGap(t.data(), 256, 256, x - 1, x);
        innerRows /= 255;
        EXPECT_LT(ColumnGap(t.data(), 256, 256, 255, 0), 2.5 * innerRows + 2.0);
    }
}

TEST_F(DataArchive, PanelAnimationsDecodeAndLoop)
{
    for (const char* name : {"waves.xvd", "beam.xvd", "tunnel.xvd", "plankton.xvd"}) {
        SCOPED_TRACE(name);
        Read r(name);
        ASSERT_TRUE(r.ok());
        xVideo v;
        v.load(&r.file, 0);
        EXPECT_EQ(140, v.sizeX);
        EXPECT_EQ(105, v.sizeY);
        ASSERT_GE(v.frames, 16);
        std::vector<std::vector<uint32_t>> frames;
        for (int f = 0; f < v.frames; ++f) {
            // Each frame is a three-component JFIF stream of exactly 140 x 105.
            ASSERT_GE(v.frameSize[f], 10u);
            EXPECT_EQ(0, memcmp(v.frameData[f] + 6, "JFIF", 4)) << "frame " << f;
            std::vector<uint32_t> px(140 * 105, 0xdeadbeef);
            EXPECT_EQ(XJPEG_OK, xJpegDecodeRGB32(v.frameData[f], v.frameSize[f], px.data(), 140, 105)) << "frame " << f;
            frames.push_back(px);
            EXPECT_EQ(f, v.current);
            v.update(); // delay 0: every call advances one frame
        }
        EXPECT_EQ(0, v.current) << "the animation wraps after its last frame";
        // Clean loop: from the last frame back to the first the picture moves
        // no more than between any two neighbouring frames, and it does move.
        auto gap = [](const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
            double s = 0;
            for (size_t i = 0; i < a.size(); ++i)
                for (int sh = 0; sh < 24; sh += 8)
                    s += std::abs(int((a[i] >> sh) & 255) - int((b[i] >> sh) & 255));
            return s / (3.0 * a.size());
        };
        double most = 0, least = 1e9;
        for (size_t f = 1; f < frames.size(); ++f) {
            double g = gap(frames[f - 1], frames[f]);
            most = std::max(most, g);
            least = std::min(least, g);
        }
        EXPECT_GT(least, 0.05) << "a frame that repeats its predecessor stalls the loop";
        EXPECT_LE(gap(frames.back(), frames.front()), most * 1.25 + 0.5);
        // drawFrame, the show's own path, gives the same pixels.
        std::vector<uint32_t> drawn(140 * 105);
        v.drawFrame(drawn.data());
        for (size_t i = 0; i < drawn.size(); ++i)
            ASSERT_EQ(frames[0][i] & 0xffffff, drawn[i] & 0xffffff) << "pixel " << i;
    }
}

TEST(DataBuild, SecondRunGivesTheSameBytes)
{
    std::string dir = scratchDir();
    std::string pak = dir + "/again.pak", manifest = dir + "/again.pak.txt";
    std::string cmd = std::string("\"") + QH_MAKEDATA + "\" --pak \"" + pak + "\" --manifest \"" + manifest + "\"" +
                      " --font-dir \"" + QH_FONT_DIR + "\" --music \"" + QH_MUSIC + "\" > /dev/null";
    ASSERT_EQ(0, std::system(cmd.c_str()));
    std::string a = readWholeFile(QH_PAK), b = readWholeFile(pak);
    ASSERT_GT(a.size(), 100000u);
    EXPECT_EQ(a.size(), b.size());
    EXPECT_TRUE(a == b) << "the archive differs from the build's";
    EXPECT_TRUE(readWholeFile(QH_MANIFEST) == readWholeFile(manifest));
    // The scenes' textures beside the archive, too.
    std::string built = std::string(QH_PAK).substr(0, std::string(QH_PAK).rfind('/')) + "/textures/";
    for (const char* name : {"brass.tga", "harbenv.pcx", "codepage.gif", "flare.jpg"}) {
        std::string t = readWholeFile(built + name), u = readWholeFile(dir + "/textures/" + name);
        EXPECT_GT(t.size(), 1000u) << name;
        EXPECT_TRUE(t == u) << name << " differs from the build's";
    }
}

} // namespace

namespace {

int RunGenerator(const std::string& args, std::string* output = nullptr)
{
    std::string out = scratchFile("makedata.out");
    std::string cmd = std::string("\"") + QH_MAKEDATA + "\" " + args + " > \"" + out + "\" 2>&1";
    int status = std::system(cmd.c_str());
    if (output)
        *output = readWholeFile(out);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

TEST(DataCommand, RefusesWhatItCannotDoWithAClearMessage)
{
    std::string out;
    EXPECT_EQ(2, RunGenerator("--frobnicate", &out));
    EXPECT_NE(std::string::npos, out.find("unknown option --frobnicate")) << out;
    EXPECT_EQ(2, RunGenerator("--pak", &out)) << "an option without its value";
    EXPECT_NE(std::string::npos, out.find("--pak needs a value")) << out;
    std::string pak = scratchDir() + "/nomusic.pak";
    EXPECT_EQ(1, RunGenerator("--pak \"" + pak + "\" --music /nonexistent/tune.xm", &out));
    EXPECT_NE(std::string::npos, out.find("cannot read the music /nonexistent/tune.xm")) << out;
    std::ifstream left(pak);
    EXPECT_FALSE(left.good()) << "no archive is left behind without its music";
    EXPECT_EQ(0, RunGenerator("--help", &out));
    EXPECT_NE(std::string::npos, out.find("--contact-sheet PATH")) << out;
}

TEST(DataCommand, StoresTheMusicUnderTheNameStartUpReads)
{
    std::string dir = scratchDir();
    std::string tune = dir + "/tune.xm", pak = dir + "/withmusic.pak";
    {
        std::ofstream f(tune, std::ios::binary);
        f << "Extended Module: a test tune";
        for (int i = 0; i < 1000; ++i)
            f.put(char(i * 7));
    }
    std::string out;
    ASSERT_EQ(0, RunGenerator("--pak \"" + pak + "\" --font-dir \"" + QH_FONT_DIR + "\" --music \"" + tune + "\"", &out))
        << out;
    xFileIO io(1);
    ASSERT_EQ(0, io.Open(pak.c_str()));
    xFile f{};
    ASSERT_EQ(0, io.Read("ISEEYOU.MP3", &f));
    EXPECT_EQ(int32_t(28 + 1000), f.size);
    EXPECT_EQ(0, memcmp(f.data, "Extended Module: a test tune", 28));
    io.Free(&f);
    io.Close();
    std::string text = readWholeFile(pak + ".txt");
    EXPECT_NE(std::string::npos, text.find("iseeyou.mp3    | the music, under the name start-up reads | XM module |"))
        << text;
}
