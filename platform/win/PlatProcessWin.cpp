// The process and the operating system's services on Windows: the process's
// times and memory counters for the figures, the performance counter, _popen
// in binary mode through cmd.exe, LoadLibrary.
#include "platform/PlatProcess.h"

#define WIN32_LEAN_AND_MEAN
#define PSAPI_VERSION 2 // K32GetProcessMemoryInfo, in kernel32 itself
#include <windows.h>
#include <psapi.h>

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>

#include "platform/internal/PlatOs.h"

namespace {

uint64_t fileTime(const FILETIME& t) { return ((uint64_t)t.dwHighDateTime << 32) | t.dwLowDateTime; }

PROCESS_MEMORY_COUNTERS memoryCounters()
{
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters))
        counters = PROCESS_MEMORY_COUNTERS{};
    return counters;
}

// The program is linked for the window subsystem, so started from a console
// it has no standard output of its own: it then writes into the console it
// was started from (its usage, the capture's progress, the figures). Output
// redirected to a file or a pipe is inherited and kept as it is.
struct ParentConsole {
    ParentConsole()
    {
        if (GetStdHandle(STD_ERROR_HANDLE) != nullptr || !AttachConsole(ATTACH_PARENT_PROCESS))
            return;
        freopen("CONOUT$", "w", stdout);
        freopen("CONOUT$", "w", stderr);
    }
} g_parentConsole;

} // namespace

uint32_t platProcessAgeMs()
{
    FILETIME created, exited, kernel, user, now;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user))
        return 0;
    GetSystemTimeAsFileTime(&now);
    uint64_t c = fileTime(created), n = fileTime(now);
    return n > c ? (uint32_t)((n - c) / 10000u) : 0;
}

uint32_t platResidentKb() { return (uint32_t)(memoryCounters().WorkingSetSize / 1024u); }
uint32_t platPeakResidentKb() { return (uint32_t)(memoryCounters().PeakWorkingSetSize / 1024u); }

uint64_t platOsMonotonicNs()
{
    static LARGE_INTEGER s_frequency = {};
    if (s_frequency.QuadPart == 0)
        QueryPerformanceFrequency(&s_frequency);
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    uint64_t f = (uint64_t)s_frequency.QuadPart, t = (uint64_t)now.QuadPart;
    return t / f * 1000000000u + t % f * 1000000000u / f;
}

// Windows counts a thread's time in the scheduler's ticks (about 15.6 ms):
// a single frame's cost is coarse, the sums over many frames are right.
uint64_t platOsThreadCpuNs()
{
    FILETIME created, exited, kernel, user;
    if (!GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user))
        return 0;
    return (fileTime(kernel) + fileTime(user)) * 100u;
}

void platOsYield() { SwitchToThread(); }

void platOsSetEnv(const char* name, const char* value) { _putenv_s(name, value); }

bool platOsExists(const std::string& path)
{
    struct _stat64 st;
    return _stat64(path.c_str(), &st) == 0;
}

bool platOsOnPath(const char* program)
{
    char found[MAX_PATH];
    return SearchPathA(nullptr, program, ".exe", MAX_PATH, found, nullptr) > 0;
}

// cmd.exe keeps whatever stands between double quotes; a Windows file name
// cannot hold a double quote itself.
std::string platOsQuote(const std::string& arg) { return "\"" + arg + "\""; }

FILE* platOsPipeTo(const std::string& command) { return _popen(command.c_str(), "wb"); }

int platOsPipeClose(FILE* pipe) { return _pclose(pipe); }

int platOsRun(const std::string& command)
{
    fflush(nullptr);
    return system(command.c_str());
}

void* platOsLibrarySymbol(const char* library, const char* symbol)
{
    HMODULE module = LoadLibraryA(library);
    return module ? (void*)GetProcAddress(module, symbol) : nullptr;
}
