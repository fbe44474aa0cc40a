#include "X3d/Material.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <string>
#include <strings.h>

#include "Ximage/Ximage.h"
#include "system/Xerror.h"
#include "system/Xmath.h"

const x3dRenderType x3dRenderTypes[X3D_RENDER_TYPES] = {
    {X3D_RF_WIRE, X3D_NEEDS_NOTHING}, // 0
    {X3D_RF_FLAT, X3D_NEEDS_NOTHING}, // 1
    {X3D_RF_GOURAUD, X3D_NEEDS_NOTHING}, // 2
    {X3D_RF_TEXTURED | X3D_RF_UNLIT, X3D_NEEDS_TEXTURE}, // 3
    {X3D_RF_TEXTURED | X3D_RF_ENVMAP | X3D_RF_UNLIT, X3D_NEEDS_REFLECTION}, // 4
    {X3D_RF_TEXTURED, X3D_NEEDS_TEXTURE}, // 5
    {X3D_RF_TEXTURED | X3D_RF_ENVMAP, X3D_NEEDS_REFLECTION}, // 6
    {X3D_RF_TEXTURED | X3D_RF_PERSPECTIVE | X3D_RF_UNLIT, X3D_NEEDS_TEXTURE}, // 7
    {X3D_RF_TEXTURED | X3D_RF_PERSPECTIVE, X3D_NEEDS_TEXTURE}, // 8
    {X3D_RF_FLAT | X3D_RF_ADDITIVE, X3D_NEEDS_NOTHING}, // 9
    {X3D_RF_GOURAUD | X3D_RF_ADDITIVE, X3D_NEEDS_NOTHING}, // 10
    {X3D_RF_TEXTURED | X3D_RF_UNLIT | X3D_RF_ADDITIVE, X3D_NEEDS_TEXTURE}, // 11
    {X3D_RF_TEXTURED | X3D_RF_ENVMAP | X3D_RF_UNLIT | X3D_RF_ADDITIVE, X3D_NEEDS_REFLECTION}, // 12
    {X3D_RF_TEXTURED | X3D_RF_ADDITIVE, X3D_NEEDS_TEXTURE}, // 13
    {X3D_RF_TEXTURED | X3D_RF_ENVMAP | X3D_RF_ADDITIVE, X3D_NEEDS_REFLECTION}, // 14
    {X3D_RF_TEXTURED | X3D_RF_PERSPECTIVE | X3D_RF_UNLIT | X3D_RF_ADDITIVE, X3D_NEEDS_TEXTURE}, // 15
    {X3D_RF_TEXTURED | X3D_RF_ENVMAP | X3D_RF_PERSPECTIVE | X3D_RF_UNLIT, X3D_NEEDS_REFLECTION}, // 16
    {X3D_RF_TEXTURED | X3D_RF_ENVMAP | X3D_RF_PERSPECTIVE | X3D_RF_UNLIT | X3D_RF_ADDITIVE, X3D_NEEDS_REFLECTION}, // 17
    {X3D_RF_TEXTURED | X3D_RF_PERSPECTIVE | X3D_RF_ADDITIVE, X3D_NEEDS_TEXTURE}, // 18
};

namespace {

const char* const kModule = "X3d/Material.cpp";

enum { kNameBuffer = 256, kTextureSize = 256 };

// Opens the file; when the exact name is not there, a name in the same
// folder that differs only in letter case (scenes made where case does not
// matter name their maps in any case). opened receives the name found.
FILE* openAnyCase(const std::string& name, std::string& opened)
{
    opened = name;
    FILE* f = fopen(name.c_str(), "rb");
    if (f)
        return f;
    size_t slash = name.rfind('/');
    std::string dir = slash == std::string::npos ? "." : name.substr(0, slash == 0 ? 1 : slash);
    std::string base = slash == std::string::npos ? name : name.substr(slash + 1);
    DIR* d = opendir(dir.c_str());
    if (!d)
        return nullptr;
    // Of several matches the first in byte order, whatever order the folder
    // lists them in.
    std::string best;
    while (dirent* e = readdir(d))
        if (strcasecmp(e->d_name, base.c_str()) == 0 && (best.empty() || strcmp(e->d_name, best.c_str()) < 0))
            best = e->d_name;
    closedir(d);
    if (best.empty())
        return nullptr;
    opened = slash == std::string::npos ? best : name.substr(0, slash + 1) + best;
    return fopen(opened.c_str(), "rb");
}

enum Format { FORMAT_NONE, FORMAT_JPEG, FORMAT_PCX, FORMAT_TGA, FORMAT_GIF };

// The probe looks only at bytes the file has.
Format probe(const uint8_t* b, size_t n)
{
    if (n >= 10 && memcmp(b + 6, "JFIF", 4) == 0)
        return FORMAT_JPEG;
    if (n >= 1 && b[0] == 0x0A)
        return FORMAT_PCX;
    if (n >= 3 && (b[2] == 1 || b[2] == 2))
        return FORMAT_TGA;
    if (n >= 3 && memcmp(b, "GIF", 3) == 0)
        return FORMAT_GIF;
    return FORMAT_NONE;
}

uint8_t channel(float value)
{
    float v = value * 255.0f;
    if (!(v > 0.0f))
        return 0;
    if (v >= 255.0f)
        return 255;
    return (uint8_t)(int)v;
}

} // namespace

x3dTexture* x3dFindTexture(const char* name)
{
    x3dTexture* found = nullptr;
    for (int i = 0; i < g_x3d.textureCount; i++)
        if (strcmp(g_x3d.textures[i].name, name) == 0)
            found = &g_x3d.textures[i];
    return found;
}

void x3dAddTexture(const char* name, uint32_t* pixels, int width, int height)
{
    X_ASSERT(name != nullptr && pixels != nullptr, kModule, __LINE__);
    x3dTexture* grown = (x3dTexture*)realloc(g_x3d.textures, sizeof(x3dTexture) * (size_t)(g_x3d.textureCount + 1));
    if (!grown)
        g_xError.Raise(kModule, __LINE__, 1, nullptr);
    g_x3d.textures = grown;
    char* copy = strdup(name);
    if (!copy)
        g_xError.Raise(kModule, __LINE__, 1, nullptr);
    grown[g_x3d.textureCount++] = x3dTexture{copy, pixels, width, height};
}

int x3dLoadTexture(const char* name, const char* path, x3dTextureSlot* slot)
{
    if (!path)
        path = "";
    if (!name)
        return 5;
    char full[kNameBuffer];
    const size_t pathLength = strlen(path), nameLength = strlen(name);
    if (pathLength + nameLength >= sizeof full)
        return 5;
    memcpy(full, path, pathLength);
    memcpy(full + pathLength, name, nameLength + 1);
    if (x3dTexture* known = x3dFindTexture(full)) {
        slot->pixels = known->pixels;
        return 0;
    }
    // Paths written where "\" separates folders open here too.
    std::string wanted = full;
    for (char& c : wanted)
        if (c == '\\')
            c = '/';
    std::string opened;
    FILE* f = openAnyCase(wanted, opened);
    if (!f)
        return 5;
    uint8_t head[128];
    size_t got = fread(head, 1, sizeof head, f);
    fclose(f);
    Format format = probe(head, got);
    if (format == FORMAT_NONE)
        return 2;
    g_x3dLog.Print(xFormat("Loading texture: %s", full));

    xImage image{};
    int result = 0;
    switch (format) {
    case FORMAT_JPEG: result = xJpegLoad(opened.c_str(), image); break;
    case FORMAT_PCX: result = xPcxLoad(opened.c_str(), image); break;
    case FORMAT_TGA: result = xTargaLoad(opened.c_str(), image); break;
    default: result = xGifLoad(opened.c_str(), image); break;
    }
    if (result != 0)
        return result;
    xImageConvert(&image, XIMAGE_ARGB32);
    free(image.palette);
    image.palette = nullptr;

    // 256 x 256 texels 0x00RRGGBB, rows bottom-up: the rasterizers address
    // the maps so, and a picture of another size is rescaled to it (nearest
    // texel).
    uint32_t* pixels = (uint32_t*)malloc((size_t)kTextureSize * kTextureSize * 4);
    if (!pixels)
        g_xError.Raise(kModule, __LINE__, 1, nullptr);
    const uint32_t* src = (const uint32_t*)image.pixels;
    const int w = image.sizeX, h = image.sizeY;
    for (int j = 0; j < kTextureSize; j++) {
        const uint32_t* srow = src + (size_t)((int64_t)j * h / kTextureSize) * (size_t)w;
        uint32_t* drow = pixels + (size_t)(kTextureSize - 1 - j) * kTextureSize;
        for (int i = 0; i < kTextureSize; i++)
            drow[i] = srow[(int64_t)i * w / kTextureSize] & 0xFFFFFF;
    }
    free(image.pixels);
    x3dAddTexture(full, pixels, kTextureSize, kTextureSize);
    slot->pixels = pixels;
    return 0;
}

void x3dMaterialColour(x3dMaterial* mat)
{
    const float s = mat->shininess, k = mat->shininessStrength;
    const float b = xCosf(s * k * 255.0f * 0.006135923151542969f);
    const float c = xPowf(b, s * 255.0f) * k;
    mat->red = channel(c * mat->specular[0] + b * mat->diffuse[0] + 0.25f * mat->ambient[0]);
    mat->green = channel(c * mat->specular[1] + b * mat->diffuse[1] + 0.25f * mat->ambient[1]);
    mat->blue = channel(c * mat->specular[2] + b * mat->diffuse[2] + 0.25f * mat->ambient[2]);
    mat->packedColour = (uint32_t)mat->red << 16 | (uint32_t)mat->green << 8 | mat->blue;
}

void x3dLoadSceneTextures()
{
    x3dScene* scene = g_x3d.scene;
    X_ASSERT(scene != nullptr, kModule, __LINE__);
    for (int i = 0; i < scene->materialCount; i++) {
        x3dMaterial* mat = &scene->materials[i];
        x3dMaterialColour(mat);
        const struct {
            x3dTextureSlot* slot;
            const char* text;
            uint32_t flags;
        } maps[2] = {{&mat->texture, "cant open texture: %s\n", 0x08}, {&mat->reflection, "cant open reflection: %s\n", 0x18}};
        for (const auto& map : maps) {
            if (!map.slot->name)
                continue;
            if (x3dLoadTexture(map.slot->name, scene->texturePath, map.slot) == 0) {
                mat->renderFlags |= map.flags;
                continue;
            }
            printf(map.text, map.slot->name);
            fflush(stdout);
            mat->red = 255;
            mat->green = 0;
            mat->blue = 0;
            mat->packedColour = 0xFF0000;
            mat->renderFlags |= 0x20;
        }
    }
}
