// The 3D engine's records and its engine-wide state: screen size, scan-line
// table, z-buffer, lookup tables, the current scene and the active camera.
#pragma once
#include <cstdint>

struct x3dObject;
struct x3dMaterial;

// Vertex flags, set each frame by the pipeline.
enum {
    X3D_VF_TO_LIGHT = 0x01,   // on a listed face and not lit yet this frame
    X3D_VF_DIM = 0x02,        // its object reaches past the dimming start
    X3D_VF_FOG = 0x04,        // its object reaches past the fog start
    X3D_VF_BEYOND_FAR = 0x08, // at or beyond the far distance
};

// Face flags: the draw flags of a listed face, and its clip flags.
enum {
    X3D_FF_LISTED = 0x04, // in this frame's draw list
    X3D_FF_UNLIT = 0x08,  // its object is drawn without lights
    X3D_FF_DIM = 0x10,    // may be dimmed (cleared when its depth is before the dimming)
    X3D_FF_FOG = 0x20,    // may be fogged (the same for the fog)
    X3D_FF_MORPH_BACK = 0x100, // clip flags: turned away while its object morphs
};

// Object flags.
enum {
    X3D_OF_HIDDEN = 0x01,      // hidden by its hide track at this frame
    X3D_OF_FILE_HIDDEN = 0x02, // hidden in the 3DS file
    X3D_OF_DUMMY = 0x04,       // a keyframer dummy: no mesh, no rest pose of its own
    X3D_OF_MORPHING = 0x08,    // its morph track plays at this frame
    X3D_OF_UNLIT = 0x10,       // NOLIGHT in the scene script
};

// Light types: omni or spot, with the attenuation bit.
enum {
    X3D_LIGHT_OMNI = 1,
    X3D_LIGHT_SPOT = 2,
    X3D_LIGHT_ATTENUATE = 4,
};

struct x3dVertex {
    uint16_t flags;      // X3D_VF_
    uint16_t outcode;    // this frame's view planes outside: bits 0-3 left, right, top, bottom; 4 near
    float position[3];
    float viewPosition[3];
    float normal[3];
    float viewNormal[3];
    float u, v;
    float screenX, screenY, invZ;
    float light;
    float fog;
};

struct x3dFace {
    uint16_t a, b, c;
    uint16_t drawFlags;
    uint16_t clipFlags;
    int16_t materialId;
    x3dVertex* vertices[3];
    float normal[3];
    float morphNormal[3];
    x3dMaterial* material;
};

struct x3dObject {
    char* name;
    int32_t id;
    x3dObject* parent;
    int32_t vertexCount, faceCount;
    int32_t flags;
    int32_t clipCode;
    x3dVertex* vertices;
    x3dFace* faces;
    float pivot[3];
    float position[3];
    float scale[3];
    float rotation[4]; // w, x, y, z
    float matrix[3][4];
    int16_t morphSource, morphTarget;
    float morphFactor;
    float boundsMin[3], boundsMax[3];
    float radius;
    float centre[3];
    // The pose the mesh matrix gives the object (engine space, pivot
    // included): its matrix while no node moves it.
    float restMatrix[3][4];
};

// A texture, reflection or bump map slot of a material.
struct x3dTextureSlot {
    char* name;
    uint32_t options;
    float uScale, vScale;
    float uOffset, vOffset;
    float rotation;
    uint32_t* pixels;
};

struct x3dMaterial {
    char* name;
    int32_t id;
    uint32_t renderFlags;
    uint32_t materialFlags;
    float ambient[3], diffuse[3], specular[3];
    float shininess, shininessStrength, transparency, transparencyFalloff, reflectionBlur, selfIllumination;
    x3dTextureSlot texture;
    x3dTextureSlot reflection;
    x3dTextureSlot bump;
    uint8_t red, green, blue;
    uint32_t packedColour;
};

struct x3dCamera {
    char* name;
    int32_t id;
    x3dObject* positionParent;
    x3dObject* targetParent;
    float position[3];
    float target[3];
    float projectedFov;
    float roll;
    float width, height;
    float centreX, centreY;
    float aspect;
    float view[3][4];
    float projection[3][4];
    float sphereFactor;
    // The field of view of the lens (degrees): the one used while no key
    // animates it. The projected FOV above only records what the projection
    // was last computed for.
    float lensFov;
    // Position and target as loaded: each frame's parent transform applies
    // to these (or to the keys), never to last frame's result.
    float basePosition[3];
    float baseTarget[3];
};

struct x3dLensFlare {
    int32_t width, height;
    x3dTextureSlot slot;
    float scale;
};

struct x3dLight {
    char* name;
    int32_t id;
    x3dObject* positionParent;
    x3dObject* targetParent;
    int16_t type; // X3D_LIGHT_
    float position[3];
    float target[3];
    float viewPosition[3];
    float viewTarget[3];
    float viewDirection[3];
    float roll;
    float cosHotspot, cosFalloff, coneScale;
    float innerRange, outerRange;
    x3dLensFlare* lensFlare;
    float colour[3];
    // Position and target as loaded (see x3dCamera).
    float basePosition[3];
    float baseTarget[3];
};

struct x3dAmbient {
    char* name;
    int32_t id;
    float colour[3];
};

struct x3dKey {
    float frame;
    float tension, bias, continuity, easeTo, easeFrom;
    float value[4];
    float tangentIn[4], tangentOut[4];
    float quatIn[4], quatOut[4];
    float rotation[4];
    x3dKey* next;
    x3dKey* previous;
};

struct x3dTrack {
    int32_t mode; // 0 single, 1 repeat, 2 loop
    int32_t keyCount;
    float length;
    x3dKey* keys;
    x3dKey* cursor;
};

enum { X3D_NODE_TRACKS = 8 };

struct x3dNode {
    int32_t kind; // 1 camera, 2 camera target, 4 omni, 8 spot, 16 light target, 32 object, 64 ambient
    int32_t nodeId;
    x3dTrack* tracks[X3D_NODE_TRACKS];
    void* record;
    int32_t parent;
    int32_t firstChild;
    int32_t nextSibling;
    x3dNode* next;
    x3dNode* previous;
};

enum { X3D_DRAW_FACE = 1, X3D_DRAW_FLARE = 2 };

struct x3dDrawItem {
    void* item;     // an x3dFace, or an x3dLight carrying a lens flare
    uint32_t depth; // bit pattern of a non-negative float depth
    int32_t kind;
};

struct x3dScene {
    float firstFrame, lastFrame;
    float frame;
    int32_t objectCount, lightCount, cameraCount, materialCount, ambientCount;
    x3dObject* objects;
    x3dLight* lights;
    x3dCamera* cameras;
    x3dMaterial* materials;
    x3dAmbient* ambients;
    int32_t nodeCount;
    x3dNode* nodes;
    x3dDrawItem* drawListA;
    x3dDrawItem* drawListB;
    int32_t drawCount;
    x3dLight** visibleLights;
    int32_t visibleLightCount;
    char* texturePath;
    float fogDistance;
    uint8_t fog;
    float fogColour[3];
    uint8_t zbuffer;
};

struct x3dTexture {
    char* name;
    uint32_t* pixels;
    int32_t width, height;
};

// Engine-wide state.
struct x3dEngine {
    int32_t width, height;
    int32_t halfWidth, halfHeight;
    int32_t pixelCount;
    int32_t* scanLines;
    int32_t scanLineCount; // entries in scanLines: the height given to x3dInit
    int32_t linePitch;
    int32_t* zbuffer;
    int32_t zbufferPixels; // entries of the z-buffer as allocated; 0 without one
    uint8_t* modulate;     // [k * 256 + i] = (k * i) >> 8
    uint8_t* fogTables[3]; // red, green, blue: [level * 256 + channel]
    uint8_t falloff[192];
    int32_t lineMode;
    float identity[3][4];
    int32_t sqrtTable[256];
    x3dScene* scene;
    x3dCamera* camera;
    uint8_t fogOn;
    float farDistance, dimStart, fogStart, dimScale, fogScale;
    float fogColour[3];
    int32_t fogPacked;
    // The fog tables hold a whole-numbered colour in 0..255, so that every
    // entry is (i x (256 - l) + colour x l) >> 8 exactly: the fillers may
    // compute it instead of reading it.
    uint8_t fogWhole;
    x3dTexture* textures;
    int32_t textureCount;
};

extern x3dEngine g_x3d;

// Where the engine renders: its screen (size, centre, pixel count, line
// pitch, scan-line table) and the active camera's viewport and projection.
// A caller that renders into a buffer of another size takes it with
// x3dGetViewport, installs its own with x3dSetViewport, renders, and puts
// the first one back. The camera's fields are set only when camera is not
// null.
struct x3dViewport {
    int32_t width, height, halfWidth, halfHeight, pixelCount, linePitch, scanLineCount;
    int32_t* scanLines;
    x3dCamera* camera;
    float centreX, centreY, cameraWidth, cameraHeight, aspect, projectedFov, sphereFactor;
    float projection[3][4];
};
x3dViewport x3dGetViewport();
void x3dSetViewport(const x3dViewport& viewport);

void x3dInit(int width, int height, const char* logName);
void x3dBuildTables();
void x3dInitZBuffer();
void x3dSetShadeTable(int mode, int shift);
void x3dSetScreenSize(int width, int height);
void x3dSetScene(x3dScene* scene);
void x3dSetFogColor(float r, float g, float b);
void x3dSetFrame(float frame);
void x3dSetActiveCamera(x3dCamera* camera);
void x3dCameraSetSize(int width, int height, x3dCamera* camera);
void x3dCameraResetSize(x3dCamera* camera);
x3dCamera* x3dFindCamera(const char* name, x3dScene* scene);
x3dLight* x3dFindLight(const char* name, x3dScene* scene);
x3dObject* x3dFindObject(const char* name, x3dScene* scene);
x3dMaterial* x3dFindMaterial(const char* name, x3dScene* scene);
void x3dPrepareScene(x3dScene* scene);
// Square root through the engine's 256-entry mantissa table.
float x3dTableSqrt(float value);
