// What the processor offers, in a browser tab: no MMX path, and for the
// frame costs the page's clock (performance.now(), which the browser may
// round to 0.1 ms); nothing else runs on the page's thread while the show
// draws, so its time there is the drawing's.
#include <emscripten.h>

#include "platform/PlatCpu.h"

bool platCpuHasMMX() { return false; }

uint64_t platCpuNanoseconds() { return (uint64_t)(emscripten_get_now() * 1e6); }
