// Pixel-format converter: copies a rectangle of pixels from one format to
// another (8-bit indexed with a palette, 16, 24 and 32 bits given by masks).
// Used by the video driver on every present and by the image layer.
#pragma once
#include <cstdint>

typedef int32_t HermesHandle; // 0 = failure / none

struct HermesFormat {
    int32_t r, g, b, a; // masks
    int32_t bits;       // 8, 16, 24, 32
    int32_t indexed;    // non-zero: 8-bit palette indices
    int32_t has_colorkey; // colour keys are carried but never applied here
    int32_t colorkey;
};

int Hermes_Init(); // 1 ok, 0 failure; may be called many times
int Hermes_Done();

HermesHandle Hermes_ConverterInstance(unsigned long flags);
void Hermes_ConverterReturn(HermesHandle converter);
// 1 ok, 0 when the pair cannot be converted.
int Hermes_ConverterRequest(HermesHandle converter, HermesFormat* source, HermesFormat* dest);
// The source palette is read at every copy, so later changes to it count.
int Hermes_ConverterPalette(HermesHandle converter, HermesHandle sourcePalette, HermesHandle destPalette);
// Copies without scaling: source and destination sizes must be equal.
// 1 ok, 0 failure (no request made, size mismatch, bad pitch or pointer).
int Hermes_ConverterCopy(HermesHandle converter, void* s_pixels, int s_x, int s_y, int s_width, int s_height,
                         int s_pitch, void* d_pixels, int d_x, int d_y, int d_width, int d_height, int d_pitch);

HermesHandle Hermes_PaletteInstance();
void Hermes_PaletteReturn(HermesHandle palette);
void Hermes_PaletteSet(HermesHandle palette, const int32_t* entries); // 256 entries 0x00RRGGBB
const int32_t* Hermes_PaletteGet(HermesHandle palette);
