// The release archives in dist/: the Linux program unpacked into a folder
// whose name has a space, started through its launcher from another folder,
// plays the same frames and music as the native build; it loads no library of
// ours from the system; and each archive holds exactly the program, the
// show's data, README.txt and the licences.
#include <gtest/gtest.h>

#include <cstdio>
#include <dirent.h>
#include <set>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>

#include "tests/common/ShowRun.h"

namespace {

std::string quoted(const std::string& path) { return "'" + path + "'"; }

std::set<std::string> lines(const std::string& text)
{
    std::set<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (!line.empty())
            out.insert(line);
    return out;
}

// The files of a folder and its subfolders as an archive lists them under
// top: folders with a trailing slash.
void listFolder(const std::string& folder, const std::string& top, std::set<std::string>& out)
{
    out.insert(top + "/");
    DIR* d = opendir(folder.c_str());
    if (!d)
        return;
    while (dirent* e = readdir(d)) {
        std::string name = e->d_name;
        if (name == "." || name == "..")
            continue;
        struct stat st;
        if (stat((folder + "/" + name).c_str(), &st) == 0 && S_ISDIR(st.st_mode))
            listFolder(folder + "/" + name, top + "/" + name, out);
        else
            out.insert(top + "/" + name);
    }
    closedir(d);
}

// What every archive holds beside its program: the show's data as the native
// build wrote it, README.txt and licences/ with these names.
std::set<std::string> showFiles(const std::string& top, std::initializer_list<const char*> licences)
{
    const std::string pak = QH_DEMO_PAK;
    std::set<std::string> out{top + "/", top + "/demo.pak", top + "/README.txt", top + "/licences/",
                              top + "/licences/quietharbor.txt"};
    listFolder(pak.substr(0, pak.rfind('/')) + "/textures", top + "/textures", out);
    for (const char* name : licences)
        out.insert(top + "/licences/" + name + ".txt");
    return out;
}

std::string joined(const std::set<std::string>& names)
{
    std::string out;
    for (const std::string& n : names)
        out += "  " + n + "\n";
    return out;
}

// The libraries ldd names that are not the C library's own.
std::set<std::string> foreignLibraries(const std::string& lddText)
{
    static const std::set<std::string> system{"linux-vdso.so.1", "libc.so.6",       "libm.so.6",
                                              "libdl.so.2",      "libpthread.so.0", "librt.so.1",
                                              "/lib64/ld-linux-x86-64.so.2"};
    std::set<std::string> out;
    for (std::string line : lines(lddText)) {
        line = line.substr(line.find_first_not_of(" \t"));
        line = line.substr(0, line.find(" (0x"));
        std::istringstream words(line);
        std::string name;
        words >> name;
        if (!system.count(name))
            out.insert(line);
    }
    return out;
}

std::string archive(const char* name)
{
    const std::string path = std::string(QH_DIST) + "/" + name;
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? path : std::string();
}

const char* const linuxTop = "quietharbor-linux-x86_64";

// The Linux archive unpacked into the scratch folder "un packed"; its path,
// empty when it is missing or cannot be unpacked.
std::string unpackLinux()
{
    const std::string tarball = archive("quietharbor-linux-x86_64.tar.gz");
    const std::string unpacked = scratchFolder("un packed");
    if (tarball.empty() || runCommand("tar -xzf " + quoted(tarball) + " -C " + quoted(unpacked)).status != 0)
        return std::string();
    return unpacked + "/" + linuxTop;
}

} // namespace

TEST(DistLinux, UnpackedAnywherePlaysAsTheNativeBuildAndLoadsOnlySdlBesideIt)
{
    const std::string folder = unpackLinux(), tarball = archive("quietharbor-linux-x86_64.tar.gz");
    ASSERT_FALSE(folder.empty()) << QH_DIST << "/quietharbor-linux-x86_64.tar.gz missing or broken: ./test and ./run --dist write it";
    const std::string top = linuxTop;

    std::set<std::string> expected = showFiles(top, {"SDL2", "libopenmpt", "zlib", "minizip", "libjpeg-turbo"});
    for (const char* file : {"quietharbor", "quietharbor.bin", "libSDL2-2.0.so.0"})
        expected.insert(top + "/" + file);
    EXPECT_EQ(joined(expected), joined(lines(runCommand("tar -tzf " + quoted(tarball)).out)));
    EXPECT_EQ(readWholeFile(QH_DEMO_PAK), readWholeFile(folder + "/demo.pak"));
    EXPECT_EQ(std::string::npos, readWholeFile(folder + "/README.txt").find("@SWITCHES@"));

    // Nothing of ours from the system: SDL2 resolves to the copy beside the
    // program, and that copy loads its display and sound back ends only at
    // run time, so it needs no X11, Wayland or PulseAudio library to start.
    const CommandRun program = runCommand("ldd " + quoted(folder + "/quietharbor.bin"));
    ASSERT_EQ(0, program.status) << program.out;
    EXPECT_EQ(joined({"libSDL2-2.0.so.0 => " + folder + "/libSDL2-2.0.so.0"}),
              joined(foreignLibraries(program.out)))
        << program.out;
    const CommandRun sdl = runCommand("ldd " + quoted(folder + "/libSDL2-2.0.so.0"));
    EXPECT_EQ("", joined(foreignLibraries(sdl.out))) << sdl.out;

    // Started by a relative path from a folder without the show's data, the
    // launcher finds it beside itself and writes the capture where it was
    // called from; frames and music are those of the native build.
    const std::string elsewhere = scratchFolder("elsewhere");
    const std::string args = "-capture part.y4m -start 17 -end 18 -fps 5";
    const CommandRun released =
        runCommand("cd " + quoted(elsewhere) + " && '../un packed/" + top + "/quietharbor' " + args + " 2>&1");
    ASSERT_EQ(0, released.status) << released.out;
    const std::string native = showFolder("native");
    const ShowRun reference = runShow(native, args);
    ASSERT_EQ(0, reference.status) << reference.err;
    const std::string frames = readWholeFile(elsewhere + "/part.y4m");
    EXPECT_GT(frames.size(), (size_t)640 * 480 * 3 / 2 * 5);
    EXPECT_TRUE(frames == readWholeFile(native + "/part.y4m")) << "the release program's frames differ (is dist/ older than build/? ./run --dist writes it anew)";
    const std::string music = readWholeFile(elsewhere + "/part.y4m.wav");
    EXPECT_GT(music.size(), (size_t)44100 * 4);
    EXPECT_TRUE(music == readWholeFile(native + "/part.y4m.wav")) << "the release program's music differs (is dist/ older than build/?)";
    struct stat st;
    EXPECT_NE(0, stat((folder + "/part.y4m").c_str(), &st)) << "the capture went into the program's folder";
}

// The SDL2 beside the program opens a real window: it loads the X11 library
// itself, at run time.
TEST(DistLinux, PlaysInAWindowOnXThroughTheSdlBesideIt)
{
    if (system("command -v xvfb-run >/dev/null") != 0)
        GTEST_SKIP() << "xvfb-run missing";
    const std::string folder = unpackLinux();
    ASSERT_FALSE(folder.empty()) << QH_DIST << "/quietharbor-linux-x86_64.tar.gz missing or broken";
    const CommandRun run = runCommand("cd " + quoted(scratchFolder("elsewhere")) +
                             " && xvfb-run -a -s '-screen 0 1024x768x24' env LD_DEBUG=files SDL_VIDEODRIVER=x11 " +
                             quoted(folder + "/quietharbor") + " -windowed -start 17 -end 18 2>&1");
    EXPECT_EQ(0, run.status) << run.out;
    EXPECT_EQ(std::string::npos, run.out.find("Error:")) << run.out;
    EXPECT_NE(std::string::npos, run.out.find("file=libX11.so.6 [0];  dynamically loaded by " + folder +
                                               "/libSDL2-2.0.so.0"))
        << run.out.substr(0, 4000);
}

TEST(DistWeb, HoldsEveryFileOfThePageWithReadmeAndLicences)
{
    const std::string zip = archive("quietharbor-web.zip");
    ASSERT_FALSE(zip.empty()) << QH_DIST << "/quietharbor-web.zip is missing: ./test and ./run --dist write it";
    const std::string top = "quietharbor-web", page = std::string(QH_DIST) + "/../build-web/page";
    std::set<std::string> expected =
        showFiles(top, {"libopenmpt", "chiptune3", "zlib", "minizip", "libjpeg-turbo", "emscripten"});
    listFolder(page, top, expected);
    const std::set<std::string> listed = lines(runCommand("unzip -Z1 " + quoted(zip)).out);
    EXPECT_EQ(joined(expected), joined(listed));
    // The page fetches what data.txt names.
    for (const std::string& file : lines(readWholeFile(page + "/data.txt")))
        EXPECT_TRUE(listed.count(top + "/" + file)) << file;
}

TEST(DistWin64, HoldsTheProgramDataAndLicencesWithWindowsLineEnds)
{
    const std::string zip = archive("quietharbor-win64.zip");
    if (zip.empty())
        GTEST_SKIP() << "no " << QH_DIST << "/quietharbor-win64.zip: ./run --windows is not built here";
    const std::string top = "quietharbor-win64";
    const std::set<std::string> listed = lines(runCommand("unzip -Z1 " + quoted(zip)).out);
    std::set<std::string> expected = showFiles(top, {"mingw-w64"});
    expected.insert(top + "/quietharbor.exe");
    // Every licence the Windows dependency build keeps comes along.
    listFolder(std::string(QH_DIST) + "/../build-win-deps/licences", top + "/licences", expected);
    EXPECT_EQ(joined(expected), joined(listed));
    EXPECT_EQ("MZ", runCommand("unzip -p " + quoted(zip) + " " + top + "/quietharbor.exe | head -c 2").out);
    const std::string readme = runCommand("unzip -p " + quoted(zip) + " " + top + "/README.txt").out;
    EXPECT_NE(std::string::npos, readme.find("quietharbor.exe -windowed\r\n"));
    EXPECT_EQ(std::string::npos, readme.find("\r\r"));
}
