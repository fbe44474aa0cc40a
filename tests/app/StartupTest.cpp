#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <string>
#include <vector>
#include <sys/wait.h>
#include <unistd.h>

#include "app/Demo.h"
#include "platform/Plat.h"
#include "tests/common/ShowRun.h"
#include "tests/common/TestZip.h"

namespace {

// The show's own pictures (the parts load theirs before the music), with
// the given entries added.
std::vector<TestZipEntry> showPicturesAnd(std::vector<TestZipEntry> extra)
{
    for (const TestZipEntry& e : readTestZip(QH_DEMO_PAK))
        if (e.name != "iseeyou.mp3")
            extra.push_back({e.name, e.data, false});
    return extra;
}

// A folder laid out as the show runs in (the scenes' textures beside the
// archive), with an archive of these entries in place of the show's.
std::string showFolderWith(const std::string& name, const std::vector<TestZipEntry>& entries)
{
    std::string folder = showFolder(name);
    remove((folder + "/demo.pak").c_str()); // the link to the show's own
    return !folder.empty() && writeTestZip(folder + "/demo.pak", entries) ? folder : std::string();
}

int runWinMain(const char* folder, const char* commandLine)
{
    if (chdir(folder) != 0)
        return 99;
    static char line[256];
    snprintf(line, sizeof line, "%s", commandLine);
    return WinMain(nullptr, nullptr, line, 1);
}

TEST(Startup, MissingArchiveEndsWithItsMessage)
{
    std::string empty = scratchDir();
    EXPECT_EXIT(runWinMain(empty.c_str(), "-windowed"), ::testing::ExitedWithCode(3),
                "^Error: Resource file not found -> DEMO.PAK\n$");
}

TEST(Startup, ArchiveWithoutMusicIsBroken)
{
    std::string folder = showFolderWith("nomusic", showPicturesAnd({{"other.bin", "x"}}));
    ASSERT_FALSE(folder.empty());
    EXPECT_EXIT(runWinMain(folder.c_str(), ""), ::testing::ExitedWithCode(3),
                "Error: Broken resource file -> Can't load iseeyou.mp3");
    // Present, but not music the player takes.
    std::string bad = showFolderWith("badmusic", showPicturesAnd({{"iseeyou.mp3", "not a module"}}));
    ASSERT_FALSE(bad.empty());
    EXPECT_EXIT(runWinMain(bad.c_str(), "-windowed"), ::testing::ExitedWithCode(3), "Error: Can't load ISEEYOU.MP3");
}

TEST(Startup, ArchiveWithoutLoadingPictureIsRefused)
{
    std::string folder = scratchDir();
    ASSERT_TRUE(writeTestZip(folder + "/demo.pak", {{"ISEEYOU.MP3", "module"}}));
    EXPECT_EXIT(runWinMain(folder.c_str(), "-windowed"), ::testing::ExitedWithCode(3),
                "Error: x2dSprite::Load\\(\\.\\.\\) -> Error loading loading.jpg");
}

// Closing the window (SDL's quit request, as from Ctrl+C) ends the show with 0.
TEST(Startup, RunsUntilTheWindowIsClosed)
{
    std::string folder = showFolder("show");
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // SDL turns SIGINT into its quit request from here on; the request
        // waits in the queue until the main loop reads it.
        platInit();
        pid_t parent = getpid();
        if (fork() == 0) {
            usleep(300 * 1000);
            kill(parent, SIGINT);
            _exit(0);
        }
        if (chdir(folder.c_str()) != 0)
            _exit(98);
        char line[] = "-windowed";
        _exit(WinMain(nullptr, nullptr, line, 1));
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "status " << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(Startup, HelpPrintsUsageWithoutAWindow)
{
    FILE* p = popen(QH_PROGRAM " --help", "r");
    ASSERT_NE(p, nullptr);
    std::string out;
    char buf[256];
    while (fgets(buf, sizeof buf, p))
        out += buf;
    EXPECT_EQ(pclose(p), 0);
    EXPECT_NE(out.find("-windowed"), std::string::npos);
    EXPECT_NE(out.find("Alt+Enter"), std::string::npos);
    EXPECT_NE(out.find("exit status"), std::string::npos);
}
} // namespace
