// Scene scripts run against scenes of our writer in an archive held in
// memory, with their textures in a scratch folder.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "Scene3ds.h"
#include "X3d/File3ds.h"
#include "X3d/Material.h"
#include "X3d/X3dscr.h"
#include "files/xFileIO.h"
#include "tests/common/Scratch.h"
#include "tests/common/TestZip.h"

namespace {

using namespace qhscene;

// A 256 x 256 true-colour TGA of one colour.
std::string tga(uint32_t rgb)
{
    std::string b(18, '\0');
    b[2] = 2;
    b[12] = 0;
    b[13] = 1;
    b[14] = 0;
    b[15] = 1;
    b[16] = 24;
    for (int i = 0; i < 256 * 256; i++) {
        b.push_back((char)(rgb & 255));
        b.push_back((char)((rgb >> 8) & 255));
        b.push_back((char)((rgb >> 16) & 255));
    }
    return b;
}

Mesh triangle(const std::string& name, const std::string& material, float x)
{
    Mesh m;
    m.name = name;
    m.vertices = {{x, 0, 0}, {x + 1, 0, 0}, {x, 0, 1}};
    m.uv = {{0, 0}, {1, 0}, {0, 1}};
    m.faces.push_back({0, 1, 2, 7, material});
    return m;
}

// Materials: one textured, one with a reflection map that exists, one with
// a texture whose file is missing, one plain whose name has a blank.
Scene sample(bool camera01, bool cameras = true)
{
    Scene s;
    Material brass, mirror, lost, plain;
    brass.name = "Brass";
    brass.texture.name = "tex.tga";
    mirror.name = "Mirror";
    mirror.texture.name = "tex.tga";
    mirror.reflection.name = "env.tga";
    lost.name = "Lost";
    lost.texture.name = "gone.tga";
    plain.name = "Two Words";
    s.materials = {brass, mirror, lost, plain};
    s.meshes = {triangle("Box", "Brass", 0), triangle("Glass", "Two Words", 2)};
    if (cameras) {
        s.cameras.push_back({"CamA", {0, -50, 0}, {0, 0, 0}, 0, 35});
        s.cameras.push_back({camera01 ? "Camera01" : "CamB", {0, -40, 5}, {0, 0, 0}, 0, 50});
    }
    Light lamp;
    lamp.name = "Lamp";
    lamp.position = {0, -10, 10};
    s.lights = {lamp};
    return s;
}

std::string asText(const Bytes& b) { return std::string(b.begin(), b.end()); }

class SceneScript : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        x3dInit(640, 480, nullptr);
        dir = new std::string(scratchFolder("x3dscr"));
        for (auto [name, colour] : {std::pair<const char*, uint32_t>{"tex.tga", 0x806040}, {"env.tga", 0x2040a0},
                                    {"flare.tga", 0xffffff}}) {
            FILE* f = fopen((*dir + "/" + name).c_str(), "wb");
            std::string bytes = tga(colour);
            fwrite(bytes.data(), 1, bytes.size(), f);
            fclose(f);
        }
    }

    // Runs the script over an archive holding it and the scenes.
    void run(const std::string& script, x3dScene* scene)
    {
        std::vector<TestZipEntry> entries = {{"s.x3d", script},
                                             {"One.3DS", asText(write3ds(sample(true)))},
                                             {"first.3ds", asText(write3ds(sample(false)))},
                                             {"empty.3ds", asText(write3ds(sample(true, false)))}};
        std::string pak = *dir + "/s.pak";
        ASSERT_TRUE(writeTestZip(pak, entries));
        archive = readWholeFile(pak);
        io.reset(new xFileIO(1));
        ASSERT_EQ(io->OpenMemory(archive.data(), archive.size()), 0);
        x3dLoadSceneScript("s.x3d", scene, io.get());
    }

    // The head every working script here starts with.
    static std::string head(const std::string& more = "")
    {
        return "VERSION 1\r\nTEXTURE_PATH " + *dir + "/\r\nDISTANCE 900\r\n" + more + "SCENE_NAME one.3ds\r\n";
    }

    static std::string* dir;
    std::string archive;
    std::unique_ptr<xFileIO> io;
};

std::string* SceneScript::dir = nullptr;

TEST_F(SceneScript, RunsEveryKeywordOfAWellFormedScript)
{
    x3dScene s{};
    testing::internal::CaptureStdout();
    run("/* a comment block\r\n   over two lines */\r\n\r\n" +
            head("FOG YES\r\nFOG_COLOR 300 -4 17.9\r\nZBUFFER YES\r\nUNKNOWN words\r\nversion 2\r\n") +
            "CAMERA CamA\r\nCAMERA_SIZE 320.7 200.2\r\nCAMERA_SETACTIVE\r\n"
            "MATERIAL Brass\r\nRENDER_TYPE 8\r\nRENDER_TYPE 19\r\n"
            "MATERIAL Mirror\r\nRENDER_TYPE 6\r\n"
            "MATERIAL Two Words\r\nRENDER_TYPE 9x\r\nRENDER_TYPE 0\r\nMAT_COLOR 1e12 -3 258.9\r\n"
            "LENSFLARE Lamp\r\nLENS_TEXTURE flare.tga\r\nLENS_SCALE 1000\r\n"
            "OBJECT Glass\r\nOBJ_NOLIGHT\r\n",
        &s);
    std::string out = testing::internal::GetCapturedStdout();
    // The one missing texture turns its material red wireframe, nothing else.
    EXPECT_EQ(out, "cant open texture: gone.tga\n");

    EXPECT_EQ(g_x3d.scene, &s);
    EXPECT_FLOAT_EQ(s.fogDistance, 900.0f);
    EXPECT_FLOAT_EQ(g_x3d.farDistance, 900.0f);
    ASSERT_TRUE(s.texturePath);
    EXPECT_EQ(std::string(s.texturePath), *dir + "/");
    // Fog before the scene, its colour clamped to bytes.
    EXPECT_EQ(s.fog, 1);
    EXPECT_EQ(g_x3d.fogOn, 1);
    EXPECT_FLOAT_EQ(s.fogColour[0], 255.0f);
    EXPECT_FLOAT_EQ(s.fogColour[1], 0.0f);
    EXPECT_FLOAT_EQ(s.fogColour[2], 17.9f);
    EXPECT_EQ(s.zbuffer, 1);
    EXPECT_NE(g_x3d.zbuffer, nullptr);

    x3dCamera* camA = x3dFindCamera("CamA", &s);
    EXPECT_EQ(g_x3d.camera, camA);
    EXPECT_FLOAT_EQ(camA->width, 320.0f);
    EXPECT_FLOAT_EQ(camA->height, 200.0f);
    EXPECT_EQ(g_x3d.linePitch, 320 * 4);
    x3dCamera* cam01 = x3dFindCamera("Camera01", &s);
    EXPECT_FLOAT_EQ(cam01->width, 640.0f);

    x3dMaterial* brass = x3dFindMaterial("Brass", &s);
    EXPECT_EQ(brass->renderFlags, 0x48u); // 19 changed nothing
    x3dMaterial* mirror = x3dFindMaterial("Mirror", &s);
    EXPECT_EQ(mirror->renderFlags, 0x18u);
    ASSERT_NE(mirror->reflection.pixels, nullptr);
    EXPECT_NE(mirror->reflection.pixels, mirror->texture.pixels);
    EXPECT_EQ(mirror->reflection.pixels[0] & 0xffffff, 0x2040a0u);
    x3dMaterial* lost = x3dFindMaterial("Lost", &s);
    EXPECT_EQ(lost->packedColour, 0xff0000u);
    EXPECT_TRUE(lost->renderFlags & 0x20);
    // "9x" reads as 9, then 0 replaces its flags; the colour's numbers go to
    // the integer range, then to bytes.
    x3dMaterial* words = x3dFindMaterial("Two Words", &s);
    EXPECT_EQ(words->renderFlags, 0x20u);
    EXPECT_EQ(words->red, 0xff);   // 2147483647 & 255
    EXPECT_EQ(words->green, 0xfd); // -3
    EXPECT_EQ(words->blue, 0x02);  // 258
    EXPECT_EQ(words->packedColour, 0xfffd02u);

    x3dLight* lamp = x3dFindLight("Lamp", &s);
    ASSERT_TRUE(lamp->lensFlare);
    EXPECT_EQ(lamp->lensFlare->width, 256);
    EXPECT_EQ(lamp->lensFlare->height, 256);
    EXPECT_FLOAT_EQ(lamp->lensFlare->scale, 1000.0f);
    ASSERT_TRUE(lamp->lensFlare->slot.pixels);
    EXPECT_EQ(lamp->lensFlare->slot.pixels[0] & 0xffffff, 0xffffffu);
    EXPECT_EQ(x3dFindObject("Glass", &s)->flags & 0x10, 0x10);
    EXPECT_EQ(x3dFindObject("Box", &s)->flags & 0x10, 0);
    x3dFreeScene(&s);
}

TEST_F(SceneScript, OrderAndWordsDecideWhatALineDoes)
{
    // The first camera when none is called Camera01; "yes" is not "YES";
    // a fog colour before the fog is ignored; the texture's pixels stand in
    // for a reflection map that was never named; the flags of 0 replace it.
    x3dScene s{};
    run("VERSION 1\r\nTEXTURE_PATH " + *dir + "/\r\nFOG YES\r\nFOG yes\r\nFOG_COLOR 10 20 30\r\n"
        "ZBUFFER yes\r\nSCENE_NAME first.3ds\r\nMATERIAL Brass\r\nRENDER_TYPE 4\r\n"
        "CAMERA_SIZE 100 100\r\nOBJ_NOLIGHT\r\n",
        &s);
    EXPECT_EQ(g_x3d.camera, x3dFindCamera("CamA", &s));
    EXPECT_EQ(s.fog, 0);
    EXPECT_FLOAT_EQ(s.fogColour[0], 0.0f);
    EXPECT_EQ(s.zbuffer, 0);
    // The camera of SCENE_NAME is current, so the size applies to it.
    EXPECT_FLOAT_EQ(g_x3d.camera->width, 100.0f);
    x3dMaterial* brass = x3dFindMaterial("Brass", &s);
    EXPECT_EQ(brass->renderFlags, 0x98u);
    EXPECT_EQ(brass->reflection.pixels, brass->texture.pixels);
    // No distance: no far limit rather than 1/0.
    EXPECT_EQ(s.fogDistance, 0.0f);
    EXPECT_EQ(g_x3d.dimScale, 0.0f);
    x3dCameraResetSize(g_x3d.camera);
    x3dFreeScene(&s);
}

TEST_F(SceneScript, ASecondSceneReplacesTheFirst)
{
    // The second file's records, its camera, the script's texture path; the
    // material chosen in the first scene is gone with it.
    x3dScene s{};
    testing::internal::CaptureStdout();
    run(head() + "MATERIAL Brass\r\nRENDER_TYPE 1\r\nSCENE_NAME first.3ds\r\n", &s);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "cant open texture: gone.tga\ncant open texture: gone.tga\n");
    EXPECT_EQ(g_x3d.camera, x3dFindCamera("CamA", &s));
    EXPECT_EQ(x3dFindCamera("Camera01", &s), nullptr);
    EXPECT_EQ(s.materialCount, 4);
    EXPECT_EQ(x3dFindMaterial("Brass", &s)->renderFlags, 0x0Au); // as loaded: gouraud, textured
    ASSERT_TRUE(s.texturePath);
    EXPECT_EQ(std::string(s.texturePath), *dir + "/");
    x3dFreeScene(&s);
    x3dScene t{};
    EXPECT_EXIT(run(head() + "MATERIAL Brass\r\nSCENE_NAME first.3ds\r\nRENDER_TYPE 1\r\n", &t),
                ::testing::ExitedWithCode(3), "s.x3d->No active Material\n");
}

TEST_F(SceneScript, FlareWithoutATexturePathLoadsFromTheCurrentFolder)
{
    // No TEXTURE_PATH: the flare's name is looked up as it stands, relative
    // to the folder the show runs in.
    char here[4096];
    ASSERT_TRUE(getcwd(here, sizeof here));
    ASSERT_EQ(chdir(dir->c_str()), 0);
    x3dScene s{};
    testing::internal::CaptureStdout();
    run("SCENE_NAME one.3ds\r\nLENSFLARE Lamp\r\nLENS_TEXTURE flare.tga\r\n", &s);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(chdir(here), 0);
    x3dLight* lamp = x3dFindLight("Lamp", &s);
    EXPECT_EQ(lamp->lensFlare->width, 256);
    EXPECT_EQ(s.texturePath, nullptr);
    x3dFreeScene(&s);
}

struct Broken {
    const char* what;
    std::string script;
    int status;
    std::string message; // a regular expression
};

TEST_F(SceneScript, BrokenScriptsEndTheProgramWithTheirMessage)
{
    const std::string h = head();
    const std::string d = *dir;
    const std::vector<Broken> cases = {
        {"missing scene", "VERSION 1\r\nSCENE_NAME nothere.3ds\r\n", 3,
         "x3dProcessSceneScript::zInput->load\\(\\) -> cant load nothere.3ds"},
        {"no cameras", "SCENE_NAME empty.3ds\r\n", 3, "No Cameras found in empty.3ds\n"},
        {"no scene at all", "VERSION 1\r\nDISTANCE 5\r\n", 3, "No Cameras found in s.x3d\n"},
        {"camera", h + "CAMERA Camera01 \r\n", 3, "s.x3d->Camera not found->Camera01 \n"},
        {"material two blanks", h + "MATERIAL  Brass\r\n", 3, "s.x3d->Material not found-> Brass\n"},
        {"comment after a name", h + "MATERIAL Brass /* x */\r\n", 3, "s.x3d->Material not found->Brass /\\* x \\*/\n"},
        {"render type first", h + "RENDER_TYPE 1\r\n", 3, "s.x3d->No active Material\n"},
        {"colour first", h + "MAT_COLOR 1 2 3\r\n", 3, "s.x3d->No active Material\n"},
        {"light", h + "LENSFLARE Moon\r\n", 3, "s.x3d->Light not found->Moon\n"},
        {"flare texture first", h + "LENS_TEXTURE flare.tga\r\n", 3, "s.x3d->No active light for lensflare\n"},
        {"flare scale first", h + "LENS_SCALE 3\r\n", 3, "s.x3d->No active light for lensflare\n"},
        {"object", h + "OBJECT Boxes\r\n", 3, "s.x3d->Object not found->Boxes\n"},
        {"texture", h + "MATERIAL Lost\r\nRENDER_TYPE 8\r\n", 3, "Texture is not loaded: gone.tga\n"},
        {"plain texture", h + "MATERIAL Two Words\r\nRENDER_TYPE 3\r\n", 3, "Texture is not loaded: \n"},
        {"reflection", h + "MATERIAL Lost\r\nRENDER_TYPE 16\r\n", 3, "Texture is not loaded: gone.tga | \n"},
        {"flare file", h + "LENSFLARE Lamp\r\nLENS_TEXTURE none.tga\r\n", 5, "X3d/X3dscr.cpp"},
        {"wide viewport", h + "CAMERA_SIZE 641 100\r\n", 3, "s.x3d->Bad camera size->CAMERA_SIZE 641 100\n"},
        {"tall viewport", h + "CAMERA_SIZE 640 481\r\n", 3, "s.x3d->Bad camera size->CAMERA_SIZE 640 481\n"},
        {"empty viewport", h + "CAMERA_SIZE 0.5 100\r\n", 3, "Bad camera size->CAMERA_SIZE 0.5 100\n"},
        {"nan distance", "DISTANCE nan\r\n", 3, "s.x3d->Bad number->DISTANCE nan\n"},
        {"huge scale", h + "LENSFLARE Lamp\r\nLENS_SCALE 1e300\r\n", 3, "s.x3d->Bad number->LENS_SCALE 1e300\n"},
        {"inf colour", h + "MATERIAL Brass\r\nMAT_COLOR 1 inf 3\r\n", 3, "s.x3d->Bad number->MAT_COLOR 1 inf 3\n"},
        {"nan fog", "FOG YES\r\nFOG_COLOR -nan 0 0\r\n", 3, "s.x3d->Bad number->FOG_COLOR -nan 0 0\n"},
        {"nan size", h + "CAMERA_SIZE nan 1\r\n", 3, "s.x3d->Bad number->CAMERA_SIZE nan 1\n"},
    };
    for (const Broken& c : cases) {
        SCOPED_TRACE(c.what);
        x3dScene s{};
        EXPECT_EXIT(
            {
                fclose(stdout);
                run(c.script, &s);
            },
            ::testing::ExitedWithCode(c.status), c.message);
    }
    x3dScene s{};
    EXPECT_EXIT(x3dLoadSceneScript("absent.x3d", &s, &g_fileIO), ::testing::ExitedWithCode(3),
                "x3dLoadSceneScript::xFileIO->load\\(\\) - can't load absent.x3d");
}

TEST(SceneScriptKeywords, TheTableHoldsEighteenCaseSensitiveWords)
{
    const char* words[] = {"VERSION",  "TEXTURE_PATH", "DISTANCE",   "FOG",         "SCENE_NAME", "FOG_COLOR",
                           "CAMERA",   "CAMERA_SIZE",  "CAMERA_SETACTIVE", "MATERIAL", "RENDER_TYPE", "MAT_COLOR",
                           "LENSFLARE", "LENS_TEXTURE", "LENS_SCALE", "ZBUFFER",    "OBJECT",     "OBJ_NOLIGHT"};
    for (int i = 0; i < 18; i++)
        EXPECT_EQ(x3dScriptKeyword(words[i]), i + 1) << words[i];
    EXPECT_EQ(x3dScriptKeyword("Fog"), 0);
    EXPECT_EQ(x3dScriptKeyword("CAMERA_"), 0);
    EXPECT_EQ(x3dScriptKeyword(""), 0);
}

} // namespace
