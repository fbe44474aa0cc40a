#include "Ximage.h"
int xGifLoad(xFile*, xImage&) { return 0; }
int xGifLoad(const char*, xImage&) { return 0; }
