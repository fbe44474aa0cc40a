// Textures from disk in all four formats, the shared texture table, the
// failures that turn a material into a red wireframe, and the material
// colour.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "X3d/Material.h"
#include "X3d/X3d.h"
#include "tests/common/Scratch.h"
#include "tests/images/ImageWriters.h"

namespace {

using qhtest::Bytes;

// Quadrants of the picture as seen, top row first: red, green / blue, white.
const uint32_t kQuad[4] = {0xE01010, 0x10E010, 0x1010E0, 0xF0F0F0};

uint32_t quadAt(int x, int y, int w, int h) { return kQuad[(y >= h / 2 ? 2 : 0) + (x >= w / 2 ? 1 : 0)]; }

Bytes rgbOf(int w, int h, bool bgr)
{
    Bytes b;
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            uint32_t c = quadAt(x, y, w, h);
            uint8_t r = (uint8_t)(c >> 16), g = (uint8_t)(c >> 8), bl = (uint8_t)c;
            if (bgr) {
                b.push_back(bl);
                b.push_back(g);
                b.push_back(r);
            } else {
                b.push_back(r);
                b.push_back(g);
                b.push_back(bl);
            }
        }
    return b;
}

Bytes gifOf(int w, int h)
{
    Bytes indices, palette;
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++)
            indices.push_back((uint8_t)((y >= h / 2 ? 2 : 0) + (x >= w / 2 ? 1 : 0)));
    for (uint32_t c : kQuad) {
        palette.push_back((uint8_t)(c >> 16));
        palette.push_back((uint8_t)(c >> 8));
        palette.push_back((uint8_t)c);
    }
    return qhtest::makeGif(w, h, indices, palette);
}

class Textures : public ::testing::Test {
protected:
    static void SetUpTestSuite() { x3dInit(640, 480, nullptr); }
    void SetUp() override
    {
        dir = scratchFolder("textures");
        ASSERT_FALSE(dir.empty());
        write("quads.tga", qhtest::makeTga(256, 256, 24, rgbOf(256, 256, true)));
        write("quads.pcx", qhtest::makePcx(256, 256, 3, rgbOf(256, 256, false)));
        write("quads.gif", gifOf(256, 256));
        write("quads.jpg", qhtest::makeJpeg(256, 256, 3, rgbOf(256, 256, false), 95));
        write("Small.TGA", qhtest::makeTga(64, 32, 24, rgbOf(64, 32, true)));
        write("unknown.bin", Bytes(40, 0x33));
        write("tiny.bin", Bytes(2, 0x47)); // "GG": too short to be anything
    }
    void write(const std::string& name, const Bytes& bytes) { ASSERT_TRUE(writeFile(dir + "/" + name, bytes)); }
    std::string dir;
};

// Rows stored bottom-up: the first stored row is the picture's last.
void expectQuadrants(const uint32_t* pixels, int tolerance, const char* what)
{
    const int probes[4][2] = {{32, 32}, {220, 40}, {40, 200}, {200, 220}}; // picture x, y
    for (auto& p : probes) {
        uint32_t want = quadAt(p[0], p[1], 256, 256);
        uint32_t got = pixels[(size_t)(255 - p[1]) * 256 + p[0]];
        for (int sh = 0; sh < 24; sh += 8)
            EXPECT_NEAR((int)((got >> sh) & 255), (int)((want >> sh) & 255), tolerance)
                << what << " at " << p[0] << "," << p[1];
    }
}

TEST_F(Textures, AllFormatsLoadBottomUp)
{
    std::string path = dir + "/";
    for (const char* name : {"quads.tga", "quads.pcx", "quads.gif", "quads.jpg"}) {
        x3dTextureSlot slot{};
        ASSERT_EQ(x3dLoadTexture(name, path.c_str(), &slot), 0) << name;
        ASSERT_NE(slot.pixels, nullptr);
        expectQuadrants(slot.pixels, std::string(name).find(".jpg") != std::string::npos ? 12 : 0, name);
        x3dTexture* t = x3dFindTexture((path + name).c_str());
        ASSERT_NE(t, nullptr);
        EXPECT_EQ(t->pixels, slot.pixels);
        EXPECT_EQ(t->width, 256);
        EXPECT_EQ(t->height, 256);
    }
    // Another size is rescaled to 256 x 256; a name in the wrong letter case
    // finds the file; "\" separates folders like "/".
    x3dTextureSlot small{};
    std::string backslashed = path.substr(0, path.size() - 1) + "\\";
    ASSERT_EQ(x3dLoadTexture("small.tga", backslashed.c_str(), &small), 0);
    expectQuadrants(small.pixels, 0, "small.tga");
    EXPECT_EQ(x3dFindTexture((backslashed + "small.tga").c_str())->width, 256);

    x3dTextureSlot none{};
    EXPECT_EQ(x3dLoadTexture("missing.tga", path.c_str(), &none), 5);
    EXPECT_EQ(x3dLoadTexture("unknown.bin", path.c_str(), &none), 2);
    EXPECT_EQ(x3dLoadTexture("tiny.bin", path.c_str(), &none), 2);
    EXPECT_EQ(x3dLoadTexture(std::string(300, 'a').c_str(), path.c_str(), &none), 5);
    EXPECT_EQ(none.pixels, nullptr);
}

TEST_F(Textures, SceneMaterialsShareMapsAndFailToRedWireframe)
{
    std::string path = dir + "/";
    std::string longName(260, 'n');
    char texA[] = "quads.pcx", texB[] = "quads.pcx", refl[] = "QUADS.GIF", missing[] = "missing.tga",
         unknown[] = "unknown.bin";
    std::vector<x3dMaterial> mats(5);
    for (auto& m : mats) {
        memset(&m, 0, sizeof m);
        m.diffuse[0] = m.diffuse[1] = m.diffuse[2] = 0.5f;
    }
    mats[0].texture.name = texA;
    mats[1].texture.name = texB;
    mats[1].reflection.name = refl;
    mats[2].texture.name = missing;
    mats[2].reflection.name = texA; // loads, but the material stays a wireframe
    mats[3].texture.name = unknown;
    mats[4].renderFlags = 0x02;
    mats[4].reflection.name = &longName[0];
    x3dScene scene{};
    scene.materials = mats.data();
    scene.materialCount = (int)mats.size();
    scene.texturePath = &path[0];
    x3dSetScene(&scene);

    const int before = g_x3d.textureCount;
    testing::internal::CaptureStdout();
    x3dLoadSceneTextures();
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, "cant open texture: missing.tga\ncant open texture: unknown.bin\ncant open reflection: " + longName + "\n");
    EXPECT_EQ(g_x3d.textureCount, before + 2); // the PCX once, the GIF once

    EXPECT_EQ(mats[0].renderFlags, 0x08u);
    EXPECT_EQ(mats[1].renderFlags, 0x18u);
    EXPECT_EQ(mats[0].texture.pixels, mats[1].texture.pixels);
    EXPECT_NE(mats[1].reflection.pixels, nullptr);
    EXPECT_EQ(mats[2].renderFlags & 0x20, 0x20u);
    EXPECT_EQ(mats[2].reflection.pixels, mats[0].texture.pixels);
    EXPECT_EQ(mats[3].renderFlags, 0x20u);
    EXPECT_EQ(mats[4].renderFlags, 0x22u);
    for (int i : {2, 3, 4}) {
        EXPECT_EQ(mats[i].red, 255);
        EXPECT_EQ(mats[i].green, 0);
        EXPECT_EQ(mats[i].blue, 0);
        EXPECT_EQ(mats[i].packedColour, 0xFF0000u);
    }
    EXPECT_EQ(mats[0].red, 127); // half diffuse

    // A lens flare naming the same file shares it too.
    x3dTextureSlot flare{};
    EXPECT_EQ(x3dLoadTexture("quads.pcx", path.c_str(), &flare), 0);
    EXPECT_EQ(flare.pixels, mats[0].texture.pixels);
    EXPECT_EQ(g_x3d.textureCount, before + 2);
    g_x3d.scene = nullptr;
}

TEST(TextureTable, LastMatchAndAssertions)
{
    static uint32_t a[4], b[4];
    x3dAddTexture("same", a, 2, 2);
    x3dAddTexture("same", b, 2, 2);
    EXPECT_EQ(x3dFindTexture("same")->pixels, b);
    EXPECT_EQ(x3dFindTexture("other"), nullptr);
    EXPECT_EXIT(x3dAddTexture(nullptr, a, 2, 2), ::testing::ExitedWithCode(3), "Assertion failed");
    EXPECT_EXIT(x3dAddTexture("x", nullptr, 2, 2), ::testing::ExitedWithCode(3), "Assertion failed");
}

TEST(MaterialColour, FormulaCapAndBrokenValues)
{
    x3dMaterial m{};
    m.diffuse[0] = 0.4f;
    m.diffuse[1] = 0.2f;
    m.diffuse[2] = 0.0f;
    m.ambient[0] = 0.4f;
    m.ambient[1] = 1.0f;
    m.ambient[2] = 0.8f;
    x3dMaterialColour(&m); // no shine: diffuse x 255 + ambient x 63.75
    EXPECT_EQ(m.red, (int)(0.4f * 255 + 0.4f * 63.75f));
    EXPECT_EQ(m.green, (int)(0.2f * 255 + 63.75f));
    EXPECT_EQ(m.blue, (int)(0.8f * 63.75f));
    EXPECT_EQ(m.packedColour, (uint32_t)m.red << 16 | (uint32_t)m.green << 8 | m.blue);

    m.shininess = 0.5f;
    m.shininessStrength = 0.8f;
    m.specular[0] = m.specular[1] = m.specular[2] = 1.0f;
    x3dMaterialColour(&m);
    float b = cosf(0.5f * 0.8f * 255.0f * 0.006135923151542969f), c = powf(b, 0.5f * 255.0f) * 0.8f;
    EXPECT_EQ(m.red, (int)((c + b * 0.4f + 0.25f * 0.4f) * 255));

    m.shininess = m.shininessStrength = 0;
    m.diffuse[0] = 3.0f;  // far above full: capped
    m.diffuse[1] = -2.0f; // below nothing: 0
    m.diffuse[2] = NAN;   // not a number: 0
    m.ambient[0] = m.ambient[1] = m.ambient[2] = 0;
    x3dMaterialColour(&m);
    EXPECT_EQ(m.red, 255);
    EXPECT_EQ(m.green, 0);
    EXPECT_EQ(m.blue, 0);
    // A percentage above 100 read from a file: the cosine goes negative,
    // its power is not a number, and the colour is black, not a wrapped byte.
    m.shininess = 1.5f;
    m.shininessStrength = 1.0f;
    m.diffuse[0] = m.diffuse[1] = m.diffuse[2] = 0.5f;
    x3dMaterialColour(&m);
    EXPECT_EQ(m.packedColour, 0u);
}

} // namespace
