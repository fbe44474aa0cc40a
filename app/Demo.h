// The program's life: start-up, command line and the two permanent responders.
#pragma once
#include <cstdint>

// Start-up sets the picture, the music handle and the first frame tick of
// the show state.
#include "parts/ShowState.h"

extern char** g_cmdWords;
extern int32_t g_cmdWordCount;

// Switches read from the arguments before anything is set up.
struct xRunOptions {
    const char* capture; // file to capture the show into, or null
    const char* trace;   // file for the hand-over trace, or null
    int fps;
    int startOrder;
    int endOrder; // -1: the music's own end
    const char* costs; // file for the drawing cost of every frame, or null
    bool figures; // say the start-up time and the peak memory at the end
    int windowWidth, windowHeight; // -windowed WxH; 0 x 0: the default size
    bool player; // keys to pause, to jump between orders and for the overlay
    int captureWidth, captureHeight; // -size WxH; 0 x 0: the picture's own
};
extern xRunOptions g_runOptions;
bool ParseRunOptions(int argc, char** argv);
// Starts capture and tracing as asked; call before WinMain. A file that
// cannot be written is reported through the error reporter.
void PrepareRun();
// Completes the capture and the trace once the show has ended.
void FinishRun();
// A bad switch value: prints the text and the usage, exits with EXIT_USAGE.
[[noreturn]] void UsageError(const char* text);
enum { EXIT_USAGE = 64 };

// Loads the assets of every part of the show, in the show's loading order.
void InitParts();

int WinMain(void* instance, void* prevInstance, char* cmdLine, int showCmd);

// Splits the command line in place at spaces and upper-cases the words.
void ParseCommandLine(char* cmdLine);
// True when some command-line word equals the text, ignoring letter case.
bool HasSwitch(const char* text);

void KeyResponder(void* scanCode);
void CloseResponder(void* data);

// Usage text for -h and --help.
const char* DemoUsage();
