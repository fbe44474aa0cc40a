#include "ShowState.h"

uint32_t* g_picture = nullptr;
uint32_t g_music = 0;
int32_t g_musicOrder = 0;
int32_t g_musicRow = 0;
uint32_t g_frameTime = 0;
uint32_t g_lastFrameTick = 0;
