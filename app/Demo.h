// The program's life: start-up, command line and the two permanent responders.
#pragma once
#include <cstdint>

extern char** g_cmdWords;
extern int32_t g_cmdWordCount;
extern uint32_t* g_picture;
extern uint32_t g_lastFrameTick;
extern uint32_t g_music;

int WinMain(void* instance, void* prevInstance, char* cmdLine, int showCmd);

// Splits the command line in place at spaces and upper-cases the words.
void ParseCommandLine(char* cmdLine);
// True when some command-line word equals the text, ignoring letter case.
bool HasSwitch(const char* text);

void KeyResponder(void* scanCode);
void CloseResponder(void* data);

// Usage text for -h and --help.
const char* DemoUsage();
