// The output through ffmpeg (".mp4", ".mkv" or any other name): the frames
// piped to an encoder into a video file of its own, then muxed with the
// music's WAV file into the file asked for.
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <string>

#include "platform/capture/PlatCaptureSink.h"
#include "platform/internal/PlatOs.h"

namespace {

FILE* g_video = nullptr;
std::string g_path, g_tempVideo;
const uint8_t* g_planes = nullptr;

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
    std::string cmd = "ffmpeg -y -loglevel error -f rawvideo -pix_fmt yuv420p -s " +
                      std::to_string(platCaptureVideoWidth()) + "x" + std::to_string(platCaptureVideoHeight()) +
                      " -r " + std::to_string(fps) + " -i - " + platCaptureEncoderOptions() + " " +
                      platOsQuote(g_tempVideo);
    g_video = platOsPipeTo(cmd);
    if (!g_video)
        platCaptureFailWrite(g_tempVideo);
    platCaptureVideoOpen();
#ifdef F_SETPIPE_SZ
    // A frame or so in the pipe: the show and the encoder then take turns
    // a frame at a time rather than every 64 kB.
    fcntl(fileno(g_video), F_SETPIPE_SZ, (int)std::min<size_t>(platCaptureVideoBytes(), 1 << 20));
#endif
    platCaptureMade(g_tempVideo);
    if (!platOsExists(path))
        platCaptureMade(path); // what a failed mux may leave
}

void frame(uint32_t* picture, bool changed, uint32_t)
{
    if (changed)
        g_planes = platCaptureVideoFrame(picture);
    const size_t bytes = platCaptureVideoBytes();
    errno = 0;
    if (fwrite(g_planes, 1, bytes, g_video) != bytes)
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

const char* platCaptureEncoderOptions()
{
    // The frames are the y4m output's: full-range BT.601 with chroma from
    // 2 x 2 blocks (sited at their centre). The encoder is told so and keeps
    // them as they are, and the file says so, for players to show the
    // colours as the show drew them (untagged, they would take a large
    // video for BT.709 in limited range). The RGB they came from is a
    // computer screen's: primaries and transfer as BT.709 (sRGB's).
    return "-vf setparams=range=pc:colorspace=smpte170m:color_primaries=bt709:color_trc=bt709 "
           "-c:v libx264 -preset veryfast -crf 18 -pix_fmt yuv420p -color_range pc -colorspace smpte170m "
           "-color_primaries bt709 -color_trc bt709 -chroma_sample_location center";
}

const PlatCaptureSink g_platCaptureFfmpeg = {open, frame, finish, abandon, 0, nullptr};
