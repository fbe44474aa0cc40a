// The process and the operating system's services on Linux (and the other
// POSIX systems): /proc for the figures, clock_gettime, popen, dlopen.
#include "platform/PlatProcess.h"

#include <dlfcn.h>
#include <sched.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "platform/internal/PlatOs.h"

namespace {

// A "Name:   value kB" line of /proc/self/status.
uint32_t statusKb(const char* name)
{
    FILE* f = fopen("/proc/self/status", "r");
    if (!f)
        return 0;
    char line[256];
    unsigned long kb = 0;
    size_t n = strlen(name);
    while (fgets(line, sizeof line, f))
        if (strncmp(line, name, n) == 0 && line[n] == ':') {
            sscanf(line + n + 1, "%lu", &kb);
            break;
        }
    fclose(f);
    return (uint32_t)kb;
}

} // namespace

uint32_t platProcessAgeMs()
{
    FILE* f = fopen("/proc/self/stat", "r");
    if (!f)
        return 0;
    char text[1024];
    size_t got = fread(text, 1, sizeof text - 1, f);
    fclose(f);
    text[got] = 0;
    // The name in parentheses may hold spaces: the fields count from its end.
    const char* p = strrchr(text, ')');
    if (!p)
        return 0;
    unsigned long long start = 0;
    // After the name: state, then fields 4 to 21, then starttime (field 22).
    if (sscanf(p + 1, " %*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %*u %*u %*d %*d %*d %*d %*d %*d %llu",
               &start) != 1)
        return 0;
    long hz = sysconf(_SC_CLK_TCK);
    timespec now;
    if (hz <= 0 || clock_gettime(CLOCK_BOOTTIME, &now) != 0)
        return 0;
    double age = now.tv_sec + now.tv_nsec * 1e-9 - (double)start / hz;
    return age > 0 ? (uint32_t)(age * 1000) : 0;
}

uint32_t platResidentKb() { return statusKb("VmRSS"); }
uint32_t platPeakResidentKb() { return statusKb("VmHWM"); }

uint64_t platOsMonotonicNs()
{
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (uint64_t)t.tv_sec * 1000000000u + (uint64_t)t.tv_nsec;
}

uint64_t platOsThreadCpuNs()
{
    timespec t;
    if (clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t) != 0)
        return 0;
    return (uint64_t)t.tv_sec * 1000000000u + (uint64_t)t.tv_nsec;
}

void platOsYield() { sched_yield(); }

void platOsSetEnv(const char* name, const char* value) { setenv(name, value, 1); }

bool platOsExists(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

bool platOsOnPath(const char* program)
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

std::string platOsQuote(const std::string& arg)
{
    std::string out = "'";
    for (char c : arg)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

FILE* platOsPipeTo(const std::string& command)
{
    signal(SIGPIPE, SIG_IGN);
    return popen(command.c_str(), "w");
}

namespace {
int exitStatus(int status) { return status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1; }
} // namespace

int platOsPipeClose(FILE* pipe) { return exitStatus(pclose(pipe)); }

int platOsRun(const std::string& command) { return exitStatus(system(command.c_str())); }

void* platOsLibrarySymbol(const char* library, const char* symbol)
{
#ifdef __EMSCRIPTEN__
    return nullptr; // the browser build links no shared libraries
#else
    void* handle = dlopen(library, RTLD_LAZY);
    return handle ? dlsym(handle, symbol) : nullptr;
#endif
}
