// What the operating system tells of the running process: how long ago it
// started and how much memory it holds, for the program's own figures.
#pragma once
#include <cstdint>

// Milliseconds since the process started (before the dynamic loader ran),
// in steps of the kernel's clock tick (10 ms on most systems); 0 when the
// system cannot tell.
uint32_t platProcessAgeMs();
// Resident memory now and the most it has been, in KB (0 when unknown).
uint32_t platResidentKb();
uint32_t platPeakResidentKb();
