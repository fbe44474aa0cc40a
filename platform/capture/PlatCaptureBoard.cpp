// The ".png" output: the storyboard (PlatStoryboard.h), a thumbnail every
// two seconds of show time whatever the capture's rate, and no music file.
// The file is opened at the start, so a path that cannot be written fails
// before the show plays.
#include <string>
#include <vector>

#include "platform/PlatMusic.h"
#include "platform/capture/PlatCaptureSink.h"
#include "platform/capture/PlatStoryboard.h"

namespace {

FILE* g_board = nullptr;
std::string g_path;

void open(const std::string& path, int)
{
    g_path = path;
    g_board = platCaptureCreate(path);
}

void frame(uint32_t* picture, bool, uint32_t ms) { platStoryboardAdd(picture, ms, platMusicPlayingPosition()); }

void finish(uint64_t frames, uint64_t)
{
    std::vector<uint8_t> png = platStoryboardPng();
    if (png.empty())
        platCaptureFail("cannot write " + g_path + ": out of memory");
    platCapturePut(png.data(), png.size(), g_board, g_path);
    FILE* board = g_board;
    g_board = nullptr;
    platCaptureClose(board, g_path);
    fprintf(stderr, "capture: wrote %s (%llu pictures, one every %u s)\n", g_path.c_str(), (unsigned long long)frames,
            PLAT_STORYBOARD_STEP_MS / 1000);
}

void abandon()
{
    if (g_board)
        fclose(g_board);
    g_board = nullptr;
}
} // namespace

const PlatCaptureSink g_platCaptureBoard = {open, frame, finish, abandon, PLAT_STORYBOARD_STEP_MS, nullptr};
