#include "platform/PlatCapture.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "platform/PlatDisplay.h"
#include "platform/PlatMusic.h"
#include "platform/internal/PlatCommon.h"
#include "platform/capture/PlatStoryboard.h"
#include "platform/internal/PlatSurface.h"

namespace {

const int kWidth = 640, kHeight = 480;
const uint32_t kStartTick = 1000;
const uint32_t kStartSeconds = 1700000000; // a fixed time of day for the random seed

bool g_on = false;
uint32_t g_now = kStartTick;
int g_fps = 60;
uint64_t g_frames = 0;
uint32_t g_length = 0;
FILE* g_video = nullptr;
bool g_videoIsPipe = false;
bool g_y4m = false;
bool g_discard = false; // "/dev/null": every frame converted and the music rendered, nothing kept
bool g_board = false; // a storyboard: a thumbnail every few seconds, no music file
FILE* g_wav = nullptr;
uint64_t g_wavFrames = 0;
std::string g_path, g_wavPath, g_tempVideo;
std::vector<uint32_t> g_picture;
std::vector<uint8_t> g_planes;
uint64_t g_pictureChanges = 0; // platSurfaceChanges when g_picture was read
timespec g_realStart;
double g_lastProgress = -1;
void (*g_failHook)(const char*) = nullptr;
std::vector<std::string> g_made; // files this capture created

bool g_progressShown = false; // a progress line waits for its end

// Closes the files and removes those the capture made.
void discard()
{
    g_on = false;
    platDisplaySetUnseen(false);
    if (g_video)
        g_videoIsPipe ? pclose(g_video) : fclose(g_video);
    if (g_wav)
        fclose(g_wav);
    g_video = g_wav = nullptr;
    for (const std::string& path : g_made)
        remove(path.c_str());
    g_made.clear();
}

// Ends the capture with a message naming the file; does not return.
[[noreturn]] void fail(const std::string& text)
{
    discard();
    if (g_progressShown)
        fputc('\n', stderr);
    if (g_failHook)
        g_failHook(text.c_str());
    fprintf(stderr, "Error: %s\n", text.c_str());
    exit(4);
}

[[noreturn]] void failWrite(const std::string& path)
{
    fail("cannot write " + path + ": " + strerror(errno ? errno : EIO));
}

// Opens a file for writing and remembers it when the capture made it.
FILE* create(const std::string& path)
{
    struct stat st;
    bool existed = stat(path.c_str(), &st) == 0;
    FILE* f = fopen(path.c_str(), "wb");
    if (!f)
        failWrite(path);
    if (!existed)
        g_made.push_back(path);
    return f;
}

void put(const void* data, size_t size, FILE* f, const std::string& path)
{
    errno = 0;
    if (fwrite(data, 1, size, f) == size)
        return;
    if (f == g_video && g_videoIsPipe)
        fail("ffmpeg stopped taking the frames of " + path);
    failWrite(path);
}

// The written file is complete only once its buffers reach the disk.
void close(FILE* f, const std::string& path)
{
    errno = 0;
    if (ferror(f) | fclose(f))
        failWrite(path);
}

bool onPath(const char* program)
{
    const char* path = getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    for (;;) {
        size_t end = dirs.find(':', start);
        std::string dir = dirs.substr(start, end == std::string::npos ? std::string::npos : end - start);
        std::string file = (dir.empty() ? std::string(".") : dir) + "/" + program;
        if (access(file.c_str(), X_OK) == 0)
            return true;
        if (end == std::string::npos)
            return false;
        start = end + 1;
    }
}

// ffmpeg's exit, as a failure of the named file, or nothing when it went well.
void checkEncoder(int status, const std::string& path)
{
    if (status == 0)
        return;
    if (status != -1 && WIFEXITED(status))
        fail("ffmpeg could not write " + path + " (exit status " + std::to_string(WEXITSTATUS(status)) + ")");
    fail("ffmpeg could not write " + path);
}

uint32_t virtualTicks() { return g_now; }
uint32_t virtualSeconds() { return kStartSeconds + (g_now - kStartTick) / 1000; }

void put32(uint8_t* p, uint32_t v)
{
    p[0] = (uint8_t)v;
    p[1] = (uint8_t)(v >> 8);
    p[2] = (uint8_t)(v >> 16);
    p[3] = (uint8_t)(v >> 24);
}

void writeWavHeader()
{
    uint8_t h[44] = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 16, 0, 0, 0,
                     1, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4, 0, 16, 0, 'd', 'a', 't', 'a', 0, 0, 0, 0};
    uint32_t bytes = (uint32_t)(g_wavFrames * 4);
    put32(h + 4, 36 + bytes);
    put32(h + 24, PLAT_MUSIC_RATE);
    put32(h + 28, PLAT_MUSIC_RATE * 4);
    put32(h + 40, bytes);
    errno = 0;
    if (fseek(g_wav, 0, SEEK_SET) != 0)
        failWrite(g_wavPath);
    put(h, sizeof h, g_wav, g_wavPath);
    if (fseek(g_wav, 0, SEEK_END) != 0)
        failWrite(g_wavPath);
}

void musicSink(const int16_t* frames, int count, void*)
{
    if (g_wav)
        put(frames, (size_t)count * 4, g_wav, g_wavPath);
    g_wavFrames += (uint64_t)count;
}

// Y = (19595 R + 38470 G + 7471 B + 32768) >> 16 for a row of pixels.
void lumaRow(const uint32_t* __restrict in, uint8_t* __restrict out)
{
#ifdef __SSE2__
    // Eight pixels a step, in 16-bit pairs: green weighs more than a signed
    // 16-bit factor holds, so it goes in twice, in place of the fourth byte:
    // (B, G) x (7471, 19235) + (R, G) x (19595, 19235).
    const __m128i factors = _mm_setr_epi16(7471, 19235, 19595, 19235, 7471, 19235, 19595, 19235);
    const __m128i colour = _mm_set1_epi32(0xffffff), green = _mm_set1_epi32(0xff00);
    const __m128i zero = _mm_setzero_si128(), half = _mm_set1_epi32(32768);
    static_assert(kWidth % 8 == 0, "whole steps of eight pixels");
    for (int col = 0; col < kWidth; col += 8) {
        __m128i sums[2];
        for (int h = 0; h < 2; h++) {
            __m128i p = _mm_loadu_si128((const __m128i*)(in + col + 4 * h));
            p = _mm_or_si128(_mm_and_si128(p, colour), _mm_slli_epi32(_mm_and_si128(p, green), 16));
            __m128 first = _mm_castsi128_ps(_mm_madd_epi16(_mm_unpacklo_epi8(p, zero), factors));
            __m128 second = _mm_castsi128_ps(_mm_madd_epi16(_mm_unpackhi_epi8(p, zero), factors));
            __m128i blueSide = _mm_castps_si128(_mm_shuffle_ps(first, second, _MM_SHUFFLE(2, 0, 2, 0)));
            __m128i redSide = _mm_castps_si128(_mm_shuffle_ps(first, second, _MM_SHUFFLE(3, 1, 3, 1)));
            sums[h] = _mm_srli_epi32(_mm_add_epi32(_mm_add_epi32(blueSide, redSide), half), 16);
        }
        __m128i words = _mm_packs_epi32(sums[0], sums[1]);
        _mm_storel_epi64((__m128i*)(out + col), _mm_packus_epi16(words, words));
    }
#else
    for (int col = 0; col < kWidth; col++) {
        uint32_t p = in[col], r = (p >> 16) & 255, g = (p >> 8) & 255, b = p & 255;
        out[col] = (uint8_t)((19595 * r + 38470 * g + 7471 * b + 32768) >> 16);
    }
#endif
}

uint8_t clampByte(int x) { return (uint8_t)(x < 0 ? 0 : x > 255 ? 255 : x); }

// BT.601 full-range RGB to YUV 4:2:0, in integers so the bytes never depend
// on the compiler's floating point. Two rows at a time: their luma, then the
// chroma of their 2 x 2 blocks in a loop simple enough to be vectorised.
void convertY4mFrame()
{
    const uint32_t* picture = g_picture.data();
    uint8_t* y = g_planes.data();
    uint8_t* u = y + kWidth * kHeight;
    uint8_t* v = u + kWidth * kHeight / 4;
    for (int row = 0; row < kHeight; row += 2) {
        const uint32_t* __restrict top = picture + row * kWidth;
        const uint32_t* __restrict bottom = top + kWidth;
        uint8_t* __restrict yTop = y + row * kWidth;
        uint8_t* __restrict yBottom = yTop + kWidth;
        lumaRow(top, yTop);
        lumaRow(bottom, yBottom);
        uint8_t* __restrict uRow = u + (row / 2) * (kWidth / 2);
        uint8_t* __restrict vRow = v + (row / 2) * (kWidth / 2);
        for (int col = 0; col < kWidth / 2; col++) {
            uint32_t a = top[2 * col], b = top[2 * col + 1], c = bottom[2 * col], d = bottom[2 * col + 1];
            // Red and blue summed side by side: four bytes never carry out of 16 bits.
            uint32_t redBlue = (a & 0xff00ffu) + (b & 0xff00ffu) + (c & 0xff00ffu) + (d & 0xff00ffu);
            int g = (int)(((a >> 8) & 255) + ((b >> 8) & 255) + ((c >> 8) & 255) + ((d >> 8) & 255));
            int r = (int)(redBlue >> 16), bl = (int)(redBlue & 0xffff);
            uRow[col] = clampByte((-11059 * r - 21709 * g + 32768 * bl + (128 << 18) + (1 << 17)) >> 18);
            vRow[col] = clampByte((32768 * r - 27439 * g - 5329 * bl + (128 << 18) + (1 << 17)) >> 18);
        }
    }
}

// The virtual time frame k is shown at, in ms from the start.
uint64_t frameDue(uint64_t k) { return g_board ? k * PLAT_STORYBOARD_STEP_MS : k * 1000 / (uint64_t)g_fps; }

void writeFrame()
{
    // The show presents about half as often as a capture at 60 frames a
    // second samples it: an unchanged primary keeps the frame read last.
    uint64_t changes = platSurfaceChanges();
    if (g_frames == 0 || changes != g_pictureChanges) {
        if (!platDisplayReadPrimary(g_picture.data(), kWidth, kHeight))
            memset(g_picture.data(), 0, g_picture.size() * 4);
        g_pictureChanges = changes;
        if (g_y4m)
            convertY4mFrame();
        else if (!g_board)
            for (uint32_t& p : g_picture)
                p |= 0xFF000000u;
    }
    if (g_board) {
        platStoryboardAdd(g_picture.data(), (uint32_t)frameDue(g_frames), platMusicPlayingPosition());
    } else if (g_video && g_y4m) {
        put("FRAME\n", 6, g_video, g_path);
        put(g_planes.data(), g_planes.size(), g_video, g_path);
    } else if (g_video) {
        put(g_picture.data(), g_picture.size() * 4, g_video, g_path);
    }
    g_frames++;
}

double realSeconds()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (double)(now.tv_sec - g_realStart.tv_sec) + (now.tv_nsec - g_realStart.tv_nsec) * 1e-9;
}

void progress(bool last)
{
    double real = realSeconds();
    if (!last && real - g_lastProgress < 0.25)
        return;
    g_lastProgress = real;
    double shown = (g_now - kStartTick) / 1000.0;
    int percent = g_length ? (int)(100.0 * (g_now - kStartTick) / g_length) : 0;
    if (percent > 100 || last)
        percent = 100;
    char bar[31];
    int filled = percent * 30 / 100;
    for (int i = 0; i < 30; i++)
        bar[i] = i < filled ? '#' : '.';
    bar[30] = 0;
    fprintf(stderr, "\rcapture [%s] %3d%%  %llu frames  %.1fx real time ", bar, percent,
            (unsigned long long)g_frames, real > 0 ? shown / real : 0.0);
    if (last)
        fputc('\n', stderr);
    g_progressShown = !last;
    fflush(stderr);
}

bool endsWith(const std::string& s, const char* tail)
{
    size_t n = strlen(tail);
    return s.size() >= n && s.compare(s.size() - n, n, tail) == 0;
}

// At process exit with the capture still open: the show ended through
// another failure, which has been reported; the capture's files go.
void abandon()
{
    if (g_on)
        discard();
}

std::string quoted(const std::string& s)
{
    std::string out = "'";
    for (char c : s)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}
} // namespace

void platCaptureSetFailHook(void (*hook)(const char* text)) { g_failHook = hook; }

void platCaptureStart(const char* path, int fps)
{
    // No display and no sound device: the picture and the music go to files.
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    g_path = path;
    g_fps = fps > 0 ? fps : 60;
    g_discard = g_path == "/dev/null";
    g_y4m = g_discard || endsWith(g_path, ".y4m");
    g_board = endsWith(g_path, ".png");
    bool raw = endsWith(g_path, ".rgb");
    g_wavPath = g_path + ".wav";
    g_videoIsPipe = !g_y4m && !raw && !g_board;
    g_wavFrames = 0;
    // Found now rather than as a broken pipe once the show has started.
    if (g_videoIsPipe && !onPath("ffmpeg"))
        fail("ffmpeg not found: capture to .y4m or .rgb, or install ffmpeg");
    // /dev/null: converted as for a .y4m file, then dropped: what a capture
    // costs without a disk or an encoder.
    if (!g_board && !g_discard) {
        g_wav = create(g_wavPath);
        writeWavHeader();
    }
    if (g_videoIsPipe) {
        g_tempVideo = g_path + ".video.mkv";
        std::string cmd = "ffmpeg -y -loglevel error -f rawvideo -pix_fmt bgra -s 640x480 -r " +
                          std::to_string(g_fps) + " -i - -c:v libx264 -preset veryfast -crf 18 -pix_fmt yuv420p " +
                          quoted(g_tempVideo);
        // A stopped encoder then shows as a failed write, not a silent death.
        signal(SIGPIPE, SIG_IGN);
        g_video = popen(cmd.c_str(), "w");
        if (!g_video)
            failWrite(g_tempVideo);
        g_made.push_back(g_tempVideo);
        struct stat st;
        if (stat(g_path.c_str(), &st) != 0)
            g_made.push_back(g_path); // what a failed mux may leave
    } else if (!g_discard) {
        g_video = create(g_path);
        if (g_y4m) {
            std::string header = "YUV4MPEG2 W" + std::to_string(kWidth) + " H" + std::to_string(kHeight) + " F" +
                                 std::to_string(g_fps) + ":1 Ip A1:1 C420jpeg\n";
            put(header.data(), header.size(), g_video, g_path);
        }
    }
    g_picture.assign((size_t)kWidth * kHeight, 0);
    g_planes.assign((size_t)kWidth * kHeight * 3 / 2, 0);
    g_now = kStartTick;
    g_frames = 0;
    platSetClock(virtualTicks, virtualSeconds);
    platMusicSetCapture(musicSink, nullptr);
    platDisplaySetUnseen(true);
    clock_gettime(CLOCK_MONOTONIC, &g_realStart);
    g_on = true;
    platAddShutdownHook(abandon);
    atexit(abandon);
}

bool platCapturing() { return g_on; }

void platCaptureSetLength(uint32_t ms)
{
    g_length = ms;
    if (!g_on || g_videoIsPipe || g_board || g_discard || !ms)
        return;
    uint64_t frames = (uint64_t)ms * (uint64_t)g_fps / 1000 + 1;
    uint64_t frameBytes = g_y4m ? 6 + (uint64_t)kWidth * kHeight * 3 / 2 : (uint64_t)kWidth * kHeight * 4;
    fprintf(stderr, "capture: %s will hold up to %.1f GB uncompressed (%llu frames)\n", g_path.c_str(),
            frames * frameBytes / 1e9, (unsigned long long)frames);
}

void platCaptureSpin(uint32_t until)
{
    if (!g_on)
        return;
    int32_t ahead = (int32_t)(until - g_now);
    uint32_t step = ahead <= 0 ? 1 : ahead > 5 ? 5 : (uint32_t)ahead;
    g_now += step;
    platMusicAdvanceTo(g_now);
    for (;;) {
        if (frameDue(g_frames) > (uint64_t)(g_now - kStartTick))
            break;
        writeFrame();
    }
    progress(false);
}

void platCaptureFinish()
{
    if (!g_on)
        return;
    if (!g_board) {
        // The show's last picture (the ending's black) is presented after
        // the last frame that fell due: it closes the video as one frame
        // more, and the music (silent by then) runs on to that frame's end,
        // so both last equally long.
        writeFrame();
        g_now = kStartTick + (uint32_t)frameDue(g_frames);
        platMusicAdvanceTo(g_now);
    }
    progress(true);
    platDisplaySetUnseen(false);
    if (g_discard) {
        g_on = false;
        fprintf(stderr, "capture: discarded %llu frames and %.1f s of music\n", (unsigned long long)g_frames,
                (double)g_wavFrames / PLAT_MUSIC_RATE);
        return;
    }
    if (g_board) {
        std::vector<uint8_t> png = platStoryboardPng();
        if (png.empty())
            fail("cannot write " + g_path + ": out of memory");
        put(png.data(), png.size(), g_video, g_path);
        FILE* board = g_video;
        g_video = nullptr;
        close(board, g_path);
        g_on = false;
        g_made.clear();
        fprintf(stderr, "capture: wrote %s (%llu pictures, one every %u s)\n", g_path.c_str(),
                (unsigned long long)g_frames, PLAT_STORYBOARD_STEP_MS / 1000);
        return;
    }
    writeWavHeader();
    FILE* wav = g_wav;
    g_wav = nullptr;
    close(wav, g_wavPath);
    FILE* video = g_video;
    g_video = nullptr;
    if (g_videoIsPipe) {
        g_video = video;
        if (fflush(video) != 0)
            fail("ffmpeg stopped taking the frames of " + g_path);
        g_video = nullptr;
        checkEncoder(pclose(video), g_path);
        std::string cmd = "ffmpeg -y -loglevel error -i " + quoted(g_tempVideo) + " -i " + quoted(g_wavPath) +
                          " -c:v copy -c:a aac -b:a 192k -shortest " + quoted(g_path);
        checkEncoder(system(cmd.c_str()), g_path);
        remove(g_tempVideo.c_str());
    } else {
        close(video, g_path);
    }
    g_on = false;
    g_made.clear();
    fprintf(stderr, "capture: wrote %s and %s (%llu frames)\n", g_path.c_str(), g_wavPath.c_str(),
            (unsigned long long)g_frames);
}
