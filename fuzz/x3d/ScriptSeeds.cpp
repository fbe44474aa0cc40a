// Writes the seed inputs of the scene-script fuzz target: the show's four
// scripts, naming the target's own scene instead of theirs, and one line
// of every keyword.
// Usage: fuzz_scene_script_seeds <seed root>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/common/Scratch.h"
#include "tools/makedata/Scenes.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: %s <seed root>\n", argv[0]);
        return 2;
    }
    const qhd::ShowScene scenes[4] = {qhd::LogoScene(), qhd::TitleScene(), qhd::GullScene({63, 143, 154}),
                                      qhd::FestoonScene()};
    // Every keyword once, with the names of the target's scene.
    const std::string all = "/* every keyword */\r\nVERSION 1\r\nTEXTURE_PATH ./\r\nDISTANCE 500\r\nFOG YES\r\n"
                            "FOG_COLOR 10 20 30\r\nZBUFFER YES\r\nSCENE_NAME one.3ds\r\nCAMERA Side\r\n"
                            "CAMERA_SIZE 320 200\r\nCAMERA_SETACTIVE\r\nMATERIAL Brass\r\nRENDER_TYPE 8\r\n"
                            "MAT_COLOR 1 2 3\r\nMATERIAL Glass\r\nRENDER_TYPE 16\r\nLENSFLARE Lamp\r\n"
                            "LENS_TEXTURE tex.tga\r\nLENS_SCALE 100\r\nOBJECT Box\r\nOBJ_NOLIGHT\r\n";
    // The show's scripts name the target's scene and look for textures in
    // the current folder, where the target keeps a texture and a reflection
    // map.
    auto retarget = [](std::string text, const char* keyword, const char* line) {
        size_t at = text.find(keyword);
        if (at != std::string::npos)
            text.replace(at, text.find("\r\n", at) - at, line);
        return text;
    };
    for (int i = 0; i < 5; i++) {
        std::string text = all;
        if (i < 4)
            text = retarget(retarget(scenes[i].script, "SCENE_NAME ", "SCENE_NAME one.3ds"), "TEXTURE_PATH ",
                            "TEXTURE_PATH ./");
        writeSeed(argv[1], "fuzz_scene_script", "show" + std::to_string(i) + ".x3d",
                  std::vector<uint8_t>(text.begin(), text.end()));
    }
    return 0;
}
