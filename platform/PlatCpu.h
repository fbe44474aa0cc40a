// What the processor offers, for the drawing code that has a faster path.
#pragma once
#include <cstdint>

// True when the processor has SSE2, which the sprites' processor path is
// written in: on x86 as CPUID reports it (false without CPUID), in the browser
// when the module was built with WebAssembly SIMD (a browser without it does
// not load the module at all); false on other architectures.
bool platCpuHasSSE2();

// Processor time the calling thread has used, in nanoseconds: the clock of
// the show's frame costs. Time spent waiting and other threads' work are
// not in it.
uint64_t platCpuNanoseconds();
