#include "PlatProcess.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <unistd.h>

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
