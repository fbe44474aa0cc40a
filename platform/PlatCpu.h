// What the processor offers, for the drawing code that has a faster path.
#pragma once

// True when the processor reports MMX through CPUID. False on processors
// without CPUID and on other architectures.
bool platCpuHasMMX();
