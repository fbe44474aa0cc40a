#include "PlatCpu.h"

#include "platform/internal/PlatOs.h"

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#endif

bool platCpuHasSSE2()
{
#if defined(__i386__) || defined(__x86_64__)
    // __get_cpuid first checks that CPUID exists (the ID flag can be toggled
    // on 32-bit processors) and that function 1 is available.
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx))
        return false;
    return (edx & 0x4000000u) != 0;
#else
    return false;
#endif
}

uint64_t platCpuNanoseconds() { return platOsThreadCpuNs(); }
