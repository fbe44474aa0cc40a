#include "X3d/Polygons.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "X3d/Material.h"
#include "X3d/Spline.h"
#include "system/Xerror.h"

namespace {

const char* const kModule = "X3d/Polygons.cpp";

typedef float Matrix[3][4];

inline void apply(const Matrix m, const float p[3], float out[3])
{
    for (int i = 0; i < 3; i++)
        out[i] = m[i][0] * p[0] + m[i][1] * p[1] + m[i][2] * p[2] + m[i][3];
}

inline void applyRotation(const Matrix m, const float p[3], float out[3])
{
    for (int i = 0; i < 3; i++)
        out[i] = m[i][0] * p[0] + m[i][1] * p[1] + m[i][2] * p[2];
}

inline float dot(const float a[3], const float b[3]) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

inline uint32_t floatBits(float f)
{
    uint32_t u;
    memcpy(&u, &f, 4);
    return u;
}

inline float bitsFloat(uint32_t u)
{
    float f;
    memcpy(&f, &u, 4);
    return f;
}

x3dObject* findObjectById(x3dScene* scene, int id)
{
    x3dObject* found = nullptr;
    for (int i = 0; i < scene->objectCount; i++)
        if (scene->objects[i].id == id)
            found = &scene->objects[i];
    return found;
}

// Blends this object's vertices and face normals between its morph source
// and target. Only when both exist and have at least its vertex and face
// counts; otherwise the object is drawn as it is.
bool morph(x3dScene* scene, x3dObject* obj)
{
    x3dObject* a = findObjectById(scene, obj->morphSource);
    x3dObject* b = findObjectById(scene, obj->morphTarget);
    if (!a || !b || a->vertexCount < obj->vertexCount || b->vertexCount < obj->vertexCount ||
        a->faceCount < obj->faceCount || b->faceCount < obj->faceCount)
        return false;
    float f = obj->morphFactor;
    for (int i = 0; i < obj->vertexCount; i++) {
        x3dVertex& v = obj->vertices[i];
        const x3dVertex& va = a->vertices[i];
        const x3dVertex& vb = b->vertices[i];
        for (int c = 0; c < 3; c++) {
            v.position[c] = va.position[c] + f * (vb.position[c] - va.position[c]);
            v.normal[c] = va.normal[c] + f * (vb.normal[c] - va.normal[c]);
        }
    }
    for (int i = 0; i < obj->faceCount; i++)
        for (int c = 0; c < 3; c++)
            obj->faces[i].morphNormal[c] = a->faces[i].normal[c] + f * (b->faces[i].normal[c] - a->faces[i].normal[c]);
    return true;
}

// The largest length of the matrix's three axes: how much it can stretch the
// bounding sphere.
float axisScale(const Matrix m)
{
    float best = 0.0f;
    for (int j = 0; j < 3; j++) {
        float l = m[0][j] * m[0][j] + m[1][j] * m[1][j] + m[2][j] * m[2][j];
        best = l > best ? l : best;
    }
    return sqrtf(best);
}

void transformObject(x3dScene* scene, x3dObject* obj, const Matrix C, float sphereFactor, const float camWorld[3])
{
    if (obj->faceCount <= 0 || obj->vertexCount <= 0)
        return;
    Matrix M;
    x3dMatrixMul(C, obj->matrix, M);
    float c[3];
    apply(M, obj->centre, c);
    const float radius = obj->radius * axisScale(obj->matrix);
    const float far = g_x3d.farDistance;
    const bool farLimit = far > 0.0f;
    if (!(c[2] + radius >= 3.0f) || (farLimit && !(c[2] - radius <= far)))
        return;
    obj->clipCode = x3dSphereClipCode(sphereFactor, c, radius);
    if (obj->clipCode == X3D_CLIP_OUTSIDE)
        return;

    uint16_t vertexFlags = 0, faceFlags = 0;
    if (farLimit && c[2] + radius > g_x3d.dimStart) {
        vertexFlags |= X3D_VF_DIM;
        faceFlags |= X3D_FF_DIM;
    }
    if (farLimit && g_x3d.fogOn && c[2] + radius > g_x3d.fogStart) {
        vertexFlags |= X3D_VF_FOG;
        faceFlags |= X3D_FF_FOG;
    }
    if (obj->flags & X3D_OF_UNLIT)
        faceFlags |= X3D_FF_UNLIT;

    // The camera in object space, through the inverse of a rotation with a
    // uniform scale.
    const Matrix& O = obj->matrix;
    float s = O[0][0] * O[0][0] + O[0][1] * O[0][1] + O[0][2] * O[0][2];
    float cam[3];
    if (s == 0.0f) {
        memcpy(cam, camWorld, sizeof cam);
    } else {
        float d[3] = {camWorld[0] - O[0][3], camWorld[1] - O[1][3], camWorld[2] - O[2][3]};
        for (int i = 0; i < 3; i++)
            cam[i] = (O[0][i] * d[0] + O[1][i] * d[1] + O[2][i] * d[2]) / s;
    }

    const bool morphing = (obj->flags & X3D_OF_MORPHING) && morph(scene, obj);
    const uint16_t clipFlags = (uint16_t)(obj->clipCode & 0xFF);
    x3dDrawItem* list = scene->drawListA;
    int count = scene->drawCount;
    for (int i = 0; i < obj->faceCount; i++) {
        x3dFace& f = obj->faces[i];
        x3dVertex* va = f.vertices[0];
        float rel[3] = {va->position[0] - cam[0], va->position[1] - cam[1], va->position[2] - cam[2]};
        if (morphing) {
            if (dot(f.morphNormal, rel) < 0.0f) {
                f.clipFlags = X3D_FF_MORPH_BACK;
                continue;
            }
        } else if (!(dot(f.normal, rel) > 0.0f)) {
            continue;
        }
        f.clipFlags = clipFlags;
        f.drawFlags = (uint16_t)(faceFlags | X3D_FF_LISTED);
        f.vertices[0]->flags |= X3D_VF_TO_LIGHT;
        f.vertices[1]->flags |= X3D_VF_TO_LIGHT;
        f.vertices[2]->flags |= X3D_VF_TO_LIGHT;
        list[count].item = &f;
        list[count].kind = X3D_DRAW_FACE;
        count++;
    }
    const int first = scene->drawCount;
    scene->drawCount = count;

    for (int i = 0; i < obj->vertexCount; i++) {
        x3dVertex& v = obj->vertices[i];
        if (!(v.flags & X3D_VF_TO_LIGHT))
            continue;
        v.flags = (uint16_t)(X3D_VF_TO_LIGHT | vertexFlags);
        apply(M, v.position, v.viewPosition);
        applyRotation(M, v.normal, v.viewNormal);
        v.outcode = x3dOutcode(v.viewPosition[0], v.viewPosition[1], v.viewPosition[2]);
    }
    for (int i = first; i < count; i++) {
        x3dFace* f = (x3dFace*)list[i].item;
        float depth = (f->vertices[0]->viewPosition[2] + f->vertices[1]->viewPosition[2] +
                       f->vertices[2]->viewPosition[2]) *
                      0.33333334f;
        list[i].depth = floatBits(depth);
    }
}

} // namespace

uint16_t x3dOutcode(float x, float y, float z)
{
    uint16_t c = 0;
    if (x < -z)
        c |= 1;
    if (x > z)
        c |= 2;
    if (y > z)
        c |= 4;
    if (y < -z)
        c |= 8;
    if (z < X3D_NEAR_Z)
        c |= 16;
    return c;
}

int x3dSphereClipCode(float k, const float c[3], float r)
{
    float a = k * (c[2] - c[0]);
    float b = k * (-c[2] - c[0]);
    float t = k * (c[2] - c[1]);
    float d = k * (-c[2] - c[1]);
    if (b - r > 0.0f || r + a < 0.0f || r + t < 0.0f || d - r > 0.0f)
        return X3D_CLIP_OUTSIDE;
    int code = 0;
    if (r > fabsf(b))
        code |= 1;
    if (r > fabsf(a))
        code |= 2;
    if (r > fabsf(t))
        code |= 4;
    if (r > fabsf(d))
        code |= 8;
    return code;
}

void x3dTransformScene()
{
    x3dScene* scene = g_x3d.scene;
    X_ASSERT(scene != nullptr, kModule, __LINE__);
    X_ASSERT(scene->drawListA != nullptr || (scene->objectCount == 0 && scene->lightCount == 0), kModule, __LINE__);
    scene->drawCount = 0;
    scene->visibleLightCount = 0;

    // Without an active camera, objects are taken as they are: f = 1 and the
    // camera at the origin.
    const x3dCamera* cam = g_x3d.camera;
    Matrix C;
    float sphereFactor;
    float camWorld[3] = {0.0f, 0.0f, 0.0f};
    if (cam) {
        x3dMatrixMul(cam->projection, cam->view, C);
        sphereFactor = cam->sphereFactor;
        memcpy(camWorld, cam->position, sizeof camWorld);
    } else {
        memcpy(C, g_x3d.identity, sizeof C);
        sphereFactor = 1.0f / x3dTableSqrt(2.0f);
    }

    const bool painter = !scene->zbuffer;
    for (int i = 0; i < scene->lightCount; i++) {
        x3dLight& l = scene->lights[i];
        apply(C, l.position, l.viewPosition);
        if (l.type & X3D_LIGHT_SPOT) {
            apply(C, l.target, l.viewTarget);
            float d[3] = {l.viewTarget[0] - l.viewPosition[0], l.viewTarget[1] - l.viewPosition[1],
                          l.viewTarget[2] - l.viewPosition[2]};
            float len = sqrtf(dot(d, d));
            for (int c = 0; c < 3; c++)
                l.viewDirection[c] = len > 0.0f ? d[c] / len : 0.0f;
        }
        if (painter && l.lensFlare) {
            x3dDrawItem& item = scene->drawListA[scene->drawCount++];
            item.item = &l;
            item.depth = floatBits(l.viewPosition[2]);
            item.kind = X3D_DRAW_FLARE;
        }
        scene->visibleLights[scene->visibleLightCount++] = &l;
    }

    for (int i = 0; i < scene->objectCount; i++) {
        x3dObject* obj = &scene->objects[i];
        if (obj->flags & (X3D_OF_HIDDEN | X3D_OF_FILE_HIDDEN))
            continue;
        transformObject(scene, obj, C, sphereFactor, camWorld);
    }

    if (painter)
        x3dRadixSort(scene->drawListA, scene->drawListB, scene->drawCount);
}

void x3dRadixSort(x3dDrawItem* a, x3dDrawItem* b, int count)
{
    if (count <= 1)
        return;
    uint32_t counts[4][256];
    memset(counts, 0, sizeof counts);
    for (int i = 0; i < count; i++) {
        uint32_t k = a[i].depth;
        counts[0][k & 255]++;
        counts[1][(k >> 8) & 255]++;
        counts[2][(k >> 16) & 255]++;
        counts[3][k >> 24]++;
    }
    x3dDrawItem* from = a;
    x3dDrawItem* to = b;
    for (int pass = 0; pass < 4; pass++) {
        uint32_t* c = counts[pass];
        uint32_t sum = 0;
        for (int i = 0; i < 256; i++) {
            uint32_t n = c[i];
            c[i] = sum;
            sum += n;
        }
        const int shift = pass * 8;
        for (int i = 0; i < count; i++) {
            uint32_t slot = c[(from[i].depth >> shift) & 255]++;
            to[slot] = from[i];
        }
        std::swap(from, to);
    }
}

void x3dLightScene()
{
    x3dScene* scene = g_x3d.scene;
    X_ASSERT(scene != nullptr, kModule, __LINE__);
    const float far = g_x3d.farDistance;
    const bool farLimit = far > 0.0f;
    const float dimStart = g_x3d.dimStart, fogStart = g_x3d.fogStart;
    const float dimScale = g_x3d.dimScale, fogScale = g_x3d.fogScale;
    for (int i = 0; i < scene->drawCount; i++) {
        const x3dDrawItem& item = scene->drawListA[i];
        if (item.kind != X3D_DRAW_FACE)
            continue;
        x3dFace* f = (x3dFace*)item.item;
        float depth = bitsFloat(item.depth);
        if (depth <= dimStart)
            f->drawFlags &= (uint16_t)~X3D_FF_DIM;
        if (depth <= fogStart)
            f->drawFlags &= (uint16_t)~X3D_FF_FOG;
        const bool unlit = (f->drawFlags & X3D_FF_UNLIT) != 0;
        for (int k = 0; k < 3; k++) {
            x3dVertex* v = f->vertices[k];
            if (!(v->flags & X3D_VF_TO_LIGHT))
                continue;
            v->flags &= (uint16_t)~X3D_VF_TO_LIGHT;
            const float z = v->viewPosition[2];
            if (farLimit && z >= far) {
                v->flags |= X3D_VF_BEYOND_FAR;
                v->light = 0.0f;
                v->fog = 1.0f;
                continue;
            }
            float light = 0.0f, fog = 0.0f;
            if (unlit) {
                light = 0.7f;
            } else {
                for (int j = 0; j < scene->visibleLightCount; j++) {
                    const x3dLight* l = scene->visibleLights[j];
                    float d[3] = {v->viewPosition[0] - l->viewPosition[0], v->viewPosition[1] - l->viewPosition[1],
                                  v->viewPosition[2] - l->viewPosition[2]};
                    float dist = x3dTableSqrt(dot(d, d));
                    const bool attenuate = (l->type & X3D_LIGHT_ATTENUATE) != 0;
                    if (attenuate && dist > l->outerRange)
                        continue;
                    float L[3] = {d[0] / dist, d[1] / dist, d[2] / dist};
                    float u = dot(L, v->viewNormal);
                    if (attenuate && dist > l->innerRange)
                        u = u * (l->outerRange - dist) / (l->outerRange - l->innerRange);
                    if (!(u > 0.0f))
                        continue;
                    float w = u * (0.3f * l->colour[0] + 0.486f * l->colour[1] + 0.5f * l->colour[2]);
                    if (l->type & X3D_LIGHT_SPOT) {
                        float m = dot(L, l->viewDirection);
                        if (!(m > l->cosFalloff))
                            continue;
                        if (m < l->cosHotspot)
                            w = w * ((l->cosFalloff - m) * l->coneScale);
                    }
                    light += w;
                }
            }
            if ((v->flags & X3D_VF_DIM) && z > dimStart)
                light = (far - z) * dimScale * light;
            if ((v->flags & X3D_VF_FOG) && z > fogStart)
                fog = 1.0f - (far - z) * fogScale;
            v->light = light > 1.0f ? 1.0f : light;
            v->fog = fog;
        }
    }
}

// Clipping ------------------------------------------------------------------

namespace {

struct PlaneLeft {
    static float dist(const x3dPolyVertex& p) { return p.x + p.z; }
};
struct PlaneRight {
    static float dist(const x3dPolyVertex& p) { return p.z - p.x; }
};
struct PlaneTop {
    static float dist(const x3dPolyVertex& p) { return p.z - p.y; }
};
struct PlaneBottom {
    static float dist(const x3dPolyVertex& p) { return p.y + p.z; }
};
struct PlaneNear {
    static float dist(const x3dPolyVertex& p) { return p.z - X3D_NEAR_Z; }
};

// The point where the edge from the inside vertex to the outside one leaves
// the plane. Always taken from the inside end, so two faces sharing the edge
// get the very same vertex.
x3dPolyVertex intersect(const x3dPolyVertex& in, float dIn, const x3dPolyVertex& out, float dOut)
{
    float t = dIn / (dIn - dOut);
    x3dPolyVertex r;
    r.x = in.x + t * (out.x - in.x);
    r.y = in.y + t * (out.y - in.y);
    r.z = in.z + t * (out.z - in.z);
    r.u = in.u + t * (out.u - in.u);
    r.v = in.v + t * (out.v - in.v);
    r.shade = in.shade + t * (out.shade - in.shade);
    r.outcode = x3dOutcode(r.x, r.y, r.z);
    r.screenX = r.screenY = r.invZ = 0.0f;
    return r;
}

inline void put(x3dPolygon* out, const x3dPolyVertex& v)
{
    X_ASSERT(out->count < X3D_POLY_MAX, kModule, __LINE__);
    out->v[out->count++] = v;
}

template <class Plane> void clipPass(const x3dPolygon* in, x3dPolygon* out)
{
    out->count = 0;
    const int n = in->count;
    for (int i = 0; i < n; i++) {
        const x3dPolyVertex& p = in->v[i];
        const x3dPolyVertex& s = in->v[i + 1 < n ? i + 1 : 0];
        float dp = Plane::dist(p), ds = Plane::dist(s);
        bool pIn = dp >= 0.0f, sIn = ds >= 0.0f;
        if (pIn && sIn) {
            put(out, s);
        } else if (pIn) {
            put(out, intersect(p, dp, s, ds));
        } else if (sIn) {
            put(out, intersect(s, ds, p, dp));
            put(out, s);
        }
    }
}

x3dPolygon g_clipScratch[2];

} // namespace

void x3dClipLeft(const x3dPolygon* in, x3dPolygon* out) { clipPass<PlaneLeft>(in, out); }
void x3dClipRight(const x3dPolygon* in, x3dPolygon* out) { clipPass<PlaneRight>(in, out); }
void x3dClipTop(const x3dPolygon* in, x3dPolygon* out) { clipPass<PlaneTop>(in, out); }
void x3dClipBottom(const x3dPolygon* in, x3dPolygon* out) { clipPass<PlaneBottom>(in, out); }
void x3dClipNear(const x3dPolygon* in, x3dPolygon* out) { clipPass<PlaneNear>(in, out); }

const x3dPolygon* x3dClipPolygon(const x3dPolygon* poly, uint32_t mask)
{
    typedef void (*Pass)(const x3dPolygon*, x3dPolygon*);
    static const Pass passes[5] = {x3dClipLeft, x3dClipRight, x3dClipTop, x3dClipBottom, x3dClipNear};
    const x3dPolygon* cur = poly;
    int next = 0;
    for (int i = 0; i < 5 && cur->count >= 3; i++) {
        if (!(mask & (1u << i)))
            continue;
        x3dPolygon* out = &g_clipScratch[next];
        passes[i](cur, out);
        cur = out;
        next ^= 1;
    }
    return cur;
}

// Rendering ------------------------------------------------------------------

namespace {

x3dPolygon g_face;

void drawFace(x3dFace* f, uint32_t* buffer, bool zbuffer)
{
    const x3dMaterial* mat = f->material;
    uint32_t flags;
    x3dPaint paint;
    if (mat) {
        flags = mat->renderFlags;
        paint.red = mat->red;
        paint.green = mat->green;
        paint.blue = mat->blue;
    } else {
        flags = X3D_RF_WIRE;
        paint.red = zbuffer ? 255 : 236;
        paint.green = zbuffer ? 255 : 146;
        paint.blue = zbuffer ? 255 : 14;
    }
    paint.texels = nullptr;
    // Textured flags can come straight from a file with no map loaded: the
    // texture stands in for a missing reflection map, and a face with no
    // pixels at all is drawn as wireframe, like a texture that failed.
    if ((flags & X3D_RF_TEXTURED) && !(flags & X3D_RF_WIRE)) {
        paint.texels = (flags & X3D_RF_ENVMAP) && mat->reflection.pixels ? mat->reflection.pixels : mat->texture.pixels;
        if (!paint.texels)
            flags |= X3D_RF_WIRE;
    }
    const bool fog = g_x3d.fogOn != 0;
    int sel = x3dSelectFiller(flags, zbuffer, fog);
    if (sel == X3D_SELECT_NONE)
        return;

    const bool textured = (flags & X3D_RF_TEXTURED) != 0;
    const bool env = (flags & X3D_RF_ENVMAP) != 0;
    uint32_t mask = 0;
    g_face.count = 3;
    for (int k = 0; k < 3; k++) {
        const x3dVertex* v = f->vertices[k];
        x3dPolyVertex& p = g_face.v[k];
        p.x = v->viewPosition[0];
        p.y = v->viewPosition[1];
        p.z = v->viewPosition[2];
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z))
            return;
        if (fog) {
            p.shade = v->fog * 255.9f;
            p.u = textured ? v->u : v->light * 255.0f;
        } else {
            p.shade = v->light * 255.0f;
            p.u = v->u;
        }
        p.v = v->v;
        if (env) {
            p.u = (v->viewNormal[0] + 1.0f) * 127.5f;
            p.v = (v->viewNormal[1] + 1.0f) * 127.5f;
        }
        p.outcode = v->outcode;
        mask |= v->outcode;
    }
    const x3dPolygon* poly = mask ? x3dClipPolygon(&g_face, mask) : &g_face;
    if (poly->count < 3)
        return;
    x3dPolygon* drawn = const_cast<x3dPolygon*>(poly);
    if (sel == X3D_SELECT_WIRE)
        x3dDrawWire(drawn, paint.red, paint.green, paint.blue, buffer);
    else
        x3dFillers[sel].fill(drawn, buffer, &paint);
}

inline bool additive(const x3dFace* f) { return f->material && (f->material->renderFlags & X3D_RF_ADDITIVE); }

} // namespace

void x3dRenderScene(uint32_t* buffer)
{
    x3dScene* scene = g_x3d.scene;
    const x3dCamera* cam = g_x3d.camera;
    X_ASSERT(scene != nullptr, kModule, __LINE__);
    X_ASSERT(cam != nullptr, kModule, __LINE__);
    const x3dDrawItem* list = scene->drawListA;
    const int count = scene->drawCount;
    if (scene->zbuffer) {
        // The z-buffer must cover every row and column the viewport can
        // reach through the scan-line table.
        X_ASSERT(g_x3d.zbuffer != nullptr, kModule, __LINE__);
        int w = std::min((int)cam->width, g_x3d.width), h = std::min((int)cam->height, g_x3d.height);
        h = std::min(h, g_x3d.scanLineCount);
        if (w > 0 && h > 0)
            X_ASSERT((int64_t)g_x3d.scanLines[h - 1] + (int64_t)w * 4 <= (int64_t)g_x3d.zbufferPixels * 4, kModule,
                     __LINE__);
        int fill = std::min(g_x3d.pixelCount, g_x3d.zbufferPixels);
        std::fill(g_x3d.zbuffer, g_x3d.zbuffer + fill, 2147483647);
        for (int i = count - 1; i >= 0; i--) {
            if (list[i].kind != X3D_DRAW_FACE)
                continue;
            x3dFace* f = (x3dFace*)list[i].item;
            if (!additive(f) && !x3dFaceBeyondFar(f))
                drawFace(f, buffer, true);
        }
        for (int i = 0; i < scene->visibleLightCount; i++)
            if (scene->visibleLights[i]->lensFlare)
                x3dDrawFlareZ(scene->visibleLights[i], buffer);
        for (int i = count - 1; i >= 0; i--) {
            if (list[i].kind != X3D_DRAW_FACE)
                continue;
            x3dFace* f = (x3dFace*)list[i].item;
            if (additive(f) && !x3dFaceBeyondFar(f))
                drawFace(f, buffer, true);
        }
        return;
    }
    for (int i = count - 1; i >= 0; i--) {
        if (list[i].kind == X3D_DRAW_FLARE) {
            x3dDrawFlare((x3dLight*)list[i].item, buffer);
            continue;
        }
        x3dFace* f = (x3dFace*)list[i].item;
        if (!x3dFaceBeyondFar(f))
            drawFace(f, buffer, false);
    }
}

// Wireframe and flares ------------------------------------------------------

void x3dDrawWire(const x3dPolygon* poly, uint8_t red, uint8_t green, uint8_t blue, uint32_t* buffer)
{
    const x3dCamera* cam = g_x3d.camera;
    if (!cam || poly->count < 3)
        return;
    const float cx = cam->centreX, cy = cam->centreY;
    int px[X3D_POLY_MAX], py[X3D_POLY_MAX];
    const int n = std::min((int)poly->count, (int)X3D_POLY_MAX);
    for (int i = 0; i < n; i++) {
        const x3dPolyVertex& v = poly->v[i];
        if (!(v.z > 0.0f))
            return;
        px[i] = x3dRoundSat(cx + (v.x / v.z) * (cx - 2.0f));
        py[i] = x3dRoundSat(cy - (v.y / v.z) * (cy - 2.0f));
    }
    for (int i = 1; i + 1 < n; i++) {
        x3dDrawLine(px[0], py[0], px[i], py[i], red, green, blue, buffer);
        x3dDrawLine(px[i], py[i], px[i + 1], py[i + 1], red, green, blue, buffer);
        x3dDrawLine(px[i + 1], py[i + 1], px[0], py[0], red, green, blue, buffer);
    }
}

namespace {

void drawFlare(const x3dLight* light, uint32_t* buffer, bool zbuffer)
{
    const x3dCamera* cam = g_x3d.camera;
    X_ASSERT(cam != nullptr, kModule, __LINE__);
    const x3dLensFlare* lf = light ? light->lensFlare : nullptr;
    if (!lf || !lf->slot.pixels || lf->width <= 0 || lf->height <= 0)
        return;
    if (zbuffer && !g_x3d.zbuffer)
        return;
    int w = std::min((int)cam->width, g_x3d.width), h = std::min((int)cam->height, g_x3d.height);
    h = std::min(h, g_x3d.scanLineCount);
    if (w <= 0 || h <= 0)
        return;
    // Behind or at the camera there is nothing to draw (and a division by
    // z would mirror or blow up the flare); a flare smaller than a pixel is
    // skipped, and one far larger than the viewport is capped.
    const float x = light->viewPosition[0], y = light->viewPosition[1], z = light->viewPosition[2];
    if (!(z >= X3D_NEAR_Z) || !std::isfinite(x) || !std::isfinite(y))
        return;
    double sizeF = std::floor((double)lf->scale / z + 0.5);
    if (!(sizeF >= 1.0))
        return;
    const double maxSize = 4.0 * std::max(w, h);
    const int s = (int)std::min(sizeF, maxSize);
    const float cx = cam->centreX, cy = cam->centreY;
    const float margin = zbuffer ? 1.0f : 2.0f;
    double centreX = std::floor((double)(cx + (x / z) * (cx - margin)) + 0.5);
    double centreY = std::floor((double)(cy - (y / z) * (cy - margin)) + 0.5);
    double left = centreX - (s >> 1), top = centreY - (s >> 1);
    if (!(left < w && left + s > 0 && top < h && top + s > 0))
        return;
    const int x0 = (int)left, y0 = (int)top;
    const int xs = std::max(x0, 0), xe = std::min(x0 + s, w);
    const int ys = std::max(y0, 0), ye = std::min(y0 + s, h);
    // Texel steps across the square: u by the width, v by the height, so
    // neither runs past the texture whatever its shape.
    const uint32_t du = (uint32_t)(((int64_t)lf->width << 16) / s);
    const uint32_t dv = (uint32_t)(((int64_t)lf->height << 16) / s);
    const uint32_t* texels = lf->slot.pixels;
    const int32_t depth = std::max(0, x3dRoundSat((double)z * 65536.0));
    uint8_t* frame = (uint8_t*)buffer;
    uint8_t* zb = (uint8_t*)g_x3d.zbuffer;
    uint32_t v = (uint32_t)(ys - y0) * dv;
    const uint32_t uStart = (uint32_t)(xs - x0) * du;
    uint32_t row[64];
    for (int py = ys; py < ye; py++, v += dv) {
        const uint32_t* trow = texels + (size_t)(v >> 16) * (size_t)lf->width;
        uint32_t* dst = (uint32_t*)(frame + g_x3d.scanLines[py]);
        const int32_t* zrow = zbuffer ? (const int32_t*)(zb + g_x3d.scanLines[py]) : nullptr;
        uint32_t u = uStart;
        for (int px = xs; px < xe;) {
            int k = std::min(xe - px, 64);
            for (int i = 0; i < k; i++, u += du) {
                uint32_t t = trow[u >> 16] & 0xFFFFFF;
                row[i] = (zbuffer && zrow[px + i] < depth) ? 0 : t;
            }
            x3dAddRow(dst + px, row, k);
            px += k;
        }
    }
}

} // namespace

void x3dDrawFlare(x3dLight* light, uint32_t* buffer) { drawFlare(light, buffer, false); }
void x3dDrawFlareZ(x3dLight* light, uint32_t* buffer) { drawFlare(light, buffer, true); }
