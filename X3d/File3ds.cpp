#include "File3ds.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "X3d/Spline.h"
#include "files/Memfile.h"
#include "system/Xerror.h"
#include "system/Xmath.h"

namespace {
const char* const kModule = "X3d/File3ds.cpp";

// Real files nest fewer than 8 levels; the parser recurses per container.
const int kMaxDepth = 64;
// File values beyond these are no scene: every product of them stays finite.
const float kMaxValue = 1e7f;
const float kMaxAngle = 1e4f;
// Local vertices (after the mesh matrix) beyond this would overflow the
// normal and bounds arithmetic.
const float kMaxLocal = 1e8f;

enum { OK = 0, SKIP = -1 };

// What the loader keeps beside the scene's records while they may still move.
struct ObjectSide {
    int parent;          // object index, -1 none
    bool hasVertices, hasFaces;
    float mesh[3][4];    // the mesh matrix's pose, engine space
    int32_t* faceMaterial; // material index per face, -1 none
};

struct ViewSide {
    int positionParent, targetParent; // object indices
};

struct Loader {
    x3dScene* scene;
    mfile* file;
    mfile* ownedFile; // a disk file, released after the load
    const char* name;
    int curObject, curLight, curCamera, curMaterial, curAmbient;
    int32_t number; // running object number, then the node id counter
    int parentId, previousId;
    int chunkId;
    int32_t chunkEnd;
    char work[256];
    char detail[256];
    int objectCap, lightCap, cameraCap, materialCap, ambientCap, nodeCap;
    ObjectSide* objects;
    ViewSide* cameras;
    ViewSide* lights;
    int* nodeRecord; // index into the array the node's kind names
    x3dTrack* pending; // a track being read
};

Loader g_load;

void freeTrack(x3dTrack* track)
{
    if (track) {
        free(track->keys);
        free(track);
    }
}

// Drops what the loader holds beside the scene (after a load, or left over
// from one that a report interrupted).
void releaseLoader()
{
    Loader& L = g_load;
    if (L.objects)
        for (int i = 0; i < L.objectCap; i++)
            free(L.objects[i].faceMaterial);
    free(L.objects);
    free(L.cameras);
    free(L.lights);
    free(L.nodeRecord);
    freeTrack(L.pending);
    if (L.ownedFile)
        mclose(L.ownedFile);
    memset(&L, 0, sizeof L);
}

void* allocOrRaise(size_t bytes, int line)
{
    void* p = calloc(1, bytes ? bytes : 1);
    if (!p)
        g_xError.Raise(kModule, line, 1, g_load.name);
    return p;
}

char* copyText(const char* text)
{
    size_t n = strlen(text) + 1;
    char* copy = (char*)allocOrRaise(n, __LINE__);
    memcpy(copy, text, n);
    return copy;
}

// Reallocates an array from oldCap to cap records, the new ones zero.
template <typename T> void resize(T*& array, int oldCap, int cap)
{
    T* p = (T*)realloc(array, sizeof(T) * (size_t)cap);
    if (!p)
        g_xError.Raise(kModule, __LINE__, 1, g_load.name);
    memset(p + oldCap, 0, sizeof(T) * (size_t)(cap - oldCap));
    array = p;
}

// Makes room for one more record; the array grows by doubling so a long file
// does not copy quadratically. Records past the count are zero.
template <typename T> void growArray(T*& array, int count, int& capacity)
{
    if (count < capacity)
        return;
    int cap = capacity ? capacity * 2 : 8;
    resize(array, capacity, cap);
    capacity = cap;
}

// The same for a record array with a side array of the loader's.
template <typename T, typename S> void growArray(T*& array, int count, int& capacity, S*& side)
{
    int old = capacity;
    growArray(array, count, capacity);
    if (capacity != old)
        resize(side, old, capacity);
}

// A detail naming the file, for a refusal with the given code.
int fail(int code, const char* format, ...) __attribute__((format(printf, 2, 3)));
int fail(int code, const char* format, ...)
{
    char text[200];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    snprintf(g_load.detail, sizeof g_load.detail, "%s: %s", g_load.name, text);
    return code;
}

#define TRY(expr)                \
    do {                         \
        int r_ = (expr);         \
        if (r_)                  \
            return r_;           \
    } while (0)

// The next count bytes inside the chunk being handled, or nullptr (and a
// short-read detail) when the chunk ends first.
const uint8_t* take(int32_t count)
{
    mfile* f = g_load.file;
    if (count < 0 || (int64_t)f->pos + count > g_load.chunkEnd) {
        fail(2, "chunk 0x%04X ends inside its data", g_load.chunkId);
        return nullptr;
    }
    const uint8_t* p = f->data + f->pos;
    f->pos += count;
    return p;
}

int readBytes(void* out, int32_t count)
{
    const uint8_t* p = take(count);
    if (!p)
        return 2;
    memcpy(out, p, (size_t)count);
    return OK;
}

int skipBytes(int32_t count) { return take(count) ? OK : 2; }

int readU16(uint16_t* v)
{
    const uint8_t* b = take(2);
    if (!b)
        return 2;
    *v = (uint16_t)(b[0] | b[1] << 8);
    return OK;
}

int readU32(uint32_t* v)
{
    const uint8_t* b = take(4);
    if (!b)
        return 2;
    *v = (uint32_t)b[0] | (uint32_t)b[1] << 8 | (uint32_t)b[2] << 16 | (uint32_t)b[3] << 24;
    return OK;
}

int32_t remaining() { return g_load.chunkEnd - g_load.file->pos; }

// A float of the file: finite and within the bound of any scene.
int readFloat(float* v, const char* what)
{
    uint32_t bits;
    TRY(readU32(&bits));
    memcpy(v, &bits, 4);
    if (!std::isfinite(*v) || fabsf(*v) > kMaxValue)
        return fail(6, "%s %g in chunk 0x%04X is out of range", what, *v, g_load.chunkId);
    return OK;
}

// Three floats, y and z exchanged when they are a position.
int readVector(float* v, bool swap, const char* what)
{
    for (int i = 0; i < 3; i++)
        TRY(readFloat(&v[i], what));
    if (swap) {
        float y = v[1];
        v[1] = v[2];
        v[2] = y;
    }
    return OK;
}

// A zero-terminated string inside the chunk, into a 256-byte buffer.
int readString(char* out)
{
    const uint8_t* data = g_load.file->data;
    int32_t start = g_load.file->pos;
    int32_t end = start;
    while (end < g_load.chunkEnd && data[end])
        end++;
    if (end >= g_load.chunkEnd)
        return fail(6, "a name in chunk 0x%04X has no end", g_load.chunkId);
    if (end - start > 255)
        return fail(6, "a name in chunk 0x%04X is longer than 255 bytes", g_load.chunkId);
    memcpy(out, data + start, (size_t)(end - start + 1));
    g_load.file->pos = end + 1;
    return OK;
}

template <typename T> int findLast(const T* records, int count, const char* name)
{
    int found = -1;
    for (int i = 0; i < count; i++)
        if (records[i].name && strcmp(records[i].name, name) == 0)
            found = i;
    return found;
}

x3dObject* curObject() { return g_load.curObject >= 0 ? &g_load.scene->objects[g_load.curObject] : nullptr; }
x3dLight* curLight() { return g_load.curLight >= 0 ? &g_load.scene->lights[g_load.curLight] : nullptr; }
x3dMaterial* curMaterial()
{
    return g_load.curMaterial >= 0 ? &g_load.scene->materials[g_load.curMaterial] : nullptr;
}

// Appends an object at the identity pose; returns its index.
int newObject(const char* name, int32_t id, int32_t flags)
{
    x3dScene* s = g_load.scene;
    growArray(s->objects, s->objectCount, g_load.objectCap, g_load.objects);
    int index = s->objectCount++;
    x3dObject* o = &s->objects[index];
    o->name = copyText(name);
    o->id = id;
    o->flags = flags;
    o->scale[0] = o->scale[1] = o->scale[2] = 1.0f;
    o->rotation[0] = 1.0f;
    ObjectSide& side = g_load.objects[index];
    side.parent = -1;
    for (int i = 0; i < 3; i++)
        side.mesh[i][i] = 1.0f;
    return index;
}

// ---- handlers: each reads its own data inside its chunk ----

int hColour()
{
    float rgb[3];
    if (g_load.chunkId == 0x0010) {
        TRY(readVector(rgb, false, "colour"));
    } else {
        uint8_t b[3];
        TRY(readBytes(b, 3));
        for (int i = 0; i < 3; i++)
            rgb[i] = b[i] * 0.003921569f;
    }
    float* out = nullptr;
    x3dMaterial* m = curMaterial();
    switch (g_load.parentId) {
    case 0x4600:
        if (curLight())
            out = curLight()->colour;
        break;
    case 0xA010:
        out = m ? m->ambient : nullptr;
        break;
    case 0xA020:
        out = m ? m->diffuse : nullptr;
        break;
    case 0xA030:
        out = m ? m->specular : nullptr;
        break;
    }
    if (out)
        memcpy(out, rgb, sizeof rgb);
    return OK;
}

int hPercent()
{
    uint16_t v;
    TRY(readU16(&v));
    x3dMaterial* m = curMaterial();
    if (!m)
        return OK;
    float p = v * 0.01f;
    switch (g_load.parentId) {
    case 0xA040: m->shininess = p; break;
    case 0xA041: m->shininessStrength = p; break;
    case 0xA050: m->transparency = p; break;
    case 0xA052: m->transparencyFalloff = p; break;
    case 0xA053: m->reflectionBlur = p; break;
    case 0xA084: m->selfIllumination = p; break;
    }
    return OK;
}

int hObjectName() { return readString(g_load.work); }

int hMesh()
{
    g_load.curObject = newObject(g_load.work, g_load.number++, 0);
    return OK;
}

// The count of a mesh's vertex or face list: one list per mesh, its
// records inside the chunk.
int listCount(const x3dObject* o, bool& seen, const char* one, const char* many, int recordSize, uint16_t* n)
{
    if (seen)
        return fail(6, "object %s has a second %s list", o->name, one);
    TRY(readU16(n));
    if ((int64_t)*n * recordSize > remaining())
        return fail(2, "object %s: %d %s do not fit their chunk", o->name, *n, many);
    seen = true;
    return OK;
}

int hVertices()
{
    x3dObject* o = curObject();
    if (!o)
        return SKIP;
    uint16_t n = 0;
    TRY(listCount(o, g_load.objects[g_load.curObject].hasVertices, "vertex", "vertices", 12, &n));
    o->vertices = (x3dVertex*)allocOrRaise(sizeof(x3dVertex) * n, __LINE__);
    o->vertexCount = n;
    for (int i = 0; i < n; i++)
        TRY(readVector(o->vertices[i].position, true, "vertex coordinate"));
    return OK;
}

int hFaces()
{
    x3dObject* o = curObject();
    if (!o)
        return SKIP;
    ObjectSide& side = g_load.objects[g_load.curObject];
    uint16_t n = 0;
    TRY(listCount(o, side.hasFaces, "face", "faces", 8, &n));
    o->faces = (x3dFace*)allocOrRaise(sizeof(x3dFace) * n, __LINE__);
    o->faceCount = n;
    side.faceMaterial = (int32_t*)allocOrRaise(sizeof(int32_t) * n, __LINE__);
    for (int i = 0; i < n; i++) {
        x3dFace* f = &o->faces[i];
        uint16_t v[4];
        for (int j = 0; j < 4; j++)
            TRY(readU16(&v[j]));
        for (int j = 0; j < 3; j++)
            if (v[j] >= o->vertexCount)
                return fail(6, "face %d of %s uses vertex %d of %d", i, o->name, v[j], o->vertexCount);
        f->a = v[0];
        f->b = v[1];
        f->c = v[2];
        f->vertices[0] = &o->vertices[v[0]];
        f->vertices[1] = &o->vertices[v[1]];
        f->vertices[2] = &o->vertices[v[2]];
        f->clipFlags = (uint16_t)((v[3] & 8 ? 1 : 0) | (v[3] & 16 ? 2 : 0));
        side.faceMaterial[i] = -1;
    }
    return OK;
}

int hMaterialGroup()
{
    x3dObject* o = curObject();
    if (!o)
        return SKIP;
    char name[256];
    TRY(readString(name));
    uint16_t n;
    TRY(readU16(&n));
    if ((int64_t)n * 2 > remaining())
        return fail(2, "material group %s of %s: %d faces do not fit their chunk", name, o->name, n);
    int m = findLast(g_load.scene->materials, g_load.scene->materialCount, name);
    if (m < 0)
        return fail(6, "object %s uses material %s, which is not defined before it", o->name, name);
    int16_t id = (int16_t)(g_load.scene->materials[m].id & 0xFFFF);
    ObjectSide& side = g_load.objects[g_load.curObject];
    for (int i = 0; i < n; i++) {
        uint16_t f;
        TRY(readU16(&f));
        if (f >= o->faceCount)
            return fail(6, "material group %s of %s uses face %d of %d", name, o->name, f, o->faceCount);
        side.faceMaterial[f] = m;
        o->faces[f].materialId = id;
    }
    return OK;
}

int hTexCoords()
{
    x3dObject* o = curObject();
    if (!o)
        return SKIP;
    uint16_t n;
    TRY(readU16(&n));
    if (n > o->vertexCount)
        return fail(6, "object %s has %d texture coordinates for %d vertices", o->name, n, o->vertexCount);
    if ((int64_t)n * 8 > remaining())
        return fail(2, "object %s: %d texture coordinates do not fit their chunk", o->name, n);
    for (int i = 0; i < n; i++) {
        float uv[2];
        TRY(readFloat(&uv[0], "texture coordinate"));
        TRY(readFloat(&uv[1], "texture coordinate"));
        o->vertices[i].u = uv[0] * 255.9f;
        o->vertices[i].v = uv[1] * 255.9f;
    }
    return OK;
}

int hMeshMatrix()
{
    x3dObject* o = curObject();
    if (!o)
        return SKIP;
    float row[4][3];
    for (int i = 0; i < 4; i++)
        TRY(readVector(row[i], true, "mesh matrix value"));
    float axis[3][3], origin[3];
    memcpy(axis[0], row[0], sizeof axis[0]);
    memcpy(axis[1], row[2], sizeof axis[1]);
    memcpy(axis[2], row[1], sizeof axis[2]);
    memcpy(origin, row[3], sizeof origin);
    float inv[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    bool degenerate = false;
    for (int i = 0; i < 3; i++)
        if (axis[i][0] * axis[i][0] + axis[i][1] * axis[i][1] + axis[i][2] * axis[i][2] == 0.0f)
            degenerate = true;
    ObjectSide& side = g_load.objects[g_load.curObject];
    for (int i = 0; i < 3; i++) {
        float len2 = axis[i][0] * axis[i][0] + axis[i][1] * axis[i][1] + axis[i][2] * axis[i][2];
        for (int j = 0; j < 3; j++) {
            if (!degenerate)
                inv[i][j] = axis[i][j] / len2;
            // The pose: the axes as columns, the origin as translation.
            side.mesh[j][i] = degenerate ? (i == j ? 1.0f : 0.0f) : axis[i][j];
        }
        side.mesh[i][3] = origin[i];
    }
    for (int k = 0; k < o->vertexCount; k++) {
        float* p = o->vertices[k].position;
        float d[3] = {p[0] - origin[0], p[1] - origin[1], p[2] - origin[2]};
        for (int i = 0; i < 3; i++)
            p[i] = d[0] * inv[i][0] + d[1] * inv[i][1] + d[2] * inv[i][2];
    }
    return OK;
}

int hLight()
{
    x3dScene* s = g_load.scene;
    growArray(s->lights, s->lightCount, g_load.lightCap, g_load.lights);
    int index = s->lightCount++;
    g_load.lights[index].positionParent = g_load.lights[index].targetParent = -1;
    x3dLight* l = &s->lights[index];
    l->name = copyText(g_load.work);
    l->id = g_load.number++;
    l->type = X3D_LIGHT_OMNI;
    g_load.curLight = index;
    TRY(readVector(l->position, true, "light position"));
    memcpy(l->basePosition, l->position, sizeof l->position);
    return OK;
}

int hSpot()
{
    x3dLight* l = curLight();
    if (!l)
        return SKIP;
    float hotspot, falloff;
    TRY(readVector(l->target, true, "spot target"));
    TRY(readFloat(&hotspot, "hotspot"));
    TRY(readFloat(&falloff, "falloff"));
    memcpy(l->baseTarget, l->target, sizeof l->target);
    l->cosHotspot = xCosf(hotspot * 0.5f * 0.017453292f);
    l->cosFalloff = xCosf(falloff * 0.5f * 0.017453292f);
    // Equal cones leave no band between them: no scale is ever applied there.
    float band = l->cosFalloff - l->cosHotspot;
    l->coneScale = band != 0.0f ? 1.0f / band : 0.0f;
    // The attenuation chunk usually comes first: keep its bit.
    l->type = (int16_t)(X3D_LIGHT_SPOT | (l->type & X3D_LIGHT_ATTENUATE));
    l->roll = 0.0f;
    return OK;
}

int hRange()
{
    x3dLight* l = curLight();
    if (!l)
        return SKIP;
    return readFloat(g_load.chunkId == 0x4659 ? &l->innerRange : &l->outerRange, "light range");
}

int hCamera()
{
    x3dScene* s = g_load.scene;
    growArray(s->cameras, s->cameraCount, g_load.cameraCap, g_load.cameras);
    int index = s->cameraCount++;
    g_load.cameras[index].positionParent = g_load.cameras[index].targetParent = -1;
    x3dCamera* c = &s->cameras[index];
    c->name = copyText(g_load.work);
    c->id = g_load.number++;
    g_load.curCamera = index;
    float lens;
    TRY(readVector(c->position, true, "camera position"));
    TRY(readVector(c->target, true, "camera target"));
    TRY(readFloat(&c->roll, "camera roll"));
    TRY(readFloat(&lens, "camera lens"));
    float fov = lens > 0.0f ? x3dLensToFov(lens) : 0.0f;
    // f = 1 / tan(FOV / 2) is infinite at 0 degrees and 0 at 180.
    if (!(fov > 0.0f && fov < 180.0f))
        return fail(6, "camera %s has a lens of %g mm", c->name, lens);
    c->lensFov = fov;
    memcpy(c->basePosition, c->position, sizeof c->position);
    memcpy(c->baseTarget, c->target, sizeof c->target);
    return OK;
}

int hMaterial()
{
    x3dScene* s = g_load.scene;
    growArray(s->materials, s->materialCount, g_load.materialCap);
    int index = s->materialCount++;
    s->materials[index].id = g_load.number++;
    g_load.curMaterial = index;
    return OK;
}

// Reads a name into a record's name field (none: read and dropped).
int readName(char** field)
{
    char name[256];
    TRY(readString(name));
    if (field) {
        free(*field);
        *field = copyText(name);
    }
    return OK;
}

int hMaterialName()
{
    x3dMaterial* m = curMaterial();
    return m ? readName(&m->name) : SKIP;
}

x3dTextureSlot* slotByParent()
{
    x3dMaterial* m = curMaterial();
    switch (g_load.parentId) {
    case 0xA200: return &m->texture;
    case 0xA220: return &m->reflection;
    case 0xA230: return &m->bump;
    }
    return nullptr;
}

int hMapName()
{
    if (!curMaterial())
        return SKIP;
    x3dTextureSlot* slot = slotByParent();
    return readName(slot ? &slot->name : nullptr);
}

int hMapOptions()
{
    if (!curMaterial())
        return SKIP;
    uint16_t v;
    TRY(readU16(&v));
    if (x3dTextureSlot* slot = slotByParent())
        slot->options = v;
    return OK;
}

int hMapValue()
{
    if (!curMaterial())
        return SKIP;
    float v;
    TRY(readFloat(&v, "map value"));
    x3dTextureSlot* slot = slotByParent();
    if (!slot)
        return OK;
    switch (g_load.chunkId) {
    case 0xA354: slot->uScale = v; break;
    case 0xA356: slot->vScale = v; break;
    case 0xA358: slot->uOffset = v; break;
    case 0xA35A: slot->vOffset = v; break;
    case 0xA35C: slot->rotation = v; break;
    }
    return OK;
}

// Chunks without data that set a bit of the current object, light or
// material.
int hFlag()
{
    int id = g_load.chunkId;
    switch (id) {
    case 0x4017:
        if (!curObject())
            return SKIP;
        curObject()->flags |= 16; // unlit
        return OK;
    case 0x4625:
        if (!curLight())
            return SKIP;
        curLight()->type |= X3D_LIGHT_ATTENUATE;
        return OK;
    }
    x3dMaterial* m = curMaterial();
    if (!m)
        return SKIP;
    m->materialFlags |= id == 0xA081 ? 1 : id == 0xA08C ? 2 : id == 0xA085 ? 4 : 8;
    return OK;
}

int hShading()
{
    x3dMaterial* m = curMaterial();
    if (!m)
        return SKIP;
    uint16_t v;
    TRY(readU16(&v));
    m->renderFlags = v;
    return OK;
}

int hKeyframer()
{
    g_load.number = -1;
    return OK;
}

int hFrames()
{
    uint32_t first, last;
    TRY(readU32(&first));
    TRY(readU32(&last));
    g_load.scene->firstFrame = (float)(int32_t)first;
    g_load.scene->lastFrame = (float)(int32_t)last;
    g_load.scene->frame = 0.0f;
    return OK;
}

int hNodeId()
{
    uint16_t id;
    TRY(readU16(&id));
    g_load.number = id;
    return OK;
}

int hInstanceName()
{
    x3dObject* o = curObject();
    return o ? readName(&o->name) : SKIP;
}

// Appends a keyframer node; its parent is the last earlier node with the
// parent id, and it goes to the front of that parent's children.
int x3dAddNode(int kind, int32_t id, int parentId, int record)
{
    x3dScene* s = g_load.scene;
    growArray(s->nodes, s->nodeCount, g_load.nodeCap, g_load.nodeRecord);
    int index = s->nodeCount;
    x3dNode* n = &s->nodes[index];
    n->kind = kind;
    n->nodeId = id;
    n->parent = -1;
    // Earlier nodes only: a node naming its own id is not its own child.
    if (parentId != -1)
        for (int i = index - 1; i >= 0; i--)
            if (s->nodes[i].nodeId == parentId) {
                n->parent = i;
                n->nextSibling = s->nodes[i].firstChild;
                s->nodes[i].firstChild = index;
                break;
            }
    g_load.nodeRecord[index] = record;
    s->nodeCount++;
    return index;
}

int hNodeHeader()
{
    x3dScene* s = g_load.scene;
    if (g_load.previousId != 0xB030)
        g_load.number++;
    int32_t id = g_load.number;
    char name[256];
    TRY(readString(name));
    int object = -1, light = -1, camera = -1;
    if (strcmp(name, "$AMBIENT$") == 0) {
        growArray(s->ambients, s->ambientCount, g_load.ambientCap);
        x3dAmbient* a = &s->ambients[s->ambientCount];
        a->name = copyText(name);
        a->id = id + 1024;
        g_load.curAmbient = s->ambientCount++;
    } else if (strcmp(name, "$$$DUMMY") == 0) {
        object = newObject(name, id + 1024, X3D_OF_DUMMY);
    } else {
        object = findLast(s->objects, s->objectCount, name);
        light = findLast(s->lights, s->lightCount, name);
        camera = findLast(s->cameras, s->cameraCount, name);
    }
    uint16_t flags1, flags2, parentId;
    TRY(readU16(&flags1));
    TRY(readU16(&flags2));
    TRY(readU16(&parentId));
    int parent = -1;
    if (parentId != 0xFFFF)
        for (int i = s->nodeCount - 1; i >= 0; i--)
            if (s->nodes[i].nodeId == parentId) {
                parent = s->nodes[i].kind == 32 ? g_load.nodeRecord[i] : -1;
                break;
            }
    int pid = parentId == 0xFFFF ? -1 : parentId;

    switch (g_load.parentId) {
    case 0xB002:
        if (object >= 0) {
            g_load.objects[object].parent = parent;
            if (flags1 & 0x800)
                s->objects[object].flags |= X3D_OF_FILE_HIDDEN;
        }
        x3dAddNode(32, id, pid, object);
        // A node naming no mesh leaves no object for its pivot or name.
        g_load.curObject = object;
        break;
    case 0xB003:
    case 0xB004:
        if (camera < 0)
            return fail(7, "camera node %s names no camera", name);
        if (g_load.parentId == 0xB003)
            g_load.cameras[camera].positionParent = parent;
        else
            g_load.cameras[camera].targetParent = parent;
        x3dAddNode(g_load.parentId == 0xB003 ? 1 : 2, id, pid, camera);
        break;
    case 0xB005:
    case 0xB006:
    case 0xB007:
        if (light < 0)
            return fail(7, "light node %s names no light", name);
        if (g_load.parentId == 0xB006)
            g_load.lights[light].targetParent = parent;
        else
            g_load.lights[light].positionParent = parent;
        x3dAddNode(g_load.parentId == 0xB005 ? 4 : g_load.parentId == 0xB006 ? 16 : 8, id, pid, light);
        break;
    case 0xB001:
        if (g_load.curAmbient < 0)
            return fail(7, "ambient node %s has no ambient record", name);
        x3dAddNode(64, id, pid, g_load.curAmbient);
        break;
    }
    return OK;
}

int hPivot()
{
    x3dObject* o = curObject();
    if (!o)
        return SKIP;
    TRY(readVector(o->pivot, true, "pivot"));
    for (int i = 0; i < o->vertexCount; i++)
        for (int j = 0; j < 3; j++)
            o->vertices[i].position[j] -= o->pivot[j];
    return OK;
}

// The slot of a track chunk in a node of a kind, or -1.
int slotFor(int kind, int chunk)
{
    switch (kind) {
    case 32:
        switch (chunk) {
        case 0xB020: return 0;
        case 0xB022: return 1;
        case 0xB021: return 2;
        case 0xB026: return 3;
        case 0xB029: return 4;
        }
        break;
    case 1:
        return chunk == 0xB020 ? 0 : chunk == 0xB023 ? 1 : chunk == 0xB024 ? 2 : -1;
    case 2:
    case 16:
        return chunk == 0xB020 ? 0 : -1;
    case 4:
        return chunk == 0xB020 ? 0 : chunk == 0xB025 ? 1 : -1;
    case 8:
        return chunk == 0xB020 ? 0 : chunk == 0xB024 ? 1 : chunk == 0xB025 ? 2 : -1;
    case 64:
        return chunk == 0xB025 ? 0 : -1;
    }
    return -1;
}

// A morph key's mesh must have at least the vertices and faces of the mesh
// it is blended into.
int checkMorph(int object, int keyObject)
{
    const x3dObject* o = &g_load.scene->objects[object];
    const x3dObject* k = &g_load.scene->objects[keyObject];
    if (k->vertexCount < o->vertexCount || k->faceCount < o->faceCount)
        return fail(6, "morph key of %s names %s with %d vertices and %d faces, fewer than its %d and %d", o->name,
                    k->name, k->vertexCount, k->faceCount, o->vertexCount, o->faceCount);
    return OK;
}

int readKey(x3dKey* key, int chunk, int index, int nodeObject)
{
    uint32_t frame;
    uint16_t flags;
    TRY(readU32(&frame));
    key->frame = (float)frame;
    if (chunk == 0xB029) {
        key->value[0] = (index & 1) ? 0.0f : 1.0f;
        return skipBytes(2);
    }
    TRY(readU16(&flags));
    for (int bit = 0; bit < 16; bit++) {
        if (!(flags & (1 << bit)))
            continue;
        if (bit > 4) {
            TRY(skipBytes(4));
            continue;
        }
        float v;
        TRY(readFloat(&v, "spline value"));
        if (bit <= 2 && fabsf(v) > 1.0f)
            return fail(6, "key %d in chunk 0x%04X has tension, continuity or bias %g outside [-1, 1]", index, chunk,
                        v);
        float ease = v < 0.0f ? 0.0f : v > 1.0f ? 1.0f : v;
        switch (bit) {
        case 0: key->tension = v; break;
        case 1: key->continuity = v; break;
        case 2: key->bias = v; break;
        case 3: key->easeTo = ease; break;
        case 4: key->easeFrom = ease; break;
        }
    }
    switch (chunk) {
    case 0xB020:
    case 0xB022:
        return readVector(key->value, true, "key value");
    case 0xB025:
        return readVector(key->value, false, "key value");
    case 0xB024:
        return readFloat(&key->value[0], "key value");
    case 0xB023:
        TRY(readFloat(&key->value[0], "key value"));
        if (!(key->value[0] > 0.0f && key->value[0] < 180.0f))
            return fail(6, "field-of-view key %d is %g degrees", index, key->value[0]);
        return OK;
    case 0xB021: {
        float angle;
        TRY(readFloat(&angle, "rotation angle"));
        if (fabsf(angle) > kMaxAngle)
            return fail(6, "rotation key %d turns by %g radians", index, angle);
        key->value[0] = angle;
        return readVector(&key->value[1], true, "rotation axis");
    }
    case 0xB026: {
        char name[256];
        TRY(readString(name));
        int object = findLast(g_load.scene->objects, g_load.scene->objectCount, name);
        if (object < 0)
            return fail(7, "morph key %d names no object %s", index, name);
        if (nodeObject >= 0)
            TRY(checkMorph(nodeObject, object));
        key->value[0] = (float)g_load.scene->objects[object].id;
        return OK;
    }
    }
    return OK;
}

// Absolute rotations and angle sums of a rotation track whose keys hold the
// angle in value[0] and the axis in value[1..3] as read.
void buildRotations(x3dTrack* track)
{
    float previous[4] = {1, 0, 0, 0};
    float sum = 0.0f;
    for (int i = 0; i < track->keyCount; i++) {
        x3dKey* k = &track->keys[i];
        float angle = k->value[0];
        float* axis = &k->value[1];
        float len = sqrtf(axis[0] * axis[0] + axis[1] * axis[1] + axis[2] * axis[2]);
        float r[4] = {1, 0, 0, 0};
        if (len > 0.0f) {
            // Only a unit axis gives a unit quaternion: another would shear.
            for (int j = 0; j < 3; j++)
                axis[j] /= len;
            float s = xSinf(angle * 0.5f);
            r[0] = xCosf(angle * 0.5f);
            for (int j = 0; j < 3; j++)
                r[j + 1] = s * axis[j];
            sum += truncf(angle);
        } else {
            axis[0] = axis[1] = axis[2] = 0.0f;
        }
        x3dQuatMul(r, previous, k->rotation);
        memcpy(previous, k->rotation, sizeof previous);
        k->value[0] = sum;
    }
}

int hTrack()
{
    x3dScene* s = g_load.scene;
    int chunk = g_load.chunkId;
    uint16_t flags;
    uint32_t count;
    TRY(readU16(&flags));
    TRY(skipBytes(8));
    TRY(readU32(&count));
    int node = -1;
    for (int i = s->nodeCount - 1; i >= 0; i--)
        if (s->nodes[i].nodeId == g_load.number) {
            node = i;
            break;
        }
    int slot = node >= 0 ? slotFor(s->nodes[node].kind, chunk) : -1;
    int nodeObject = node >= 0 && s->nodes[node].kind == 32 ? g_load.nodeRecord[node] : -1;
    // An empty track animates nothing (writers give unanimated nodes one).
    if (count == 0)
        return OK;
    int minKey = chunk == 0xB029 ? 6 : chunk == 0xB026 ? 7 : chunk == 0xB021 ? 22 :
                 (chunk == 0xB023 || chunk == 0xB024) ? 10 : 18;
    if ((int64_t)count * minKey > remaining())
        return fail(2, "track 0x%04X: %u keys do not fit their chunk", chunk, count);
    x3dTrack* track = (x3dTrack*)allocOrRaise(sizeof(x3dTrack), __LINE__);
    g_load.pending = track;
    track->keys = (x3dKey*)allocOrRaise(sizeof(x3dKey) * count, __LINE__);
    track->keyCount = (int32_t)count;
    track->mode = (flags & 3) == 3 ? 2 : (flags & 2) ? 1 : 0;
    for (uint32_t i = 0; i < count; i++) {
        x3dKey* k = &track->keys[i];
        TRY(readKey(k, chunk, (int)i, nodeObject));
        if (i > 0 && !(k->frame > k[-1].frame))
            return fail(6, "track 0x%04X of node %d: key %u at frame %g does not follow frame %g", chunk,
                        g_load.number, i, k->frame, k[-1].frame);
        k->previous = i > 0 ? k - 1 : nullptr;
        k->next = i + 1 < count ? k + 1 : nullptr;
    }
    track->length = track->keys[count - 1].frame;
    if (chunk == 0xB021) {
        buildRotations(track);
        x3dSplineInitRot(track);
    } else if (chunk != 0xB026 && chunk != 0xB029) {
        x3dSplineInit(track);
    }
    g_load.pending = nullptr;
    if (slot < 0) {
        freeTrack(track);
        return OK;
    }
    freeTrack(s->nodes[node].tracks[slot]);
    s->nodes[node].tracks[slot] = track;
    return OK;
}

int hNone() { return OK; }

struct ChunkEntry {
    uint16_t id;
    bool container;
    int (*handler)();
};

const ChunkEntry g_chunks[] = {
    {0xC23D, true, hNone}, {0x3DAA, true, hNone}, {0x4D4D, true, hNone}, {0x3D3D, true, hNone},
    {0x1200, true, hNone}, {0x2100, true, hNone}, {0x4F00, true, hNone},
    {0x7001, false, hNone}, {0x4111, false, hNone}, {0x4150, false, hNone}, {0x4165, false, hNone},
    {0x4170, false, hNone},
    {0x0010, false, hColour}, {0x0011, false, hColour}, {0x0030, false, hPercent},
    {0x4000, true, hObjectName}, {0x4100, true, hMesh}, {0x4110, false, hVertices}, {0x4120, true, hFaces},
    {0x4130, false, hMaterialGroup}, {0x4140, false, hTexCoords}, {0x4160, false, hMeshMatrix},
    {0x4017, false, hFlag},
    {0x4600, true, hLight}, {0x4610, false, hSpot}, {0x4625, false, hFlag}, {0x4659, false, hRange},
    {0x465A, false, hRange}, {0x4700, false, hCamera},
    {0xAFFF, true, hMaterial}, {0xA000, false, hMaterialName},
    {0xA010, true, hNone}, {0xA020, true, hNone}, {0xA030, true, hNone},
    {0xA040, true, hNone}, {0xA041, true, hNone}, {0xA050, true, hNone}, {0xA052, true, hNone},
    {0xA053, true, hNone}, {0xA084, true, hNone},
    {0xA200, true, hNone}, {0xA220, true, hNone}, {0xA230, true, hNone},
    {0xA300, false, hMapName}, {0xA351, false, hMapOptions}, {0xA354, false, hMapValue},
    {0xA356, false, hMapValue}, {0xA358, false, hMapValue}, {0xA35A, false, hMapValue},
    {0xA35C, false, hMapValue},
    {0xA081, false, hFlag}, {0xA08C, false, hFlag}, {0xA085, false, hFlag},
    {0xA083, false, hFlag}, {0xA100, false, hShading},
    {0xB000, true, hKeyframer}, {0xB001, true, hNone}, {0xB002, true, hNone}, {0xB003, true, hNone},
    {0xB004, true, hNone}, {0xB005, true, hNone}, {0xB006, true, hNone}, {0xB007, true, hNone},
    {0xB008, false, hFrames}, {0xB030, false, hNodeId}, {0xB011, false, hInstanceName},
    {0xB010, false, hNodeHeader}, {0xB013, false, hPivot},
    {0xB020, false, hTrack}, {0xB021, false, hTrack}, {0xB022, false, hTrack}, {0xB023, false, hTrack},
    {0xB024, false, hTrack}, {0xB025, false, hTrack}, {0xB026, false, hTrack}, {0xB029, false, hTrack},
};

void raise(int code, int line) { g_xError.Raise(kModule, line, code, g_load.detail); }

void x3dParseChunks(mfile* file, int32_t end, int parentId, int depth)
{
    g_load.parentId = parentId;
    while (file->pos < end) {
        int32_t start = file->pos;
        if (file->size - start < 6)
            raise(fail(2, "the file ends inside a chunk header at offset %d", start), __LINE__);
        uint16_t id = (uint16_t)(file->data[start] | file->data[start + 1] << 8);
        uint32_t length;
        memcpy(&length, file->data + start + 2, 4);
        // A length below the header's own would seek back onto it for ever.
        if (length < 6)
            raise(fail(6, "chunk 0x%04X at offset %d has length %u", id, start, length), __LINE__);
        int64_t chunkEnd = (int64_t)start + length;
        if (chunkEnd > file->size)
            raise(fail(2, "chunk 0x%04X at offset %d runs past the end of the file", id, start), __LINE__);
        if (chunkEnd > end)
            raise(fail(6, "chunk 0x%04X at offset %d runs past the end of its parent", id, start), __LINE__);
        file->pos = start + 6;
        const ChunkEntry* entry = nullptr;
        for (const ChunkEntry& e : g_chunks)
            if (e.id == id) {
                entry = &e;
                break;
            }
        if (!entry) {
            file->pos = (int32_t)chunkEnd;
            continue;
        }
        g_load.chunkId = id;
        g_load.chunkEnd = (int32_t)chunkEnd;
        int result = entry->handler();
        if (result == SKIP) {
            file->pos = (int32_t)chunkEnd;
            continue;
        }
        if (result)
            raise(result, __LINE__);
        if (entry->container) {
            if (depth >= kMaxDepth)
                raise(fail(6, "chunk 0x%04X at offset %d is nested %d levels deep", id, start, depth), __LINE__);
            x3dParseChunks(file, (int32_t)chunkEnd, id, depth + 1);
        }
        file->pos = (int32_t)chunkEnd;
        g_load.previousId = id;
    }
}

// Morph keys name meshes by id: each id must name exactly one object, fit
// the object's morph fields, and the mesh must still be large enough.
void checkMorphKeys()
{
    x3dScene* s = g_load.scene;
    for (int n = 0; n < s->nodeCount; n++) {
        x3dTrack* t = s->nodes[n].kind == 32 ? s->nodes[n].tracks[3] : nullptr;
        int object = t ? g_load.nodeRecord[n] : -1;
        if (object < 0)
            continue;
        for (int k = 0; k < t->keyCount; k++) {
            int32_t id = (int32_t)t->keys[k].value[0];
            int found = -1, matches = 0;
            for (int i = 0; i < s->objectCount; i++)
                if (s->objects[i].id == id) {
                    found = i;
                    matches++;
                }
            if (matches != 1 || id > 32767)
                raise(fail(6, "morph key %d of %s names object id %d, which %s", k, s->objects[object].name, id,
                           matches > 1 ? "several objects share" : "does not fit"),
                      __LINE__);
            int r = checkMorph(object, found);
            if (r)
                raise(r, __LINE__);
        }
        s->objects[object].morphSource = s->objects[object].morphTarget = (int16_t)t->keys[0].value[0];
    }
}

// Pointers are made once the arrays have stopped growing.
void linkRecords()
{
    x3dScene* s = g_load.scene;
    for (int i = 0; i < s->objectCount; i++) {
        x3dObject* o = &s->objects[i];
        const ObjectSide& side = g_load.objects[i];
        o->parent = side.parent >= 0 ? &s->objects[side.parent] : nullptr;
        for (int f = 0; f < o->faceCount; f++)
            o->faces[f].material = side.faceMaterial[f] >= 0 ? &s->materials[side.faceMaterial[f]] : nullptr;
        for (int v = 0; v < o->vertexCount; v++)
            for (int j = 0; j < 3; j++)
                if (!(fabsf(o->vertices[v].position[j]) <= kMaxLocal))
                    raise(fail(6, "vertex %d of %s lies %g out after its mesh matrix", v, o->name,
                               o->vertices[v].position[j]),
                          __LINE__);
        // The pose the file stores its vertices in: mesh matrix, then pivot.
        memset(o->restMatrix, 0, sizeof o->restMatrix);
        if (o->flags & X3D_OF_DUMMY) {
            for (int j = 0; j < 3; j++)
                o->restMatrix[j][j] = 1.0f;
        } else {
            for (int r = 0; r < 3; r++) {
                for (int c = 0; c < 3; c++)
                    o->restMatrix[r][c] = side.mesh[r][c];
                o->restMatrix[r][3] = side.mesh[r][3] + side.mesh[r][0] * o->pivot[0] +
                                      side.mesh[r][1] * o->pivot[1] + side.mesh[r][2] * o->pivot[2];
            }
        }
        memcpy(o->matrix, o->restMatrix, sizeof o->matrix);
    }
    auto objectAt = [s](int i) { return i >= 0 ? &s->objects[i] : nullptr; };
    for (int i = 0; i < s->cameraCount; i++) {
        x3dCamera* c = &s->cameras[i];
        c->positionParent = objectAt(g_load.cameras[i].positionParent);
        c->targetParent = objectAt(g_load.cameras[i].targetParent);
        x3dCameraSetFov(c, c->lensFov);
        x3dCameraUpdate(c);
    }
    for (int i = 0; i < s->lightCount; i++) {
        s->lights[i].positionParent = objectAt(g_load.lights[i].positionParent);
        s->lights[i].targetParent = objectAt(g_load.lights[i].targetParent);
    }
    for (int i = 0; i < s->nodeCount; i++) {
        x3dNode* n = &s->nodes[i];
        int r = g_load.nodeRecord[i];
        n->record = nullptr;
        if (r >= 0)
            switch (n->kind) {
            case 32: n->record = &s->objects[r]; break;
            case 1:
            case 2: n->record = &s->cameras[r]; break;
            case 4:
            case 8:
            case 16: n->record = &s->lights[r]; break;
            case 64: n->record = &s->ambients[r]; break;
            }
        n->previous = i > 0 ? &s->nodes[i - 1] : nullptr;
        n->next = i + 1 < s->nodeCount ? &s->nodes[i + 1] : nullptr;
    }
}

void load(mfile* file, const char* name, x3dScene* scene)
{
    x3dScene* s = scene;
    s->objectCount = s->lightCount = s->cameraCount = s->materialCount = s->ambientCount = s->nodeCount = 0;
    s->objects = nullptr;
    s->lights = nullptr;
    s->cameras = nullptr;
    s->materials = nullptr;
    s->ambients = nullptr;
    s->nodes = nullptr;
    s->texturePath = nullptr;
    g_load.scene = scene;
    g_load.file = file;
    g_load.name = name;
    g_load.curObject = g_load.curLight = g_load.curCamera = g_load.curMaterial = g_load.curAmbient = -1;
    g_load.number = 0;
    x3dParseChunks(file, file->size, 0, 0);
    checkMorphKeys();
    linkRecords();
}

void finish(x3dScene* s)
{
    g_x3dLog.Print("Loaded..Ok");
    g_x3dLog.Print(xFormat("Objects: %d Cameras: %d Lights: %d Materials: %d", s->objectCount, s->cameraCount,
                           s->lightCount, s->materialCount));
    for (int i = 0; i < s->objectCount; i++) {
        x3dCalcNormals(&s->objects[i]);
        x3dCalcBounds(&s->objects[i]);
    }
}

} // namespace

float x3dLensToFov(float lens)
{
    static const float table[][2] = {{15, 115}, {20, 94.28571f}, {24, 84}, {28, 76.36364f}, {35, 63},
                                     {50, 46}, {85, 28}, {135, 18}, {200, 12}};
    for (const auto& row : table)
        if (lens == row[0])
            return row[1];
    return 15.0f / lens * 160.0f;
}

void x3dLoad3ds(const char* name, x3dScene* scene)
{
    X_ASSERT(scene != nullptr, kModule, __LINE__);
    releaseLoader();
    g_x3dLog.Print(xFormat("Load 3DS : %s", name));
    if (FILE* f = fopen(name, "rb"))
        fclose(f);
    else
        g_xError.Raise(kModule, __LINE__, 5, name);
    g_load.ownedFile = mopen(name);
    if (!g_load.ownedFile)
        g_xError.Raise(kModule, __LINE__, 1, name);
    load(g_load.ownedFile, name, scene);
    releaseLoader();
    finish(scene);
}

void x3dLoad3dsMem(xFile* block, x3dScene* scene)
{
    X_ASSERT(scene != nullptr, kModule, __LINE__);
    releaseLoader();
    const char* name = block->name ? block->name : "(memory)";
    g_x3dLog.Print(xFormat("Load 3DS : %s", name));
    mfile file = {block->data, block->size, 0};
    load(&file, name, scene);
    releaseLoader();
    finish(scene);
}

void x3dFreeScene(x3dScene* scene)
{
    releaseLoader();
    x3dScene* s = scene;
    for (int i = 0; i < s->objectCount; i++) {
        free(s->objects[i].name);
        free(s->objects[i].vertices);
        free(s->objects[i].faces);
    }
    for (int i = 0; i < s->lightCount; i++) {
        free(s->lights[i].name);
        // Lens flares and the texture path come from the scene script.
        if (s->lights[i].lensFlare)
            free(s->lights[i].lensFlare->slot.name);
        free(s->lights[i].lensFlare);
    }
    for (int i = 0; i < s->cameraCount; i++)
        free(s->cameras[i].name);
    for (int i = 0; i < s->materialCount; i++) {
        x3dMaterial* m = &s->materials[i];
        free(m->name);
        free(m->texture.name);
        free(m->reflection.name);
        free(m->bump.name);
    }
    for (int i = 0; i < s->ambientCount; i++)
        free(s->ambients[i].name);
    for (int i = 0; i < s->nodeCount; i++)
        for (x3dTrack* t : s->nodes[i].tracks)
            freeTrack(t);
    free(s->objects);
    free(s->lights);
    free(s->cameras);
    free(s->materials);
    free(s->ambients);
    free(s->nodes);
    free(s->drawListA);
    free(s->drawListB);
    free(s->visibleLights);
    s->objects = nullptr;
    s->lights = nullptr;
    s->cameras = nullptr;
    s->materials = nullptr;
    s->ambients = nullptr;
    s->nodes = nullptr;
    s->drawListA = s->drawListB = nullptr;
    s->visibleLights = nullptr;
    free(s->texturePath);
    s->texturePath = nullptr;
    s->objectCount = s->lightCount = s->cameraCount = s->materialCount = s->ambientCount = s->nodeCount = 0;
    s->drawCount = s->visibleLightCount = 0;
}

void x3dCalcNormals(x3dObject* o)
{
    for (int i = 0; i < o->vertexCount; i++)
        memset(o->vertices[i].normal, 0, sizeof o->vertices[i].normal);
    for (int i = 0; i < o->faceCount; i++) {
        x3dFace* f = &o->faces[i];
        const float* a = f->vertices[0]->position;
        const float* b = f->vertices[1]->position;
        const float* c = f->vertices[2]->position;
        float u[3] = {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
        float v[3] = {b[0] - c[0], b[1] - c[1], b[2] - c[2]};
        float n[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
        // Lengths in double: sums of large faces must not overflow.
        double len = sqrt((double)n[0] * n[0] + (double)n[1] * n[1] + (double)n[2] * n[2]);
        if (len == 0.0)
            len = 1.0;
        for (int j = 0; j < 3; j++) {
            f->normal[j] = (float)(n[j] / len);
            for (int k = 0; k < 3; k++)
                f->vertices[k]->normal[j] += n[j];
        }
    }
    for (int i = 0; i < o->vertexCount; i++) {
        float* n = o->vertices[i].normal;
        double len = sqrt((double)n[0] * n[0] + (double)n[1] * n[1] + (double)n[2] * n[2]);
        if (len == 0.0)
            len = 1.0;
        for (int j = 0; j < 3; j++)
            n[j] = (float)(n[j] / len);
    }
}

void x3dCalcBounds(x3dObject* o)
{
    if (o->vertexCount < 1)
        return;
    for (int j = 0; j < 3; j++)
        o->boundsMin[j] = o->boundsMax[j] = o->vertices[0].position[j];
    for (int i = 1; i < o->vertexCount; i++)
        for (int j = 0; j < 3; j++) {
            float p = o->vertices[i].position[j];
            o->boundsMin[j] = p < o->boundsMin[j] ? p : o->boundsMin[j];
            o->boundsMax[j] = p > o->boundsMax[j] ? p : o->boundsMax[j];
        }
    for (int j = 0; j < 3; j++)
        o->centre[j] = (o->boundsMin[j] + o->boundsMax[j]) * 0.5f;
    double radius = 0.0;
    for (int i = 0; i < o->vertexCount; i++) {
        const float* p = o->vertices[i].position;
        double d = 0.0;
        for (int j = 0; j < 3; j++)
            d += ((double)p[j] - o->centre[j]) * ((double)p[j] - o->centre[j]);
        d = sqrt(d);
        if (d == 0.0)
            d = 1.0;
        radius = d > radius ? d : radius;
    }
    o->radius = (float)radius;
}
