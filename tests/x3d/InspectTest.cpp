// qh_scene, run as a demo maker runs it: on a writer-made scene from a plain
// file and from archives, and on broken and missing files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

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

} // namespace
