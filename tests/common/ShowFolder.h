// A scratch folder laid out as the show runs in: the show's archive as
// demo.pak and, beside it, the folder of the 3D scenes' textures, both
// linked from where the build wrote them. The build of the including test
// passes QH_DEMO_PAK.
#pragma once
#include <string>
#include <unistd.h>

#include "tests/common/Scratch.h"

// A new scratch folder holding links to the show's archive and textures;
// empty when they cannot be made.
inline std::string showFolder(const std::string& name)
{
    std::string folder = scratchFolder(name);
    const std::string pak = QH_DEMO_PAK;
    const std::string textures = pak.substr(0, pak.rfind('/') + 1) + "textures";
    if (symlink(pak.c_str(), (folder + "/demo.pak").c_str()) != 0 ||
        symlink(textures.c_str(), (folder + "/textures").c_str()) != 0)
        return std::string();
    return folder;
}
