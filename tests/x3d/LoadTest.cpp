// The 3DS reader against lib3ds reading the same bytes, hand-made files for
// what lib3ds cannot judge, and every kind of broken file.
#include <lib3ds/camera.h>
#include <lib3ds/light.h>
#include <lib3ds/material.h>
#include <lib3ds/matrix.h>
#include <lib3ds/mesh.h>
#include <lib3ds/node.h>
#include <lib3ds/tracks.h>
#include <lib3ds/vector.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "RawFiles.h"
#include "X3dTestUtil.h"
#include "system/Xerror.h"
#include "tests/common/Scratch.h"
#include "tests/common/TestZip.h"

using namespace qhtest;
using qhscene::write3ds;

namespace {

void expectNear3(const float* a, const float* b, float tolerance, const std::string& what)
{
    for (int i = 0; i < 3; i++)
        EXPECT_NEAR(a[i], b[i], tolerance) << what << " [" << i << "]";
}

// Our node kind for a lib3ds node (lib3ds keeps omni and spot nodes apart
// only by their light).
int kindOf(const Lib3dsNode* n, Lib3dsFile* f)
{
    switch (n->type) {
    case LIB3DS_AMBIENT_NODE: return 64;
    case LIB3DS_OBJECT_NODE: return 32;
    case LIB3DS_CAMERA_NODE: return 1;
    case LIB3DS_TARGET_NODE: return 2;
    case LIB3DS_SPOT_NODE: return 16;
    case LIB3DS_LIGHT_NODE: {
        Lib3dsLight* l = lib3ds_file_light_by_name(f, n->name);
        return l && l->spot_light ? 8 : 4;
    }
    default: return 0;
    }
}

// Frames and the spline values a key's flags name.
void expectTcb(const Lib3dsTcb& t, const x3dKey& k, const std::string& what)
{
    EXPECT_EQ((float)t.frame, k.frame) << what;
    EXPECT_EQ(t.flags & 1 ? t.tens : 0.0f, k.tension) << what;
    EXPECT_EQ(t.flags & 2 ? t.cont : 0.0f, k.continuity) << what;
    EXPECT_EQ(t.flags & 4 ? t.bias : 0.0f, k.bias) << what;
    EXPECT_EQ(t.flags & 8 ? t.ease_to : 0.0f, k.easeTo) << what;
    EXPECT_EQ(t.flags & 16 ? t.ease_from : 0.0f, k.easeFrom) << what;
}

template <typename Key> int countKeys(Key* k)
{
    int n = 0;
    for (; k; k = k->next)
        n++;
    return n;
}

// Each key of a lib3ds track against ours (frames, spline values and what
// check compares); an empty lib3ds track is none of ours.
template <typename Track, typename Check>
void expectKeys(const Track& t, const x3dTrack* ours, const std::string& what, Check check)
{
    if (!t.keyL) {
        EXPECT_EQ(ours, nullptr) << what;
        return;
    }
    ASSERT_NE(ours, nullptr) << what;
    ASSERT_EQ(ours->keyCount, countKeys(t.keyL)) << what;
    EXPECT_EQ(ours->mode, (t.flags & 3) == 3 ? 2 : (t.flags & 2) ? 1 : 0) << what;
    int i = 0;
    for (auto* k = t.keyL; k; k = k->next, i++) {
        expectTcb(k->tcb, ours->keys[i], what);
        check(*k, ours->keys[i]);
    }
}

void expectLin3(const Lib3dsLin3Track& t, const x3dTrack* ours, bool swap, const std::string& what)
{
    expectKeys(t, ours, what, [&](const Lib3dsLin3Key& k, const x3dKey& o) {
        float v[3];
        if (swap)
            swapped(k.value, v);
        else
            memcpy(v, k.value, sizeof v);
        expectNear3(o.value, v, 0, what);
    });
}

void expectLin1(const Lib3dsLin1Track& t, const x3dTrack* ours, const std::string& what)
{
    expectKeys(t, ours, what, [&](const Lib3dsLin1Key& k, const x3dKey& o) { EXPECT_EQ(o.value[0], k.value) << what; });
}

// Rotation keys keep the sum of the truncated angles and the unit axis.
void expectRotation(const Lib3dsQuatTrack& t, const x3dTrack* ours, const std::string& what)
{
    float sum = 0;
    expectKeys(t, ours, what, [&](const Lib3dsQuatKey& k, const x3dKey& o) {
        float axis[3], len = sqrtf(k.axis[0] * k.axis[0] + k.axis[1] * k.axis[1] + k.axis[2] * k.axis[2]);
        swapped(k.axis, axis);
        for (float& a : axis)
            a /= len;
        sum += truncf(k.angle);
        EXPECT_EQ(o.value[0], sum) << what;
        expectNear3(&o.value[1], axis, 1e-6f, what);
    });
}

// Everything lib3ds reads from a file, against what our reader made of it.
void expectSameAsLib3ds(const Bytes& bytes)
{
    Lib3dsFile* f = lib3dsRead(bytes);
    ASSERT_NE(f, nullptr);
    Loaded ours(bytes);
    const x3dScene& s = ours.s;

    EXPECT_EQ(s.firstFrame, (float)f->segment_from);
    EXPECT_EQ(s.lastFrame, (float)f->segment_to);

    int materials = 0;
    for (Lib3dsMaterial* m = f->materials; m; m = m->next, materials++) {
        SCOPED_TRACE(m->name);
        const x3dMaterial* o = x3dFindMaterial(m->name, ours.s.materials ? &ours.s : nullptr);
        ASSERT_NE(o, nullptr);
        expectNear3(o->ambient, m->ambient, 1.0f / 255, "ambient");
        expectNear3(o->diffuse, m->diffuse, 1.0f / 255, "diffuse");
        expectNear3(o->specular, m->specular, 1.0f / 255, "specular");
        EXPECT_FLOAT_EQ(o->shininess, m->shininess);
        EXPECT_FLOAT_EQ(o->shininessStrength, m->shin_strength);
        EXPECT_FLOAT_EQ(o->transparency, m->transparency);
        EXPECT_FLOAT_EQ(o->transparencyFalloff, m->falloff);
        EXPECT_FLOAT_EQ(o->reflectionBlur, m->blur);
        EXPECT_FLOAT_EQ(o->selfIllumination, m->self_ilpct);
        EXPECT_EQ(o->renderFlags, (uint32_t)m->shading);
        EXPECT_EQ(o->materialFlags,
                  (uint32_t)((m->two_sided ? 1 : 0) | (m->soften ? 2 : 0) | (m->use_wire ? 4 : 0) | (m->additive ? 8 : 0)));
        const Lib3dsTextureMap* maps[3] = {&m->texture1_map, &m->reflection_map, &m->bump_map};
        const x3dTextureSlot* slots[3] = {&o->texture, &o->reflection, &o->bump};
        for (int i = 0; i < 3; i++) {
            EXPECT_STREQ(slots[i]->name ? slots[i]->name : "", maps[i]->name);
            if (!maps[i]->name[0])
                continue;
            EXPECT_EQ(slots[i]->options, maps[i]->flags);
            EXPECT_EQ(slots[i]->uScale, maps[i]->scale[0]);
            EXPECT_EQ(slots[i]->vScale, maps[i]->scale[1]);
            EXPECT_EQ(slots[i]->uOffset, maps[i]->offset[0]);
            EXPECT_EQ(slots[i]->vOffset, maps[i]->offset[1]);
            EXPECT_EQ(slots[i]->rotation, maps[i]->rotation);
        }
    }
    EXPECT_EQ(s.materialCount, materials);

    int meshes = 0;
    for (Lib3dsMesh* m = f->meshes; m; m = m->next, meshes++) {
        SCOPED_TRACE(m->name);
        const x3dObject* o = x3dFindObject(m->name, &ours.s);
        ASSERT_NE(o, nullptr);
        ASSERT_EQ(o->vertexCount, (int)m->points);
        ASSERT_EQ(o->faceCount, (int)m->faces);
        // lib3ds keeps world positions: through the inverse mesh matrix and
        // the pivot of the mesh's node they must give our local vertices.
        Lib3dsMatrix inv;
        lib3ds_matrix_copy(inv, m->matrix);
        lib3ds_matrix_inv(inv);
        Lib3dsNode* node = lib3ds_file_node_by_name(f, m->name, LIB3DS_OBJECT_NODE);
        for (unsigned i = 0; i < m->points; i++) {
            Lib3dsVector local, p;
            lib3ds_vector_transform(local, inv, m->pointL[i].pos);
            if (node)
                lib3ds_vector_sub(local, local, node->data.object.pivot);
            swapped(local, p);
            expectNear3(o->vertices[i].position, p, 2e-4f, "vertex " + std::to_string(i));
            EXPECT_FLOAT_EQ(o->vertices[i].u, m->texels ? m->texelL[i][0] * 255.9f : 0.0f);
            EXPECT_FLOAT_EQ(o->vertices[i].v, m->texels ? m->texelL[i][1] * 255.9f : 0.0f);
        }
        for (unsigned i = 0; i < m->faces; i++) {
            const Lib3dsFace& lf = m->faceL[i];
            const x3dFace& of = o->faces[i];
            EXPECT_EQ(of.a, lf.points[0]);
            EXPECT_EQ(of.b, lf.points[1]);
            EXPECT_EQ(of.c, lf.points[2]);
            EXPECT_EQ(of.vertices[2], &o->vertices[lf.points[2]]);
            EXPECT_EQ(of.clipFlags, ((lf.flags & 8) ? 1 : 0) | ((lf.flags & 16) ? 2 : 0));
            EXPECT_STREQ(of.material ? of.material->name : "", lf.material);
            EXPECT_EQ(of.materialId, of.material ? (int16_t)of.material->id : 0);
        }
    }
    int dummies = 0;
    for (int i = 0; i < s.objectCount; i++)
        dummies += (s.objects[i].flags & 4) ? 1 : 0;
    EXPECT_EQ(s.objectCount - dummies, meshes);

    int cameras = 0;
    for (Lib3dsCamera* c = f->cameras; c; c = c->next, cameras++) {
        SCOPED_TRACE(c->name);
        const x3dCamera* o = x3dFindCamera(c->name, &ours.s);
        ASSERT_NE(o, nullptr);
        float v[3];
        swapped(c->position, v);
        expectNear3(o->basePosition, v, 0, "camera position");
        swapped(c->target, v);
        expectNear3(o->baseTarget, v, 0, "camera target");
        EXPECT_EQ(o->roll, c->roll);
        // lib3ds's 2400 / lens everywhere but at the lenses of our table.
        float lens = 2400.0f / c->fov;
        if (lens != 35.0f && lens != 28.0f) {
            EXPECT_NEAR(o->lensFov, c->fov, 1e-3f);
        }
    }
    EXPECT_EQ(s.cameraCount, cameras);

    int lights = 0;
    for (Lib3dsLight* l = f->lights; l; l = l->next, lights++) {
        SCOPED_TRACE(l->name);
        const x3dLight* o = x3dFindLight(l->name, &ours.s);
        ASSERT_NE(o, nullptr);
        float v[3];
        swapped(l->position, v);
        expectNear3(o->basePosition, v, 0, "light position");
        expectNear3(o->colour, l->color, 0, "light colour");
        EXPECT_EQ(o->innerRange, l->inner_range);
        EXPECT_EQ(o->outerRange, l->outer_range);
        EXPECT_EQ((o->type & 4) != 0, l->attenuation > 0);
        EXPECT_EQ(o->type & 3, l->spot_light ? 2 : 1);
        if (l->spot_light) {
            swapped(l->spot, v);
            expectNear3(o->baseTarget, v, 0, "spot target");
            EXPECT_NEAR(o->cosHotspot, cosf(l->hot_spot * 0.5f * 0.017453292f), 1e-6f);
            EXPECT_NEAR(o->cosFalloff, cosf(l->fall_off * 0.5f * 0.017453292f), 1e-6f);
        }
    }
    EXPECT_EQ(s.lightCount, lights);

    // Nodes: lib3ds keeps them as a tree; ours is a list with parent indices.
    int nodes = 0;
    std::function<void(Lib3dsNode*)> visit = [&](Lib3dsNode* n) {
        for (; n; n = n->next) {
            nodes++;
            std::string what = std::string(n->name) + " node " + std::to_string(n->node_id);
            SCOPED_TRACE(what);
            const x3dNode* o = ours.node(n->node_id);
            ASSERT_NE(o, nullptr);
            EXPECT_EQ(o->kind, kindOf(n, f));
            EXPECT_EQ(o->parent < 0 ? 0xFFFF : s.nodes[o->parent].nodeId, n->parent_id);
            switch (n->type) {
            case LIB3DS_OBJECT_NODE: {
                const Lib3dsObjectData& d = n->data.object;
                const x3dObject* obj = (const x3dObject*)o->record;
                ASSERT_NE(obj, nullptr);
                EXPECT_STREQ(obj->name, d.instance[0] ? d.instance : n->name);
                EXPECT_EQ((obj->flags & 2) != 0, (n->flags1 & 0x800) != 0);
                expectLin3(d.pos_track, o->tracks[0], true, "position");
                expectLin3(d.scl_track, o->tracks[1], true, "scale");
                expectRotation(d.rot_track, o->tracks[2], "rotation");
                ASSERT_EQ(o->tracks[4] ? o->tracks[4]->keyCount : 0, countKeys(d.hide_track.keyL));
                int i = 0;
                for (Lib3dsBoolKey* k = d.hide_track.keyL; k; k = k->next, i++) {
                    EXPECT_EQ(o->tracks[4]->keys[i].frame, (float)k->tcb.frame);
                    EXPECT_EQ(o->tracks[4]->keys[i].value[0], i % 2 ? 0.0f : 1.0f);
                }
                i = 0;
                ASSERT_EQ(o->tracks[3] ? o->tracks[3]->keyCount : 0, countKeys(d.morph_track.keyL));
                for (Lib3dsMorphKey* k = d.morph_track.keyL; k; k = k->next, i++) {
                    expectTcb(k->tcb, o->tracks[3]->keys[i], "morph");
                    EXPECT_EQ(o->tracks[3]->keys[i].value[0], (float)x3dFindObject(k->name, &ours.s)->id);
                }
                break;
            }
            case LIB3DS_CAMERA_NODE:
                expectLin3(n->data.camera.pos_track, o->tracks[0], true, "position");
                expectLin1(n->data.camera.fov_track, o->tracks[1], "fov");
                expectLin1(n->data.camera.roll_track, o->tracks[2], "roll");
                break;
            case LIB3DS_TARGET_NODE:
            case LIB3DS_SPOT_NODE:
                expectLin3(n->data.target.pos_track, o->tracks[0], true, "target");
                break;
            case LIB3DS_LIGHT_NODE:
                expectLin3(n->data.light.pos_track, o->tracks[0], true, "position");
                if (o->kind == 8) {
                    expectLin1(n->data.light.roll_track, o->tracks[1], "roll");
                    expectLin3(n->data.light.col_track, o->tracks[2], false, "colour");
                } else {
                    expectLin3(n->data.light.col_track, o->tracks[1], false, "colour");
                }
                break;
            case LIB3DS_AMBIENT_NODE:
                expectLin3(n->data.ambient.col_track, o->tracks[0], false, "colour");
                break;
            default:
                break;
            }
            visit(n->childs);
        }
    };
    visit(f->nodes);
    EXPECT_EQ(s.nodeCount, nodes);
    lib3ds_file_free(f);
}

using Load = X3dTest;

TEST_F(Load, ReadsWhatLib3dsReads)
{
    {
        SCOPED_TRACE("harbour");
        expectSameAsLib3ds(write3ds(harbourScene()));
    }
    {
        SCOPED_TRACE("posed");
        expectSameAsLib3ds(write3ds(posedScene()));
    }
    {
        SCOPED_TRACE("large");
        expectSameAsLib3ds(write3ds(largeScene(12, 6, 200)));
    }
}

TEST_F(Load, WriterIsDeterministicAndLogsTheLoad)
{
    Bytes a = write3ds(harbourScene()), b = write3ds(harbourScene());
    EXPECT_EQ(a, b);

    std::string dir = scratchFolder("x3dload");
    std::string path = dir + "/harbour.3ds", log = dir + "/x3d.log";
    writeFile(path, a);
    g_x3dLog.Open(log.c_str());
    x3dScene s{};
    x3dLoad3ds(path.c_str(), &s);
    fclose(g_x3dLog.file);
    g_x3dLog.file = nullptr;
    EXPECT_EQ(s.objectCount, 7); // six meshes and a dummy
    x3dFreeScene(&s);
    EXPECT_EQ(readWholeFile(log), "X3D: Load 3DS : " + path +
                                      "\nX3D: Loaded..Ok\nX3D: Objects: 7 Cameras: 3 Lights: 2 Materials: 3\n");
    // A file that cannot be opened: code 5 with its name.
    EXPECT_EXIT(x3dLoad3ds((dir + "/missing.3ds").c_str(), &s), ::testing::ExitedWithCode(5),
                "Can't access file \\( open error \\) -> .*missing.3ds, 5");
    std::filesystem::remove_all(dir);
}

// What lib3ds cannot judge: node numbering, dummies, colours by parent,
// lenses, unanimated records and a node naming its own id.
TEST_F(Load, HandMadeFiles)
{
    Bytes file = rawFile(
        [](ChunkWriter& w) {
            rawMaterial(w, "Paint", [](ChunkWriter& w) {
                // A colour under a parent other than the three colours is dropped.
                w.begin(0xA040);
                w.begin(0x0011);
                w.u8(255), w.u8(255), w.u8(255);
                w.end();
                w.end();
                w.begin(0xA020);
                w.begin(0x0011);
                w.u8(255), w.u8(51), w.u8(0);
                w.end();
                w.end();
            });
            rawTriangle(w, "A");
            rawMesh(w, "B", [](ChunkWriter& w) {
                rawVertices(w, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
                rawFaces(w, {{0, 1, 2}}, [](ChunkWriter& w) { rawGroup(w, "Paint", {0}); });
            });
            // Materials after the mesh grow the array its face points into.
            for (int i = 0; i < 20; i++)
                rawMaterial(w, "Later" + std::to_string(i));
            rawCamera(w, "Cam35", 35);
            rawCamera(w, "Cam40", 40);
        },
        [](ChunkWriter& w) {
            // Without node ids the nodes count 0, 1, 2 ...; an id chunk
            // sets the counter for the node that follows.
            rawNode(w, 0xB002, -1, "A", 0xFFFF);
            rawNode(w, 0xB002, -1, "$$$DUMMY", 0xFFFF);
            w.begin(0xB011);
            w.str("First");
            w.end();
            rawNode(w, 0xB002, -1, "$$$DUMMY", 0, [](ChunkWriter& w) {
                w.begin(0xB011);
                w.str("Second");
                w.end();
            });
            rawNode(w, 0xB002, 7, "B", 7); // its own parent
            rawNode(w, 0xB002, -1, "Nothing", 0xFFFF, [](ChunkWriter& w) {
                // A node naming no mesh: its pivot and name go nowhere.
                w.begin(0xB013);
                w.vec({5, 5, 5});
                w.end();
            });
        });
    Loaded l(file);
    x3dScene& s = l.s;
    ASSERT_EQ(s.materialCount, 21);
    EXPECT_EQ(l.object("B")->faces[0].material, &s.materials[0]);
    EXPECT_NEAR(s.materials[0].diffuse[1], 0.2f, 1e-6f);
    EXPECT_EQ(s.materials[0].ambient[0], 0.0f);
    ASSERT_EQ(s.nodeCount, 5);
    const int ids[] = {0, 1, 2, 7, 8};
    for (int i = 0; i < 5; i++)
        EXPECT_EQ(s.nodes[i].nodeId, ids[i]);
    ASSERT_EQ(s.objectCount, 4);
    EXPECT_STREQ(s.objects[2].name, "First");
    EXPECT_EQ(s.objects[2].id, 1 + 1024);
    EXPECT_EQ(s.objects[2].flags, 4);
    EXPECT_STREQ(s.objects[3].name, "Second");
    EXPECT_EQ(s.objects[3].id, 2 + 1024);
    // Object nodes made before the dummies grew the array still hold theirs.
    EXPECT_EQ(s.nodes[0].record, &s.objects[0]);
    EXPECT_EQ(s.nodes[1].record, &s.objects[2]);
    EXPECT_EQ(s.nodes[2].record, &s.objects[3]);
    EXPECT_EQ(s.nodes[2].parent, 0);
    EXPECT_EQ(s.nodes[0].firstChild, 2);
    EXPECT_EQ(s.objects[3].parent, &s.objects[0]);
    EXPECT_EQ(s.nodes[3].parent, -1);
    EXPECT_EQ(s.nodes[3].firstChild, 0);
    EXPECT_EQ(s.nodes[4].record, nullptr);
    EXPECT_EQ(s.objects[1].pivot[0], 0.0f);
    EXPECT_EQ(s.nodes[4].next, nullptr);
    EXPECT_EQ(s.nodes[3].next, &s.nodes[4]);
    EXPECT_EQ(s.nodes[4].previous, &s.nodes[3]);

    EXPECT_EQ(x3dFindCamera("Cam35", &s)->lensFov, 63.0f);
    EXPECT_FLOAT_EQ(x3dFindCamera("Cam40", &s)->lensFov, 60.0f);
    EXPECT_EQ(x3dLensToFov(200), 12.0f);

    l.at(10);
    // Objects and cameras no node moves keep their loaded pose and view.
    for (int i = 0; i < 3; i++) {
        float w[3], p[3];
        world(l.object("B"), i, w);
        const Vec3 file[3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
        swapped(file[i].data(), p);
        expectNear3(w, p, 0, "resting vertex");
    }
    x3dCamera* c = x3dFindCamera("Cam40", &s);
    x3dCameraResetSize(c);
    l.at(11);
    EXPECT_FLOAT_EQ(c->projection[0][0], 1.0f / tanf(30.0f * 0.017453292f));
    EXPECT_GT(c->sphereFactor, 0.0f);
    // Looking along +z from (0, 0, -10): no turn, moved 10 forward.
    EXPECT_NEAR(c->view[0][0], 1.0f, 1e-6f);
    EXPECT_NEAR(c->view[2][2], 1.0f, 1e-6f);
    EXPECT_NEAR(c->view[2][3], 10.0f, 1e-5f);
}

// Every refusal: exit status and the message naming the file and the fault.
TEST_F(Load, BrokenFilesAreRefused)
{
    auto tri = [](std::vector<Vec3> v, std::vector<std::vector<uint16_t>> f, Writes groups = nullptr,
                  Writes more = nullptr) {
        return rawFile([=](ChunkWriter& w) {
            rawMaterial(w, "Paint");
            rawMesh(w, "Tri", [=](ChunkWriter& w) {
                rawVertices(w, v);
                rawFaces(w, f, groups);
                if (more)
                    more(w);
            });
        });
    };
    const std::vector<Vec3> three = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    auto track = [](uint16_t chunk, std::vector<int32_t> frames, std::vector<std::vector<float>> values) {
        return rawFile([](ChunkWriter& w) { rawTriangle(w, "Tri"); rawCamera(w, "Cam", 50); },
                       [=](ChunkWriter& w) {
                           uint16_t node = chunk == 0xB023 ? 0xB003 : 0xB002;
                           rawNode(w, node, 0, node == 0xB003 ? "Cam" : "Tri", 0xFFFF,
                                   [=](ChunkWriter& w) { rawTrack(w, chunk, 0, frames, values); });
                       });
    };
    auto nested = [](int depth) {
        ChunkWriter w;
        for (int i = 0; i < depth; i++)
            w.begin(0x4D4D);
        for (int i = 0; i < depth; i++)
            w.end();
        return w.data;
    };
    Bytes good = tri(three, {{0, 1, 2}});
    Bytes zeroLength = good, cut(good.begin(), good.end() - 10);
    zeroLength[6 + 2] = zeroLength[6 + 3] = 0; // the editor chunk's length
    // A mesh swallowing the camera block that follows its object block.
    Bytes overParent = rawFile([](ChunkWriter& w) { rawTriangle(w, "Tri"); rawCamera(w, "Cam", 50); });
    qhscene::walkChunks(overParent, [&](const qhscene::ChunkRef& c) {
        if (c.id == 0x4100)
            overParent[c.offset + 2] += 20;
    });
    Bytes longName = rawFile([](ChunkWriter& w) { rawTriangle(w, std::string(300, 'x')); });
    Bytes open = rawFile([](ChunkWriter& w) {
        w.begin(0x4000);
        w.data.insert(w.data.end(), {'a', 'b', 'c'});
        w.end();
    });
    Bytes tooMany = rawFile([](ChunkWriter& w) {
        rawMesh(w, "Tri", [](ChunkWriter& w) {
            w.begin(0x4110);
            w.u16(1000);
            w.vec({1, 2, 3});
            w.end();
        });
    });
    Bytes keysTooMany = rawFile([](ChunkWriter& w) { rawTriangle(w, "Tri"); },
                                [](ChunkWriter& w) {
                                    rawNode(w, 0xB002, 0, "Tri", 0xFFFF, [](ChunkWriter& w) {
                                        w.begin(0xB020);
                                        w.trackHeader(0, 70000);
                                        w.end();
                                    });
                                });
    auto morph = [](int targetVertices) {
        return rawFile(
            [=](ChunkWriter& w) {
                rawTriangle(w, "Tri");
                rawMesh(w, "Small", [=](ChunkWriter& w) {
                    rawVertices(w, std::vector<Vec3>(targetVertices, Vec3{0, 0, 0}));
                    rawFaces(w, {{0, 0, 0}});
                });
            },
            [](ChunkWriter& w) {
                rawNode(w, 0xB002, 0, "Tri", 0xFFFF, [](ChunkWriter& w) {
                    w.begin(0xB026);
                    w.trackHeader(0, 1);
                    w.keyHeader({});
                    w.str("Small");
                    w.end();
                });
            });
    };
    Bytes noCamera = rawFile([](ChunkWriter& w) { rawTriangle(w, "Tri"); },
                             [](ChunkWriter& w) { rawNode(w, 0xB003, 0, "Ghost", 0xFFFF); });
    Bytes farMatrix = tri(three, {{0, 1, 2}}, nullptr, [](ChunkWriter& w) {
        w.begin(0x4160);
        for (Vec3 row : {Vec3{1e-20f, 0, 0}, Vec3{0, 1, 0}, Vec3{0, 0, 1}, Vec3{0, 0, 0}})
            w.vec(row);
        w.end();
    });

    struct Case {
        const char* what;
        Bytes bytes;
        int code;
        const char* message;
    };
    const Case cases[] = {
        {"face index", tri(three, {{0, 1, 5}}), 6, "test.3ds: face 0 of Tri uses vertex 5 of 3"},
        {"faces before vertices", rawFile([](ChunkWriter& w) {
             rawMesh(w, "Tri", [](ChunkWriter& w) { rawFaces(w, {{0, 1, 2}}); });
         }),
         6, "uses vertex 0 of 0"},
        {"group face", tri(three, {{0, 1, 2}}, [](ChunkWriter& w) { rawGroup(w, "Paint", {0, 4}); }), 6,
         "material group Paint of Tri uses face 4 of 1"},
        {"group before faces", tri(three, {}, nullptr, [](ChunkWriter& w) { rawGroup(w, "Paint", {0}); }), 6,
         "uses face 0 of 0"},
        {"undefined material", tri(three, {{0, 1, 2}}, [](ChunkWriter& w) { rawGroup(w, "Nope", {0}); }), 6,
         "Tri uses material Nope, which is not defined before it"},
        {"texture coordinates", tri(three, {{0, 1, 2}}, nullptr, [](ChunkWriter& w) {
             w.begin(0x4140);
             w.u16(4);
             for (int i = 0; i < 8; i++)
                 w.f32(0.5f);
             w.end();
         }),
         6, "Tri has 4 texture coordinates for 3 vertices"},
        {"second vertex list", tri(three, {{0, 1, 2}}, nullptr, [&](ChunkWriter& w) { rawVertices(w, three); }), 6,
         "Tri has a second vertex list"},
        {"second face list", tri(three, {{0, 1, 2}}, nullptr, [](ChunkWriter& w) { rawFaces(w, {{0, 1, 2}}); }), 6,
         "Tri has a second face list"},
        {"length 0", zeroLength, 6, "chunk 0x3D3D at offset 6 has length 0"},
        {"past parent", overParent, 6, "chunk 0x4100 at offset 22 runs past the end of its parent"},
        {"cut short", cut, 2, "test.3ds: chunk 0x4D4D at offset 0 runs past the end of the file"},
        {"nesting", nested(100), 6, "nested 64 levels deep"},
        {"vertex count", tooMany, 2, "Tri: 1000 vertices do not fit their chunk"},
        {"key count", keysTooMany, 2, "track 0xB020: 70000 keys do not fit their chunk"},
        {"unterminated name", open, 6, "a name in chunk 0x4000 has no end"},
        {"long name", longName, 6, "a name in chunk 0x4000 is longer than 255 bytes"},
        {"lens 0", rawFile([](ChunkWriter& w) { rawCamera(w, "Cam", 0); }), 6, "camera Cam has a lens of 0 mm"},
        {"lens 10", rawFile([](ChunkWriter& w) { rawCamera(w, "Cam", 10); }), 6, "camera Cam has a lens of 10 mm"},
        {"lens NaN", rawFile([](ChunkWriter& w) { rawCamera(w, "Cam", NAN); }), 6, "camera lens nan"},
        {"FOV 180", track(0xB023, {0}, {{180}}), 6, "field-of-view key 0 is 180 degrees"},
        {"same frame", track(0xB020, {0, 10, 10}, {{0, 0, 0}, {1, 1, 1}, {2, 2, 2}}), 6,
         "track 0xB020 of node 0: key 2 at frame 10 does not follow frame 10"},
        {"frame 65536", track(0xB020, {65536, 10}, {{0, 0, 0}, {1, 1, 1}}), 6, "key 1 at frame 10 does not follow frame 65536"},
        {"NaN vertex", tri({{0, 0, 0}, {NAN, 0, 0}, {0, 1, 0}}, {{0, 1, 2}}), 6,
         "vertex coordinate nan in chunk 0x4110 is out of range"},
        {"huge vertex", tri({{0, 0, 0}, {1e30f, 0, 0}, {0, 1, 0}}, {{0, 1, 2}}), 6, "vertex coordinate 1e+30"},
        {"huge angle", track(0xB021, {0}, {{2e4f, 0, 0, 1}}), 6, "rotation key 0 turns by 20000 radians"},
        {"tension", rawFile([](ChunkWriter& w) { rawTriangle(w, "Tri"); },
                            [](ChunkWriter& w) {
                                rawNode(w, 0xB002, 0, "Tri", 0xFFFF, [](ChunkWriter& w) {
                                    w.begin(0xB020);
                                    w.trackHeader(0, 1);
                                    qhscene::Tcb t;
                                    t.tension = 2;
                                    w.keyHeader(t);
                                    w.vec({0, 0, 0});
                                    w.end();
                                });
                            }),
         6, "tension, continuity or bias 2 outside [-1, 1]"},
        {"small morph", morph(2), 6, "morph key of Tri names Small with 2 vertices and 1 faces, fewer than its 3 and 1"},
        {"far matrix", farMatrix, 6, "vertex 1 of Tri lies"},
        {"camera node", noCamera, 7, "Internal error -> test.3ds: camera node Ghost names no camera, 7"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string pattern;
        for (const char* p = c.message; *p; p++) {
            if (strchr(".^$|()[]{}*+?\\", *p))
                pattern += '\\';
            pattern += *p;
        }
        EXPECT_EXIT(Loaded l(c.bytes), ::testing::ExitedWithCode(c.code), pattern);
    }
    // The same mesh sizes morph fine.
    Loaded l(morph(3));
    EXPECT_EQ(l.s.nodes[0].tracks[3]->keys[0].value[0], 1.0f);
}

} // namespace
