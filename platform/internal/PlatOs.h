// What the shared modules and the backends ask of the operating system
// beyond the C and C++ libraries: clocks, the environment, files on the
// PATH, a pipe to another program, a symbol of a library loaded by name.
// One file per system implements it beside PlatProcess.h:
// posix/PlatProcessPosix.cpp and win/PlatProcessWin.cpp, chosen by CMake.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>

// A clock that never runs back, in nanoseconds from an arbitrary start.
uint64_t platOsMonotonicNs();
// Processor time of the calling thread, in nanoseconds (0 when unknown).
uint64_t platOsThreadCpuNs();
// Gives the rest of the time slice to other threads.
void platOsYield();
// Sets a variable of the process's environment, replacing its value.
void platOsSetEnv(const char* name, const char* value);
// True when the path names an existing file or folder.
bool platOsExists(const std::string& path);
// True when the program can be started by its bare name, found on the PATH.
bool platOsOnPath(const char* program);
// The argument quoted for the command interpreter of platOsPipeTo.
std::string platOsQuote(const std::string& arg);
// Starts the command with its standard input a binary pipe from the
// returned file; a program that stops reading makes writes fail rather than
// ending the show. Null when it cannot be started.
FILE* platOsPipeTo(const std::string& command);
// Closes such a pipe and waits for the program: its exit status, or -1 when
// it did not end by itself.
int platOsPipeClose(FILE* pipe);
// Runs the command and waits for it: its exit status, or -1 as above.
int platOsRun(const std::string& command);
// The address of a symbol of a shared library opened by its file name (and
// kept open), or null when either is missing.
void* platOsLibrarySymbol(const char* library, const char* symbol);
