#include "Ximage.h"
int xTargaLoad(xFile*, xImage&) { return 0; }
int xTargaLoad(const char*, xImage&) { return 0; }
