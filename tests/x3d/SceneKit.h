// Scenes built in code for the renderer's tests, benchmarks and fuzz target:
// meshes, materials, lights and a camera, with the 3DS reader's normals and
// bounds and the animation step's camera. Header-only.
#pragma once
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <deque>
#include <vector>

#include "X3d/File3ds.h"
#include "X3d/Polygons.h"
#include "X3d/Spline.h"
#include "X3d/X3d.h"

namespace qh3d {

struct Vec3 {
    float x, y, z;
};

inline Vec3 sub(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3 cross(Vec3 a, Vec3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
inline float dot3(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

// Face normal as the reader computes it: n = (A - B) x (B - C).
inline Vec3 faceNormal(Vec3 a, Vec3 b, Vec3 c) { return cross(sub(a, b), sub(b, c)); }

struct Tri {
    int a, b, c;
};

struct MeshSpec {
    std::vector<Vec3> points;
    std::vector<Tri> tris;
    std::vector<std::array<float, 2>> uv; // texels; empty for none
};

// A scene whose records live as long as the kit. Build it, then call
// finish() to hand it to the engine (current scene and active camera).
class SceneKit {
public:
    x3dScene scene{};
    std::deque<x3dObject> objects;
    std::deque<std::vector<x3dVertex>> vertices;
    std::deque<std::vector<x3dFace>> faces;
    std::deque<x3dMaterial> materials;
    std::deque<x3dLight> lights;
    std::deque<x3dLensFlare> flares;
    x3dCamera camera{};
    std::vector<x3dObject> objectArray;
    std::vector<x3dMaterial> materialArray;
    std::vector<x3dLight> lightArray;

    x3dMaterial& addMaterial(uint32_t flags, uint8_t r, uint8_t g, uint8_t b, uint32_t* texels = nullptr,
                             uint32_t* reflection = nullptr)
    {
        materials.emplace_back();
        x3dMaterial& m = materials.back();
        memset(&m, 0, sizeof m);
        m.renderFlags = flags;
        m.red = r;
        m.green = g;
        m.blue = b;
        m.packedColour = (uint32_t)r << 16 | (uint32_t)g << 8 | b;
        m.texture.pixels = texels;
        m.reflection.pixels = reflection;
        return m;
    }

    // Triangles are listed so that the reader's normal of a face seen from
    // the camera points away from it, as it does for the show's meshes.
    x3dObject& addObject(const MeshSpec& mesh, int material = -1)
    {
        objects.emplace_back();
        x3dObject& o = objects.back();
        memset(&o, 0, sizeof o);
        o.id = (int)objects.size() - 1;
        o.parent = nullptr;
        o.scale[0] = o.scale[1] = o.scale[2] = 1.0f;
        o.rotation[0] = 1.0f;
        for (int i = 0; i < 3; i++)
            o.matrix[i][i] = 1.0f;
        vertices.emplace_back(mesh.points.size());
        std::vector<x3dVertex>& vs = vertices.back();
        for (size_t i = 0; i < mesh.points.size(); i++) {
            memset(&vs[i], 0, sizeof vs[i]);
            vs[i].position[0] = mesh.points[i].x;
            vs[i].position[1] = mesh.points[i].y;
            vs[i].position[2] = mesh.points[i].z;
            if (!mesh.uv.empty()) {
                vs[i].u = mesh.uv[i][0];
                vs[i].v = mesh.uv[i][1];
            }
        }
        faces.emplace_back(mesh.tris.size());
        std::vector<x3dFace>& fs = faces.back();
        for (size_t i = 0; i < mesh.tris.size(); i++) {
            x3dFace& f = fs[i];
            memset(&f, 0, sizeof f);
            f.a = (uint16_t)mesh.tris[i].a;
            f.b = (uint16_t)mesh.tris[i].b;
            f.c = (uint16_t)mesh.tris[i].c;
            f.materialId = (int16_t)material;
        }
        o.vertexCount = (int)vs.size();
        o.faceCount = (int)fs.size();
        pendingMaterial.push_back(material);
        return o;
    }

    x3dLight& addLight(int type, Vec3 position, float r = 1, float g = 1, float b = 1)
    {
        lights.emplace_back();
        x3dLight& l = lights.back();
        memset(&l, 0, sizeof l);
        l.type = (int16_t)type;
        l.position[0] = position.x;
        l.position[1] = position.y;
        l.position[2] = position.z;
        l.colour[0] = r;
        l.colour[1] = g;
        l.colour[2] = b;
        return l;
    }

    static void spot(x3dLight& l, Vec3 target, float hotspotDegrees, float falloffDegrees)
    {
        l.type = (int16_t)((l.type & 4) | 2);
        l.target[0] = target.x;
        l.target[1] = target.y;
        l.target[2] = target.z;
        l.cosHotspot = cosf(hotspotDegrees * 0.5f * 0.017453292f);
        l.cosFalloff = cosf(falloffDegrees * 0.5f * 0.017453292f);
        l.coneScale = 1.0f / (l.cosFalloff - l.cosHotspot);
    }

    x3dLensFlare& addFlare(x3dLight& l, uint32_t* texels, int width, int height, float scale)
    {
        flares.emplace_back();
        x3dLensFlare& f = flares.back();
        memset(&f, 0, sizeof f);
        f.width = width;
        f.height = height;
        f.slot.pixels = texels;
        f.scale = scale;
        l.lensFlare = &f;
        return f;
    }

    // Links the records into the scene, computes normals and bounds,
    // prepares the draw lists and makes the scene current with a camera at
    // eye looking at target.
    void finish(Vec3 eye, Vec3 target, float fovDegrees, int width, int height, bool zbuffer, bool fog = false,
                float far = 0.0f)
    {
        objectArray.assign(objects.begin(), objects.end());
        materialArray.assign(materials.begin(), materials.end());
        lightArray.assign(lights.begin(), lights.end());
        for (size_t i = 0; i < objectArray.size(); i++) {
            x3dObject& o = objectArray[i];
            o.vertices = vertices[i].data();
            o.faces = faces[i].data();
            for (int k = 0; k < o.faceCount; k++) {
                x3dFace& f = o.faces[k];
                f.vertices[0] = &o.vertices[f.a];
                f.vertices[1] = &o.vertices[f.b];
                f.vertices[2] = &o.vertices[f.c];
                int m = pendingMaterial[i];
                f.material = m >= 0 ? &materialArray[(size_t)m] : nullptr;
            }
            x3dCalcNormals(&o);
            x3dCalcBounds(&o);
        }
        scene.objects = objectArray.data();
        scene.objectCount = (int)objectArray.size();
        scene.materials = materialArray.data();
        scene.materialCount = (int)materialArray.size();
        scene.lights = lightArray.data();
        scene.lightCount = (int)lightArray.size();
        scene.cameras = &camera;
        scene.cameraCount = 1;
        scene.zbuffer = zbuffer ? 1 : 0;
        scene.fog = fog ? 1 : 0;
        scene.fogDistance = far;
        x3dPrepareScene(&scene);
        x3dSetScene(&scene);
        x3dCameraSetSize(width, height, &camera);
        look(camera, eye, target, fovDegrees);
        x3dSetActiveCamera(&camera);
        if (zbuffer)
            x3dInitZBuffer();
    }

    x3dObject& object(int i) { return objectArray[(size_t)i]; }
    x3dMaterial& material(int i) { return materialArray[(size_t)i]; }
    x3dLight& light(int i) { return lightArray[(size_t)i]; }

    void frame(uint32_t* buffer, bool light = true)
    {
        x3dTransformScene();
        if (light)
            x3dLightScene();
        x3dRenderScene(buffer);
    }

    // The camera's view and projection, as the animation step builds them
    // (roll 0).
    static void look(x3dCamera& cam, Vec3 eye, Vec3 target, float fovDegrees)
    {
        cam.position[0] = eye.x;
        cam.position[1] = eye.y;
        cam.position[2] = eye.z;
        cam.target[0] = target.x;
        cam.target[1] = target.y;
        cam.target[2] = target.z;
        cam.roll = 0.0f;
        x3dCameraUpdate(&cam);
        x3dCameraSetFov(&cam, fovDegrees);
    }

    static void translate(x3dObject& o, Vec3 t)
    {
        o.matrix[0][3] = t.x;
        o.matrix[1][3] = t.y;
        o.matrix[2][3] = t.z;
    }

    static void scale(x3dObject& o, float s)
    {
        for (int i = 0; i < 3; i++)
            for (int j = 0; j < 3; j++)
                o.matrix[i][j] *= s;
    }

private:
    std::vector<int> pendingMaterial;
};

// Orders each triangle so that its reader normal points toward inside: the
// faces then look outward, front faces facing a camera outside.
inline void orientInward(MeshSpec& m, const std::vector<Vec3>& insidePoints)
{
    for (size_t i = 0; i < m.tris.size(); i++) {
        Tri& t = m.tris[i];
        Vec3 a = m.points[(size_t)t.a], b = m.points[(size_t)t.b], c = m.points[(size_t)t.c];
        Vec3 n = faceNormal(a, b, c);
        Vec3 in = insidePoints.size() == 1 ? insidePoints[0] : insidePoints[i];
        if (dot3(n, sub(in, a)) < 0.0f)
            std::swap(t.b, t.c);
    }
}

// A cube of half size h around the origin, two triangles a side; texels
// 0..255 across each side.
inline MeshSpec cube(float h)
{
    MeshSpec m;
    const int sides[6][4][3] = {
        {{-1, -1, -1}, {1, -1, -1}, {1, 1, -1}, {-1, 1, -1}}, {{-1, -1, 1}, {1, -1, 1}, {1, 1, 1}, {-1, 1, 1}},
        {{-1, -1, -1}, {-1, 1, -1}, {-1, 1, 1}, {-1, -1, 1}}, {{1, -1, -1}, {1, 1, -1}, {1, 1, 1}, {1, -1, 1}},
        {{-1, -1, -1}, {1, -1, -1}, {1, -1, 1}, {-1, -1, 1}}, {{-1, 1, -1}, {1, 1, -1}, {1, 1, 1}, {-1, 1, 1}},
    };
    const float uv[4][2] = {{0, 0}, {255, 0}, {255, 255}, {0, 255}};
    for (int s = 0; s < 6; s++) {
        int base = (int)m.points.size();
        for (int k = 0; k < 4; k++) {
            m.points.push_back({sides[s][k][0] * h, sides[s][k][1] * h, sides[s][k][2] * h});
            m.uv.push_back({uv[k][0], uv[k][1]});
        }
        m.tris.push_back({base, base + 1, base + 2});
        m.tris.push_back({base, base + 2, base + 3});
    }
    orientInward(m, {{0, 0, 0}});
    return m;
}

// A torus around the y axis: rings x sides quads, two triangles each.
inline MeshSpec torus(float major, float minor, int rings, int sides, float uvRepeat = 1.0f)
{
    MeshSpec m;
    std::vector<Vec3> inside;
    const float pi2 = 6.2831853f;
    for (int i = 0; i <= rings; i++)
        for (int j = 0; j <= sides; j++) {
            float a = pi2 * i / rings, b = pi2 * j / sides;
            float r = major + minor * std::cos(b);
            m.points.push_back({r * std::cos(a), minor * std::sin(b), r * std::sin(a)});
            m.uv.push_back({255.9f * uvRepeat * i / rings, 255.9f * j / sides});
        }
    for (int i = 0; i < rings; i++)
        for (int j = 0; j < sides; j++) {
            int p = i * (sides + 1) + j, q = (i + 1) * (sides + 1) + j;
            float a = pi2 * (i + 0.5f) / rings;
            Vec3 core = {major * std::cos(a), 0.0f, major * std::sin(a)};
            m.tris.push_back({p, q, q + 1});
            m.tris.push_back({p, q + 1, p + 1});
            inside.push_back(core);
            inside.push_back(core);
        }
    orientInward(m, inside);
    return m;
}

// A flat grid of w x h quads in the plane z = 0, from (x0, y0) to (x1, y1),
// facing a camera on the negative z side.
inline MeshSpec grid(float x0, float y0, float x1, float y1, int w, int h, float uvScale = 255.9f)
{
    MeshSpec m;
    for (int j = 0; j <= h; j++)
        for (int i = 0; i <= w; i++) {
            m.points.push_back({x0 + (x1 - x0) * i / w, y0 + (y1 - y0) * j / h, 0.0f});
            m.uv.push_back({uvScale * i / w, uvScale * j / h});
        }
    for (int j = 0; j < h; j++)
        for (int i = 0; i < w; i++) {
            int p = j * (w + 1) + i;
            m.tris.push_back({p, p + 1, p + w + 2});
            m.tris.push_back({p, p + w + 2, p + w + 1});
        }
    orientInward(m, {{0.0f, 0.0f, 1.0f}});
    return m;
}

} // namespace qh3d
