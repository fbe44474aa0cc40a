// What the processor offers, for the drawing code that has a faster path.
#pragma once
#include <cstdint>

// True when the processor reports MMX through CPUID. False on processors
// without CPUID and on other architectures.
bool platCpuHasMMX();

// Processor time the calling thread has used, in nanoseconds: the clock of
// the show's frame costs. Time spent waiting and other threads' work are
// not in it.
uint64_t platCpuNanoseconds();
