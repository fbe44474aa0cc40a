// Where the capture's pictures go: one output a run, chosen by the file's
// name, each in a file of its own behind the same few functions. The capture
// (PlatCapture.cpp) keeps the virtual clock, the music's file beside the
// video, the progress line and the failures; an output only takes the
// pictures that fall due and completes its own files.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

enum : int { PLAT_CAPTURE_WIDTH = 640, PLAT_CAPTURE_HEIGHT = 480 };

struct PlatCaptureSink {
    // Opens the output's files for path at fps frames a second; an output
    // that keeps the music opens its file too (platCaptureOpenMusic), at the
    // point where a failure should leave the fewest files behind.
    void (*open)(const std::string& path, int fps);
    // Takes the picture shown at ms from the start: 640 x 480 pixels as the
    // display holds them (B, G, R, unused). changed says whether it differs
    // from the one taken last; the output may change it in place and gets it
    // back as it left it while it stays unchanged.
    void (*frame)(uint32_t* picture, bool changed, uint32_t ms);
    // Completes the output's files once the music's file is complete, for
    // frames pictures and musicFrames frames of music.
    void (*finish)(uint64_t frames, uint64_t musicFrames);
    // Closes the output's files without completing them: a failure, after
    // which the capture removes the files it made.
    void (*abandon)();
    // Show time between two pictures (0: the video's rate, fps a second,
    // closed by the show's last picture as one frame more).
    uint32_t everyMs;
    // Bytes a picture takes in the file, for the size report (null: none).
    uint64_t (*frameBytes)();
};

// "/dev/null": every frame converted as for a ".y4m" file and the music
// rendered, nothing kept.
extern const PlatCaptureSink g_platCaptureDiscard;
// ".y4m": YUV4MPEG2, 4:2:0.
extern const PlatCaptureSink g_platCaptureY4m;
// ".rgb": the frames one after another, 4 bytes a pixel B, G, R, 255.
extern const PlatCaptureSink g_platCaptureRaw;
// ".png": the storyboard (PlatStoryboard.h).
extern const PlatCaptureSink g_platCaptureBoard;
// Any other name: encoded by ffmpeg, the music muxed in.
extern const PlatCaptureSink g_platCaptureFfmpeg;

// The capture's helpers for its outputs. Every failure ends the capture
// with one line naming the file (through the failure hook) and removes the
// files the capture made.
[[noreturn]] void platCaptureFail(const std::string& text);
[[noreturn]] void platCaptureFailWrite(const std::string& path);
// Opens a file for writing and remembers it when the capture made it.
FILE* platCaptureCreate(const std::string& path);
// Remembers a file to remove should the capture fail.
void platCaptureMade(const std::string& path);
// Writes size bytes or fails naming path.
void platCapturePut(const void* data, size_t size, FILE* f, const std::string& path);
// Closes a written file: it is complete only once its buffers reach the disk.
void platCaptureClose(FILE* f, const std::string& path);
// The one file an output writes: closed complete at the end, or just closed
// on a failure (the capture then removes it).
struct PlatCaptureFile {
    FILE* f = nullptr;
    std::string path;
    void finish()
    {
        FILE* done = f;
        f = nullptr;
        platCaptureClose(done, path);
    }
    void abandon()
    {
        if (f)
            fclose(f);
        f = nullptr;
    }
};
// Starts the music's file, path + ".wav", filled as the music is rendered.
void platCaptureOpenMusic(const std::string& path);
// BT.601 full-range YUV 4:2:0 planes (Y, then U, then V) of a picture.
void platCaptureYuv(const uint32_t* picture, uint8_t* planes);
// The luma of one row of the picture, as platCaptureYuv computes it.
void platCaptureLumaRow(const uint32_t* row, uint8_t* luma);
// The video's frame for the YUV outputs (PlatCaptureSize.cpp): the size
// platCaptureSetSize chose, 640 x 480 unless asked, its bytes (the planes of
// 4:2:0), its planes made ready at open, and the planes of a picture, which
// stay valid until the next call.
int platCaptureVideoWidth();
int platCaptureVideoHeight();
size_t platCaptureVideoBytes();
void platCaptureVideoOpen();
const uint8_t* platCaptureVideoFrame(const uint32_t* picture);
// ffmpeg's options for the YUV frames piped to it, from the filter to the
// encoder (bench/capture encodes the y4m output with the same).
const char* platCaptureEncoderOptions();
