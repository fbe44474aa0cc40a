// A 3DS scene described in plain records and written as 3DS bytes by lib3ds:
// the form in which our tools build scenes from code. The same description
// always gives the same bytes.
//
// Coordinates are the file's own (z up). Mesh vertices are world positions at
// the editor pose; the mesh matrix is that pose (X, Y, Z axes and origin), so
// a reader takes the vertices back to the mesh's own space with its inverse.
// Keyframer nodes are named by id; a node's keys at frame 0 should put its
// mesh back at the stored vertices.
#pragma once
#include <string>
#include <vector>

#include "Chunks.h"

namespace qhscene {

struct Map {
    std::string name; // empty: no map
    uint16_t options = 0;
    float uScale = 1, vScale = 1, uOffset = 0, vOffset = 0, rotation = 0;
};

struct Material {
    std::string name;
    Vec3 ambient{0.1f, 0.1f, 0.1f}, diffuse{0.8f, 0.8f, 0.8f}, specular{0.9f, 0.9f, 0.9f};
    // 0..1, written as whole percents.
    float shininess = 0, shininessStrength = 0, transparency = 0, transparencyFalloff = 0, reflectionBlur = 0,
          selfIllumination = 0;
    int shading = 2; // 0 wire, 1 flat, 2 gouraud, 3 phong, 4 metal
    bool twoSided = false, soften = false, wire = false, additive = false;
    Map texture, reflection, bump;
};

struct Face {
    uint16_t a = 0, b = 0, c = 0;
    uint16_t flags = 7; // edge visibility 1, 2, 4; 8 and 16 the texture wrap seams
    std::string material; // empty: none
};

struct Mesh {
    std::string name;
    std::vector<Vec3> vertices;
    std::vector<std::array<float, 2>> uv; // none, or one per vertex
    std::vector<Face> faces;
    Vec3 axis[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    Vec3 origin{0, 0, 0};
    bool unlit = false; // lit by no light
};

struct Camera {
    std::string name;
    Vec3 position{0, -100, 0}, target{0, 0, 0};
    float roll = 0; // degrees
    float lens = 50; // millimetres
};

struct Light {
    std::string name;
    Vec3 position{0, 0, 0};
    Vec3 colour{1, 1, 1};
    bool spot = false;
    Vec3 target{0, 0, 0};
    float hotspot = 30, falloff = 45, roll = 0; // degrees
    bool attenuation = false;
    float innerRange = 0, outerRange = 0;
};

struct VecKey : Tcb {
    Vec3 v{0, 0, 0};
};
struct FloatKey : Tcb {
    float v = 0;
};
// A turn by angle (radians) about axis, relative to the previous key.
struct RotKey : Tcb {
    float angle = 0;
    Vec3 axis{0, 0, 1};
};
struct MorphKey : Tcb {
    std::string mesh;
};

// flags: 0 single, 2 repeat, 3 loop, as the file stores them.
template <typename K> struct Track {
    uint16_t flags = 0;
    std::vector<K> keys;
};

struct Node {
    enum Kind { Ambient, Object, Camera, CameraTarget, Omni, Spot, SpotTarget };
    Kind kind = Object;
    int id = 0;
    int parent = -1; // node id, -1 none
    // The mesh, camera or light it moves; "$$$DUMMY" for a dummy, "$AMBIENT$"
    // for the ambient node.
    std::string name;
    std::string instance; // a dummy's name
    Vec3 pivot{0, 0, 0};
    uint16_t flags1 = 0, flags2 = 0; // flags1 0x800: hidden
    Track<VecKey> position, scale, colour;
    Track<RotKey> rotation;
    Track<FloatKey> fov, roll; // degrees; roll also for spots
    Track<MorphKey> morph;
    std::vector<int32_t> hide; // frames: hidden from the first, shown from the second...
};

// Keys and nodes in one line each, for scenes built in code.
inline VecKey vecKey(int32_t frame, Vec3 v, float tension = 0)
{
    VecKey k;
    k.frame = frame;
    k.v = v;
    k.tension = tension;
    return k;
}
inline FloatKey floatKey(int32_t frame, float v)
{
    FloatKey k;
    k.frame = frame;
    k.v = v;
    return k;
}
inline RotKey rotKey(int32_t frame, float angle, Vec3 axis = {0, 0, 1}, float tension = 0)
{
    RotKey k;
    k.frame = frame;
    k.angle = angle;
    k.axis = axis;
    k.tension = tension;
    return k;
}
inline Node makeNode(Node::Kind kind, int id, int parent, const std::string& name)
{
    Node n;
    n.kind = kind;
    n.id = id;
    n.parent = parent;
    n.name = name;
    return n;
}

struct Scene {
    int32_t firstFrame = 0, lastFrame = 100;
    std::vector<Material> materials;
    std::vector<Mesh> meshes;
    std::vector<Camera> cameras;
    std::vector<Light> lights;
    std::vector<Node> nodes;
};

// A pose of a mesh: scaled, then turned by angle (radians, right-handed)
// about axis, then moved to position.
struct Pose {
    Vec3 position{0, 0, 0};
    Vec3 axis{0, 0, 1};
    float angle = 0;
    Vec3 scale{1, 1, 1};
};

// Takes the mesh's vertices, given in its own space, to the world at the
// pose, and makes the pose its mesh matrix.
void placeMesh(Mesh& mesh, const Pose& pose);
// Keys at a frame that hold the node's mesh at the pose (about its pivot,
// given in the mesh's own space).
void poseKeys(Node& node, const Pose& pose, int32_t frame = 0);

// The scene as 3DS bytes. Names must be shorter than 64 bytes; a
// description lib3ds refuses throws std::runtime_error.
Bytes write3ds(const Scene& scene);

} // namespace qhscene
