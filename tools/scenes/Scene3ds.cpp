#include "Scene3ds.h"

#include <cmath>
#include <cstring>
#include <stdexcept>

#include <lib3ds/camera.h>
#include <lib3ds/file.h>
#include <lib3ds/io.h>
#include <lib3ds/light.h>
#include <lib3ds/material.h>
#include <lib3ds/mesh.h>
#include <lib3ds/node.h>
#include <lib3ds/tracks.h>

namespace qhscene {
namespace {

// lib3ds writes through these callbacks into a growing block.
struct Sink {
    Bytes bytes;
    long pos = 0;
};

Lib3dsBool sinkError(void*) { return LIB3DS_FALSE; }

long sinkSeek(void* self, long offset, Lib3dsIoSeek origin)
{
    Sink* s = (Sink*)self;
    long base = origin == LIB3DS_SEEK_SET ? 0 : origin == LIB3DS_SEEK_CUR ? s->pos : (long)s->bytes.size();
    if (base + offset < 0)
        return -1;
    s->pos = base + offset;
    return 0;
}

long sinkTell(void* self) { return ((Sink*)self)->pos; }

size_t sinkRead(void*, void*, size_t) { return 0; }

size_t sinkWrite(void* self, const void* data, size_t size)
{
    Sink* s = (Sink*)self;
    if ((size_t)s->pos + size > s->bytes.size())
        s->bytes.resize((size_t)s->pos + size);
    memcpy(s->bytes.data() + s->pos, data, size);
    s->pos += (long)size;
    return size;
}

void name64(char* out, const std::string& name)
{
    if (name.size() >= 64)
        throw std::runtime_error("3DS name longer than 63 bytes: " + name);
    strcpy(out, name.c_str());
}

void copy3(float* out, const Vec3& v)
{
    for (int i = 0; i < 3; i++)
        out[i] = v[i];
}

void tcb(Lib3dsTcb& out, const Tcb& key)
{
    out.frame = key.frame;
    out.tens = key.tension;
    out.cont = key.continuity;
    out.bias = key.bias;
    out.ease_to = key.easeTo;
    out.ease_from = key.easeFrom;
    const float values[5] = {key.tension, key.continuity, key.bias, key.easeTo, key.easeFrom};
    out.flags = key.flags;
    if (!out.flags)
        for (int i = 0; i < 5; i++)
            if (values[i] != 0.0f)
                out.flags |= (Lib3dsWord)(1 << i);
}

void map(Lib3dsTextureMap& out, const Map& in)
{
    name64(out.name, in.name);
    out.flags = in.options;
    out.percent = 1.0f;
    out.scale[0] = in.uScale;
    out.scale[1] = in.vScale;
    out.offset[0] = in.uOffset;
    out.offset[1] = in.vOffset;
    out.rotation = in.rotation;
}

Lib3dsMaterial* material(const Material& in)
{
    Lib3dsMaterial* m = lib3ds_material_new();
    name64(m->name, in.name);
    for (int i = 0; i < 3; i++) {
        m->ambient[i] = in.ambient[i];
        m->diffuse[i] = in.diffuse[i];
        m->specular[i] = in.specular[i];
    }
    m->shininess = in.shininess;
    m->shin_strength = in.shininessStrength;
    m->transparency = in.transparency;
    m->falloff = in.transparencyFalloff;
    m->blur = in.reflectionBlur;
    m->self_ilpct = in.selfIllumination;
    m->shading = (Lib3dsIntw)in.shading;
    m->two_sided = in.twoSided;
    m->soften = in.soften;
    m->use_wire = in.wire;
    m->additive = in.additive;
    map(m->texture1_map, in.texture);
    map(m->reflection_map, in.reflection);
    map(m->bump_map, in.bump);
    return m;
}

Lib3dsMesh* mesh(const Mesh& in)
{
    Lib3dsMesh* m = lib3ds_mesh_new("");
    name64(m->name, in.name);
    if (in.vertices.size() > 65535 || in.faces.size() > 65535)
        throw std::runtime_error("mesh " + in.name + " has more than 65535 vertices or faces");
    if (!in.uv.empty() && in.uv.size() != in.vertices.size())
        throw std::runtime_error("mesh " + in.name + " needs one texture coordinate per vertex");
    for (int i = 0; i < 3; i++)
        copy3(m->matrix[i], in.axis[i]);
    copy3(m->matrix[3], in.origin);
    lib3ds_mesh_new_point_list(m, (Lib3dsDword)in.vertices.size());
    for (size_t i = 0; i < in.vertices.size(); i++)
        copy3(m->pointL[i].pos, in.vertices[i]);
    if (!in.uv.empty()) {
        lib3ds_mesh_new_texel_list(m, (Lib3dsDword)in.uv.size());
        for (size_t i = 0; i < in.uv.size(); i++) {
            m->texelL[i][0] = in.uv[i][0];
            m->texelL[i][1] = in.uv[i][1];
        }
    }
    lib3ds_mesh_new_face_list(m, (Lib3dsDword)in.faces.size());
    for (size_t i = 0; i < in.faces.size(); i++) {
        const Face& f = in.faces[i];
        m->faceL[i].points[0] = f.a;
        m->faceL[i].points[1] = f.b;
        m->faceL[i].points[2] = f.c;
        m->faceL[i].flags = f.flags;
        name64(m->faceL[i].material, f.material);
    }
    return m;
}

Lib3dsCamera* camera(const Camera& in)
{
    Lib3dsCamera* c = lib3ds_camera_new("");
    name64(c->name, in.name);
    copy3(c->position, in.position);
    copy3(c->target, in.target);
    c->roll = in.roll;
    c->fov = 2400.0f / in.lens; // the lens is set exactly after writing
    return c;
}

Lib3dsLight* light(const Light& in)
{
    Lib3dsLight* l = lib3ds_light_new("");
    name64(l->name, in.name);
    copy3(l->position, in.position);
    copy3(l->color, in.colour);
    l->spot_light = in.spot;
    copy3(l->spot, in.target);
    l->hot_spot = in.hotspot;
    l->fall_off = in.falloff;
    l->roll = in.roll;
    l->attenuation = in.attenuation ? 1.0f : 0.0f;
    l->inner_range = in.innerRange;
    l->outer_range = in.outerRange;
    l->multiplier = 1.0f;
    return l;
}

void lin3(Lib3dsLin3Track& out, const Track<VecKey>& in)
{
    out.flags = in.flags;
    for (const VecKey& k : in.keys) {
        Lib3dsLin3Key* key = lib3ds_lin3_key_new();
        tcb(key->tcb, k);
        copy3(key->value, k.v);
        lib3ds_lin3_track_insert(&out, key);
    }
}

void lin1(Lib3dsLin1Track& out, const Track<FloatKey>& in)
{
    out.flags = in.flags;
    for (const FloatKey& k : in.keys) {
        Lib3dsLin1Key* key = lib3ds_lin1_key_new();
        tcb(key->tcb, k);
        key->value = k.v;
        lib3ds_lin1_track_insert(&out, key);
    }
}

void quat(Lib3dsQuatTrack& out, const Track<RotKey>& in)
{
    out.flags = in.flags;
    for (const RotKey& k : in.keys) {
        Lib3dsQuatKey* key = lib3ds_quat_key_new();
        tcb(key->tcb, k);
        key->angle = k.angle;
        copy3(key->axis, k.axis);
        lib3ds_quat_track_insert(&out, key);
    }
}

Lib3dsNode* node(const Node& in)
{
    Lib3dsNode* n = nullptr;
    switch (in.kind) {
    case Node::Ambient:
        n = lib3ds_node_new_ambient();
        lin3(n->data.ambient.col_track, in.colour);
        break;
    case Node::Object: {
        n = lib3ds_node_new_object();
        Lib3dsObjectData& d = n->data.object;
        copy3(d.pivot, in.pivot);
        name64(d.instance, in.instance);
        lin3(d.pos_track, in.position);
        lin3(d.scl_track, in.scale);
        quat(d.rot_track, in.rotation);
        for (int32_t frame : in.hide) {
            Lib3dsBoolKey* key = lib3ds_bool_key_new();
            key->tcb.frame = frame;
            lib3ds_bool_track_insert(&d.hide_track, key);
        }
        break;
    }
    case Node::Camera:
        n = lib3ds_node_new_camera();
        lin3(n->data.camera.pos_track, in.position);
        lin1(n->data.camera.fov_track, in.fov);
        lin1(n->data.camera.roll_track, in.roll);
        break;
    case Node::CameraTarget:
        n = lib3ds_node_new_target();
        lin3(n->data.target.pos_track, in.position);
        break;
    case Node::Omni:
    case Node::Spot:
        n = lib3ds_node_new_light();
        lin3(n->data.light.pos_track, in.position);
        lin3(n->data.light.col_track, in.colour);
        lin1(n->data.light.roll_track, in.roll);
        break;
    case Node::SpotTarget:
        n = lib3ds_node_new_spot();
        lin3(n->data.spot.pos_track, in.position);
        break;
    }
    name64(n->name, in.name);
    n->node_id = (Lib3dsWord)in.id;
    n->parent_id = in.parent < 0 ? 0xFFFF : (Lib3dsWord)in.parent;
    n->flags1 = in.flags1;
    n->flags2 = in.flags2;
    return n;
}

// The name of a 0x4000 object block.
std::string blockName(const Bytes& file, size_t offset) { return std::string((const char*)&file[offset + 6]); }

// What lib3ds cannot write: exact lenses, the unlit flag, morph tracks.
void finish(const Scene& scene, Bytes& file)
{
    std::vector<std::pair<ChunkRef, Bytes>> appends;
    walkChunks(file, [&](const ChunkRef& c) {
        if (c.id == 0x4700) {
            std::string name = blockName(file, c.parents.back());
            for (const Camera& cam : scene.cameras)
                if (cam.name == name)
                    putFloat(file, c.offset + 6 + 28, cam.lens);
        }
        if (c.id == 0x4100) {
            std::string name = blockName(file, c.parents.back());
            for (const Mesh& m : scene.meshes)
                if (m.name == name && m.unlit) {
                    ChunkWriter w;
                    w.flag(0x4017);
                    // Into the object block, after the mesh.
                    ChunkRef block{c.parents.back(), 0x4000, 0,
                                   std::vector<size_t>(c.parents.begin(), c.parents.end() - 1)};
                    appends.push_back({block, w.data});
                }
        }
        if (c.id == 0xB002) {
            int id = nodeIdOf(file, c);
            for (const Node& n : scene.nodes)
                if (n.kind == Node::Object && n.id == id && !n.morph.keys.empty()) {
                    ChunkWriter w;
                    w.begin(0xB026);
                    w.trackHeader(n.morph.flags, (uint32_t)n.morph.keys.size());
                    for (const MorphKey& k : n.morph.keys) {
                        w.keyHeader(k);
                        w.str(k.mesh);
                    }
                    w.end();
                    appends.push_back({c, w.data});
                }
        }
    });
    // Last first, so earlier offsets stay where the walk found them; the
    // lengths of a block's parents are read afresh on every insertion.
    for (auto it = appends.rbegin(); it != appends.rend(); ++it) {
        ChunkRef ref = it->first;
        ref.length = (uint32_t)file[ref.offset + 2] | (uint32_t)file[ref.offset + 3] << 8 |
                     (uint32_t)file[ref.offset + 4] << 16 | (uint32_t)file[ref.offset + 5] << 24;
        appendToChunk(file, ref, it->second);
    }
}

} // namespace

namespace {

// Column matrix of a pose: rotation times scale.
void poseAxes(const Pose& p, float m[3][3])
{
    float len = sqrtf(p.axis[0] * p.axis[0] + p.axis[1] * p.axis[1] + p.axis[2] * p.axis[2]);
    float x = p.axis[0] / len, y = p.axis[1] / len, z = p.axis[2] / len;
    float c = cosf(p.angle), s = sinf(p.angle), t = 1 - c;
    float r[3][3] = {{t * x * x + c, t * x * y - s * z, t * x * z + s * y},
                     {t * x * y + s * z, t * y * y + c, t * y * z - s * x},
                     {t * x * z - s * y, t * y * z + s * x, t * z * z + c}};
    for (int i = 0; i < 3; i++)
        for (int j = 0; j < 3; j++)
            m[i][j] = r[i][j] * p.scale[j];
}

} // namespace

void placeMesh(Mesh& mesh, const Pose& pose)
{
    float m[3][3];
    poseAxes(pose, m);
    for (Vec3& v : mesh.vertices) {
        Vec3 w;
        for (int i = 0; i < 3; i++)
            w[i] = m[i][0] * v[0] + m[i][1] * v[1] + m[i][2] * v[2] + pose.position[i];
        v = w;
    }
    for (int a = 0; a < 3; a++)
        for (int i = 0; i < 3; i++)
            mesh.axis[a][i] = m[i][a];
    mesh.origin = pose.position;
}

void poseKeys(Node& node, const Pose& pose, int32_t frame)
{
    float m[3][3];
    poseAxes(pose, m);
    VecKey position;
    position.frame = frame;
    for (int i = 0; i < 3; i++)
        position.v[i] = pose.position[i] + m[i][0] * node.pivot[0] + m[i][1] * node.pivot[1] + m[i][2] * node.pivot[2];
    node.position.keys.push_back(position);
    // A key turns the model the other way round its axis.
    RotKey rotation;
    rotation.frame = frame;
    rotation.angle = -pose.angle;
    rotation.axis = pose.axis;
    node.rotation.keys.push_back(rotation);
    VecKey scale;
    scale.frame = frame;
    scale.v = pose.scale;
    node.scale.keys.push_back(scale);
}

Bytes write3ds(const Scene& scene)
{
    for (const Node& n : scene.nodes)
        if (n.kind == Node::Spot) {
            bool target = false;
            for (const Node& t : scene.nodes)
                target |= t.kind == Node::SpotTarget && t.name == n.name;
            // lib3ds tells a spot's node from an omni's by its target node.
            if (!target)
                throw std::runtime_error("spot node " + n.name + " needs a target node");
        }
    Lib3dsFile* f = lib3ds_file_new();
    f->frames = scene.lastFrame;
    f->segment_from = scene.firstFrame;
    f->segment_to = scene.lastFrame;
    for (const Material& m : scene.materials)
        lib3ds_file_insert_material(f, material(m));
    for (const Mesh& m : scene.meshes)
        lib3ds_file_insert_mesh(f, mesh(m));
    for (const Camera& c : scene.cameras)
        lib3ds_file_insert_camera(f, camera(c));
    for (const Light& l : scene.lights)
        lib3ds_file_insert_light(f, light(l));
    for (size_t i = 0; i < scene.nodes.size(); i++) {
        const Node& n = scene.nodes[i];
        bool parentFirst = n.parent < 0;
        for (size_t j = 0; j < i; j++)
            parentFirst |= scene.nodes[j].id == n.parent;
        if (!parentFirst) {
            lib3ds_file_free(f);
            throw std::runtime_error("node " + n.name + " comes before its parent");
        }
        lib3ds_file_insert_node(f, node(n));
    }
    Sink sink;
    Lib3dsIo* io = lib3ds_io_new(&sink, sinkError, sinkSeek, sinkTell, sinkRead, sinkWrite);
    Lib3dsBool ok = lib3ds_file_write(f, io);
    lib3ds_io_free(io);
    lib3ds_file_free(f);
    if (!ok)
        throw std::runtime_error("lib3ds could not write the scene");
    finish(scene, sink.bytes);
    return sink.bytes;
}

} // namespace qhscene
