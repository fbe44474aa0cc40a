// Scenes for the 3D tests, the benchmark and the fuzz seeds, written by our
// scene writer; and lib3ds reading the same bytes from memory.
#pragma once
#include <lib3ds/file.h>

#include "Scene3ds.h"

namespace qhtest {

using qhscene::Bytes;

// Every record kind: materials with all three maps, meshes at rotated,
// scaled and moved poses with pivots, texture coordinates and seam flags, an
// unlit mesh and one no node moves, three cameras (a table lens, another,
// one without a node), an omni light under a camera node, a spot with
// attenuation, a dummy, a morphing mesh, hide keys, the ambient node,
// repeat and loop tracks and keys with every spline flag.
qhscene::Scene harbourScene();

// A lighthouse as most 3DS files in the wild come: meshes and materials
// only, no camera, light or keyframer; away from the origin, some 40 units
// tall, a planked deck textured "planks.tga" and a rail without a material.
qhscene::Scene lighthouseScene();

// Meshes at rest poses whose nodes' frame-0 keys hold them there.
qhscene::Scene posedScene();

// A scene of `nodes` object nodes in chains of four, each with position,
// rotation and scale tracks of `keys` keys, sharing `faces` faces between
// their meshes.
qhscene::Scene largeScene(int nodes, int keys, int faces);

// lib3ds's reading of the bytes (nullptr when it refuses them).
Lib3dsFile* lib3dsRead(const Bytes& bytes);

} // namespace qhtest
