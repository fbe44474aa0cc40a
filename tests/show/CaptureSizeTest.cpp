// Captures sized for video: the frames of -size against the lossless frames
// enlarged and converted as one picture, the encoded file's colours against
// the lossless frames, and the sizes and outputs -size refuses.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

#include "tests/common/ShowRun.h"
#include "tests/show/YuvReference.h"

namespace {

const int kW = 640, kH = 480;
const char* const kWindow = " -fps 5 -start 17 -end 18";

// The picture enlarged k times, nearest pixel, at (left, top) of a black
// frame of w x h, as B, G, R, 255.
std::vector<uint8_t> enlarged(const uint8_t* bgra, int w, int h, int k, int left, int top)
{
    std::vector<uint8_t> out((size_t)w * h * 4, 0);
    for (int y = 0; y < kH * k; y++)
        for (int x = 0; x < kW * k; x++)
            std::copy_n(bgra + ((size_t)(y / k) * kW + x / k) * 4, 4, &out[((size_t)(top + y) * w + left + x) * 4]);
    return out;
}


// The largest whole factor that fits, the corner on even rows and columns.
struct Place {
    int k, left, top;
};
Place placeIn(int w, int h)
{
    int k = std::min(w / kW, h / kH);
    return {k, (w - kW * k) / 2 & ~1, (h - kH * k) / 2 & ~1};
}

std::vector<std::vector<uint8_t>> g_lossless; // the window's frames, captured once

const std::vector<std::vector<uint8_t>>& lossless()
{
    if (g_lossless.empty()) {
        std::string folder = showFolder("lossless");
        PipedShow rgb = captureThroughPipe(folder, kWindow, "", [&](int, const uint8_t* pixels) {
            g_lossless.emplace_back(pixels, pixels + (size_t)kW * kH * 4);
        });
        EXPECT_EQ(rgb.status, 0) << rgb.err;
    }
    return g_lossless;
}

// Each size's factor: 1 beside black bars, 2 (every chroma block inside one
// pixel), 3 (blocks across pixels) with a margin rounded to even, 4 (a pixel
// two chroma samples wide and high) filling the frame.
TEST(CaptureSize, SizedFramesAreTheLosslessFramesEnlargedThenConverted)
{
    const auto& frames = lossless();
    ASSERT_GT(frames.size(), 30u);
    std::string folder = showFolder("sized");
    ASSERT_EQ(symlink("/dev/stdout", (folder + "/sized.y4m").c_str()), 0);
    for (auto [w, h] : {std::pair{1280, 720}, {1920, 1080}, {1922, 1444}, {2560, 1920}}) {
        const std::string size = std::to_string(w) + "x" + std::to_string(h);
        FILE* y4m = popen(("cd '" + folder + "' && '" QH_PROGRAM "' -capture sized.y4m -size " + size + kWindow +
                           " 2>/dev/null")
                              .c_str(),
                          "r");
        ASSERT_TRUE(y4m);
        char header[128];
        ASSERT_TRUE(fgets(header, sizeof header, y4m));
        EXPECT_EQ(std::string(header), "YUV4MPEG2 W" + std::to_string(w) + " H" + std::to_string(h) +
                                           " F5:1 Ip A1:1 C420jpeg\n");
        std::string mark(6, '\0'), yuv((size_t)w * h * 3 / 2, '\0');
        auto read = [&](std::string& into) { return fread(&into[0], 1, into.size(), y4m) == into.size(); };
        const Place p = placeIn(w, h);
        int differing = 0, read_ = 0;
        for (const auto& frame : frames) {
            if (!read(mark) || !read(yuv))
                break;
            read_++;
            EXPECT_EQ(mark, "FRAME\n");
            differing += yuv != yuvOf(enlarged(frame.data(), w, h, p.k, p.left, p.top).data(), w, h);
        }
        EXPECT_FALSE(read(mark)) << size << ": more frames than the lossless capture";
        EXPECT_EQ(pclose(y4m), 0) << size;
        EXPECT_EQ(read_, (int)frames.size()) << size;
        EXPECT_EQ(differing, 0) << size;
    }
}

// The encoded file says what its frames are, and decoded by ffmpeg (which
// reads those tags) it shows the lossless frames within the encoder's loss.
TEST(CaptureSize, EncodedColoursAreTheLosslessColours)
{
    if (system("command -v ffmpeg >/dev/null && command -v ffprobe >/dev/null") != 0)
        GTEST_SKIP() << "ffmpeg is not installed";
    const auto& frames = lossless();
    std::string folder = showFolder("encoded");
    const int w = 1920, h = 1080;
    ShowRun r = runShow(folder, std::string("-capture show.mp4 -size 1920x1080") + kWindow);
    ASSERT_EQ(r.status, 0) << r.err;
    const CommandRun probe = runCommand("ffprobe -v error -select_streams v:0 -show_entries "
                                        "stream=codec_name,width,height,pix_fmt,color_range,color_space,"
                                        "color_primaries,color_transfer,chroma_location,nb_frames -of default=nw=1 '" +
                                        folder + "/show.mp4'");
    ASSERT_NE(probe.status, -1);
    std::string said = probe.out;
    // Older ffprobes name 4:2:0 in full range yuvj420p.
    size_t j = said.find("pix_fmt=yuvj420p");
    if (j != std::string::npos)
        said.erase(j + 11, 1);
    EXPECT_EQ(said, "codec_name=h264\nwidth=1920\nheight=1080\npix_fmt=yuv420p\ncolor_range=pc\n"
                    "color_space=smpte170m\ncolor_transfer=bt709\ncolor_primaries=bt709\nchroma_location=center\n"
                    "nb_frames=" + std::to_string(frames.size()) + "\n");

    FILE* decoded = popen(("ffmpeg -v error -i '" + folder + "/show.mp4' -f rawvideo -pix_fmt bgra -").c_str(), "r");
    ASSERT_TRUE(decoded);
    const Place p = placeIn(w, h);
    std::vector<uint8_t> got((size_t)w * h * 4);
    double error = 0, squared = 0, border = 0;
    size_t count = 0, n = 0;
    for (const auto& frame : frames) {
        if (fread(got.data(), 1, got.size(), decoded) != got.size())
            break;
        n++;
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++) {
                const uint8_t* seen = &got[((size_t)y * w + x) * 4];
                int px = x - p.left, py = y - p.top;
                bool inside = px >= 0 && py >= 0 && px < kW * p.k && py < kH * p.k;
                for (int c = 0; c < 3; c++) {
                    if (!inside) {
                        border = std::max(border, (double)seen[c]);
                        continue;
                    }
                    double d = (double)seen[c] - frame[((size_t)(py / p.k) * kW + px / p.k) * 4 + c];
                    error += std::fabs(d);
                    squared += d * d;
                    count++;
                }
            }
    }
    pclose(decoded);
    ASSERT_EQ(n, frames.size());
    const double mean = error / (double)count, psnr = 10 * std::log10(255.0 * 255.0 / (squared / (double)count));
    printf("decoded against lossless: mean %.3f levels, PSNR %.2f dB, border at most %g\n", mean, psnr, border);
    EXPECT_LT(mean, 2.0);
    EXPECT_GT(psnr, 38.0);
    EXPECT_LE(border, 6.0) << "the bars stay black";
}

TEST(CaptureSize, BadSizesAndOutputsPrintTheUsageAndExit64)
{
    std::string folder = showFolder("bad-sizes");
    for (const char* args :
         {"-capture a.y4m -size 638x480", "-capture a.y4m -size 640x478", "-capture a.y4m -size 1921x1080",
          "-capture a.y4m -size 1920x1081", "-capture a.y4m -size 7682x4320", "-capture a.y4m -size 7680x4322",
          "-capture a.y4m -size 1920*1080", "-capture a.y4m -size 1920x", "-capture a.y4m -size x1080",
          "-capture a.y4m -size 1920x1080x", "-capture a.y4m -size 99999999999x1080", "-capture a.y4m -size",
          "-capture a.png -size 1920x1080", "-size 1920x1080 -capture a.rgb", "-size 1920x1080 -capture A.PNG",
          "-size 1920x1080"}) {
        ShowRun r = runShow(folder, args);
        EXPECT_EQ(r.status, 64) << args;
        EXPECT_NE(r.err.find("usage: quietharbor"), std::string::npos) << args << ": " << r.err;
    }
    EXPECT_NE(runShow(folder, "-capture a.y4m -size 1921x1080").err.find(
                  "-size needs an even size WxH from 640x480 to 7680x4320"),
              std::string::npos);
    EXPECT_NE(runShow(folder, "-capture a.rgb -size 1920x1080").err.find("-size needs a -capture to .y4m, .mp4 or .mkv"),
              std::string::npos);
    for (const char* left : {"a.y4m", "a.png", "a.rgb", "A.PNG", "a.y4m.wav", "a.rgb.wav"})
        EXPECT_EQ(access((folder + "/" + left).c_str(), F_OK), -1) << left << " is left behind";
}
} // namespace
