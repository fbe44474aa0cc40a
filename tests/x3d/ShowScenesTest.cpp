// The show's own scenes, loaded from the built archive by the program's own
// script reader in a folder laid out as the show runs in: what each effect
// relies on, the places worked out through the projection, the loop seams,
// and reference renders kept as hashes in scenes.txt.
//
// QH_UPDATE_FRAMES=1 writes scenes.txt anew (the build target scene_frames
// does that), for a change of the pictures that is meant.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sys/wait.h>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

#include "SceneView.h"
#include "X3d/Polygons.h"
#include "X3d/Spline.h"
#include "X3d/X3dscr.h"
#include "Ximage/Ximage.h"
#include "files/xFileIO.h"
#include "tests/common/ShowFolder.h"
#include "tests/x3d/FrameFiles.h"
#include "tools/makedata/Scenes.h"

namespace {

const char* const kScripts[4] = {"logo3d.x3d", "test.x3d", "scene3.x3d", "scene4.x3d"};

struct Show {
    std::string folder, here;
    xFileIO io{1};
    x3dScene scenes[4] = {};
    std::string printed; // standard output while loading
    bool ok = false;
};

Show* g_show = nullptr;

class ShowScenes : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        g_show = new Show();
        char here[4096];
        if (!getcwd(here, sizeof here))
            return;
        g_show->here = here;
        g_show->folder = showFolder("scenes");
        if (g_show->folder.empty() || chdir(g_show->folder.c_str()) != 0)
            return;
        qhscene::initEngines();
        if (g_show->io.Open("demo.pak") != 0)
            return;
        testing::internal::CaptureStdout();
        for (int i = 0; i < 4; i++)
            x3dLoadSceneScript(kScripts[i], &g_show->scenes[i], &g_show->io);
        g_show->printed = testing::internal::GetCapturedStdout();
        g_show->ok = true;
    }
    static void TearDownTestSuite()
    {
        // The folder goes with the suite's scratch folder.
        if (!g_show->here.empty() && chdir(g_show->here.c_str()) != 0)
            perror("chdir");
    }
    void SetUp() override { ASSERT_TRUE(g_show->ok) << "the show's folder or archive is missing"; }

    static x3dScene* scene(int i)
    {
        x3dScene* s = &g_show->scenes[i];
        x3dSetScene(s);
        x3dSetActiveCamera(x3dFindCamera("Camera01", s));
        return s;
    }
    // Animates at any frame, also the last (x3dSetFrame refuses it).
    static void at(x3dScene* s, float frame)
    {
        x3dSetScene(s);
        s->frame = frame;
        x3dAnimateScene();
    }
};

// Where a world point lands in the 640 x 480 frame buffer, through the
// active camera (the wireframe projection: centre - 2 of room either side).
void screen(const float world[3], float& sx, float& sy, float& depth)
{
    const x3dCamera* c = g_x3d.camera;
    float v[3];
    for (int r = 0; r < 3; r++)
        v[r] = c->view[r][0] * world[0] + c->view[r][1] * world[1] + c->view[r][2] * world[2] + c->view[r][3];
    float f = c->projection[0][0];
    depth = v[2];
    sx = c->centreX + f * v[0] / v[2] * (c->centreX - 2);
    sy = c->centreY - f * v[1] / v[2] * (c->centreY - 2);
}

void worldOf(const x3dObject& o, const float* p, float out[3])
{
    for (int r = 0; r < 3; r++)
        out[r] = o.matrix[r][0] * p[0] + o.matrix[r][1] * p[1] + o.matrix[r][2] * p[2] + o.matrix[r][3];
}

TEST_F(ShowScenes, LoadAsTheEffectsExpect)
{
    EXPECT_EQ(g_show->printed, "") << "no texture may be missing";
    for (int i = 0; i < 4; i++) {
        SCOPED_TRACE(kScripts[i]);
        x3dScene* s = &g_show->scenes[i];
        ASSERT_NE(x3dFindCamera("Camera01", s), nullptr);
        EXPECT_GT(s->fogDistance, 0.0f);
        for (int m = 0; m < s->materialCount; m++)
            EXPECT_NE(s->materials[m].renderFlags & 0x1FF, 0u) << s->materials[m].name << " draws nothing";
        for (int o = 0; o < s->objectCount; o++)
            for (int f = 0; f < s->objects[o].faceCount; f++)
                ASSERT_NE(s->objects[o].faces[f].material, nullptr) << s->objects[o].name << " face " << f;
        // Every track that is there has keys, and every node has the track
        // that places it.
        for (int n = 0; n < s->nodeCount; n++) {
            const x3dNode& node = s->nodes[n];
            EXPECT_TRUE(node.tracks[0] && node.tracks[0]->keyCount > 0) << "node " << node.nodeId;
            for (int t = 0; t < X3D_NODE_TRACKS; t++)
                if (node.tracks[t])
                    EXPECT_GT(node.tracks[t]->keyCount, 0) << "node " << node.nodeId << " track " << t;
        }
    }

    // The logo: one wireframe material whose red is the smallest, no lights.
    x3dScene* logo = &g_show->scenes[0];
    x3dMaterial* m1 = x3dFindMaterial("MATERIAL_1", logo);
    ASSERT_NE(m1, nullptr);
    EXPECT_EQ(m1->renderFlags, 0x20u);
    EXPECT_LT(m1->red, m1->green);
    EXPECT_LT(m1->red, m1->blue);
    EXPECT_EQ(logo->lightCount, 0);
    EXPECT_EQ(logo->zbuffer, 0);
    EXPECT_EQ(logo->objectCount, 11);

    // The title: the one z-buffered scene, brass faces, mirrored walls.
    x3dScene* title = &g_show->scenes[1];
    EXPECT_EQ(title->zbuffer, 1);
    x3dMaterial* face = x3dFindMaterial("TITLE_FACE", title);
    x3dMaterial* side = x3dFindMaterial("TITLE_SIDE", title);
    ASSERT_TRUE(face && side);
    EXPECT_EQ(face->renderFlags, 0x48u);
    EXPECT_EQ(side->renderFlags, 0x18u);
    EXPECT_NE(side->reflection.pixels, nullptr);
    EXPECT_TRUE(x3dFindLight("Lamp01", title) && x3dFindLight("Lamp02", title));

    // The gulls: fog in the first credit's fill colour, starting at 10.
    x3dScene* gulls = &g_show->scenes[2];
    EXPECT_EQ(gulls->fog, 1);
    xFile file{};
    ASSERT_EQ(g_show->io.Read("cpcir1.tga", &file), 0);
    xImage img{};
    ASSERT_EQ(xImageLoad(&file, img), 0);
    g_show->io.Free(&file);
    ASSERT_TRUE(img.mode == XIMAGE_BGR24 || img.mode == XIMAGE_RGB24);
    const int red = img.mode == XIMAGE_BGR24 ? 2 : 0;
    EXPECT_EQ(gulls->fogColour[0], img.pixels[red]);
    EXPECT_EQ(gulls->fogColour[1], img.pixels[1]);
    EXPECT_EQ(gulls->fogColour[2], img.pixels[2 - red]);
    free(img.pixels);
    free(img.palette);
    EXPECT_LE(gulls->firstFrame, 10.0f);
    EXPECT_GT(gulls->lastFrame, 10.0f);
    EXPECT_EQ(x3dFindObject("Lantern", gulls)->flags & 0x10, 0x10);
    x3dLight* lamp = x3dFindLight("LampLight", gulls);
    ASSERT_NE(lamp, nullptr);
    EXPECT_EQ(lamp->type & 4, 4);

    // The festoons: the flare light, its texture black near the border.
    x3dScene* festoon = &g_show->scenes[3];
    x3dLight* flare = x3dFindLight("Flare01", festoon);
    ASSERT_TRUE(flare && flare->lensFlare && flare->lensFlare->slot.pixels);
    EXPECT_EQ(flare->lensFlare->width, 256);
    EXPECT_EQ(flare->lensFlare->height, 256);
    EXPECT_EQ(flare->lensFlare->scale, 1000.0f);
    int lit = 0;
    for (int y = 0; y < 256; y++)
        for (int x = 0; x < 256; x++)
            if (x < 16 || y < 16 || x >= 240 || y >= 240)
                lit += (flare->lensFlare->slot.pixels[y * 256 + x] & 0xFFFFFF) != 0;
    EXPECT_EQ(lit, 0) << "flare texels near the border";
    EXPECT_EQ(festoon->zbuffer, 0);
    EXPECT_EQ(festoon->fog, 0);
}

TEST_F(ShowScenes, AtFrameZeroEveryVertexIsWhereTheGeneratorPutIt)
{
    const qhd::ShowScene described[4] = {qhd::LogoScene(), qhd::TitleScene(), qhd::GullScene({0, 0, 0}),
                                         qhd::FestoonScene()};
    for (int i = 0; i < 4; i++) {
        SCOPED_TRACE(kScripts[i]);
        x3dScene* s = scene(i);
        at(s, 0.0f);
        int checked = 0;
        for (const qhscene::Mesh& mesh : described[i].scene.meshes) {
            x3dObject* o = x3dFindObject(mesh.name.c_str(), s);
            ASSERT_NE(o, nullptr) << mesh.name;
            ASSERT_EQ((size_t)o->vertexCount, mesh.vertices.size()) << mesh.name;
            for (int v = 0; v < o->vertexCount; v++) {
                float w[3];
                worldOf(*o, o->vertices[v].position, w);
                const qhscene::Vec3& file = mesh.vertices[(size_t)v];
                const float want[3] = {file[0], file[2], file[1]}; // y up
                for (int k = 0; k < 3; k++)
                    ASSERT_NEAR(w[k], want[k], 1e-3f * (1.0f + std::fabs(want[k]))) << mesh.name << " vertex " << v;
                checked++;
            }
        }
        EXPECT_GT(checked, 100);
    }
}

TEST_F(ShowScenes, TheLogoSettlesOverTheDrawnLettersAndLoopsSeamlessly)
{
    const float centres[10] = {44, 105, 170, 232, 319, 380, 439, 480, 526, 593};
    x3dScene* s = scene(0);
    EXPECT_EQ(s->lastFrame, 440.0f);
    for (float frame : {290.0f, 320.0f, 349.0f, 350.0f}) {
        at(s, frame);
        for (int i = 0; i < 10; i++) {
            char name[16];
            snprintf(name, sizeof name, "Letter%02d", i + 1);
            x3dObject* o = x3dFindObject(name, s);
            ASSERT_NE(o, nullptr);
            const float origin[3] = {o->matrix[0][3], o->matrix[1][3], o->matrix[2][3]};
            float sx, sy, z;
            screen(origin, sx, sy, z);
            EXPECT_NEAR(sx, centres[i], 0.5f) << name << " at " << frame;
            EXPECT_NEAR(sy, 115 + 125, 0.5f) << name << " at " << frame;
        }
    }
    // The effect goes back to 350 past the last frame: both poses agree.
    std::vector<float> pose350;
    at(s, 350.0f);
    for (int o = 0; o < s->objectCount; o++)
        for (int k = 0; k < 12; k++)
            pose350.push_back(s->objects[o].matrix[k / 4][k % 4]);
    at(s, 440.0f);
    for (int o = 0; o < s->objectCount; o++)
        for (int k = 0; k < 12; k++)
            EXPECT_NEAR(s->objects[o].matrix[k / 4][k % 4], pose350[(size_t)o * 12 + k], 1e-3f) << s->objects[o].name;
}

TEST_F(ShowScenes, TheTitleStaysInItsRowsAndTheGullsLeftOfThePhoto)
{
    // The title within picture rows 20-240 at every frame.
    x3dScene* s = scene(1);
    for (int frame = 0; frame < 240; frame += 4) {
        at(s, (float)frame);
        float top = 1e9f, bottom = -1e9f;
        for (int o = 0; o < s->objectCount; o++)
            for (int v = 0; v < s->objects[o].vertexCount; v++) {
                float w[3], sx, sy, z;
                worldOf(s->objects[o], s->objects[o].vertices[v].position, w);
                screen(w, sx, sy, z);
                top = std::min(top, sy - 115);
                bottom = std::max(bottom, sy - 115);
            }
        EXPECT_GE(top, 20.0f) << "frame " << frame;
        EXPECT_LE(bottom, 240.0f) << "frame " << frame;
    }
    // The gulls fly left of column 400, where the credit's photo is drawn
    // over the scene, while the effect shows them (scene time 10 to 83).
    s = scene(2);
    for (int frame = 10; frame <= 84; frame += 2) {
        at(s, (float)frame);
        for (int o = 0; o < s->objectCount; o++) {
            if (strncmp(s->objects[o].name, "Gull", 4) != 0)
                continue;
            for (int v = 0; v < s->objects[o].vertexCount; v++) {
                float w[3], sx, sy, z;
                worldOf(s->objects[o], s->objects[o].vertices[v].position, w);
                screen(w, sx, sy, z);
                ASSERT_LT(sx, 400.0f) << s->objects[o].name << " at " << frame;
                ASSERT_GT(sy, 115.0f) << s->objects[o].name << " above the letterbox at " << frame;
            }
        }
    }
}

TEST_F(ShowScenes, EveryFestoonLampGivesOneFlareAndTheLoopCloses)
{
    x3dScene* s = scene(3);
    int faces = 0;
    for (int o = 0; o < s->objectCount; o++)
        faces += s->objects[o].faceCount;
    const int lamps = faces / 2;
    x3dCamera* cam = g_x3d.camera;
    for (const qhscene::ViewTarget& target : {qhscene::ViewTarget{640, 250}, qhscene::ViewTarget{140, 105}}) {
        x3dCameraSetSize(target.width, target.height, cam);
        for (int frame = 0; frame < 200; frame += 5) {
            x3dSetFrame((float)frame);
            x3dAnimateScene();
            x3dTransformScene();
            int flares = 0;
            for (int i = 0; i < s->drawCount; i++) {
                const x3dDrawItem& item = s->drawListA[i];
                if (item.kind != X3D_DRAW_FACE)
                    continue;
                const x3dFace* f = (const x3dFace*)item.item;
                float z = (f->vertices[0]->viewPosition[2] + f->vertices[1]->viewPosition[2] +
                           f->vertices[2]->viewPosition[2]) /
                          3.0f;
                EXPECT_GE(z, 50.0f);
                EXPECT_LE(z, 620.0f);
                // At least a pixel on the panels.
                EXPECT_GE(qhscene::flareSize(target) / z, 1.0f);
                flares++;
            }
            EXPECT_EQ(flares, lamps) << target.width << " x " << target.height << " frame " << frame;
        }
    }
    x3dCameraResetSize(cam);
    // The part wraps back to 0 past the last frame: the same picture.
    at(s, 0.0f);
    float p0[3], t0[3];
    memcpy(p0, cam->position, sizeof p0);
    memcpy(t0, cam->target, sizeof t0);
    std::vector<float> m0;
    for (int o = 0; o < s->objectCount; o++)
        m0.insert(m0.end(), &s->objects[o].matrix[0][0], &s->objects[o].matrix[0][0] + 12);
    at(s, 200.0f);
    for (int k = 0; k < 3; k++) {
        EXPECT_NEAR(cam->position[k], p0[k], 1e-3f);
        EXPECT_NEAR(cam->target[k], t0[k], 1e-3f);
    }
    for (int o = 0; o < s->objectCount; o++)
        for (int k = 0; k < 12; k++)
            EXPECT_NEAR((&s->objects[o].matrix[0][0])[k], m0[(size_t)o * 12 + k], 1e-4f);
}

TEST_F(ShowScenes, TheInspectorDrawsWhatTheEffectDraws)
{
    // Frames side by side in one PNG, each as the scene view draws it.
    const std::string png = g_show->folder + "/panel.png";
    std::string cmd = "cd '" + g_show->folder + "' && '" QH_SCENE_BIN "' --script scene4.x3d --png panel.png" +
                      " --frames 0,100 --target 140x105 2>/dev/null";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&image, png.c_str()));
    image.format = PNG_FORMAT_RGB;
    EXPECT_EQ(image.width, 140u * 2 + 4);
    EXPECT_EQ(image.height, 105u);
    std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr));
    remove(png.c_str());
    scene(3);
    for (int k = 0; k < 2; k++) {
        std::vector<uint32_t> px = qhscene::renderScene(&g_show->scenes[3], k * 100.0f, {140, 105});
        int differ = 0;
        for (int y = 0; y < 105; y++)
            for (int x = 0; x < 140; x++) {
                const uint8_t* p = &rgb[((size_t)y * image.width + x + k * 144) * 3];
                differ += ((uint32_t)p[0] << 16 | (uint32_t)p[1] << 8 | p[2]) != px[(size_t)y * 140 + x];
            }
        EXPECT_EQ(differ, 0) << "frame " << k * 100;
    }
    // A broken script ends the inspector as it would end the show.
    FILE* f = fopen((g_show->folder + "/broken.x3d").c_str(), "wb");
    ASSERT_TRUE(f);
    fputs("VERSION 1\r\nDISTANCE nan\r\n", f);
    fclose(f);
    cmd = "cd '" + g_show->folder + "' && '" QH_SCENE_BIN "' --dir --script broken.x3d 2>err.txt >/dev/null";
    int status = std::system(cmd.c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 3);
    std::ifstream err(g_show->folder + "/err.txt");
    std::string text((std::istreambuf_iterator<char>(err)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("broken.x3d->Bad number->DISTANCE nan"), std::string::npos) << text;
    remove((g_show->folder + "/broken.x3d").c_str());
    remove((g_show->folder + "/err.txt").c_str());
}

std::map<std::string, std::string> readReferences()
{
    std::map<std::string, std::string> refs;
    std::ifstream in(QH_SCENE_FRAMES);
    std::string name, hash;
    while (in >> name >> hash)
        refs[name] = hash;
    return refs;
}

TEST_F(ShowScenes, RendersMatchTheReferences)
{
    struct Shot {
        int scene;
        float frame;
        qhscene::ViewTarget target;
    };
    const Shot shots[] = {
        {0, 150, {}},          {0, 300, {}},           {1, 60, {}},  {1, 170, {}},
        {2, 15, {}},           {2, 55, {}},            {3, 0, {640, 250}}, {3, 120, {640, 250}},
        {3, 40, {140, 105}},
    };
    std::map<std::string, std::string> refs = readReferences(), got;
    for (const Shot& shot : shots) {
        char name[64];
        snprintf(name, sizeof name, "%s-%g-%dx%d", kScripts[shot.scene], shot.frame, shot.target.width,
                 shot.target.height);
        scene(shot.scene);
        std::vector<uint32_t> px = qhscene::renderScene(&g_show->scenes[shot.scene], shot.frame, shot.target);
        std::string hash = qh3d::frameHash(px.data(), shot.target.width, shot.target.height, shot.target.width);
        got[name] = hash;
        if (refs[name] != hash && !getenv("QH_UPDATE_FRAMES"))
            qh3d::writeFramePng(g_show->here + "/" + name + "-seen.png", px.data(), shot.target.width,
                                shot.target.height, shot.target.width);
    }
    if (getenv("QH_UPDATE_FRAMES")) {
        std::ofstream out(QH_SCENE_FRAMES);
        for (auto& [name, hash] : got)
            out << name << " " << hash << "\n";
        SUCCEED() << "wrote " << QH_SCENE_FRAMES;
        return;
    }
    for (auto& [name, hash] : got)
        EXPECT_EQ(refs[name], hash) << name << " differs: see " << name << "-seen.png";
}

} // namespace
