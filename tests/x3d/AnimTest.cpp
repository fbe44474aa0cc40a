// Keyframe evaluation and scene animation against lib3ds, against hand
// computations, and the frame-0 identity of well-made files.
#include <lib3ds/file.h>
#include <lib3ds/matrix.h>
#include <lib3ds/mesh.h>
#include <lib3ds/node.h>
#include <lib3ds/tracks.h>
#include <lib3ds/vector.h>

#include <cmath>
#include <cstring>

#include "RawFiles.h"
#include "X3dTestUtil.h"

using namespace qhtest;
using namespace qhscene;

namespace {

uint32_t g_seed = 2024;
float rnd(float lo, float hi)
{
    g_seed = g_seed * 1664525u + 1013904223u;
    return lo + (hi - lo) * (float)(g_seed >> 8) / 16777216.0f;
}

// A chain of three meshes under a dummy, all keys at the same frames, with
// spline values but no ease; the meshes at turned and scaled poses with
// pivots.
Scene chainScene(int keys, int step)
{
    Scene s;
    Material m;
    m.name = "Paint";
    s.materials = {m};
    Node dummy;
    dummy.id = 0;
    dummy.name = "$$$DUMMY";
    dummy.instance = "Rig";
    s.nodes.push_back(dummy);
    for (int i = 0; i < 3; i++) {
        Mesh mesh;
        mesh.name = "Link" + std::to_string(i);
        mesh.vertices = {{-1, -1, 0}, {1, -1, 0}, {0, 1, 0.5f}, {0, 0, 2}};
        mesh.faces = {{0, 1, 2, 7, "Paint"}, {0, 1, 3, 7, "Paint"}};
        placeMesh(mesh, {{rnd(-5, 5), rnd(-5, 5), rnd(0, 5)}, {rnd(-1, 1), rnd(-1, 1), 1}, rnd(-2, 2),
                         {rnd(0.5f, 2), rnd(0.5f, 2), rnd(0.5f, 2)}});
        s.meshes.push_back(mesh);
        Node n;
        n.id = i + 1;
        n.parent = i;
        n.name = mesh.name;
        n.pivot = {rnd(-1, 1), rnd(-1, 1), rnd(-1, 1)};
        s.nodes.push_back(n);
    }
    Camera c;
    c.name = "Cam";
    s.cameras = {c};
    Node cam;
    cam.kind = Node::Camera;
    cam.id = 4;
    cam.name = "Cam";
    s.nodes.push_back(cam);
    for (Node& n : s.nodes)
        for (int k = 0; k < keys; k++) {
            VecKey p;
            p.frame = k * step;
            p.v = {rnd(-10, 10), rnd(-10, 10), rnd(-10, 10)};
            p.tension = rnd(-0.9f, 0.9f);
            p.continuity = rnd(-0.9f, 0.9f);
            p.bias = rnd(-0.9f, 0.9f);
            n.position.keys.push_back(p);
            if (n.kind == Node::Camera) {
                FloatKey f;
                f.frame = k * step;
                f.v = rnd(30, 90);
                f.tension = rnd(-0.9f, 0.9f);
                n.fov.keys.push_back(f);
                continue;
            }
            VecKey sc = p;
            sc.v = {rnd(0.5f, 2), rnd(0.5f, 2), rnd(0.5f, 2)};
            n.scale.keys.push_back(sc);
            RotKey r;
            r.frame = k * step;
            r.angle = rnd(-2, 2);
            r.axis = {rnd(-1, 1), rnd(-1, 1), rnd(-1, 1)};
            r.continuity = rnd(-0.5f, 0.5f);
            n.rotation.keys.push_back(r);
        }
    s.lastFrame = (keys - 1) * step;
    return s;
}

x3dNode* nodeById(Loaded& l, int id) { return l.node(id); }

using Anim = X3dTest;

// lib3ds's Hermite segments between two middle keys are ours (its end
// tangents differ and it ignores ease, so only those are compared).
TEST_F(Anim, MiddleSegmentsMatchLib3ds)
{
    Bytes bytes = write3ds(chainScene(6, 10));
    Lib3dsFile* f = lib3dsRead(bytes);
    ASSERT_NE(f, nullptr);
    Loaded l(bytes);
    int compared = 0;
    for (int id = 1; id <= 4; id++) {
        Lib3dsNode* n = lib3ds_file_node_by_id(f, (Lib3dsWord)id);
        ASSERT_NE(n, nullptr);
        x3dNode* o = nodeById(l, id);
        for (float frame = 10.5f; frame < 40.0f; frame += 1.25f) {
            float ours[3], theirs[3], mapped[3];
            if (id == 4) {
                lib3ds_lin1_track_eval(&n->data.camera.fov_track, &theirs[0], frame);
                x3dSplineEvalFloat(o->tracks[1], frame, &ours[0]);
                EXPECT_NEAR(ours[0], theirs[0], 1e-4f) << "fov at " << frame;
                lib3ds_lin3_track_eval(&n->data.camera.pos_track, theirs, frame);
            } else {
                lib3ds_lin3_track_eval(&n->data.object.scl_track, theirs, frame);
                x3dSplineEval(o->tracks[1], frame, ours);
                swapped(theirs, mapped);
                for (int i = 0; i < 3; i++)
                    EXPECT_NEAR(ours[i], mapped[i], 1e-5f) << "scale at " << frame;
                lib3ds_lin3_track_eval(&n->data.object.pos_track, theirs, frame);
            }
            x3dSplineEval(o->tracks[0], frame, ours);
            swapped(theirs, mapped);
            for (int i = 0; i < 3; i++)
                EXPECT_NEAR(ours[i], mapped[i], 1e-4f) << "node " << id << " position at " << frame;
            compared++;
        }
    }
    EXPECT_EQ(compared, 4 * 24);
    lib3ds_file_free(f);
}

// At key frames lib3ds's absolute rotations are the conjugates of ours (in
// its x, y, z, w order, y and z exchanged), and its node matrices give the
// same world positions through the hierarchy, pivots and mesh matrices.
TEST_F(Anim, KeyFramesAndWorldPositionsMatchLib3ds)
{
    Bytes bytes = write3ds(chainScene(5, 8));
    Lib3dsFile* f = lib3dsRead(bytes);
    ASSERT_NE(f, nullptr);
    Loaded l(bytes);
    for (int id = 0; id <= 3; id++) {
        Lib3dsNode* n = lib3ds_file_node_by_id(f, (Lib3dsWord)id);
        x3dTrack* t = nodeById(l, id)->tracks[2];
        int k = 0;
        for (Lib3dsQuatKey* key = n->data.object.rot_track.keyL; key; key = key->next, k++) {
            float conj[4] = {key->q[3], -key->q[0], -key->q[2], -key->q[1]};
            float ours[4];
            x3dSplineEvalRot(t, (float)key->tcb.frame, ours);
            float sign = conj[0] * ours[0] >= 0 ? 1.0f : -1.0f;
            for (int i = 0; i < 4; i++)
                EXPECT_NEAR(ours[i], sign * conj[i], 1e-5f) << "node " << id << " key " << k;
        }
        EXPECT_EQ(k, 5);
    }
    for (float frame : {0.0f, 8.0f, 16.0f, 24.0f, 32.0f, 50.0f}) {
        lib3ds_file_eval(f, frame);
        l.at(frame);
        for (Lib3dsMesh* m = f->meshes; m; m = m->next) {
            Lib3dsNode* n = lib3ds_file_node_by_name(f, m->name, LIB3DS_OBJECT_NODE);
            Lib3dsMatrix inv;
            lib3ds_matrix_copy(inv, m->matrix);
            lib3ds_matrix_inv(inv);
            x3dObject* o = l.object(m->name);
            for (unsigned i = 0; i < m->points; i++) {
                Lib3dsVector local, theirs;
                lib3ds_vector_transform(local, inv, m->pointL[i].pos);
                lib3ds_vector_sub(local, local, n->data.object.pivot);
                lib3ds_vector_transform(theirs, n->matrix, local);
                float mapped[3], ours[3];
                swapped(theirs, mapped);
                world(o, (int)i, ours);
                for (int j = 0; j < 3; j++)
                    EXPECT_NEAR(ours[j], mapped[j], 2e-3f) << m->name << " vertex " << i << " at " << frame;
            }
        }
    }
    lib3ds_file_free(f);
}

// A well-made file puts its meshes back at their stored vertices at frame 0,
// whatever their mesh matrices and pivots.
TEST_F(Anim, FrameZeroGivesTheStoredVertices)
{
    Scene scene = posedScene();
    Loaded l(write3ds(scene));
    l.at(0);
    for (const Mesh& m : scene.meshes) {
        x3dObject* o = l.object(m.name.c_str());
        ASSERT_NE(o, nullptr);
        for (size_t i = 0; i < m.vertices.size(); i++) {
            float ours[3], stored[3];
            world(o, (int)i, ours);
            swapped(m.vertices[i].data(), stored);
            for (int j = 0; j < 3; j++)
                EXPECT_NEAR(ours[j], stored[j], 1e-4f) << m.name << " vertex " << i;
        }
    }
}

// A track of one float per key, from a raw file.
struct FloatTrack {
    x3dTrack track{};
    std::vector<x3dKey> keys;
    FloatTrack(int mode, std::vector<float> frames, std::vector<float> values)
        : keys(frames.size())
    {
        for (size_t i = 0; i < frames.size(); i++) {
            keys[i].frame = frames[i];
            keys[i].value[0] = values[i];
            keys[i].previous = i ? &keys[i - 1] : nullptr;
            keys[i].next = i + 1 < frames.size() ? &keys[i + 1] : nullptr;
        }
        track.mode = mode;
        track.keyCount = (int)keys.size();
        track.length = frames.back();
        track.keys = keys.data();
        x3dSplineInit(&track);
    }
    float at(float frame)
    {
        float v = -999;
        x3dSplineEvalFloat(&track, frame, &v);
        return v;
    }
};

TEST_F(Anim, HandComputedValues)
{
    // Two keys of tension 0: the straight line, with Hermite timing.
    FloatTrack line(0, {0, 10}, {0, 10});
    EXPECT_FLOAT_EQ(line.at(2.5f), 2.5f);
    EXPECT_FLOAT_EQ(line.at(5), 5);
    // On a key's frame: the segment ending there, t = 1.
    FloatTrack three(0, {0, 10, 20}, {0, 5, 20});
    EXPECT_EQ(three.at(10), 5.0f);
    EXPECT_EQ(three.track.cursor, &three.keys[0]);
    EXPECT_EQ(three.at(-1), -999.0f); // negative frames leave the output
    // Beyond the last key: single holds it, repeat and loop wrap.
    EXPECT_EQ(three.at(25), 20.0f);
    FloatTrack repeat(1, {0, 10, 20}, {0, 5, 20}), loop(2, {0, 10, 20}, {0, 5, 0});
    EXPECT_EQ(repeat.at(25), repeat.at(5));
    EXPECT_EQ(loop.at(45), loop.at(5));
    // Loop tangents close the curve: the slope at the seam is the same from
    // both sides, where single and repeat ones are not.
    EXPECT_NEAR(loop.at(19.99f) - loop.at(19.98f), loop.at(0.02f) - loop.at(0.01f), 1e-4f);
    // A repeat track of length 0 is evaluated as single.
    FloatTrack zero(1, {0}, {3});
    EXPECT_EQ(zero.at(50), 3.0f);
    // Backwards in time the cursor restarts: same values as fresh.
    float forward = three.at(17);
    three.at(3);
    EXPECT_EQ(three.at(17), forward);

    // Ease: a sum of 0 leaves t; above 1 it is normalised.
    EXPECT_EQ(x3dEase(0.3f, 0, 0), 0.3f);
    EXPECT_FLOAT_EQ(x3dEase(0.25f, 0.75f, 0.75f), 0.125f);
    EXPECT_FLOAT_EQ(x3dEase(0.5f, 0.75f, 0.75f), 0.5f);
    EXPECT_FLOAT_EQ(x3dEase(0.25f, 0.5f, 0), 0.0625f / 1.5f / 0.5f);
    // No ease-to: t = 1 gives exactly 1, not 0 / 0.
    EXPECT_EQ(x3dEase(1, 0.5f, 0), 1.0f);
    FloatTrack eased(0, {0, 10}, {0, 8});
    eased.keys[0].easeFrom = 0.5f;
    EXPECT_EQ(eased.at(10), 8.0f);

    // Slerp with a spin turns once more: angle 2 t (omega + pi).
    float q0[4] = {1, 0, 0, 0}, q1[4] = {cosf(0.5f), 0, 0, sinf(0.5f)}, q[4];
    x3dQuatSlerp(q0, q1, 1, 0.5f, q);
    float phi = 0.5f * (0.5f + 3.14159265f);
    EXPECT_NEAR(q[0], cosf(phi), 1e-6f);
    EXPECT_NEAR(q[3], sinf(phi), 1e-6f);

    x3dTrack empty{};
    EXPECT_EXIT(x3dSplineInit(&empty), ::testing::ExitedWithCode(3),
                "x3dSplineInit error: no keys\n\nFile X3d/Spline.cpp");
    EXPECT_EXIT(x3dSplineInitRot(&empty), ::testing::ExitedWithCode(3), "x3dSplineInitRot error: no keys");
}

// The harbour scene frame by frame: hide and morph keys, angle sums,
// parented cameras and lights that must not run away, empty tracks.
TEST_F(Anim, HarbourScene)
{
    Loaded l(write3ds(harbourScene()));
    x3dScene& s = l.s;
    x3dObject* sail = l.object("Sail");
    const struct {
        float frame;
        bool hidden;
    } hide[] = {{29, false}, {30, true}, {45, true}, {60, true}, {60.5f, false}, {90, false}, {91, true}};
    for (const auto& h : hide) {
        l.at(h.frame);
        EXPECT_EQ((sail->flags & 1) != 0, h.hidden) << "frame " << h.frame;
    }

    // Morph: Gull1 at 0, Gull2 (ease-from 0.5) at 20, Gull1 (ease-to 0.5)
    // at 40, repeating every 40 frames.
    x3dObject* gull = l.object("Gull1");
    int16_t g1 = (int16_t)l.object("Gull1")->id, g2 = (int16_t)l.object("Gull2")->id;
    l.at(5);
    EXPECT_EQ(gull->flags & 8, 8);
    EXPECT_EQ(gull->morphSource, g1);
    EXPECT_EQ(gull->morphTarget, g2);
    EXPECT_FLOAT_EQ(gull->morphFactor, 0.25f);
    l.at(25); // t = 0.25 eased: t * t / (2 - 0.5 - 0.5) / 0.5
    EXPECT_EQ(gull->morphSource, g2);
    EXPECT_EQ(gull->morphTarget, g1);
    EXPECT_FLOAT_EQ(gull->morphFactor, 0.125f);
    l.at(45); // wraps to 5
    EXPECT_FLOAT_EQ(gull->morphFactor, 0.25f);
    EXPECT_EQ(l.object("Hull")->flags & 8, 0);
    EXPECT_EQ(l.object("Gull2")->flags & 2, 2); // hidden by its node

    // Rotation keys: angle sums of truncated angles (0.5, 0.4, 6.3 rad).
    x3dTrack* rot = l.node(0)->tracks[2];
    EXPECT_EQ(rot->keys[0].value[0], 0.0f);
    EXPECT_EQ(rot->keys[1].value[0], 0.0f);
    EXPECT_EQ(rot->keys[2].value[0], 6.0f);

    // Camera01 moves with the dummy; Omni01 rides on Camera01; Camera02 has
    // only empty tracks but a moving target; Camera03 has no node at all.
    x3dCamera* cam = x3dFindCamera("Camera01", &s);
    x3dCamera* still = x3dFindCamera("Camera02", &s);
    x3dCamera* free = x3dFindCamera("Camera03", &s);
    x3dLight* omni = x3dFindLight("Omni01", &s);
    x3dObject* rig = l.object("Rig");
    ASSERT_NE(rig, nullptr);
    EXPECT_EQ(x3dFindLight("Spot01", &s)->type, 2 | 4);
    x3dCameraResetSize(still);
    x3dCameraResetSize(free);
    for (int pass = 0; pass < 2; pass++) {
        l.at(25);
        float key[3] = {-5, 22.5f, -55}, expect[3];
        x3dSplineEval(l.node(6)->tracks[0], 25, key);
        for (int r = 0; r < 3; r++)
            expect[r] = rig->matrix[r][0] * key[0] + rig->matrix[r][1] * key[1] + rig->matrix[r][2] * key[2] +
                        rig->matrix[r][3];
        for (int r = 0; r < 3; r++) {
            EXPECT_NEAR(cam->position[r], expect[r], 1e-4f) << "pass " << pass;
            const float own[3] = {0, 2, 0};
            EXPECT_NEAR(omni->position[r], own[r] + cam->position[r], 1e-4f) << "pass " << pass;
        }
        EXPECT_EQ(still->position[2], still->basePosition[2]);
    }
    EXPECT_FLOAT_EQ(still->projectedFov, still->lensFov);
    EXPECT_NEAR(still->projection[0][0], 1.0f / tanf(30.0f * 0.017453292f), 1e-5f);
    EXPECT_EQ(free->projectedFov, 0.0f); // reset by the viewport, projection kept
    EXPECT_GT(free->projection[0][0], 1.0f);
    EXPECT_NE(free->view[2][2], 0.0f);
    // The FOV keys drive the projection.
    l.at(60);
    EXPECT_FLOAT_EQ(cam->projectedFov, 45);

    // Every number of every record stays finite over the whole range.
    for (float frame = 0; frame <= 130; frame += 3.5f) {
        l.at(frame);
        for (int i = 0; i < s.objectCount; i++)
            for (int j = 0; j < 12; j++)
                ASSERT_TRUE(std::isfinite(s.objects[i].matrix[j / 4][j % 4])) << s.objects[i].name << " " << frame;
        for (int i = 0; i < s.cameraCount; i++)
            for (int j = 0; j < 12; j++)
                ASSERT_TRUE(std::isfinite(s.cameras[i].view[j / 4][j % 4])) << s.cameras[i].name << " " << frame;
    }
}

// A turn about a long axis is the same turn about the unit axis; about a
// zero axis it is none.
TEST_F(Anim, RotationAxesAreNormalised)
{
    Bytes file = rawFile(
        [](ChunkWriter& w) {
            rawTriangle(w, "A");
            rawTriangle(w, "B");
        },
        [](ChunkWriter& w) {
            rawNode(w, 0xB002, 0, "A", 0xFFFF,
                    [](ChunkWriter& w) { rawTrack(w, 0xB021, 0, {0}, {{1.5707964f, 0, 0, 2}}); });
            rawNode(w, 0xB002, 1, "B", 0xFFFF,
                    [](ChunkWriter& w) { rawTrack(w, 0xB021, 0, {0, 10}, {{1, 0, 0, 0}, {3, 0, 0, 0}}); });
        });
    Loaded l(file);
    l.at(5);
    const float* q = l.object("A")->rotation;
    EXPECT_NEAR(q[0], sqrtf(0.5f), 1e-6f);
    EXPECT_NEAR(q[2], sqrtf(0.5f), 1e-6f); // the file's z is the engine's y
    EXPECT_NEAR(q[1] * q[1] + q[3] * q[3], 0.0f, 1e-12f);
    const float* m = l.object("B")->rotation;
    EXPECT_EQ(m[0], 1.0f);
    EXPECT_EQ(m[1] * m[1] + m[2] * m[2] + m[3] * m[3], 0.0f);
    EXPECT_EQ(l.node(1)->tracks[2]->keys[1].value[0], 0.0f); // no turn counted
}

// Straight above its target the pitch is -90 degrees: a finite view looking
// down.
TEST_F(Anim, CameraStraightAboveItsTarget)
{
    x3dCamera c{};
    c.position[1] = 7.3f;
    x3dCameraUpdate(&c);
    for (int i = 0; i < 12; i++)
        EXPECT_TRUE(std::isfinite(c.view[i / 4][i % 4]));
    EXPECT_NEAR(c.view[2][1], -1.0f, 1e-6f);
    EXPECT_NEAR(c.view[2][3], 7.3f, 1e-5f);
}

} // namespace
