#include "X3d.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "system/Xerror.h"
#include "system/Xmath.h"

x3dEngine g_x3d;

namespace {
const char* const kModule = "X3d/X3d.cpp";

void* allocOrRaise(size_t bytes, int line)
{
    void* p = malloc(bytes ? bytes : 1);
    if (!p)
        g_xError.Raise(kModule, line, 1, nullptr);
    return p;
}

void fillScanLines(int width, int height)
{
    for (int y = 0; y < height; y++)
        g_x3d.scanLines[y] = y * width * 4;
    g_x3d.linePitch = width * 4;
}

void buildSqrtTable()
{
    for (int i = 0; i < 256; i++) {
        double root = i < 128 ? sqrt(1.0 + i / 128.0) : sqrt(2.0 * (1.0 + (i - 128) / 128.0));
        g_x3d.sqrtTable[i] = (int32_t)lround((root - 1.0) * 8388608.0);
    }
}

template <typename T> T* findLast(T* records, int count, const char* name)
{
    T* found = nullptr;
    for (int i = 0; i < count; i++)
        if (records[i].name && strcmp(records[i].name, name) == 0)
            found = &records[i];
    return found;
}
} // namespace

float x3dTableSqrt(float value)
{
    int32_t n;
    memcpy(&n, &value, 4);
    int8_t s = (int8_t)((n >> 16) & 0xFF);
    int32_t bits = g_x3d.sqrtTable[s + 128] + ((int32_t)((uint32_t)(n - 0x3F800000) & 0xFF000000u) >> 1) + 0x3F800000;
    float out;
    memcpy(&out, &bits, 4);
    return out;
}

void x3dBuildTables()
{
    g_x3d.modulate = (uint8_t*)allocOrRaise(65536, 60);
    for (int k = 0; k < 256; k++)
        for (int i = 0; i < 256; i++)
            g_x3d.modulate[k * 256 + i] = (uint8_t)((k * i) >> 8);
    uint8_t* fog = (uint8_t*)allocOrRaise(3 * 65536, 66);
    for (int c = 0; c < 3; c++)
        g_x3d.fogTables[c] = fog + c * 65536;
    g_x3d.fogWhole = 0;
}

void x3dInit(int width, int height, const char* logName)
{
    g_x3d.width = width;
    g_x3d.height = height;
    g_x3d.halfWidth = width >> 1;
    g_x3d.halfHeight = height >> 1;
    g_x3d.pixelCount = width * height;
    free(g_x3d.scanLines);
    g_x3d.scanLines = (int32_t*)allocOrRaise(sizeof(int32_t) * (height > 0 ? height : 1), 90);
    g_x3d.scanLineCount = height;
    fillScanLines(width, height);
    x3dBuildTables();
    x3dSetShadeTable(1, 2);
    g_x3d.zbuffer = nullptr;
    g_x3d.zbufferPixels = 0;
    memset(g_x3d.identity, 0, sizeof g_x3d.identity);
    g_x3d.identity[0][0] = g_x3d.identity[1][1] = g_x3d.identity[2][2] = 1.0f;
    buildSqrtTable();
    if (logName)
        g_x3dLog.Open(logName);
    g_x3dLog.Print("Initializing X3D Engine..");
    g_x3dLog.Print(xFormat("SizeX = %d SizeY = %d", width, height));
}

void x3dInitZBuffer()
{
    int32_t bytes = g_x3d.pixelCount * 4;
    if (!g_x3d.zbuffer) {
        g_x3d.zbuffer = (int32_t*)allocOrRaise((size_t)bytes, 120);
        g_x3d.zbufferPixels = g_x3d.pixelCount;
    }
    g_x3dLog.Print(xFormat("Initializing Zbuffer - %d bytes size", bytes));
}

void x3dSetShadeTable(int mode, int shift)
{
    g_x3d.lineMode = mode;
    if (mode == 1) {
        for (int i = 0; i < 192; i++)
            g_x3d.falloff[i] = (uint8_t)(255 - (i * 255) / 192);
    } else if (mode > 1) {
        for (int i = 0; i < 192; i++) {
            double x = i / (20.0 * (mode - 1));
            g_x3d.falloff[i] = (uint8_t)(int)(255.0 * xExp(-(x * x)));
        }
    }
    for (int i = 0; i < 192; i++)
        g_x3d.falloff[i] = (uint8_t)(g_x3d.falloff[i] >> (shift & 31));
}

void x3dSetScreenSize(int width, int height)
{
    // The table has one entry per line of the engine's screen: a taller
    // viewport would index past it.
    X_ASSERT(height <= g_x3d.scanLineCount, kModule, 160);
    // Rows wider than the engine's screen would run past the frame buffer and
    // the z-buffer, which are sized for it.
    X_ASSERT(width <= g_x3d.width, kModule, 161);
    fillScanLines(width, height);
}

void x3dSetScene(x3dScene* scene)
{
    X_ASSERT(scene != nullptr, kModule, 170);
    g_x3d.scene = scene;
    g_x3d.farDistance = scene->fogDistance;
    g_x3d.dimStart = g_x3d.farDistance * 0.75f;
    g_x3d.fogStart = g_x3d.farDistance * 0.5f;
    // A scene without a distance has no far limit: no far cull, no dimming and
    // no fog amount. Its scales stay 0 rather than 1/0, which would turn the
    // lighting into NaN and the shades into table indices out of range.
    bool farLimit = g_x3d.farDistance > 0.0f;
    g_x3d.dimScale = farLimit ? 1.0f / (g_x3d.farDistance - g_x3d.dimStart) : 0.0f;
    g_x3d.fogScale = farLimit ? 1.0f / (g_x3d.farDistance - g_x3d.fogStart) : 0.0f;
    g_x3d.fogOn = scene->fog;
    if (scene->fog)
        x3dSetFogColor(scene->fogColour[0], scene->fogColour[1], scene->fogColour[2]);
}

void x3dSetFogColor(float r, float g, float b)
{
    X_ASSERT(g_x3d.fogTables[0] != nullptr, kModule, 190);
    g_x3d.fogOn = 1;
    g_x3d.fogColour[0] = r;
    g_x3d.fogColour[1] = g;
    g_x3d.fogColour[2] = b;
    g_x3d.fogPacked = (int32_t)r << 16 | (int32_t)g << 8 | (int32_t)b;
    const float colour[3] = {r, g, b};
    g_x3d.fogWhole = 1;
    for (int c = 0; c < 3; c++) {
        // In float, i x (1 - m) and colour x m are exact for a whole colour
        // and so is their sum: the table is the integer blend.
        if (!(colour[c] >= 0.0f && colour[c] <= 255.0f && colour[c] == std::floor(colour[c])))
            g_x3d.fogWhole = 0;
        uint8_t* table = g_x3d.fogTables[c];
        for (int l = 0; l < 256; l++) {
            float m = l / 256.0f;
            for (int i = 0; i < 256; i++)
                table[l * 256 + i] = (uint8_t)(int)(i * (1.0f - m) + colour[c] * m);
        }
    }
}

void x3dSetFrame(float frame)
{
    x3dScene* scene = g_x3d.scene;
    if (!scene || !(scene->firstFrame < scene->lastFrame))
        return;
    if (frame >= scene->firstFrame && frame < scene->lastFrame)
        scene->frame = frame;
}

x3dViewport x3dGetViewport()
{
    x3dViewport v{};
    v.width = g_x3d.width;
    v.height = g_x3d.height;
    v.halfWidth = g_x3d.halfWidth;
    v.halfHeight = g_x3d.halfHeight;
    v.pixelCount = g_x3d.pixelCount;
    v.linePitch = g_x3d.linePitch;
    v.scanLineCount = g_x3d.scanLineCount;
    v.scanLines = g_x3d.scanLines;
    v.camera = g_x3d.camera;
    if (const x3dCamera* c = v.camera) {
        v.centreX = c->centreX;
        v.centreY = c->centreY;
        v.cameraWidth = c->width;
        v.cameraHeight = c->height;
        v.aspect = c->aspect;
        v.projectedFov = c->projectedFov;
        v.sphereFactor = c->sphereFactor;
        memcpy(v.projection, c->projection, sizeof v.projection);
    }
    return v;
}

void x3dSetViewport(const x3dViewport& v)
{
    g_x3d.width = v.width;
    g_x3d.height = v.height;
    g_x3d.halfWidth = v.halfWidth;
    g_x3d.halfHeight = v.halfHeight;
    g_x3d.pixelCount = v.pixelCount;
    g_x3d.linePitch = v.linePitch;
    g_x3d.scanLineCount = v.scanLineCount;
    g_x3d.scanLines = v.scanLines;
    if (x3dCamera* c = v.camera) {
        c->centreX = v.centreX;
        c->centreY = v.centreY;
        c->width = v.cameraWidth;
        c->height = v.cameraHeight;
        c->aspect = v.aspect;
        c->projectedFov = v.projectedFov;
        c->sphereFactor = v.sphereFactor;
        memcpy(c->projection, v.projection, sizeof c->projection);
    }
}

void x3dSetActiveCamera(x3dCamera* camera)
{
    X_ASSERT(camera != nullptr, kModule, 230);
    g_x3d.camera = camera;
}

void x3dCameraSetSize(int width, int height, x3dCamera* camera)
{
    camera->width = (float)width;
    camera->height = (float)height;
    camera->centreX = width * 0.5f;
    camera->centreY = height * 0.5f;
    camera->aspect = (float)width / (float)height * 0.75f;
    camera->projectedFov = 0.0f;
    x3dSetScreenSize(width, height);
}

void x3dCameraResetSize(x3dCamera* camera) { x3dCameraSetSize(g_x3d.width, g_x3d.height, camera); }

x3dCamera* x3dFindCamera(const char* name, x3dScene* scene)
{
    return findLast(scene->cameras, scene->cameraCount, name);
}

x3dLight* x3dFindLight(const char* name, x3dScene* scene)
{
    return findLast(scene->lights, scene->lightCount, name);
}

x3dObject* x3dFindObject(const char* name, x3dScene* scene)
{
    return findLast(scene->objects, scene->objectCount, name);
}

x3dMaterial* x3dFindMaterial(const char* name, x3dScene* scene)
{
    return findLast(scene->materials, scene->materialCount, name);
}

void x3dPrepareScene(x3dScene* scene)
{
    int64_t items = scene->lightCount;
    for (int i = 0; i < scene->objectCount; i++)
        items += scene->objects[i].faceCount;
    size_t bytes = (size_t)items * sizeof(x3dDrawItem);
    scene->drawListA = (x3dDrawItem*)allocOrRaise(bytes, 280);
    scene->drawListB = (x3dDrawItem*)allocOrRaise(bytes, 282);
    scene->visibleLights = (x3dLight**)allocOrRaise(sizeof(x3dLight*) * (size_t)scene->lightCount, 284);
    scene->drawCount = 0;
}
