#include "Ximage.h"

int xImageLoad(xFile*, xImage& image) { image.pixels = nullptr; image.palette = nullptr; return 0; }
int xImageConvert(xImage*, int) { return 0; }
