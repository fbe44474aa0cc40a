// The picture on a real X server (Xvfb), checked from a screenshot.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/wait.h>

#include "tests/common/Scratch.h"

namespace {

bool have(const char* program)
{
    return system((std::string("command -v ") + program + " >/dev/null 2>&1").c_str()) == 0;
}

int run(const std::string& command, std::string* output)
{
    CommandRun r = runCommand(command + " 2>&1");
    *output += r.out;
    return r.status;
}

// The probe needs the real X driver, not the tests' dummy one.
const std::string kServer = "env -u SDL_VIDEODRIVER xvfb-run -a -s '-screen 0 1280x1024x24' ";

TEST(Screen, WindowedPictureIsShown)
{
    if (!have("xvfb-run") || !have("xwd"))
        GTEST_SKIP() << "xvfb-run or xwd is not installed";
    std::string out;
    int rc = run(kServer + PROBE " windowed '" + scratchFile("windowed.xwd") + "'", &out);
    EXPECT_EQ(0, rc) << out;
    EXPECT_NE(std::string::npos, out.find("depth 32 window at")) << out;
    EXPECT_NE(std::string::npos, out.find("size 640x480 picture at")) << out;
    EXPECT_NE(std::string::npos, out.find("checked 307200 mismatched 0 lit around 0")) << out;
}

TEST(Screen, FullscreenAtSixteenBitsIsConvertedAndCentred)
{
    // Full-screen display is the window manager's to grant.
    if (!have("xvfb-run") || !have("xwd") || !have("matchbox-window-manager"))
        GTEST_SKIP() << "xvfb-run, xwd or matchbox-window-manager is not installed";
    std::string out;
    int rc = run("QH_DISPLAY_DEPTH=16 " + kServer +
                     "sh -c 'matchbox-window-manager -use_titlebar no & wm=$!; " PROBE
                     " fullscreen \"" + scratchFile("fullscreen.xwd") + "\"; rc=$?; kill $wm; exit $rc'",
                 &out);
    EXPECT_EQ(0, rc) << out;
    // 640 x 480 doubled on 1280 x 1024: 1280 x 960, 32 lines of black above and below.
    EXPECT_NE(std::string::npos, out.find("depth 16 window at 0,0 size 1280x1024 picture at 0,32 size 1280x960")) << out;
    EXPECT_NE(std::string::npos, out.find("checked 1228800 mismatched 0 lit around 0")) << out;
}

} // namespace
