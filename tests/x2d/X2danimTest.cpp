// Strip animations and .xvd frame animations.
#include <gtest/gtest.h>

#include <cstring>

#include "X2d/X2d.h"
#include "X2d/X2danim.h"
#include "X2d/X2dspr.h"
#include "X2dTestFiles.h"
#include "files/xFileIO.h"
#include "platform/Plat.h"
#include "system/Xerror.h"

using namespace x2dtest;

namespace {

uint32_t g_now = 1000;
uint32_t fakeTicks() { return g_now; }
uint32_t fakeSeconds() { return 0; }

struct FakeClock {
    FakeClock(uint32_t start) { g_now = start; platSetClock(fakeTicks, fakeSeconds); }
    ~FakeClock() { platSetClock(nullptr, nullptr); }
    void advance(uint32_t ms) { g_now += ms; }
};

xFileIO& disk()
{
    static xFileIO files(0);
    return files;
}

// Row y of a strip has green y, so a frame's first row tells where it starts.
std::string stripFile(int w, int h)
{
    return put("strip" + std::to_string(w) + "x" + std::to_string(h) + ".tga",
               tga24(w, h, [](int x, int y) { return (uint32_t)(y & 255) << 8 | (uint32_t)(y >> 8) << 16 | (uint32_t)x; }));
}

xFile fileOf(const Bytes& bytes, const char* name)
{
    xFile f;
    f.name = (char*)name;
    f.size = (int32_t)bytes.size();
    f.data = (uint8_t*)malloc(bytes.size() ? bytes.size() : 1);
    memcpy(f.data, bytes.data(), bytes.size());
    return f;
}

} // namespace

TEST(X2dAnim, StripFramesAreViewsIntoTheStrip)
{
    x2dInit(640, 280);
    FakeClock clock(5000);
    std::string path = stripFile(64, 640);
    x2dAnim anim;
    anim.Load(path.c_str(), 10, 40, &disk());
    ASSERT_NE(anim.frame, nullptr);
    EXPECT_EQ(anim.frames, 10);
    EXPECT_EQ(anim.frame->sizeX, 64);
    EXPECT_EQ(anim.frame->sizeY, 64);
    EXPECT_EQ(anim.frame->pitch, 256);
    EXPECT_EQ(anim.frame->skip, 576);
    EXPECT_EQ(anim.frame->ownsMemory, 0);
    EXPECT_EQ(anim.frameTable[3], anim.strip->pixels + 192 * 64);
    EXPECT_EQ((anim.frameTable[3][0] >> 8) & 255, 192u);
    EXPECT_EQ(anim.frame->pixels, anim.frameTable[0]);
    EXPECT_EQ(anim.lastTick, 5000);
    EXPECT_EQ(anim.current, 0);

    // A height that is not a multiple of the count leaves the last rows out.
    std::string odd = stripFile(10, 25);
    x2dAnim b;
    b.Load(odd.c_str(), 4, 0, &disk());
    EXPECT_EQ(b.frame->sizeY, 6);
    EXPECT_EQ(b.frameTable[3], b.strip->pixels + 18 * 10);
    // A second load replaces the first.
    b.Load(path.c_str(), 2, 0, &disk());
    EXPECT_EQ(b.frame->sizeY, 320);
}

TEST(X2dAnim, UpdatesAdvanceOneFrameAndFlagTheWrap)
{
    x2dInit(640, 280);
    FakeClock clock(100);
    std::string path = stripFile(8, 40);
    x2dAnim anim;
    anim.Load(path.c_str(), 4, 40, &disk());
    clock.advance(39);
    anim.Update();
    EXPECT_EQ(anim.current, 0) << "not yet due";
    // Updates every 100 ms still advance one frame each.
    int seen[8];
    bool wrapped[8];
    for (int i = 0; i < 8; i++) {
        clock.advance(100);
        anim.Update();
        seen[i] = anim.current;
        wrapped[i] = anim.wrapped;
        EXPECT_EQ(anim.frame->pixels, anim.frameTable[anim.current]);
    }
    const int expected[8] = {1, 2, 3, 0, 1, 2, 3, 0};
    for (int i = 0; i < 8; i++) {
        EXPECT_EQ(seen[i], expected[i]) << i;
        EXPECT_EQ(wrapped[i], expected[i] == 0) << i;
    }
    // The update after the wrap clears the flag even when not due.
    anim.Update();
    EXPECT_EQ(anim.wrapped, 0);
    // The tick clock wraps around 2^32 without stalling the animation.
    g_now = 0xfffffff0u;
    anim.Restart();
    EXPECT_EQ(anim.current, 0);
    clock.advance(0x30);
    anim.Update();
    EXPECT_EQ(anim.current, 1);
}

TEST(X2dAnim, LoadWithNoFramesLeavesTheAnimationAlone)
{
    x2dInit(640, 280);
    std::string path = stripFile(8, 40);
    x2dAnim anim;
    anim.Load(path.c_str(), 0, 40, &disk());
    EXPECT_EQ(anim.frame, nullptr);
    EXPECT_EQ(anim.frames, 0);
    anim.Load(path.c_str(), 2, 40, &disk());
    x2dSprite* view = anim.frame;
    anim.Load(path.c_str(), 0, 99, &disk());
    EXPECT_EQ(anim.frame, view);
    EXPECT_EQ(anim.delay, 40);
    // Releasing twice is harmless.
    anim.Release();
    anim.Release();
    EXPECT_EQ(anim.strip, nullptr);
    EXPECT_EQ(anim.frameTable, nullptr);
}

TEST(X2dAnim, AlphaChannelReachesEveryFrame)
{
    x2dInit(640, 280);
    std::string path = stripFile(4, 8);
    std::string alpha = put("strip_alpha.tga", tga8(4, 8, [](int, int y) { return y * 10; }));
    x2dAnim anim;
    anim.Load(path.c_str(), 2, 0, &disk());
    anim.LoadAlphaChannel(alpha.c_str(), &disk());
    EXPECT_EQ(anim.frameTable[1][0] >> 24, 40u);
    x2dAnim empty;
    EXPECT_EXIT(empty.LoadAlphaChannel(alpha.c_str(), &disk()), ::testing::ExitedWithCode(3), "Assertion failed");
}

TEST(X2dVideo, FramesDecodeIntoTheCallersBuffer)
{
    FakeClock clock(0);
    Bytes xvd = xvdHeader(16, 8, 3);
    addFrame(xvd, flatJpeg(16, 8, 250, 0, 0));
    addFrame(xvd, flatJpeg(16, 8, 0, 250, 0));
    addFrame(xvd, flatJpeg(16, 8, 0, 0, 250));
    xFile f = fileOf(xvd, "three.xvd");
    xVideo video;
    std::string logName = scratchFile("video.log");
    g_xLog.Open(logName.c_str());
    video.load(&f, 0);
    fclose(g_xLog.file);
    g_xLog.file = nullptr;
    free(g_xLog.name);
    g_xLog.name = nullptr;
    FILE* log = fopen(logName.c_str(), "r");
    char line[200] = {};
    ASSERT_TRUE(log && fgets(line, sizeof line, log));
    fclose(log);
    EXPECT_STREQ(line, "XLOG: xVideo::loaded -> three.xvd : sizeX = 16 sizeY = 8 Frames = 3\n");
    free(f.data); // the animation keeps its own copy
    EXPECT_EQ(video.sizeX, 16);
    EXPECT_EQ(video.sizeY, 8);
    EXPECT_EQ(video.frames, 3);
    EXPECT_EQ(video.frameSize[0] + video.frameSize[1] + video.frameSize[2] + 12, xvd.size() - 16);
    std::vector<uint32_t> buffer(16 * 8 + 8, 0xdeadbeef);
    const uint32_t dominant[3] = {16, 8, 0};
    for (int k = 0; k < 4; k++) {
        video.drawFrame(buffer.data());
        for (int i = 0; i < 16 * 8; i++) {
            uint32_t c = buffer[i];
            int main = (c >> dominant[k % 3]) & 255;
            ASSERT_GE(main, 240) << "frame " << k << " pixel " << i << std::hex << " " << c;
            ASSERT_LE((c & 0xffffff) - ((uint32_t)main << dominant[k % 3]), 0x0a0a0au);
        }
        for (int i = 16 * 8; i < 16 * 8 + 8; i++)
            ASSERT_EQ(buffer[i], 0xdeadbeefu);
        video.update(); // delay 0: every call advances
    }
    EXPECT_EQ(video.current, 1);
}

TEST(X2dVideo, OneFrameAndDelay)
{
    FakeClock clock(1000);
    Bytes xvd = xvdHeader(8, 8, 1);
    addFrame(xvd, flatJpeg(8, 8, 1, 2, 3));
    xFile f = fileOf(xvd, "one.xvd");
    xVideo video;
    video.lastTick = 1000;
    video.load(&f, 40);
    free(f.data);
    for (int i = 0; i < 5; i++) {
        clock.advance(100);
        video.update();
        EXPECT_EQ(video.current, 0);
    }
    Bytes two = xvdHeader(8, 8, 2);
    addFrame(two, flatJpeg(8, 8, 1, 2, 3));
    addFrame(two, flatJpeg(8, 8, 1, 2, 3));
    xFile g = fileOf(two, "two.xvd");
    xVideo v2;
    v2.load(&g, 40);
    free(g.data);
    v2.lastTick = (int32_t)g_now;
    clock.advance(39);
    v2.update();
    EXPECT_EQ(v2.current, 0);
    clock.advance(1);
    v2.update();
    EXPECT_EQ(v2.current, 1);
    clock.advance(1000); // one frame per call however late
    v2.update();
    EXPECT_EQ(v2.current, 0);
}

TEST(X2dVideoDeath, BrokenFilesAreRefused)
{
    auto loadOf = [](const Bytes& bytes) {
        xFile f = fileOf(bytes, "bad.xvd");
        xVideo v;
        v.load(&f, 0);
    };
    Bytes magic = xvdHeader(8, 8, 1);
    magic[3] = 1;
    addFrame(magic, flatJpeg(8, 8, 1, 2, 3));
    EXPECT_EXIT(loadOf(magic), ::testing::ExitedWithCode(3), "xVideo::load\\(\\) -> unsupported format bad.xvd");

    Bytes shortFile = {'X', 'V', 'D', 0, 8, 0, 0, 0, 8, 0, 0, 0};
    EXPECT_EXIT(loadOf(shortFile), ::testing::ExitedWithCode(3), "Error:  xVideo::load\\(\\) -> wrong filesize bad.xvd");

    EXPECT_EXIT(loadOf(xvdHeader(8, 8, 0)), ::testing::ExitedWithCode(3), "xVideo::prepareFrames\\(\\) -> no frames");

    // A frame length past the end of the data.
    Bytes longFrame = xvdHeader(8, 8, 1);
    Bytes jpeg = flatJpeg(8, 8, 1, 2, 3);
    le32(longFrame, (uint32_t)jpeg.size() + 1);
    longFrame.insert(longFrame.end(), jpeg.begin(), jpeg.end());
    EXPECT_EXIT(loadOf(longFrame), ::testing::ExitedWithCode(3), " xVideo::load\\(\\) -> wrong filesize bad.xvd");

    // More frames than the data holds, a huge count, a negative length.
    Bytes many = xvdHeader(8, 8, 2);
    addFrame(many, jpeg);
    EXPECT_EXIT(loadOf(many), ::testing::ExitedWithCode(3), "wrong filesize");
    Bytes huge = xvdHeader(8, 8, 0x7fffffff);
    addFrame(huge, jpeg);
    EXPECT_EXIT(loadOf(huge), ::testing::ExitedWithCode(3), "wrong filesize");
    Bytes negative = xvdHeader(8, 8, 1);
    le32(negative, 0xfffffff0u);
    negative.insert(negative.end(), 64, 0);
    EXPECT_EXIT(loadOf(negative), ::testing::ExitedWithCode(3), "wrong filesize");

    // Frame sizes no buffer can have.
    Bytes empty = xvdHeader(0, 8, 1);
    addFrame(empty, jpeg);
    EXPECT_EXIT(loadOf(empty), ::testing::ExitedWithCode(3), "unsupported format");

    EXPECT_EXIT({ xVideo v; v.load(nullptr, 0); }, ::testing::ExitedWithCode(3), "Assertion failed");
}

TEST(X2dVideoDeath, AFrameOfAnotherSizeIsNeverWritten)
{
    Bytes xvd = xvdHeader(8, 8, 2);
    addFrame(xvd, flatJpeg(8, 8, 1, 2, 3));
    addFrame(xvd, flatJpeg(16, 16, 1, 2, 3));
    xFile f = fileOf(xvd, "mixed.xvd");
    xVideo video;
    video.load(&f, 0);
    free(f.data);
    std::vector<uint32_t> buffer(64, 0x5a5a5a5a);
    video.drawFrame(buffer.data());
    video.update();
    EXPECT_EXIT(video.drawFrame(buffer.data()), ::testing::ExitedWithCode(3),
                "xVideo::drawFrame\\(\\) -> wrong frame size mixed.xvd");
}
