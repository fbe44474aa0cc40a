#include "X3d/X3dscr.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "X3d/File3ds.h"
#include "X3d/Material.h"
#include "files/xFileIO.h"
#include "system/Xerror.h"

xScript g_x3dScript;

namespace {

const char* const kModule = "X3d/X3dscr.cpp";

struct Keyword {
    const char* word;
    int code;
};

const Keyword kKeywords[] = {
    {"VERSION", X3DS_VERSION},
    {"TEXTURE_PATH", X3DS_TEXTURE_PATH},
    {"DISTANCE", X3DS_DISTANCE},
    {"FOG", X3DS_FOG},
    {"SCENE_NAME", X3DS_SCENE_NAME},
    {"FOG_COLOR", X3DS_FOG_COLOR},
    {"CAMERA", X3DS_CAMERA},
    {"CAMERA_SIZE", X3DS_CAMERA_SIZE},
    {"CAMERA_SETACTIVE", X3DS_CAMERA_SETACTIVE},
    {"MATERIAL", X3DS_MATERIAL},
    {"RENDER_TYPE", X3DS_RENDER_TYPE},
    {"MAT_COLOR", X3DS_MAT_COLOR},
    {"LENSFLARE", X3DS_LENSFLARE},
    {"LENS_TEXTURE", X3DS_LENS_TEXTURE},
    {"LENS_SCALE", X3DS_LENS_SCALE},
    {"ZBUFFER", X3DS_ZBUFFER},
    {"OBJECT", X3DS_OBJECT},
    {"OBJ_NOLIGHT", X3DS_OBJ_NOLIGHT},
};

// One run of the script: what the lines so far have chosen.
struct ScriptState {
    std::string scriptName;
    bool archive = false;
    xFileIO* fileIO = nullptr;
    char* texturePath = nullptr; // heap copy; a loaded scene takes it over
    bool pathTaken = false;      // a scene owns texturePath
    x3dCamera* camera = nullptr;
    x3dMaterial* material = nullptr;
    x3dLight* light = nullptr;
    x3dObject* object = nullptr;
};

ScriptState g_state;

const char* orEmpty(const char* text) { return text ? text : ""; }

// The argument text: after one separator, without the trailing carriage return.
const char* argument() { return orEmpty(g_x3dScript.GetText()); }

// A copy of the argument text that splitting and later lines leave alone.
// Plain storage, so that nothing is owed when a report ends the run.
struct ArgumentCopy {
    char text[xScript::BUFFER_SIZE];
    ArgumentCopy() { snprintf(text, sizeof text, "%s", argument()); }
};

[[noreturn]] void fatalLine(const char* problem, const char* keyword, const char* text)
{
    g_xError.Fatal(xFormat("%s->%s->%s %s\n", g_state.scriptName.c_str(), problem, keyword, text));
}

// A single number from the whole argument text. Values that are not finite
// (atof reads "nan" and "inf") would reach integer conversions later on.
float singleNumber(const char* keyword)
{
    ArgumentCopy text;
    double v = atof(text.text);
    if (!std::isfinite(v) || !std::isfinite((float)v))
        fatalLine("Bad number", keyword, text.text);
    return (float)v;
}

// The blank-separated numbers of the argument text.
void numbers(const char* keyword, int n, float* out)
{
    ArgumentCopy text;
    g_x3dScript.SplitArgs(n);
    for (int i = 0; i < n; i++) {
        out[i] = g_x3dScript.GetArgFloat(i + 1);
        if (!std::isfinite(out[i]))
            fatalLine("Bad number", keyword, text.text);
    }
}

float clampTo(float v, float lo, float hi) { return v < lo ? lo : v > hi ? hi : v; }

void sceneName(x3dScene* scene)
{
    ArgumentCopy file;
    // A second SCENE_NAME replaces the scene: what the first one loaded is
    // released, and the lines' current records with it. The texture path
    // stays the script's until the new scene takes it.
    if (scene->objects || scene->cameras || scene->lights || scene->materials || scene->nodes) {
        if (scene->texturePath == g_state.texturePath) {
            scene->texturePath = nullptr;
            g_state.pathTaken = false;
        }
        x3dFreeScene(scene);
        g_state.camera = nullptr;
        g_state.material = nullptr;
        g_state.light = nullptr;
        g_state.object = nullptr;
    }
    if (g_state.archive) {
        xFile data{};
        if (g_state.fileIO->Read(file.text, &data) != 0)
            g_xError.Fatal(xFormat("x3dProcessSceneScript::zInput->load() -> cant load %s", file.text));
        x3dLoad3dsMem(&data, scene);
        g_state.fileIO->Free(&data);
    } else {
        x3dLoad3ds(file.text, scene);
    }
    if (scene->cameraCount <= 0)
        g_xError.Fatal(xFormat("No Cameras found in %s\n", file.text));
    scene->texturePath = g_state.texturePath;
    g_state.pathTaken = g_state.texturePath != nullptr;
    x3dPrepareScene(scene);
    x3dSetScene(scene);
    x3dCamera* camera = x3dFindCamera("Camera01", scene);
    if (!camera)
        camera = &scene->cameras[0];
    g_state.camera = camera;
    x3dCameraResetSize(camera);
    x3dSetActiveCamera(camera);
    x3dLoadSceneTextures();
}

void renderType()
{
    x3dMaterial* mat = g_state.material;
    if (!mat)
        g_xError.Fatal(xFormat("%s->No active Material\n", g_state.scriptName.c_str()));
    int n = g_x3dScript.GetInt();
    if (n < 0 || n >= X3D_RENDER_TYPES)
        return;
    const x3dRenderType& type = x3dRenderTypes[n];
    if (type.needs == X3D_NEEDS_TEXTURE && !mat->texture.pixels)
        g_xError.Fatal(xFormat("Texture is not loaded: %s\n", orEmpty(mat->texture.name)));
    if (type.needs == X3D_NEEDS_REFLECTION && !mat->reflection.pixels) {
        if (!mat->texture.pixels)
            g_xError.Fatal(xFormat("Texture is not loaded: %s | %s\n", orEmpty(mat->texture.name),
                                   orEmpty(mat->reflection.name)));
        mat->reflection.pixels = mat->texture.pixels;
    }
    mat->renderFlags = type.flags;
}

void matColor()
{
    x3dMaterial* mat = g_state.material;
    if (!mat)
        g_xError.Fatal(xFormat("%s->No active Material\n", g_state.scriptName.c_str()));
    float v[3];
    numbers("MAT_COLOR", 3, v);
    uint8_t c[3];
    for (int i = 0; i < 3; i++) {
        // Into the integer range first; the 8-bit truncation then wraps as
        // the byte store always did.
        double d = v[i];
        d = d < (double)INT_MIN ? (double)INT_MIN : d > (double)INT_MAX ? (double)INT_MAX : d;
        c[i] = (uint8_t)(int)d;
    }
    mat->red = c[0];
    mat->green = c[1];
    mat->blue = c[2];
    mat->packedColour = (uint32_t)c[0] * 65536u + (uint32_t)c[1] * 256u + c[2];
}

void cameraSize()
{
    float v[2];
    ArgumentCopy text;
    numbers("CAMERA_SIZE", 2, v);
    if (!g_state.camera)
        return;
    // The viewport must fit the engine's screen: the scan-line table, the
    // frame buffer and the z-buffer are sized for it.
    if (!(v[0] >= 1.0f && v[1] >= 1.0f && v[0] < (float)g_x3d.width + 1.0f && v[1] < (float)g_x3d.height + 1.0f))
        fatalLine("Bad camera size", "CAMERA_SIZE", text.text);
    x3dCameraSetSize((int)v[0], (int)v[1], g_state.camera);
}

x3dLight* activeLight()
{
    if (!g_state.light)
        g_xError.Fatal(xFormat("%s->No active light for lensflare\n", g_state.scriptName.c_str()));
    return g_state.light;
}

void lensTexture(x3dScene* scene)
{
    x3dLensFlare* flare = activeLight()->lensFlare;
    ArgumentCopy file;
    // The scene's path serves both the load and the look-up; none reads as empty.
    const char* path = orEmpty(scene->texturePath);
    free(flare->slot.name);
    flare->slot.name = strdup(file.text);
    if (!flare->slot.name)
        g_xError.Raise(kModule, __LINE__, 1, nullptr);
    int r = x3dLoadTexture(file.text, path, &flare->slot);
    if (r != 0)
        g_xError.Raise(kModule, 269, r, nullptr);
    // The loader refuses full names that do not fit this buffer.
    char full[512];
    snprintf(full, sizeof full, "%s%s", path, file.text);
    x3dTexture* texture = x3dFindTexture(full);
    X_ASSERT(texture != nullptr, kModule, 271);
    flare->width = texture->width;
    flare->height = texture->height;
}

} // namespace

int x3dScriptKeyword(const char* word)
{
    int code = 0;
    for (const Keyword& k : kKeywords)
        if (strcmp(k.word, word) == 0)
            code = k.code;
    return code;
}

void x3dLoadSceneScript(const char* name, x3dScene* scene, xFileIO* fileIO)
{
    g_state.fileIO = fileIO;
    xFile file{};
    if (!fileIO || fileIO->Read(name, &file) != 0)
        g_xError.Fatal(xFormat("x3dLoadSceneScript::xFileIO->load() - can't load %s", name));
    g_x3dScript.Load(&file);
    g_state.scriptName = file.name ? file.name : name;
    fileIO->Free(&file);
    g_state.archive = true;
    x3dProcessSceneScript(scene);
}

void x3dProcessSceneScript(x3dScene* scene)
{
    // A fresh run: only the script's name, source and archive flag carry over.
    // A path no scene took (the last run stopped early) goes now.
    if (!g_state.pathTaken)
        free(g_state.texturePath);
    g_state.texturePath = nullptr;
    g_state.pathTaken = false;
    g_state.camera = nullptr;
    g_state.material = nullptr;
    g_state.light = nullptr;
    g_state.object = nullptr;
    const char* script = g_state.scriptName.c_str();

    while (char* word = g_x3dScript.NextKeyword()) {
        switch (x3dScriptKeyword(word)) {
        case X3DS_TEXTURE_PATH:
            // A scene keeps the path it was loaded with; a path no scene
            // took is replaced.
            if (!g_state.pathTaken)
                free(g_state.texturePath);
            g_state.texturePath = g_x3dScript.GetString();
            g_state.pathTaken = false;
            break;
        case X3DS_DISTANCE:
            scene->fogDistance = singleNumber("DISTANCE");
            break;
        case X3DS_FOG:
            scene->fog = g_x3dScript.CompareText("YES") == 0 ? 1 : 0;
            break;
        case X3DS_SCENE_NAME:
            sceneName(scene);
            break;
        case X3DS_FOG_COLOR: {
            float v[3];
            numbers("FOG_COLOR", 3, v);
            if (scene->fog)
                for (int i = 0; i < 3; i++)
                    scene->fogColour[i] = clampTo(v[i], 0.0f, 255.0f);
            break;
        }
        case X3DS_CAMERA: {
            const char* name = argument();
            g_state.camera = x3dFindCamera(name, scene);
            if (!g_state.camera)
                g_xError.Fatal(xFormat("%s->Camera not found->%s\n", script, name));
            break;
        }
        case X3DS_CAMERA_SIZE:
            cameraSize();
            break;
        case X3DS_CAMERA_SETACTIVE:
            if (g_state.camera)
                x3dSetActiveCamera(g_state.camera);
            break;
        case X3DS_MATERIAL: {
            const char* name = argument();
            g_state.material = x3dFindMaterial(name, scene);
            if (!g_state.material)
                g_xError.Fatal(xFormat("%s->Material not found->%s\n", script, name));
            break;
        }
        case X3DS_RENDER_TYPE:
            renderType();
            break;
        case X3DS_MAT_COLOR:
            matColor();
            break;
        case X3DS_LENSFLARE: {
            const char* name = argument();
            g_state.light = x3dFindLight(name, scene);
            if (!g_state.light)
                g_xError.Fatal(xFormat("%s->Light not found->%s\n", script, name));
            x3dLensFlare* flare = (x3dLensFlare*)calloc(1, sizeof(x3dLensFlare));
            if (!flare)
                g_xError.Raise(kModule, 263, 1, nullptr);
            if (g_state.light->lensFlare) {
                free(g_state.light->lensFlare->slot.name);
                free(g_state.light->lensFlare);
            }
            g_state.light->lensFlare = flare;
            break;
        }
        case X3DS_LENS_TEXTURE:
            lensTexture(scene);
            break;
        case X3DS_LENS_SCALE: {
            x3dLight* light = activeLight();
            light->lensFlare->scale = singleNumber("LENS_SCALE");
            break;
        }
        case X3DS_ZBUFFER:
            scene->zbuffer = g_x3dScript.CompareText("YES") == 0 ? 1 : 0;
            if (scene->zbuffer)
                x3dInitZBuffer();
            break;
        case X3DS_OBJECT: {
            const char* name = argument();
            g_state.object = x3dFindObject(name, scene);
            if (!g_state.object)
                g_xError.Fatal(xFormat("%s->Object not found->%s\n", script, name));
            break;
        }
        case X3DS_OBJ_NOLIGHT:
            if (g_state.object)
                g_state.object->flags |= X3D_OF_UNLIT;
            break;
        default: // VERSION and words the table does not hold
            break;
        }
    }
    if (!g_state.pathTaken) {
        free(g_state.texturePath);
        g_state.texturePath = nullptr;
    }
    // A script without a scene would leave the effect without a camera, to
    // fail far from the cause.
    if (scene->cameraCount <= 0)
        g_xError.Fatal(xFormat("No Cameras found in %s\n", script));
}
