#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>
#include <string>
#include <vector>

#include "tests/common/ShowRun.h"

namespace {

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
    const int orders[] = {10, 13, 17, 22, 24, 26, 27, 30, 32, 34, 36};
    ASSERT_EQ(trace.size(), 11u) << readWholeFile(folder + "/trace.txt");
    for (int i = 0; i < 11; i++) {
        char name[32];
        int order = -1, row = -1;
        ASSERT_EQ(sscanf(trace[i].c_str(), "%31s %d %d", name, &order, &row), 3) << trace[i];
        EXPECT_STREQ(name, timers[i]);
        if (i == 6) {
            // The flare scene hands over once its cross-fade from row 41 is
            // full, thirteen frames of 35 ms later.
            EXPECT_EQ(order, orders[i]) << trace[i];
            EXPECT_GE(row, 44) << trace[i];
            EXPECT_LE(row, 48) << trace[i];
            continue;
        }
        EXPECT_EQ(order, orders[i]) << trace[i];
        EXPECT_LE(row, 1) << trace[i]; // within a row of the order's start
    }
    // One frame a second of a show that lasts between four and five minutes.
    std::string wav = readWholeFile(folder + "/show.y4m.wav");
    double seconds = (wav.size() - 44) / (44100.0 * 4);
    EXPECT_GT(seconds, 240.0);
    EXPECT_LT(seconds, 300.0);
}

// The cost lines of the show's last parts against the hand-overs: one line
// per drawn frame, in show order, at least a pacing apart, each part's lines
// within its orders; the falling letters drawn under the closing words count
// in the closing words' frames.
TEST(Show, FrameCostsFollowTheHandOversOneLinePerFrame)
{
    std::string folder = showFolder("costs");
    ShowRun r = runShow(folder, "-capture show.y4m -fps 1 -start 31 -end 37 -trace trace.txt -costs costs.txt");
    ASSERT_EQ(r.status, 0) << r.err;
    struct Line {
        std::string timer;
        unsigned budget, ms, order, row, ns;
    };
    std::vector<Line> costs;
    for (const std::string& text : lines(readWholeFile(folder + "/costs.txt"))) {
        char timer[32];
        Line l;
        if (text[0] == '#')
            continue;
        ASSERT_EQ(sscanf(text.c_str(), "%31s %u %u %u %u %u", timer, &l.budget, &l.ms, &l.order, &l.row, &l.ns), 6)
            << text;
        l.timer = timer;
        costs.push_back(l);
    }
    // Every timer before the circles hands over on its first call and draws nothing.
    std::vector<std::string> trace = lines(readWholeFile(folder + "/trace.txt"));
    ASSERT_EQ(trace.size(), 11u);
    const char* drawn[] = {"CirclesFrame", "FallFrame", "Part10Frame", "EndFrame"};
    const unsigned until[] = {32, 34, 36, 38};
    size_t at = 0;
    for (int part = 0; part < 4; part++) {
        if (part < 3) {
            EXPECT_EQ(trace[8 + part].rfind(drawn[part], 0), 0u) << trace[8 + part];
        }
        size_t first = at;
        for (; at < costs.size() && costs[at].timer == drawn[part]; at++) {
            const Line& l = costs[at];
            EXPECT_LT(l.order, until[part]) << drawn[part] << " at " << l.ms;
            EXPECT_GT(l.ns, 0u);
            if (at > 0) {
                EXPECT_GE(l.ms, costs[at - 1].ms + costs[at - 1].budget) << drawn[part] << " at " << l.ms;
            }
        }
        // An order of about 7.3 s is over a hundred frames of 35 or 50 ms.
        EXPECT_GT(at - first, 100u) << drawn[part];
    }
    EXPECT_EQ(at, costs.size()) << "a line out of show order: " << costs[at].timer << " at " << costs[at].ms;
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

// The ending with the real program: from order 38 the show fades to black,
// falls silent after 38/41 and exits by itself.
TEST(Show, EndingFadesToBlackInSilenceAndExitsZero)
{
    std::string folder = showFolder("ending");
    ShowRun r = runShow(folder, "-start 38 -capture end.y4m -fps 50");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err.find("Error:"), std::string::npos) << r.err;
    // The picture's mean luma (letterbox and captions: "cut here" has
    // darkened the letterbox but for the small logo) of every frame, and
    // the last frame's peak.
    const size_t w = 640, h = 480, frameBytes = w * h * 3 / 2;
    FILE* f = fopen((folder + "/end.y4m").c_str(), "rb");
    ASSERT_TRUE(f);
    char line[128];
    ASSERT_TRUE(fgets(line, sizeof line, f));
    std::vector<unsigned char> frame(frameBytes);
    std::vector<double> mean;
    int lastPeak = -1;
    while (fgets(line, sizeof line, f) && fread(frame.data(), 1, frameBytes, f) == frameBytes) {
        double sum = 0;
        for (size_t i = 115 * w; i < 415 * w; i++)
            sum += frame[i];
        mean.push_back(sum / (300.0 * w));
        lastPeak = *std::max_element(frame.begin(), frame.begin() + w * h);
    }
    fclose(f);
    remove((folder + "/end.y4m").c_str());
    ASSERT_GT(mean.size(), 250u);
    EXPECT_EQ(lastPeak, 0) << "the last frame is black";
    // The last 18 frames of 35 ms (0.63 s, 31 captured frames at 50 a
    // second) darken the letterbox step by step.
    const size_t n = mean.size(), fade = 31;
    for (size_t i = n - fade; i + 1 < n; i++)
        EXPECT_LE(mean[i + 1], mean[i]) << i;
    EXPECT_GT(mean[n - fade - 1], 1.0);
    EXPECT_LT(mean[n - 2], mean[n - fade - 1] / 4);
    // The music: sounding just before 38/41, all zero from a frame after
    // the first closing frame (38/41 at 41 x 15 / 132 s) to the end.
    std::string wav = readWholeFile(folder + "/end.y4m.wav");
    ASSERT_GT(wav.size(), 44u + 44100 * 4 * 5);
    const double closing = 41 * 15 / 132.0;
    const size_t bytesPerSecond = 44100 * 4;
    auto sampleAt = [&](size_t i) { return (int16_t)((uint8_t)wav[i] | (uint8_t)wav[i + 1] << 8); };
    int loudBefore = 0;
    for (size_t i = 44 + ((size_t)((closing - 0.3) * bytesPerSecond) & ~(size_t)3);
         i < 44 + (size_t)((closing - 0.05) * bytesPerSecond); i += 2)
        loudBefore = std::max(loudBefore, std::abs((int)sampleAt(i)));
    EXPECT_GT(loudBefore, 100);
    size_t loudAfter = 0;
    for (size_t i = 44 + ((size_t)((closing + 0.035 + 0.02 + 0.02) * bytesPerSecond) & ~(size_t)3); i + 1 < wav.size(); i += 2)
        loudAfter += sampleAt(i) != 0;
    EXPECT_EQ(loudAfter, 0u);
}

TEST(Show, BadSwitchValuesPrintTheUsageAndExit64)
{
    std::string folder = showFolder("switches");
    for (const char* args : {"-start x", "-fps 0 -capture a.y4m", "-fps abc", "-capture", "-capture a.y4m -start 99"}) {
        ShowRun r = runShow(folder, args);
        EXPECT_EQ(r.status, 64) << args;
        EXPECT_NE(r.err.find("usage: quietharbor"), std::string::npos) << args << ": " << r.err;
    }
    EXPECT_NE(runShow(folder, "-capture").err.find("-capture needs a file name"), std::string::npos);
    EXPECT_NE(runShow(folder, "-fps 0").err.find("-fps needs a number from 1 to 65535"), std::string::npos);
    EXPECT_NE(runShow(folder, "-capture a.y4m -start 99").err.find("The music has no order 99"), std::string::npos);
    EXPECT_EQ(readWholeFile(folder + "/a.y4m"), "") << "a refused start leaves no capture behind";
}

// A disk that fills, a folder that cannot hold files, an encoder that is
// missing or fails: each ends with an error naming the file, never success.
TEST(Show, FailedCapturesEndWithAnErrorAndWriteNothing)
{
    std::string folder = showFolder("failing");
    ASSERT_EQ(symlink("/dev/full", (folder + "/full.rgb").c_str()), 0);
    ASSERT_EQ(symlink("/dev/full", (folder + "/music.y4m.wav").c_str()), 0);
    ASSERT_EQ(symlink("/dev/full", (folder + "/costs.txt").c_str()), 0);
    ASSERT_TRUE(writeFile(folder + "/file", "a file, not a folder"));
    ASSERT_TRUE(writeFile(folder + "/ffmpeg", "#!/bin/sh\ncat > /dev/null; exit 1\n"));
    ASSERT_EQ(chmod((folder + "/ffmpeg").c_str(), 0755), 0);
    struct Case {
        const char* args;
        const char* env;
        const char* error;
    } cases[] = {
        {"-capture full.rgb", "", "Error: cannot write full.rgb: No space left on device"},
        {"-capture music.y4m", "", "Error: cannot write music.y4m.wav: No space left on device"},
        {"-capture file/show.y4m", "", "Error: cannot write file/show.y4m.wav: Not a directory"},
        {"-capture show.y4m -trace file/trace.txt", "", "Error: cannot write file/trace.txt: Not a directory"},
        {"-capture show.y4m -costs file/costs.txt", "", "Error: cannot write file/costs.txt: Not a directory"},
        {"-capture show.y4m -costs costs.txt", "", "Error: cannot write costs.txt: No space left on device"},
        {"-capture show.mp4", "PATH=/nonexistent", "Error: ffmpeg not found: capture to .y4m or .rgb, or install ffmpeg"},
        {"-capture show.mp4", "PATH=.:$PATH", "Error: ffmpeg could not write show.mp4 (exit status 1)"},
    };
    for (const Case& c : cases) {
        ShowRun r = runShow(folder, std::string(c.args) + " -start 38", c.env);
        EXPECT_EQ(r.status, 3) << c.args;
        EXPECT_NE(r.err.find(c.error), std::string::npos) << c.args << ": " << r.err;
        EXPECT_EQ(r.err.find("capture: wrote"), std::string::npos) << c.args << ": " << r.err;
    }
    for (const char* left : {"show.y4m", "show.y4m.wav", "show.mp4", "show.mp4.wav", "show.mp4.video.mkv"})
        EXPECT_EQ(access((folder + "/" + left).c_str(), F_OK), -1) << left << " is left behind";
}
} // namespace
