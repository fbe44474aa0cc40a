// Keyframe splines and the per-frame animation of the current scene:
// Kochanek-Bartels curves with ease for values, squad for rotations, the
// node hierarchy and the camera matrices.
#pragma once
#include "X3d/X3d.h"

// Tangents of a value track (all four components); a track without keys is
// an assertion.
void x3dSplineInit(x3dTrack* track);
// Tangent quaternions of a rotation track; a track without keys is an
// assertion.
void x3dSplineInitRot(x3dTrack* track);
// t reshaped by the ease-from of a segment's first key (a) and the ease-to
// of its second (b).
float x3dEase(float t, float a, float b);

// Evaluation at a frame. A negative frame, no track or no keys leaves the
// output as it was.
void x3dSplineEval(x3dTrack* track, float frame, float out[3]);
void x3dSplineEvalFloat(x3dTrack* track, float frame, float* out);
void x3dSplineEvalRot(x3dTrack* track, float frame, float out[4]);

// Spherical interpolation of (w, x, y, z) quaternions with extra turns.
void x3dQuatSlerp(const float q0[4], const float q1[4], float spins, float t, float out[4]);
// Hamilton product a * b; out may be a or b.
void x3dQuatMul(const float a[4], const float b[4], float out[4]);
// Rotation matrix of a quaternion, translation 0.
void x3dQuatToMatrix(const float q[4], float m[3][4]);
// out = a * b for 3x4 affine matrices; out may be a or b.
void x3dMatrixMul(const float a[3][4], const float b[3][4], float out[3][4]);

// Animates the current scene at its current frame.
void x3dAnimateScene();
// Rebuilds a camera's view matrix from its position, target and roll.
void x3dCameraUpdate(x3dCamera* camera);
// Recomputes the projection scale and sphere factor for a field of view.
void x3dCameraSetFov(x3dCamera* camera, float fov);
