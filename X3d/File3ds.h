// The 3DS scene reader: meshes, lights, cameras, materials and the keyframer
// of a 3DS file into an x3dScene.
#pragma once
#include "X3d/X3d.h"
#include "files/xFileIO.h"

// Loads a 3DS file from disk into a fresh (or freed) scene. A file that
// cannot be opened or read, or that is broken, ends the program through the
// error reporter, naming the file.
void x3dLoad3ds(const char* name, x3dScene* scene);
// The same from a block already in memory; the block stays the caller's.
void x3dLoad3dsMem(xFile* block, x3dScene* scene);
// Releases everything a load allocated (also after a load that was
// interrupted by a report) and clears the scene's records.
void x3dFreeScene(x3dScene* scene);

// Field of view in degrees of a lens in millimetres.
float x3dLensToFov(float lens);
// Unit face normals and vertex normals of an object.
void x3dCalcNormals(x3dObject* object);
// Bounding box, centre and bounding-sphere radius of an object.
void x3dCalcBounds(x3dObject* object);
