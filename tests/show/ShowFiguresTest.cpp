// What the program tells about itself: the YUV frames of a capture against
// the lossless ones, a capture that keeps nothing, and a live run's figures
// and hand-over positions.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "tests/common/ShowRun.h"
#include "tests/show/YuvReference.h"

namespace {

// At 60 frames a second about every other frame repeats the last present:
// each must still be the lossless frame of its time, converted.
TEST(ShowFigures, Y4mFramesAreTheLosslessFramesConvertedAndDevNullKeepsNothing)
{
    std::string folder = showFolder("yuv");
    const std::string window = " -fps 60 -start 17 -end 18";
    const int w = 640, h = 480;
    // The y4m file is a link to the program's stdout, read frame by frame
    // beside the lossless capture's pipe.
    ASSERT_EQ(symlink("/dev/stdout", (folder + "/part.y4m").c_str()), 0);
    FILE* y4m = popen(("cd '" + folder + "' && '" QH_PROGRAM "' -capture part.y4m" + window + " 2>/dev/null").c_str(), "r");
    ASSERT_TRUE(y4m);
    char header[128];
    ASSERT_TRUE(fgets(header, sizeof header, y4m));
    std::string mark(6, '\0'), yuv((size_t)w * h * 3 / 2, '\0');
    auto read = [&](std::string& into) { return fread(&into[0], 1, into.size(), y4m) == into.size(); };
    int differing = 0;
    PipedShow rgb = captureThroughPipe(folder, window, "", [&](int k, const uint8_t* pixels) {
        ASSERT_TRUE(read(mark) && read(yuv)) << "frame " << k;
        ASSERT_EQ(mark, "FRAME\n");
        differing += yuv != yuvOf(pixels, w, h);
    });
    EXPECT_EQ(rgb.status, 0) << rgb.err;
    EXPECT_FALSE(read(mark)) << "the y4m file holds more frames";
    EXPECT_EQ(pclose(y4m), 0);
    const int frames = rgb.frames;
    EXPECT_GT(frames, 300);
    EXPECT_EQ(differing, 0);

    // /dev/null: every frame converted and the music rendered, no file made.
    for (const char* made : {"show.rgb", "part.y4m", "show.rgb.wav", "part.y4m.wav", "stderr.txt"})
        remove((folder + "/" + made).c_str());
    ShowRun r = runShow(folder, "-capture /dev/null" + window);
    ASSERT_EQ(r.status, 0) << r.err;
    std::string said = "capture: discarded " + std::to_string(frames) + " frames and ";
    EXPECT_NE(r.err.find(said), std::string::npos) << r.err;
    EXPECT_EQ(system(("test \"$(ls '" + folder + "' | tr '\\n' ' ')\" = 'demo.pak stderr.txt textures '").c_str()), 0);
}

// A few seconds live on the dummy drivers: the figures at the end, and at
// every hand-over the music the show read against what the device had taken.
TEST(ShowFigures, ALiveRunSaysItsFiguresAndTheHandOversKeepToTheSound)
{
    std::string folder = showFolder("live-figures");
    ShowRun r = runShow(folder, "-windowed -figures -start 17 -end 18 -trace trace.txt",
                        "SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy timeout 60");
    ASSERT_EQ(r.status, 0) << r.err;
    unsigned loading = 0, first = 0, peak = 0, atFirst = 0;
    size_t s = r.err.find("start-up: "), m = r.err.find("peak memory: ");
    ASSERT_NE(s, std::string::npos) << r.err;
    ASSERT_NE(m, std::string::npos) << r.err;
    ASSERT_EQ(sscanf(r.err.c_str() + s, "start-up: loading picture after %u ms, first frame after %u ms\n", &loading,
                     &first), 2) << r.err;
    ASSERT_EQ(sscanf(r.err.c_str() + m, "peak memory: %u MB (%u MB at the first frame)\n", &peak, &atFirst), 2);
    EXPECT_LT(loading, first);
    EXPECT_LT(first, 60000u);
    EXPECT_GT(atFirst, 5u);
    EXPECT_GE(peak, atFirst);

    FILE* f = fopen((folder + "/trace.txt").c_str(), "r");
    ASSERT_TRUE(f);
    char name[32];
    int order, row, lines = 0;
    unsigned read, taken;
    while (fscanf(f, "%31s %d %d %u %u", name, &order, &row, &read, &taken) == 5) {
        lines++;
        // The music starts after the parts' set-up; a position in frames, or
        // a device buffer counted twice, would stand far off.
        EXPECT_GT(read, 0u) << name;
        EXPECT_LE(std::abs((int)taken - (int)read), 50) << name << " read " << read << " taken " << taken;
    }
    fclose(f);
    EXPECT_EQ(lines, 3) << "the opening, fish and lines hand over at once";
}
} // namespace
