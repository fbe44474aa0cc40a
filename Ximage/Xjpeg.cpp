#include "Ximage.h"
int xJpegLoad(xFile*, xImage&) { return 0; }
int xJpegLoad(const char*, xImage&) { return 0; }
void xJpegMemorySource(jpeg_decompress_struct*, const uint8_t*, uint32_t) {}
int xJpegDecodeRGB32(const uint8_t*, uint32_t, uint32_t*, int32_t, int32_t) { return XJPEG_WRONG_FRAME; }
void xJpegSetErrorExit(void (*)(jpeg_common_struct*)) {}
