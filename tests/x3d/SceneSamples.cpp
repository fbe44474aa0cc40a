#include "SceneSamples.h"

#include <cstring>

#include <lib3ds/io.h>

namespace qhtest {

using namespace qhscene;

namespace {

// A box of the given half sizes around the origin, faces wound
// counter-clockwise seen from outside, with texture coordinates.
Mesh box(const std::string& name, Vec3 half, const std::string& material)
{
    Mesh m;
    m.name = name;
    for (int i = 0; i < 8; i++) {
        m.vertices.push_back({(i & 1 ? 1 : -1) * half[0], (i & 2 ? 1 : -1) * half[1], (i & 4 ? 1 : -1) * half[2]});
        m.uv.push_back({(float)(i & 1), (float)((i >> 1) & 1)});
    }
    const uint16_t quads[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
    for (int q = 0; q < 6; q++) {
        uint16_t seam = q == 2 ? 8 : q == 3 ? 16 : 0;
        m.faces.push_back({quads[q][0], quads[q][1], quads[q][2], (uint16_t)(7 | seam), material});
        m.faces.push_back({quads[q][0], quads[q][2], quads[q][3], 7, material});
    }
    return m;
}

// A gull's wings as a fan of triangles; lift raises the tips.
Mesh gull(const std::string& name, float lift)
{
    Mesh m;
    m.name = name;
    m.vertices = {{0, 0, 0}, {-4, 1, lift}, {-2, -1, lift * 0.5f}, {0, 2, 0}, {2, -1, lift * 0.5f}, {4, 1, lift}};
    for (uint16_t i = 1; i < 5; i++)
        m.faces.push_back({0, i, (uint16_t)(i + 1), 7, "Sail"});
    return m;
}

Material plain(const std::string& name, Vec3 diffuse)
{
    Material m;
    m.name = name;
    m.diffuse = diffuse;
    m.ambient = {diffuse[0] * 0.3f, diffuse[1] * 0.3f, diffuse[2] * 0.3f};
    m.specular = {0.2f, 0.2f, 0.2f};
    return m;
}

} // namespace

Scene lighthouseScene()
{
    Scene s;
    s.lastFrame = 0;
    Material deck = plain("Deck", {0.6f, 0.45f, 0.3f});
    deck.texture.name = "planks.tga";
    s.materials = {plain("Stone", {0.75f, 0.75f, 0.7f}), plain("Stripe", {0.8f, 0.1f, 0.1f}),
                   plain("Lamp", {1.0f, 0.9f, 0.4f}), deck};
    const Vec3 at{150, 80, 0};
    struct Part {
        const char* name;
        Vec3 half;
        float z;
        const char* material;
    } parts[] = {{"Rock", {9, 9, 2}, 2, "Stone"},     {"Deck", {7, 7, 0.5f}, 4.5f, "Deck"},
                 {"Tower", {3, 3, 7}, 12, "Stone"},   {"Band", {3.2f, 3.2f, 3}, 22, "Stripe"},
                 {"Top", {3, 3, 5}, 30, "Stone"},     {"Lantern", {2.5f, 2.5f, 2.5f}, 37.5f, "Lamp"},
                 {"Roof", {3.5f, 3.5f, 0.8f}, 40.8f, "Stripe"}, {"Rail", {4, 4, 0.3f}, 35.3f, ""}};
    for (const Part& p : parts) {
        Mesh m = box(p.name, p.half, p.material);
        m.uv.clear();
        if (std::string(p.material) == "Deck")
            for (const Vec3& v : m.vertices)
                m.uv.push_back({v[0] / 7 + 0.5f, v[1] / 7 + 0.5f});
        placeMesh(m, {{at[0], at[1], at[2] + p.z}, {0, 0, 1}, 0.3f, {1, 1, 1}});
        s.meshes.push_back(m);
    }
    return s;
}

Scene harbourScene()
{
    Scene s;
    s.firstFrame = 0;
    s.lastFrame = 120;

    Material hull;
    hull.name = "Hull";
    hull.ambient = {0.2f, 0.1f, 0.05f};
    hull.diffuse = {0.55f, 0.3f, 0.2f};
    hull.specular = {0.9f, 0.85f, 0.8f};
    hull.shininess = 0.4f;
    hull.shininessStrength = 0.6f;
    hull.transparency = 0.1f;
    hull.transparencyFalloff = 0.2f;
    hull.reflectionBlur = 0.3f;
    hull.selfIllumination = 0.05f;
    hull.twoSided = true;
    hull.texture = {"planks.tga", 0x10, 2, 3, 0.25f, 0.5f, 10};
    hull.reflection = {"sky.tga", 0, 1, 1, 0, 0, 0};
    hull.bump = {"grain.tga", 0, 1, 1, 0, 0, 0};
    Material sail;
    sail.name = "Sail";
    sail.diffuse = {1, 0.98f, 0.9f};
    sail.shading = 1;
    sail.additive = true;
    sail.wire = true;
    sail.soften = true;
    Material water;
    water.name = "Water";
    water.diffuse = {0.1f, 0.3f, 0.5f};
    water.shading = 3;
    s.materials = {hull, sail, water};

    Mesh hullMesh = box("Hull", {4, 1.5f, 1}, "Hull");
    hullMesh.faces[11].material = "Water";
    placeMesh(hullMesh, {{10, 20, 0}, {0, 0, 1}, 0.5f, {1, 1, 1}});
    Mesh mast = box("Mast", {0.2f, 0.2f, 3}, "Hull");
    placeMesh(mast, {{10, 20, 4}, {1, 0, 0}, 0.2f, {1, 1, 1.5f}});
    Mesh sailMesh = gull("Sail", 0);
    sailMesh.unlit = true;
    placeMesh(sailMesh, {{10, 21, 5}, {0, 1, 0}, -0.3f, {0.5f, 0.5f, 0.5f}});
    Mesh buoy = box("Buoy", {0.5f, 0.5f, 0.5f}, "Water");
    placeMesh(buoy, {{-5, 3, 0}, {1, 1, 0}, 0.7f, {1, 2, 1}});
    Mesh gull1 = gull("Gull1", 1.5f), gull2 = gull("Gull2", -1.5f);
    placeMesh(gull1, {{0, 0, 12}, {0, 0, 1}, 0, {1, 1, 1}});
    placeMesh(gull2, {{0, 0, 12}, {0, 0, 1}, 0, {1, 1, 1}});
    s.meshes = {hullMesh, mast, sailMesh, buoy, gull1, gull2};

    s.cameras = {{"Camera01", {0, -60, 20}, {10, 20, 0}, 5, 35},
                 {"Camera02", {30, -40, 10}, {0, 0, 5}, -10, 40},
                 {"Camera03", {-20, -20, 50}, {0, 0, 0}, 0, 28}};
    Light omni;
    omni.name = "Omni01";
    omni.position = {5, -5, 30};
    omni.colour = {1, 0.9f, 0.7f};
    omni.attenuation = true;
    omni.innerRange = 20;
    omni.outerRange = 80;
    Light spot;
    spot.name = "Spot01";
    spot.position = {-10, -10, 40};
    spot.spot = true;
    spot.target = {10, 20, 0};
    spot.hotspot = 20;
    spot.falloff = 35;
    spot.attenuation = true;
    spot.colour = {0.6f, 0.7f, 1};
    s.lights = {omni, spot};

    // Hull: keys with every spline flag, repeating.
    Node n = makeNode(Node::Object, 0, -1, "Hull");
    n.pivot = {0.5f, 0, 0};
    poseKeys(n, {{10, 20, 0}, {0, 0, 1}, 0.5f, {1, 1, 1}});
    n.position.flags = 2;
    VecKey k = vecKey(40, {12, 22, 0.5f});
    k.tension = 0.3f;
    k.continuity = -0.2f;
    k.bias = 0.4f;
    k.easeTo = 0.5f;
    k.easeFrom = 0.25f;
    n.position.keys.push_back(k);
    n.position.keys.push_back(vecKey(80, {14, 21, -0.5f}));
    n.position.keys.push_back(vecKey(120, {10, 20, 0}));
    RotKey r = rotKey(60, 0.4f, {0, 0.2f, 1});
    r.tension = -0.5f;
    r.bias = 0.2f;
    n.rotation.keys.push_back(r);
    n.rotation.keys.push_back(rotKey(120, 6.3f, {0, 0, 1}));
    n.scale.keys.push_back(vecKey(60, {1.1f, 1, 0.9f}));
    s.nodes.push_back(n);

    n = makeNode(Node::Object, 1, 0, "Mast");
    n.position.keys = {vecKey(0, {0, 0, 4}), vecKey(60, {0, 0.5f, 4})};
    n.rotation.keys = {rotKey(0, 0.2f, {1, 0, 0}), rotKey(60, -0.4f, {1, 0, 0})};
    n.scale.keys = {vecKey(0, {1, 1, 1.5f})};
    s.nodes.push_back(n);

    n = makeNode(Node::Object, 2, 1, "Sail");
    n.position.keys = {vecKey(0, {0, 1, 1})};
    n.hide = {30, 60, 90};
    s.nodes.push_back(n);

    n = makeNode(Node::Object, 3, -1, "$$$DUMMY");
    n.instance = "Rig";
    n.position.flags = 3;
    n.position.keys = {vecKey(0, {0, 0, 0}), vecKey(50, {5, 5, 2}), vecKey(100, {0, 0, 0})};
    s.nodes.push_back(n);

    n = makeNode(Node::Object, 4, 3, "Gull1");
    n.position.keys = {vecKey(0, {0, 0, 12}), vecKey(120, {20, 10, 14})};
    MorphKey m;
    m.frame = 0;
    m.mesh = "Gull1";
    n.morph.keys.push_back(m);
    m.frame = 20;
    m.mesh = "Gull2";
    m.easeFrom = 0.5f;
    n.morph.keys.push_back(m);
    m.frame = 40;
    m.mesh = "Gull1";
    m.easeFrom = 0;
    m.easeTo = 0.5f;
    n.morph.keys.push_back(m);
    n.morph.flags = 2;
    s.nodes.push_back(n);

    n = makeNode(Node::Object, 5, -1, "Gull2");
    n.flags1 = 0x800;
    s.nodes.push_back(n);

    n = makeNode(Node::Camera, 6, 3, "Camera01");
    n.position.keys = {vecKey(0, {0, -60, 20}), vecKey(60, {-10, -50, 25}), vecKey(120, {0, -60, 20})};
    n.fov.keys = {floatKey(0, 63), floatKey(60, 45)};
    n.roll.keys = {floatKey(0, 5), floatKey(120, -5)};
    s.nodes.push_back(n);
    n = makeNode(Node::CameraTarget, 7, -1, "Camera01");
    n.position.keys = {vecKey(0, {10, 20, 0}), vecKey(120, {12, 22, 1})};
    s.nodes.push_back(n);
    s.nodes.push_back(makeNode(Node::Camera, 8, -1, "Camera02"));
    n = makeNode(Node::CameraTarget, 9, -1, "Camera02");
    n.position.keys = {vecKey(0, {0, 0, 5}), vecKey(100, {2, 2, 5})};
    s.nodes.push_back(n);

    n = makeNode(Node::Omni, 10, 6, "Omni01");
    n.position.keys = {vecKey(0, {0, 0, 2})};
    n.colour.keys = {vecKey(0, {1, 0.9f, 0.7f}), vecKey(120, {0.5f, 0.5f, 1})};
    s.nodes.push_back(n);
    n = makeNode(Node::Spot, 11, -1, "Spot01");
    n.position.keys = {vecKey(0, {-10, -10, 40}), vecKey(60, {-5, -10, 40})};
    n.roll.keys = {floatKey(0, 0), floatKey(60, 30)};
    n.colour.keys = {vecKey(0, {0.6f, 0.7f, 1})};
    s.nodes.push_back(n);
    n = makeNode(Node::SpotTarget, 12, -1, "Spot01");
    n.position.keys = {vecKey(0, {10, 20, 0})};
    s.nodes.push_back(n);
    n = makeNode(Node::Ambient, 13, -1, "$AMBIENT$");
    n.colour.keys = {vecKey(0, {0.1f, 0.1f, 0.15f}), vecKey(120, {0.2f, 0.1f, 0.1f})};
    s.nodes.push_back(n);
    return s;
}

Scene posedScene()
{
    Scene s;
    Material m;
    m.name = "Paint";
    s.materials = {m};
    const Pose poses[] = {
        {{3, -2, 1}, {0, 0, 1}, 1.5707964f, {1, 1, 1}},
        {{-4, 5, 2}, {1, 2, 3}, 0.9f, {2, 0.5f, 1.5f}},
        {{0, 0, 7}, {1, 0, 0}, -2.5f, {1, 1, 1}},
        {{1, 1, 1}, {0, 1, 0}, 0, {3, 3, 3}},
    };
    const Vec3 pivots[] = {{0, 0, 0}, {0.5f, -0.25f, 1}, {2, 0, 0}, {-1, -1, -1}};
    for (int i = 0; i < 4; i++) {
        Mesh b = box("Box" + std::to_string(i), {1 + i * 0.5f, 1, 0.5f}, "Paint");
        placeMesh(b, poses[i]);
        s.meshes.push_back(b);
        Node n = makeNode(Node::Object, i, -1, b.name);
        n.pivot = pivots[i];
        poseKeys(n, poses[i]);
        s.nodes.push_back(n);
    }
    return s;
}

Scene largeScene(int nodes, int keys, int faces)
{
    Scene s;
    Material m;
    m.name = "Stone";
    s.materials = {m};
    uint32_t seed = 12345;
    auto rnd = [&seed]() {
        seed = seed * 1664525u + 1013904223u;
        return (float)(seed >> 8) / 16777216.0f;
    };
    int perMesh = faces / nodes > 0 ? faces / nodes : 1;
    for (int i = 0; i < nodes; i++) {
        Mesh g;
        g.name = "M" + std::to_string(i);
        // A strip of triangles.
        for (int v = 0; v < perMesh + 2; v++)
            g.vertices.push_back({(float)(v / 2), (float)(v & 1), rnd()});
        for (int f = 0; f < perMesh; f++)
            g.faces.push_back({(uint16_t)f, (uint16_t)(f + 1), (uint16_t)(f + 2), 7, "Stone"});
        s.meshes.push_back(g);
        Node n = makeNode(Node::Object, i, i % 4 ? i - 1 : -1, g.name);
        for (int k = 0; k < keys; k++) {
            VecKey p = vecKey(k * 4, {rnd() * 10, rnd() * 10, rnd() * 10});
            p.tension = rnd() - 0.5f;
            n.position.keys.push_back(p);
            n.rotation.keys.push_back(rotKey(k * 4, rnd() - 0.5f, {rnd(), rnd(), 1}));
            n.scale.keys.push_back(vecKey(k * 4, {1 + rnd() * 0.1f, 1, 1}));
        }
        s.nodes.push_back(n);
    }
    s.lastFrame = keys * 4;
    return s;
}

namespace {

struct Source {
    const Bytes* bytes;
    long pos;
};

Lib3dsBool sourceError(void*) { return LIB3DS_FALSE; }

long sourceSeek(void* self, long offset, Lib3dsIoSeek origin)
{
    Source* s = (Source*)self;
    long base = origin == LIB3DS_SEEK_SET ? 0 : origin == LIB3DS_SEEK_CUR ? s->pos : (long)s->bytes->size();
    if (base + offset < 0 || base + offset > (long)s->bytes->size())
        return -1;
    s->pos = base + offset;
    return 0;
}

long sourceTell(void* self) { return ((Source*)self)->pos; }

size_t sourceRead(void* self, void* out, size_t size)
{
    Source* s = (Source*)self;
    size_t left = s->bytes->size() - (size_t)s->pos;
    if (size > left)
        size = left;
    memcpy(out, s->bytes->data() + s->pos, size);
    s->pos += (long)size;
    return size;
}

size_t sourceWrite(void*, const void*, size_t) { return 0; }

} // namespace

Lib3dsFile* lib3dsRead(const Bytes& bytes)
{
    Source source{&bytes, 0};
    Lib3dsIo* io = lib3ds_io_new(&source, sourceError, sourceSeek, sourceTell, sourceRead, sourceWrite);
    Lib3dsFile* file = lib3ds_file_new();
    Lib3dsBool ok = lib3ds_file_read(file, io);
    lib3ds_io_free(io);
    if (!ok) {
        lib3ds_file_free(file);
        return nullptr;
    }
    return file;
}

} // namespace qhtest
