#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "tests/common/ShowFolder.h"
#include "tests/common/TestZip.h"

namespace {

struct ShowRun {
    int status;
    std::string err;
};

// Runs the program in a fresh folder holding the show's archive.
ShowRun runShow(const std::string& folder, const std::string& args, const std::string& env = "")
{
    std::string cmd = "cd '" + folder + "' && " + env + " '" QH_PROGRAM "' " + args + " 2>stderr.txt";
    int status = system(cmd.c_str());
    ShowRun r;
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.err = readWholeFile(folder + "/stderr.txt");
    return r;
}

std::string showFolder(const char* tag)
{
    std::string folder = makeShowFolder(tag, QH_DEMO_PAK);
    EXPECT_FALSE(folder.empty());
    return folder;
}

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> out;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        out.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

TEST(Show, WholeCapturedShowHandsOverAtTheChainOrdersAndEndsByItself)
{
    std::string folder = showFolder("whole");
    ShowRun r = runShow(folder, "-capture show.y4m -fps 1 -trace trace.txt");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err.find("Error:"), std::string::npos) << r.err;
    std::vector<std::string> trace = lines(readWholeFile(folder + "/trace.txt"));
    const char* timers[] = {"Part1Frame", "Part2Frame", "Part3Frame", "GreetFrame", "Credits1Frame", "Credits2Frame",
                            "FlareFrame", "RotoFrame", "CirclesFrame", "FallFrame", "Part10Frame"};
    const int orders[] = {10, 13, 17, 22, 24, 26, 28, 30, 32, 34, 36};
    ASSERT_EQ(trace.size(), 11u) << readWholeFile(folder + "/trace.txt");
    for (int i = 0; i < 11; i++) {
        char name[32];
        int order = -1, row = -1;
        ASSERT_EQ(sscanf(trace[i].c_str(), "%31s %d %d", name, &order, &row), 3) << trace[i];
        EXPECT_STREQ(name, timers[i]);
        EXPECT_EQ(order, orders[i]) << trace[i];
        EXPECT_LE(row, 1) << trace[i]; // within a row of the order's start
    }
    // One frame a second of a show that lasts between four and five minutes.
    std::string wav = readWholeFile(folder + "/show.y4m.wav");
    double seconds = (wav.size() - 44) / (44100.0 * 4);
    EXPECT_GT(seconds, 240.0);
    EXPECT_LT(seconds, 300.0);
    remove((folder + "/show.y4m").c_str());
}

TEST(Show, CapturesOfOneBuildAreIdentical)
{
    std::string a = showFolder("capture-a"), b = showFolder("capture-b");
    const char* args = "-capture part.y4m -fps 12 -start 17 -end 18";
    ASSERT_EQ(runShow(a, args).status, 0);
    ASSERT_EQ(runShow(b, args).status, 0);
    std::string videoA = readWholeFile(a + "/part.y4m"), videoB = readWholeFile(b + "/part.y4m");
    ASSERT_GT(videoA.size(), 1000000u);
    EXPECT_TRUE(videoA == videoB);
    std::string wavA = readWholeFile(a + "/part.y4m.wav");
    EXPECT_GT(wavA.size(), 44100u * 4 * 5);
    EXPECT_TRUE(wavA == readWholeFile(b + "/part.y4m.wav"));
    EXPECT_EQ(videoA.compare(0, 10, "YUV4MPEG2 "), 0);
}

TEST(Show, WithoutSoundTheLiveShowKeepsTheMusicsTempoAndEnds)
{
    std::string folder = showFolder("silent");
    // No audio driver that works: the music runs on the clock, the last order
    // plays out and the show fades and quits by itself.
    ShowRun r = runShow(folder, "-windowed -start 38 -trace trace.txt",
                    "SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=nosuchdriver timeout 60");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("Sound:"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("Error:"), std::string::npos) << r.err;
    EXPECT_EQ(lines(readWholeFile(folder + "/trace.txt")).size(), 11u);
}

TEST(Show, BadSwitchValuesAreRefusedBeforeAnythingStarts)
{
    std::string folder = showFolder("switches");
    ShowRun r = runShow(folder, "-start x");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("-start needs a number"), std::string::npos);
    r = runShow(folder, "-fps 0 -capture a.y4m");
    EXPECT_EQ(r.status, 2);
    r = runShow(folder, "-capture");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("-capture needs a file name"), std::string::npos);
    r = runShow(folder, "-capture a.y4m -start 200", "");
    EXPECT_EQ(r.status, 3);
    EXPECT_NE(r.err.find("The music has no order 200"), std::string::npos);
}
} // namespace
