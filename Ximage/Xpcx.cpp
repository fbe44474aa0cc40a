#include "Ximage.h"
int xPcxLoad(xFile*, xImage&) { return 0; }
int xPcxLoad(const char*, xImage&) { return 0; }
