// The rasterizers: the 36 polygon fillers, their selection from the render
// flags, and the wireframe line.
//
// A filler draws one clipped convex polygon (camera space, in front of the
// camera) into a 32-bit buffer laid out by the engine's scan-line table, as
// a fan of triangles. It reads the active camera's centre and viewport, the
// scan-line table, the z-buffer, the modulate and fog tables at the time it
// is called, so render targets can switch them between calls.
//
// Fill rule: rows from ceil(top y) to ceil(bottom y) - 1, columns from
// ceil(left x) to ceil(right x) - 1, with pixel centres at integer
// coordinates; triangles sharing an edge cover each of its pixels once.
#pragma once
#include <cstdint>

// One polygon vertex: camera-space position, texture coordinates in texels,
// shade (light x 255, or fog x 255.9 when fog is on). For untextured faces
// with fog, u carries the light x 255. The fillers write the screen position
// and 1/z.
struct x3dPolyVertex {
    float x, y, z;
    float u, v;
    float shade;
    uint32_t outcode; // bits 0-3 left, right, top, bottom plane; 4 near plane
    float screenX, screenY, invZ;
};

// A triangle cut by the four side planes and the near plane has at most 8
// vertices.
enum { X3D_POLY_MAX = 8 };

struct x3dPolygon {
    int32_t count;
    x3dPolyVertex v[X3D_POLY_MAX];
};

// What a filler paints with: the flat colour, and the 256 x 256 texels of
// textured fillers (rows bottom-up, wrapping both ways).
struct x3dPaint {
    uint8_t red, green, blue;
    const uint32_t* texels;
};

typedef void (*x3dFiller)(x3dPolygon* poly, uint32_t* buffer, const x3dPaint* paint);

// Pixel kinds of the filler table, in table order.
enum x3dFillKind {
    X3D_FILL_FLAT,
    X3D_FILL_GOURAUD,
    X3D_FILL_FOG,
    X3D_FILL_TEX,
    X3D_FILL_TEX_LIT,
    X3D_FILL_TEX_FOG,
    X3D_FILL_TEXP,
    X3D_FILL_TEXP_LIT,
    X3D_FILL_TEXP_FOG,
    X3D_FILL_KINDS
};

enum { X3D_FILLERS = X3D_FILL_KINDS * 4 };

struct x3dFillerEntry {
    const char* name; // "x3dFillTexPLitAddZ"
    x3dFiller fill;
};

// Entry kind * 4 + additive * 2 + z-buffered: x3dFillFlat, x3dFillFlatZ,
// x3dFillFlatAdd, x3dFillFlatAddZ, x3dFillGouraud, ...
extern const x3dFillerEntry x3dFillers[X3D_FILLERS];

inline int x3dFillerIndex(int kind, bool additive, bool zbuffer) { return kind * 4 + (additive ? 2 : 0) + (zbuffer ? 1 : 0); }

enum { X3D_SELECT_WIRE = -1, X3D_SELECT_NONE = -2 };

// The filler for a face's render flags with the z-buffer and fog on or off:
// an index into x3dFillers, X3D_SELECT_WIRE for wireframe, or
// X3D_SELECT_NONE when the flags name nothing that draws.
int x3dSelectFiller(uint32_t renderFlags, bool zbuffer, bool fog);

// The wireframe line between two pixels, clipped to the active camera's
// viewport. Line mode 0 writes the colour; other modes blend three pixels
// across the line through the falloff table and the 2D blend table, which
// x2dInit must have built.
void x3dDrawLine(int x0, int y0, int x1, int y1, uint8_t red, uint8_t green, uint8_t blue, uint32_t* buffer);

// A float to 32-bit integer conversion that saturates at the int32 range and
// takes NaN to 0, rounding to nearest; every float that becomes a fixed-point
// value or a pixel position goes through it.
int32_t x3dRoundSat(double value);

// Adds n pixels of src onto dst per channel, saturating at 255; src's fourth
// byte must be 0, so dst keeps its own.
void x3dAddRow(uint32_t* dst, const uint32_t* src, int n);
