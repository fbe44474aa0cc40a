// The output through ffmpeg (".mp4", ".mkv" or any other name): the frames
// piped to an encoder into a video file of its own, then muxed with the
// music's WAV file into the file asked for.
#include <cerrno>
#include <string>

#include "platform/capture/PlatCaptureSink.h"
#include "platform/internal/PlatOs.h"

namespace {

FILE* g_video = nullptr;
std::string g_path, g_tempVideo;

// ffmpeg's exit, as a failure of the named file, or nothing when it went well.
void checkEncoder(int status, const std::string& path)
{
    if (status == 0)
        return;
    if (status != -1)
        platCaptureFail("ffmpeg could not write " + path + " (exit status " + std::to_string(status) + ")");
    platCaptureFail("ffmpeg could not write " + path);
}

void open(const std::string& path, int fps)
{
    g_path = path;
    // Found now rather than as a broken pipe once the show has started.
    if (!platOsOnPath("ffmpeg"))
        platCaptureFail("ffmpeg not found: capture to .y4m or .rgb, or install ffmpeg");
    platCaptureOpenMusic(path);
    g_tempVideo = path + ".video.mkv";
    std::string cmd = "ffmpeg -y -loglevel error -f rawvideo -pix_fmt bgra -s 640x480 -r " + std::to_string(fps) +
                      " -i - -c:v libx264 -preset veryfast -crf 18 -pix_fmt yuv420p " + platOsQuote(g_tempVideo);
    g_video = platOsPipeTo(cmd);
    if (!g_video)
        platCaptureFailWrite(g_tempVideo);
    platCaptureMade(g_tempVideo);
    if (!platOsExists(path))
        platCaptureMade(path); // what a failed mux may leave
}

void frame(uint32_t* picture, bool changed, uint32_t)
{
    const size_t pixels = (size_t)PLAT_CAPTURE_WIDTH * PLAT_CAPTURE_HEIGHT;
    if (changed)
        for (size_t i = 0; i < pixels; i++)
            picture[i] |= 0xFF000000u;
    errno = 0;
    if (fwrite(picture, 1, pixels * 4, g_video) != pixels * 4)
        platCaptureFail("ffmpeg stopped taking the frames of " + g_path);
}

void finish(uint64_t, uint64_t)
{
    if (fflush(g_video) != 0)
        platCaptureFail("ffmpeg stopped taking the frames of " + g_path);
    FILE* video = g_video;
    g_video = nullptr;
    checkEncoder(platOsPipeClose(video), g_path);
    std::string cmd = "ffmpeg -y -loglevel error -i " + platOsQuote(g_tempVideo) + " -i " + platOsQuote(g_path + ".wav") +
                      " -c:v copy -c:a aac -b:a 192k -shortest " + platOsQuote(g_path);
    checkEncoder(platOsRun(cmd), g_path);
    remove(g_tempVideo.c_str());
}

void abandon()
{
    if (g_video)
        platOsPipeClose(g_video);
    g_video = nullptr;
}
} // namespace

const PlatCaptureSink g_platCaptureFfmpeg = {open, frame, finish, abandon, 0, 0};
