// Materials and textures: the render flags, the render types the scene
// script sets, the engine-wide texture table and the texture loader.
#pragma once
#include <cstdint>

#include "X3d/X3d.h"

// Render flags of a material: which filler draws its faces.
enum {
    X3D_RF_FLAT = 0x01,        // flat shading, untextured
    X3D_RF_GOURAUD = 0x02,     // gouraud shading, untextured
    X3D_RF_TEXTURED = 0x08,    // texture slot
    X3D_RF_ENVMAP = 0x10,      // u, v from the view normal, reflection pixels
    X3D_RF_WIRE = 0x20,        // wireframe in the flat colour
    X3D_RF_PERSPECTIVE = 0x40, // perspective-correct texture
    X3D_RF_UNLIT = 0x80,       // texels copied without lighting
    X3D_RF_ADDITIVE = 0x100,   // added to the buffer with saturation; last in z-buffer mode
};

// What a render type asks of the material's maps before it may be used.
enum {
    X3D_NEEDS_NOTHING = 0,
    X3D_NEEDS_TEXTURE = 1,    // the texture must be loaded
    X3D_NEEDS_REFLECTION = 2, // the reflection map, or else the texture standing in for it
};

struct x3dRenderType {
    uint32_t flags;
    int32_t needs;
};

enum { X3D_RENDER_TYPES = 19 };
// Types 0-18 of RENDER_TYPE in a scene script.
extern const x3dRenderType x3dRenderTypes[X3D_RENDER_TYPES];

// The last table entry of that full name (path + name), or none.
x3dTexture* x3dFindTexture(const char* name);
// Appends an entry: the name is copied, the pixels are kept.
void x3dAddTexture(const char* name, uint32_t* pixels, int width, int height);

// Loads the file path + name (or finds it in the table) into the slot:
// 0 loaded, 5 cannot open (or the name is too long), 2 unknown format, or
// the code of the picture loader. Pictures of another size are rescaled to
// 256 x 256; rows are stored bottom-up.
int x3dLoadTexture(const char* name, const char* path, x3dTextureSlot* slot);

// For every material of the current scene: its flat colour from the
// lighting values, then its texture and reflection map. A map that does not
// load turns the material into a red wireframe.
void x3dLoadSceneTextures();

// The flat colour of a material from its shininess, specular, diffuse and
// ambient values, each channel clamped to 0..255.
void x3dMaterialColour(x3dMaterial* mat);
