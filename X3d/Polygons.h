// The polygon pipeline: each frame, x3dTransformScene takes lights and
// visible objects into camera space and lists the front faces (sorted back
// to front without the z-buffer), x3dLightScene lights and fogs their
// vertices, and x3dRenderScene clips each face to the view and hands it to
// its filler, with the lens flares.
//
// Camera space is already scaled by the projection: C = diag(f, f, 1) x
// view, so the view pyramid is |x| <= z, |y| <= z.
#pragma once
#include <cstdint>

#include "X3d/Raster.h"
#include "X3d/X3d.h"

void x3dTransformScene();
void x3dLightScene();
void x3dRenderScene(uint32_t* buffer);

// The bounding sphere (centre c in camera space, radius r) against the view
// pyramid, k being the camera's sphere factor: X3D_CLIP_OUTSIDE entirely
// outside, otherwise bits 0-3 for the left, right, top and bottom planes it
// crosses.
int x3dSphereClipCode(float k, const float c[3], float r);
enum { X3D_CLIP_OUTSIDE = 0x80 };

// True when all three vertices of a listed face lie at or beyond the far
// distance (after x3dLightScene): it is not drawn, nor given a flare.
inline bool x3dFaceBeyondFar(const x3dFace* f)
{
    return (f->vertices[0]->flags & f->vertices[1]->flags & f->vertices[2]->flags & X3D_VF_BEYOND_FAR) != 0;
}

// Which planes a camera-space point is outside of: bit 0 x < -z, 1 x > z,
// 2 y > z, 3 y < -z, 4 z < X3D_NEAR_Z.
uint16_t x3dOutcode(float x, float y, float z);
#define X3D_NEAR_Z 0.1f

// One Sutherland-Hodgman pass each: the part of in on the inside of the
// plane goes to out (which must not be in).
void x3dClipLeft(const x3dPolygon* in, x3dPolygon* out);
void x3dClipRight(const x3dPolygon* in, x3dPolygon* out);
void x3dClipTop(const x3dPolygon* in, x3dPolygon* out);
void x3dClipBottom(const x3dPolygon* in, x3dPolygon* out);
void x3dClipNear(const x3dPolygon* in, x3dPolygon* out);
// The passes for the planes set in mask (outcode bits), in the order left,
// right, top, bottom, near; returns the clipped polygon, which may be poly
// itself or static scratch, and may have fewer than 3 vertices.
const x3dPolygon* x3dClipPolygon(const x3dPolygon* poly, uint32_t mask);

// Sorts count items of a by depth key, ascending and stable, with b as
// scratch: four byte passes A -> B -> A -> B -> A, ending in a.
void x3dRadixSort(x3dDrawItem* a, x3dDrawItem* b, int count);

// Wireframe: the three edges of every fan triangle (0, i, i + 1) in the
// given colour.
void x3dDrawWire(const x3dPolygon* poly, uint8_t red, uint8_t green, uint8_t blue, uint32_t* buffer);
// The light's lens flare added onto the buffer: x3dDrawFlare without depth
// (painter mode, and the face-centre flares of the flare scene),
// x3dDrawFlareZ only where the z-buffer is not nearer.
void x3dDrawFlare(x3dLight* light, uint32_t* buffer);
void x3dDrawFlareZ(x3dLight* light, uint32_t* buffer);
