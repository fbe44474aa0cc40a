#include "tests/common/ShowFolder.h"

#include <cstdio>
#include <unistd.h>

#include "tests/common/TestZip.h"

std::string makeShowFolder(const std::string& tag, const std::string& pak)
{
    std::string folder = makeTempDir(tag);
    if (folder.empty())
        return folder;
    size_t slash = pak.rfind('/');
    std::string textures = (slash == std::string::npos ? std::string(".") : pak.substr(0, slash)) + "/textures";
    if (symlink(pak.c_str(), (folder + "/demo.pak").c_str()) != 0 ||
        symlink(textures.c_str(), (folder + "/textures").c_str()) != 0) {
        removeShowFolder(folder);
        return std::string();
    }
    return folder;
}

void removeShowFolder(const std::string& folder)
{
    remove((folder + "/demo.pak").c_str());
    remove((folder + "/textures").c_str());
    rmdir(folder.c_str());
}
