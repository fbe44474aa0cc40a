// qh_scene, run as a demo maker runs it: on a writer-made scene from a plain
// file and from archives, and on broken and missing files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <utility>

#include "SceneSamples.h"
#include "tests/common/Scratch.h"
#include "tests/common/TestZip.h"

using namespace qhtest;

namespace {

struct Outcome {
    int status;
    std::string out, err;
};

Outcome inspect(const std::string& dir, const std::string& args)
{
    std::string cmd = "cd '" + dir + "' && '" QH_SCENE_BIN "' " + args + " >out.txt 2>err.txt";
    int raw = system(cmd.c_str());
    Outcome r{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, readWholeFile(dir + "/out.txt"), readWholeFile(dir + "/err.txt")};
    return r;
}

TEST(Inspect, PrintsTheSceneAsTheShowSeesIt)
{
    std::string dir = scratchFolder("qhscene");
    Bytes b = qhscene::write3ds(harbourScene());
    std::string bytes(b.begin(), b.end());
    writeFile(dir + "/harbour.3ds", bytes);

    Outcome r = inspect(dir, "harbour.3ds --frames 0,60.5");
    ASSERT_EQ(r.status, 0) << r.err;
    const char* lines[] = {
        "scene \"harbour.3ds\" frames 0 120 objects 7 cameras 3 lights 2 materials 3 ambients 1 nodes 14\n",
        "map 0 reflection \"sky.tga\" options 0 scale 1 1 offset 0 0 rotation 0\n",
        "camera 1 \"Camera02\" id 4 position 30 10 -40 target 0 5 0 roll -10 fov 60\n",
        "node 10 object id 1 parent 9 record \"Mast\" tracks position:2 scale:1 rotation:2\n",
        "tree object 0 \"Hull\"\ntree   object 1 \"Mast\"\ntree     object 2 \"Sail\"\n",
        "frame 60.5\n",
        "world \"Buoy\" 0 ",
    };
    for (const char* line : lines)
        EXPECT_NE(r.out.find(line), std::string::npos) << line;
    EXPECT_EQ(r.out.find("nan"), std::string::npos);
    EXPECT_EQ(r.out.find("inf"), std::string::npos);

    // demo.pak holding the name wins over the plain file; --dir reads only
    // the plain file, --pak only its archive.
    ASSERT_TRUE(writeTestZip(dir + "/demo.pak", {{"harbour.3ds", bytes}}));
    ASSERT_TRUE(writeTestZip(dir + "/other.pak", {{"harbour.3ds", bytes}}));
    writeFile(dir + "/harbour.3ds", bytes.substr(0, 100));
    EXPECT_EQ(inspect(dir, "harbour.3ds").status, 0);
    EXPECT_EQ(inspect(dir, "--pak other.pak harbour.3ds").status, 0);
    Outcome cut = inspect(dir, "--dir harbour.3ds");
    EXPECT_EQ(cut.status, 2);
    EXPECT_NE(cut.err.find("harbour.3ds: chunk 0x4D4D at offset 0 runs past the end of the file"), std::string::npos)
        << cut.err;
    Outcome missing = inspect(dir, "--pak other.pak nothing.3ds");
    EXPECT_EQ(missing.status, 3);
    EXPECT_NE(missing.err.find("nothing.3ds"), std::string::npos);
    Outcome absent = inspect(dir, "nothing.3ds");
    EXPECT_EQ(absent.status, 5);
    EXPECT_NE(absent.err.find("nothing.3ds"), std::string::npos);

    writeFile(dir + "/broken.3ds", bytes.substr(0, 8) + std::string(4, '\0') + bytes.substr(12));
    Outcome broken = inspect(dir, "--dir broken.3ds");
    EXPECT_EQ(broken.status, 6);
    EXPECT_NE(broken.err.find("broken.3ds: chunk 0x0002 at offset 6 has length 0"), std::string::npos) << broken.err;

    Outcome help = inspect(dir, "--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("usage: qh_scene"), std::string::npos);
    EXPECT_EQ(inspect(dir, "--frames x harbour.3ds").status, 64);
    std::filesystem::remove_all(dir);
}

// The width and height a PNG's header gives.
std::pair<int, int> pngSize(const std::string& png)
{
    if (png.size() < 24 || png.compare(1, 3, "PNG") != 0)
        return {0, 0};
    auto word = [&](size_t at) {
        return (int)((uint8_t)png[at] << 24 | (uint8_t)png[at + 1] << 16 | (uint8_t)png[at + 2] << 8 | (uint8_t)png[at + 3]);
    };
    return {word(16), word(20)};
}

// A plain file drawn without a script: what it used, the maps found beside
// it, the turntable's sheet, and the files and lines it refuses.
TEST(Inspect, DrawsAnyFileWithoutAScript)
{
    std::string dir = scratchFolder("qhscene-plain");
    ASSERT_EQ(mkdir((dir + "/models").c_str(), 0755), 0);
    Bytes b = qhscene::write3ds(lighthouseScene());
    writeFile(dir + "/models/lighthouse.3ds", std::string(b.begin(), b.end()));

    Outcome r = inspect(dir, "--dir models/lighthouse.3ds --png one.png");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("camera ours: bounds centre "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("lights ours: key and fill\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.err, "qh_scene: map models/planks.tga not found, drawn in its material's colour\n");
    EXPECT_EQ(pngSize(readWholeFile(dir + "/one.png")), std::make_pair(640, 480));

    // A map beside the file is found (an uncompressed 2 x 2 TGA).
    std::string tga(18, '\0');
    tga[2] = 2;
    tga[12] = tga[14] = 2;
    tga[16] = 24;
    tga += std::string("\x20\x40\x80\x30\x50\x90\x20\x40\x80\x30\x50\x90", 12);
    writeFile(dir + "/models/planks.tga", tga);
    r = inspect(dir, "--dir models/lighthouse.3ds --png sheet.png --turntable 6 --target 200x150");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(pngSize(readWholeFile(dir + "/sheet.png")), std::make_pair(4 * 200 + 3 * 4, 2 * 150 + 4));

    // The file's own camera at two frames, two to a row.
    Bytes h = qhscene::write3ds(harbourScene());
    writeFile(dir + "/harbour.3ds", std::string(h.begin(), h.end()));
    r = inspect(dir, "--dir harbour.3ds --png two.png --frames 0,60");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("camera \"Camera01\" from the file\nlights 2 from the file\n"), std::string::npos) << r.out;
    EXPECT_EQ(pngSize(readWholeFile(dir + "/two.png")), std::make_pair(2 * 640 + 4, 480));

    writeFile(dir + "/broken.3ds", std::string(b.begin(), b.begin() + 100));
    Outcome broken = inspect(dir, "--dir broken.3ds --png broken.png");
    EXPECT_EQ(broken.status, 2);
    EXPECT_NE(broken.err.find("broken.3ds: chunk 0x4D4D at offset 0 runs past the end of the file"), std::string::npos)
        << broken.err;
    EXPECT_FALSE(std::filesystem::exists(dir + "/broken.png"));
    for (const char* args : {"--dir harbour.3ds --turntable 4", "--dir harbour.3ds --png t.png --turntable 0",
                             "--dir harbour.3ds --png t.png --turntable 65", "--dir harbour.3ds --png t.png --turntable x",
                             "--sheet s.png --turntable 2", "--dir harbour.3ds --target 200x150"})
        EXPECT_EQ(inspect(dir, args).status, 64) << args;
    std::filesystem::remove_all(dir);
}

} // namespace
