// Scene scripts: the input as a script run against a small scene in an
// archive (written once into a scratch folder, with two small textures
// beside it, in the scratch folder), then the scene released. The script is read once through
// x3dLoadSceneScript, so the archive and its name carry over to every input.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

#include <minizip/zip.h>

#include "Scene3ds.h"
#include "X3d/File3ds.h"
#include "X3d/X3dscr.h"
#include "files/xFileIO.h"
#include "fuzz/common/FuzzStop.h"
#include "tests/common/Scratch.h"

namespace {

x3dScene g_scene;
xFileIO g_io(1);

// An 8 x 8 true-colour TGA.
std::string smallTga(uint8_t shade)
{
    std::string b(18, '\0');
    b[2] = 2;
    b[12] = 8;
    b[14] = 8;
    b[16] = 24;
    b.append(8 * 8 * 3, (char)shade);
    return b;
}

qhscene::Bytes smallScene()
{
    using namespace qhscene;
    Scene s;
    Material a, b;
    a.name = "Brass";
    a.texture.name = "tex.tga";
    b.name = "Glass";
    b.reflection.name = "env.tga";
    s.materials = {a, b};
    Mesh m;
    m.name = "Box";
    m.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 0, 1}, {1, 0, 1}};
    m.uv = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};
    m.faces = {{0, 1, 2, 7, "Brass"}, {1, 3, 2, 7, "Glass"}};
    s.meshes = {m};
    s.cameras = {{"Camera01", {0, -20, 2}, {0, 0, 0}, 0, 35}, {"Side", {20, 0, 2}, {0, 0, 0}, 0, 50}};
    Light lamp;
    lamp.name = "Lamp";
    s.lights = {lamp};
    return write3ds(s);
}

bool writeArchive(const std::string& path, const std::string& scene, const std::string& script)
{
    zipFile zip = zipOpen(path.c_str(), APPEND_STATUS_CREATE);
    if (!zip)
        return false;
    const std::pair<const char*, const std::string*> entries[2] = {{"one.3ds", &scene}, {"s.x3d", &script}};
    bool ok = true;
    for (const auto& e : entries) {
        zip_fileinfo info = {};
        ok = ok && zipOpenNewFileInZip(zip, e.first, &info, nullptr, 0, nullptr, 0, nullptr, 0, 0) == ZIP_OK &&
             zipWriteInFileInZip(zip, e.second->data(), (unsigned)e.second->size()) == ZIP_OK &&
             zipCloseFileInZip(zip) == ZIP_OK;
    }
    return zipClose(zip, nullptr) == ZIP_OK && ok;
}

void release()
{
    x3dFreeScene(&g_scene);
    memset(&g_scene, 0, sizeof g_scene);
    // A CAMERA_SIZE line left a smaller viewport behind.
    x3dSetScreenSize(g_x3d.width, g_x3d.height);
    g_x3d.scene = nullptr;
    g_x3d.camera = nullptr;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    qhfuzz::setUp();
    x3dInit(640, 480, nullptr);
    // The scratch folder goes when the process ends.
    std::string folder = scratchFolder("script");
    qhscene::Bytes scene = smallScene();
    if (chdir(folder.c_str()) != 0 || !writeFile("tex.tga", smallTga(0x80)) || !writeFile("env.tga", smallTga(0x30)) ||
        !writeArchive("s.pak", std::string(scene.begin(), scene.end()), "SCENE_NAME one.3ds\r\n") ||
        g_io.Open("s.pak") != 0) {
        fprintf(stderr, "fuzz_scene_script: no scratch folder\n");
        exit(1);
    }
    // Once through the whole reader: the archive flag and source stay set.
    QH_FUZZ_GUARD(x3dLoadSceneScript("s.x3d", &g_scene, &g_io), release());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Textures are read from disk under names the script gives: device and
    // system files are no business of this target.
    for (const char* word : {"dev", "proc", "sys"})
        if (memmem(data, size, word, strlen(word)))
            return 0;
    xFile file{(char*)"s.x3d", (int32_t)size, (uint8_t*)data};
    QH_FUZZ_GUARD(
        {
            g_x3dScript.Load(&file);
            x3dProcessSceneScript(&g_scene);
        },
        release());
    return 0;
}
