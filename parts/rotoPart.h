// The roto-zoom (orders 28-29): its background picture, which the flare
// scene cross-fades over its last frames, is published as g_rotoBack.
#pragma once

// Loads the roto-zoom's pictures.
void RotoInit();
