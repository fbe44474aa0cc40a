#include "PartLinks.h"

#include "X3d/X3d.h"

x3dScene* g_openingScene = nullptr;
x3dScene* g_linesScene = nullptr;
x3dScene* g_creditsScene = nullptr;
x2dSprite* g_openingCaption = nullptr;
x2dSprite* g_openingSlide = nullptr;
float g_openingSlideY = 250.0f;
uint32_t* g_greetScratch = nullptr;
x2dSprite* g_rotoBack = nullptr;
void (*g_setFlareSize)(float) = nullptr;
void (*g_runFallStep)(uint32_t) = nullptr;

void showSelectScene(x3dScene* scene)
{
    if (!scene)
        return;
    x3dSetScene(scene);
    if (x3dCamera* camera = x3dFindCamera("Camera01", scene))
        x3dSetActiveCamera(camera);
}
