// The capture backend: the show plays on a virtual clock, without display or
// sound device, and what would have been seen and heard goes to files.
//
// The clock stands still until the show waits for its next frame; each wait
// moves it on in steps of at most 5 ms, rendering the music up to the new time
// and sampling the shown picture at a fixed video rate. A run is therefore the
// same on every machine and every time: two captures of one build are equal.
#pragma once
#include <cstdint>

// Starts capturing into path: a ".y4m" name is written as YUV4MPEG2 directly;
// a ".rgb" name gets the frames losslessly, one after another without a
// header, 640 x 480 pixels of 4 bytes B, G, R, 255; any other name (".mp4",
// ".mkv") is encoded by ffmpeg, with the music muxed in. The music also goes
// beside it as path + ".wav". A ".png" name gets the storyboard instead
// (capture/PlatStoryboard.h): a thumbnail every two seconds of show time, whatever
// fps says, and no music file. "/dev/null" keeps nothing, not even the
// music: every frame is still converted as for a ".y4m" file and the music
// rendered, so the run costs what a capture costs without a disk or an
// encoder; its end says how many frames went. Sets SDL's dummy video and
// audio drivers, tells the display that no one looks at its window,
// installs the virtual clock and switches the music channel to capture mode.
//
// Every failure (no ffmpeg on the PATH, a file that cannot be opened or
// written, ffmpeg's failure) goes to the failure hook with one line that
// names the file; the files the capture made are removed and nothing is
// reported as written. The hook is expected not to return (the program's
// error reporter); without one, or if it returns, the process exits with 4.
void platCaptureSetFailHook(void (*hook)(const char* text));
// The size of the video's frames for ".y4m", ".mp4" and ".mkv" captures (and
// "/dev/null"), called before platCaptureStart: the picture enlarged by the
// largest whole factor that fits, nearest pixel, centred on black (its
// corner on even rows and columns). Unset, or at most 640 x 480, the frames
// are the picture itself; odd sizes lose their last row or column.
void platCaptureSetSize(int width, int height);
void platCaptureStart(const char* path, int fps);
bool platCapturing();
// Moves the virtual clock towards until (at most 5 ms per call), rendering
// the music and writing every video frame that falls due.
void platCaptureSpin(uint32_t until);
// The length of the show in ms, for the progress bar (0: unknown). For an
// uncompressed output it also says how large the file will grow.
void platCaptureSetLength(uint32_t ms);
// Completes the files (and runs ffmpeg's mux) and says what was written; at
// the end of the show. A capture still open at process exit was cut short
// by another failure: its files are removed without a word.
void platCaptureFinish();
