#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <string>
#include <vector>

#include <png.h>

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

// The whole show, captured once at five frames a second through a pipe (1.6 GB
// of frames that never reach the disk) with the trace of its hand-overs; the
// checks below share it and keep only a few facts of every frame.
const int kWholeFps = 5;

// A frame is flat when it is one colour but for specks: with the 0.1 % of
// pixels furthest out at either end left aside, no channel spans more than
// two steps. One cell of the opening's circles on black is a picture.
bool flatFrame(const uint8_t* bgra)
{
    const int pixels = 640 * 480, specks = pixels / 1000;
    int histogram[3][256] = {};
    for (int i = 0; i < pixels; i++)
        for (int c = 0; c < 3; c++)
            histogram[c][bgra[4 * i + c]]++;
    for (auto& h : histogram) {
        int low = 0, high = 255;
        for (int seen = 0; (seen += h[low]) <= specks;)
            low++;
        for (int seen = 0; (seen += h[high]) <= specks;)
            high--;
        if (high - low > 2)
            return false;
    }
    return true;
}

struct WholeShow {
    PipedShow run;
    std::vector<std::string> trace;
    std::vector<bool> flat;
    bool lastBlack = false;
    double musicSeconds = 0;
};

const WholeShow& wholeShow()
{
    static const WholeShow show = [] {
        WholeShow s;
        std::string folder = showFolder("whole");
        s.run = captureThroughPipe(folder, "-fps " + std::to_string(kWholeFps) + " -trace trace.txt", "",
                                   [&](int, const uint8_t* pixels) {
                                       s.flat.push_back(flatFrame(pixels));
                                       s.lastBlack = true;
                                       for (int i = 0; i < 640 * 480 * 4 && s.lastBlack; i += 4)
                                           s.lastBlack = !(pixels[i] | pixels[i + 1] | pixels[i + 2]);
                                   });
        s.trace = lines(readWholeFile(folder + "/trace.txt"));
        s.musicSeconds = (readWholeFile(folder + "/show.rgb.wav").size() - 44.0) / (44100.0 * 4);
        return s;
    }();
    return show;
}

TEST(WholeShow, EndsByItselfWithStatusZeroOnABlackFrame)
{
    const WholeShow& s = wholeShow();
    EXPECT_EQ(s.run.status, 0) << s.run.err;
    EXPECT_EQ(s.run.err.find("Error:"), std::string::npos) << s.run.err;
    EXPECT_TRUE(s.lastBlack) << "the last frame is black";
    // A show that lasts between four and five minutes, the picture and the
    // music alike.
    EXPECT_GT(s.musicSeconds, 240.0);
    EXPECT_LT(s.musicSeconds, 300.0);
    EXPECT_NEAR(s.run.frames, s.musicSeconds * kWholeFps, 2.0);
}

TEST(WholeShow, HandsOverAtTheChainOrdersInTurn)
{
    const std::vector<std::string>& trace = wholeShow().trace;
    const char* timers[] = {"Part1Frame", "Part2Frame", "Part3Frame", "GreetFrame", "Credits1Frame", "Credits2Frame",
                            "FlareFrame", "RotoFrame", "CirclesFrame", "FallFrame", "Part10Frame"};
    const int orders[] = {10, 13, 17, 22, 24, 26, 27, 30, 32, 34, 36};
    ASSERT_EQ(trace.size(), 11u);
    for (int i = 0; i < 11; i++) {
        char name[32];
        int order = -1, row = -1;
        ASSERT_EQ(sscanf(trace[i].c_str(), "%31s %d %d", name, &order, &row), 3) << trace[i];
        EXPECT_STREQ(name, timers[i]);
        EXPECT_EQ(order, orders[i]) << trace[i];
        if (i == 6) {
            // The flare scene hands over once its cross-fade from row 41 is
            // full, thirteen frames of 35 ms later.
            EXPECT_GE(row, 44) << trace[i];
            EXPECT_LE(row, 48) << trace[i];
        } else {
            EXPECT_LE(row, 1) << trace[i]; // within a row of the order's start
        }
    }
}

// Every part shows a picture all through its orders. The only flat stretches
// longer than a second are where the show is black by design: order 0; the
// closing words darkening from 35/51 and the end scroller rising from black
// (eleven frames of 35 ms each) at 36/00; the last fade. The music keeps 64
// rows of 15/132 s to an order.
TEST(WholeShow, NoPartLeavesTheScreenFlatForMoreThanASecond)
{
    const std::vector<bool>& flat = wholeShow().flat;
    ASSERT_GT(flat.size(), 1000u);
    auto at = [](int order, int row) { return (order * 64 + row) * 15 / 132.0; };
    const double step = 1.0 / kWholeFps, rise = 11 * 0.035;
    const double meant[][2] = {{0, at(1, 0)}, {at(35, 51), at(36, 0) + rise}, {at(38, 41), 1e9}};
    const int n = (int)flat.size();
    std::string stretches;
    for (int first = 0, end = 0; first < n; first = end + 1) {
        for (end = first; end < n && flat[end];)
            end++;
        const double from = first * step, to = end * step;
        bool isMeant = false;
        for (const auto& m : meant)
            isMeant |= from >= m[0] - step && to <= m[1] + step;
        if (to - from > 1.0 && !isMeant)
            stretches += " " + std::to_string(from) + " s to " + std::to_string(to) + " s;";
    }
    EXPECT_EQ(stretches, "") << "flat frames from";
}

// The storyboard of orders 17 to 19 against a lossless capture of the same
// orders: thumbnail k is the frame at 2k seconds shrunk to the means of 5 x 5
// pixels, eight to a row, each over a label in two inks; libpng reads it.
TEST(Show, StoryboardShowsEveryTwoSecondsShrunkAndLabelled)
{
    std::string folder = showFolder("storyboard");
    ShowRun r = runShow(folder, "-capture board.png -start 17 -end 20");
    ASSERT_EQ(r.status, 0) << r.err;
    // Orders 17 to 19 last 3 x 64 rows of 15/132 s: 21.8 s.
    const int count = 11;
    EXPECT_NE(r.err.find("capture: wrote board.png (11 pictures, one every 2 s)"), std::string::npos) << r.err;
    EXPECT_EQ(access((folder + "/board.png.wav").c_str(), F_OK), -1) << "a storyboard has no music file";
    const int tw = 128, th = 96, margin = 12, cellW = tw + 8, cellH = th + 24 + 8;
    std::vector<std::vector<uint8_t>> thumbs; // RGB
    PipedShow frames = captureThroughPipe(folder, "-fps 1 -start 17 -end 20", "", [&](int k, const uint8_t* bgra) {
        if (k % 2 || k / 2 >= count) // the last frame closes the capture after the show's end
            return;
        std::vector<uint8_t> t;
        for (int y = 0; y < th; y++)
            for (int x = 0; x < tw; x++)
                for (int c = 2; c >= 0; c--) {
                    int sum = 0;
                    for (int dy = 0; dy < 5; dy++)
                        for (int dx = 0; dx < 5; dx++)
                            sum += bgra[((y * 5 + dy) * 640 + x * 5 + dx) * 4 + c];
                    t.push_back((uint8_t)((sum + 12) / 25));
                }
        thumbs.push_back(t);
    });
    ASSERT_EQ(frames.status, 0) << frames.err;
    ASSERT_EQ((int)thumbs.size(), count);

    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&image, (folder + "/board.png").c_str())) << image.message;
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> board(PNG_IMAGE_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, board.data(), 0, nullptr)) << image.message;
    ASSERT_EQ(image.width, 2u * margin + 8 * cellW - 8);
    ASSERT_EQ(image.height, 2u * margin + 2 * cellH - 8);
    auto pixel = [&](int x, int y) { return &board[((size_t)y * image.width + x) * 3]; };
    std::vector<std::string> labels;
    for (int k = 0; k < count; k++) {
        const int left = margin + k % 8 * cellW, top = margin + k / 8 * cellH;
        int differing = 0;
        for (int y = 0; y < th; y++)
            differing += memcmp(pixel(left, top + y), &thumbs[k][(size_t)y * tw * 3], tw * 3) != 0;
        EXPECT_EQ(differing, 0) << "rows of thumbnail " << k << " differ from its frame";
        // The time in light grey on the left, order/row in orange on the
        // right, different under every thumbnail.
        std::string label;
        int timeInk = 0, musicInk = 0;
        for (int y = top + th; y < top + th + 24; y++)
            for (int x = left; x < left + tw; x++) {
                const uint8_t* p = pixel(x, y);
                timeInk += p[0] == 0xE8 && p[1] == 0xEC && p[2] == 0xF0 && x < left + tw / 2;
                musicInk += p[0] == 0xF5 && p[1] == 0xBF && p[2] == 0x7F && x >= left + tw / 2;
                label += (char)p[0];
            }
        EXPECT_GT(timeInk, 100) << k;
        EXPECT_GT(musicInk, 100) << k;
        labels.push_back(label);
    }
    std::sort(labels.begin(), labels.end());
    EXPECT_EQ(std::unique(labels.begin(), labels.end()), labels.end()) << "two labels alike";
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
    for (const char* args : {"-start x", "-fps 0 -capture a.y4m", "-fps abc", "-capture", "-capture a.y4m -start 99",
                             "-windowed 639x480", "-windowed 640x479", "-windowed 1280x96o", "-windowed 1280*960",
                             "-windowed x960", "-windowed 1280x", "-windowed 16385x960", "-windowed 99999999999x960",
                             "-windowed big -slow"}) {
        ShowRun r = runShow(folder, args);
        EXPECT_EQ(r.status, 64) << args;
        EXPECT_NE(r.err.find("usage: quietharbor"), std::string::npos) << args << ": " << r.err;
    }
    EXPECT_NE(runShow(folder, "-capture").err.find("-capture needs a file name"), std::string::npos);
    EXPECT_NE(runShow(folder, "-fps 0").err.find("-fps needs a number from 1 to 65535"), std::string::npos);
    EXPECT_NE(runShow(folder, "-WINDOWED 320x200").err.find("-WINDOWED needs a size WxH from 640x480 to 16384x16384, or none"),
              std::string::npos);
    EXPECT_NE(runShow(folder, "-capture a.y4m -start 99").err.find("The music has no order 99"), std::string::npos);
    EXPECT_EQ(readWholeFile(folder + "/a.y4m"), "") << "a refused start leaves no capture behind";
}

// A disk that fills, a folder that cannot hold files, an encoder that is
// missing or fails: each ends with an error naming the file, never success.
TEST(Show, FailedCapturesEndWithAnErrorAndWriteNothing)
{
    std::string folder = showFolder("failing");
    ASSERT_EQ(symlink("/dev/full", (folder + "/full.rgb").c_str()), 0);
    ASSERT_EQ(symlink("/dev/full", (folder + "/full.png").c_str()), 0);
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
        {"-capture full.png", "", "Error: cannot write full.png: No space left on device"},
        {"-capture file/board.png", "", "Error: cannot write file/board.png: Not a directory"},
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
