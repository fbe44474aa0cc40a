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
// ".mkv") is encoded by ffmpeg, with the music muxed in. The music also goes beside it as path + ".wav". Installs the virtual
// clock and switches the music channel to capture mode. Returns false with a
// message on stderr when the outputs cannot be opened.
bool platCaptureStart(const char* path, int fps);
bool platCapturing();
// Moves the virtual clock towards until (at most 5 ms per call), rendering
// the music and writing every video frame that falls due.
void platCaptureSpin(uint32_t until);
// The length of the show in ms, for the progress bar (0: unknown).
void platCaptureSetLength(uint32_t ms);
// Closes the files (and runs ffmpeg's mux); also runs at process exit.
void platCaptureFinish();
