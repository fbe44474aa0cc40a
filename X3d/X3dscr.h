// Scene scripts (.x3d): which 3DS file makes up a scene and how the engine
// treats it: texture path, fog, z-buffer, camera and viewport, render type
// and colour of each material, lens flares and unlit objects.
#pragma once
#include "X3d/X3d.h"
#include "files/Xscript.h"

class xFileIO;

// The one reader of scene scripts.
extern xScript g_x3dScript;

// Keyword codes, as the keyword table holds them.
enum {
    X3DS_VERSION = 1,
    X3DS_TEXTURE_PATH,
    X3DS_DISTANCE,
    X3DS_FOG,
    X3DS_SCENE_NAME,
    X3DS_FOG_COLOR,
    X3DS_CAMERA,
    X3DS_CAMERA_SIZE,
    X3DS_CAMERA_SETACTIVE,
    X3DS_MATERIAL,
    X3DS_RENDER_TYPE,
    X3DS_MAT_COLOR,
    X3DS_LENSFLARE,
    X3DS_LENS_TEXTURE,
    X3DS_LENS_SCALE,
    X3DS_ZBUFFER,
    X3DS_OBJECT,
    X3DS_OBJ_NOLIGHT,
};

// The code of a keyword (case-sensitive, whole word), 0 when the table does
// not hold it.
int x3dScriptKeyword(const char* word);

// Reads the script through the file source and runs it against the scene;
// the scene's 3DS file is read through the same source. Afterwards the
// scene is loaded, prepared, current, its camera active and its textures
// loaded. Every failure is reported and ends the program.
void x3dLoadSceneScript(const char* name, x3dScene* scene, xFileIO* fileIO);
// Runs the script loaded into g_x3dScript against the scene.
void x3dProcessSceneScript(x3dScene* scene);
