#include "pstdemop.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "X2d/X2d.h"
#include "X2d/X2dspr.h"
#include "X3d/Polygons.h"
#include "X3d/Spline.h"
#include "X3d/X3d.h"
#include "X3d/X3dscr.h"
#include "files/xFileIO.h"
#include "parts/Cues.h"
#include "parts/PartLoad.h"
#include "parts/PartDraw.h"
#include "parts/PartLinks.h"
#include "system/Xerror.h"
#include "system/Xmath.h"
#include "system/Xrand.h"

FlareScene* g_flareScene = nullptr;
RenderTarget g_panelTarget;
CalendarPanel g_calendar;
xFlareState g_flare = FlareStartState();

namespace {
const double kTwoPi = 6.283185307179586;
x2dSprite* g_girl6 = nullptr;
x2dSprite* g_caption = nullptr;

void setFlareSize(float size)
{
    if (g_flareScene && g_flareScene->flareLight)
        g_flareScene->flareLight->lensFlare->scale = size;
}

// The rotation of a warp at angle index k: a, b, c, d for the radius.
void warpAngles(int32_t k, double radius, int32_t out[4])
{
    double angle = k * kTwoPi / 1024.0;
    out[0] = (int32_t)std::trunc(xCos(angle) * radius);
    out[1] = (int32_t)std::trunc(-xSin(angle) * radius);
    out[2] = (int32_t)std::trunc(xSin(angle) * radius);
    out[3] = out[0];
}

// The texture warp into columns x columnWidth by rows pixels of pitch
// pixels. Every column starts from its own 8.8 (u, v); down a column u
// steps by c >> 8 and v by d >> 8 plus the row's wobble, the same for every
// column, so the rows are walked in order with one running step each.
void warp(const FlareScene& fs, int32_t a, int32_t b, int32_t c, int32_t d, uint32_t* dst, int columns,
          int columnWidth, int rows, int pitch)
{
    uint16_t u0[FLARE_WARP_W / 2], v0[FLARE_WARP_W / 2];
    uint32_t U = 0, V = 0;
    for (int i = 0; i < columns; i++) {
        u0[i] = (uint16_t)(U >> 8);
        v0[i] = (uint16_t)(V >> 8);
        U += (uint32_t)a + (uint32_t)fs.cosine[i & 127];
        V += (uint32_t)b;
    }
    const uint16_t du = (uint16_t)(c >> 8);
    uint16_t su = 0, sv = 0;
    const uint32_t* tex = fs.texture;
    for (int r = 0; r < rows; r++) {
        uint32_t* row = dst + (size_t)r * pitch;
        for (int i = 0; i < columns; i++) {
            uint16_t u = (uint16_t)(u0[i] + su), v = (uint16_t)(v0[i] + sv);
            uint32_t t = tex[(v & 0xFF00) | (u >> 8)];
            for (int k = 0; k < columnWidth; k++)
                row[i * columnWidth + k] = t;
        }
        su = (uint16_t)(su + du);
        sv = (uint16_t)(sv + (uint16_t)(d >> 8) + (uint16_t)(fs.sine[r & 127] >> 8));
    }
}
} // namespace

xFlareState FlareStartState() { return {0, 250, 0.0f, 0, 0, 0, 255, 0}; }

void RenderTarget::Init(int32_t w, int32_t h)
{
    width = w;
    height = h;
    pitch = w * 4;
    halfWidth = w / 2;
    halfHeight = h / 2;
    area = w * h;
    free(lineTable);
    lineTable = (int32_t*)malloc(sizeof(int32_t) * (size_t)(h > 0 ? h : 1));
    if (!lineTable)
        g_xError.Raise("pstdemop", 37, 1, nullptr);
    for (int32_t i = 0; i < h; i++)
        lineTable[i] = i * pitch;
    aspect = (float)w / (float)h * 0.75f;
}

void RenderTarget::Begin2D()
{
    saved2D = x2dGetScreen();
    x2dSetScreen(x2dScreen{width, height, pitch, lineTable, 0, 0, width, height});
}

void RenderTarget::End2D() { x2dSetScreen(saved2D); }

void RenderTarget::Begin3D()
{
    saved3D = x3dGetViewport();
    x3dViewport v = saved3D;
    v.width = width;
    v.height = height;
    v.halfWidth = halfWidth;
    v.halfHeight = halfHeight;
    v.pixelCount = area;
    v.linePitch = pitch;
    v.scanLineCount = height;
    v.scanLines = lineTable;
    v.centreX = (float)halfWidth;
    v.centreY = (float)halfHeight;
    v.cameraWidth = (float)width;
    v.cameraHeight = (float)height;
    v.aspect = aspect;
    v.projectedFov = 0.0f; // the next animation step projects anew
    x3dSetViewport(v);
}

void RenderTarget::End3D() { x3dSetViewport(saved3D); }

void FlareScene::MakeTables()
{
    for (int i = 0; i < 128; i++) {
        sine[i] = (int32_t)std::trunc(xSin(i * kTwoPi / 128.0) * 65536.0);
        cosine[i] = (int32_t)std::trunc(xCos(i * kTwoPi / 128.0) * 65536.0);
    }
}

void FlareScene::Init()
{
    MakeTables();
    textureSprite = partLoadSprite("texture1.jpg", nullptr);
    // The warp addresses it as 256 x 256 whatever its size.
    partCheckSize(textureSprite, "FlareScene::Init()", "texture1.jpg", FLARE_TEXTURE, FLARE_TEXTURE);
    texture = textureSprite->pixels;
    overlay = partLoadSprite("girl2.jpg", nullptr);
    partCheckFits(overlay, "FlareScene::Init()", "girl2.jpg", 0, 0, FLARE_PANEL_W, FLARE_PANEL_H);
    scene = new x3dScene();
    memset(scene, 0, sizeof *scene);
    x3dLoadSceneScript("scene4.x3d", scene, g_pFileIO);
    if (!x3dFindCamera("Camera01", scene))
        g_xError.Fatal("FlareScene::Init() -> scene4.x3d has no camera Camera01");
    flareLight = nullptr;
    for (int i = 0; i < scene->lightCount && !flareLight; i++)
        if (scene->lights[i].lensFlare)
            flareLight = &scene->lights[i];
    if (!flareLight)
        g_xError.Fatal("FlareScene::Init() -> scene4.x3d has no light with a lens flare");
    flareLight->lensFlare->scale = 1000.0f;
    target.Init(FLARE_WARP_W, FLARE_WARP_H);
}

void FlareScene::SelectCamera()
{
    x3dSetScene(scene);
    x3dSetActiveCamera(x3dFindCamera("Camera01", scene));
}

void FlareScene::WarpFull(int32_t a, int32_t b, int32_t c, int32_t d, uint32_t* dst)
{
    warp(*this, a, b, c, d, dst, FLARE_WARP_W / 2, 2, FLARE_WARP_H, FLARE_WARP_W);
}

void FlareScene::WarpSmall(int32_t a, int32_t b, int32_t c, int32_t d, uint32_t* dst)
{
    warp(*this, a, b, c, d, dst, FLARE_PANEL_W, 1, FLARE_PANEL_H, FLARE_PANEL_W);
}

int FlareScene::DrawFaceFlares(uint32_t* dst)
{
    const x3dScene* current = g_x3d.scene;
    int flares = 0;
    if (!current || !flareLight)
        return 0;
    for (int k = current->drawCount - 1; k >= 0; k--) {
        const x3dDrawItem& item = current->drawListA[k];
        if (item.kind != X3D_DRAW_FACE)
            continue;
        const x3dFace* face = (const x3dFace*)item.item;
        if (x3dFaceBeyondFar(face))
            continue;
        float centre[3];
        for (int j = 0; j < 3; j++)
            centre[j] = (face->vertices[0]->viewPosition[j] + face->vertices[1]->viewPosition[j] +
                         face->vertices[2]->viewPosition[j]) /
                        3.0f;
        // A face of an object crossing the camera may average to a depth at
        // or behind it: its flare would be a division by zero or mirrored.
        if (!(centre[2] > 0.0f))
            continue;
        memcpy(flareLight->viewPosition, centre, sizeof centre);
        x3dDrawFlare(flareLight, dst);
        flares++;
    }
    return flares;
}

void FlareScene::RenderPanel(uint32_t* dst)
{
    const x3dScene* current = g_x3d.scene;
    panelTime += 1.0f;
    if (current && panelTime > current->lastFrame)
        panelTime = 0.0f;
    int32_t w[4];
    warpAngles(panelAngle, 180000.0, w);
    WarpSmall(w[0], w[1], w[2], w[3], dst);
    panelAngle += 4;
    g_panelTarget.Begin2D();
    overlay->DrawAddNoClip(0, 0, dst);
    g_panelTarget.End2D();
    g_panelTarget.Begin3D();
    x3dSetFrame(panelTime);
    x3dAnimateScene();
    x3dTransformScene();
    DrawFaceFlares(dst);
    g_panelTarget.End3D();
}

void CalendarPanel::Init()
{
    page = partLoadSprite("april.tga", "aprilm.gif");
    if (page->sizeX != CALENDAR_CELL_W || page->sizeY < CALENDAR_CELLS * CALENDAR_CELL_H)
        g_xError.Fatal("CalendarPanel::Init() -> april.tga must hold thirty 65 x 35 cells");
    for (int i = 0; i < CALENDAR_CELLS; i++) {
        x2dSprite* s = x2dSpriteCreate();
        s->ownsMemory = 0;
        s->pixels = page->pixels + (size_t)i * CALENDAR_CELL_W * CALENDAR_CELL_H;
        s->sizeX = CALENDAR_CELL_W;
        s->sizeY = CALENDAR_CELL_H;
        s->pitch = CALENDAR_CELL_W * 4;
        s->skip = x2dScreenWidth - CALENDAR_CELL_W;
        cells[i] = s;
    }
}

void CalendarPanel::Draw(int32_t y, uint32_t* dst)
{
    // Rows of cells: top offset, first cell, cell count, first x.
    static const int kRows[5][4] = {{6, 0, 2, 482}, {56, 2, 7, 36}, {106, 9, 7, 23}, {156, 16, 7, 23}, {206, 23, 7, 23}};
    for (const auto& row : kRows) {
        int top = y + row[0];
        if (top > FLARE_WARP_H)
            return;
        for (int i = 0; i < row[2]; i++)
            cells[row[1] + i]->DrawAlphaBlend(row[3] + 90 * i, top, 100, dst);
    }
}

void FlareInit()
{
    g_girl6 = partLoadSprite("girl6.jpg", nullptr);
    partCheckFits(g_girl6, "FlareInit()", "girl6.jpg", 122, 0, SHOW_WIDTH, SHOW_LETTERBOX_ROWS);
    g_caption = partLoadSprite("nomore.tga", nullptr);
    // At most 20 rows: the caption rows end at 280.
    partCheckFits(g_caption, "FlareInit()", "nomore.tga", 199, SHOW_CAPTION_Y, SHOW_WIDTH, SHOW_CAPTION_Y + 20);
    g_calendar.Init();
}

void FlareSceneCreate(int32_t w, int32_t h)
{
    g_flareScene = new FlareScene();
    g_flareScene->Init();
    g_panelTarget.Init(w, h);
    g_setFlareSize = setFlareSize;
}

void FlareFirstCall()
{
    if (g_flareScene)
        g_flareScene->SelectCamera();
}

bool FlareFadeDone() { return g_flare.crossFade >= 255; }

int32_t FlareSceneFrames(uint32_t ms, uint32_t& carry)
{
    carry += ms;
    int32_t frames = (int32_t)(carry * 25 / 1000);
    carry -= (uint32_t)frames * 40;
    return frames;
}

void FlareDraw()
{
    FlareScene& fs = *g_flareScene;
    xFlareState& st = g_flare;
    int32_t k = st.warpAngle;
    st.warpAngle += 4;
    clearCaptionRows();
    int32_t w[4];
    warpAngles(k, 120000.0, w);
    fs.WarpFull(w[0], w[1], w[2], w[3], g_picture);
    g_girl6->DrawAddNoClip(122, 0, g_picture);
    st.calendarY += (int32_t)std::trunc(g_frameTime * -0.04);
    g_calendar.Draw(st.calendarY, g_picture);

    fs.target.Begin3D();
    st.sceneTime += (float)FlareSceneFrames(g_frameTime, st.timeCarry);
    if (st.sceneTime > g_x3d.scene->lastFrame)
        st.sceneTime = 0.0f;
    x3dSetFrame(st.sceneTime);
    x3dAnimateScene();
    x3dTransformScene();
    setFlareSize(4000.0f);
    g_flare.flares = fs.DrawFaceFlares(g_picture);
    fs.target.End3D();

    if (cueReached(g_musicOrder, g_musicRow, kFlareCaption)) {
        if (st.crossFade == 0 && st.caption < 255)
            st.caption = std::min(st.caption + 10, 255);
        if (cueReached(g_musicOrder, g_musicRow, kFlareCrossFade)) {
            st.crossFade = std::min(st.crossFade + 20, 255);
            st.caption = std::max(st.caption - 20, 0);
            g_rotoBack->DrawBlendNoClip(0, 0, (uint32_t)st.crossFade, g_picture);
        }
    }
    if (st.caption)
        g_caption->DrawBlendNoClip(199, SHOW_CAPTION_Y, (uint32_t)st.caption, g_picture);
    if (st.whiteFlash) {
        st.whiteFlash = std::max(st.whiteFlash - 10, 0);
        x2dAddSpan(st.whiteFlash, SHOW_LETTERBOX_PIXELS, g_picture);
    }
}

ParticleBox g_particleBox;

void ParticleBox::MakeTables()
{
    const double step = 0.02463994238109804;
    for (int i = 0; i < 256; i++) {
        sine[i] = (uint8_t)(((int32_t)std::trunc(128.0 * xSin(i * step)) - 128) & 255);
        cosine[i] = (uint8_t)(((int32_t)std::trunc(128.0 * xCos(i * step)) - 128) & 255);
    }
}

void ParticleBox::Init()
{
    const char* module = "pstdemop";
    x2dSprite* picture = partLoadSprite("partbg.jpg", nullptr);
    partCheckSize(picture, "ParticleBox::Init()", "partbg.jpg", FLARE_PANEL_W, FLARE_PANEL_H);
    background = (uint32_t*)malloc((size_t)FLARE_PANEL_W * FLARE_PANEL_H * 4);
    if (!background)
        g_xError.Raise(module, 370, 1, "partbg.jpg");
    memcpy(background, picture->pixels, (size_t)FLARE_PANEL_W * FLARE_PANEL_H * 4);
    MakeTables();
    for (int k = 0; k < PARTICLE_COUNT; k++) {
        x[k] = xRand() % PARTICLE_X_RANGE;
        y[k] = xRand() % PARTICLE_Y_RANGE;
        vx[k] = xRand() % 32 - 16;
        vy[k] = xRand() % 32 - 10;
    }
    phaseA = phaseB = 0;
}

void ParticleBox::Update(uint32_t* dst)
{
    memcpy(dst, background, (size_t)FLARE_PANEL_W * FLARE_PANEL_H * 4);
    g_panelTarget.Begin2D();
    for (int k = 0; k < PARTICLE_COUNT; k++) {
        int32_t col = x[k] >= PARTICLE_X_RANGE ? FLARE_PANEL_W - 1 : x[k] < 0 ? 0 : x[k] >> 4;
        int32_t row = y[k] >= PARTICLE_Y_RANGE ? FLARE_PANEL_H - 1 : y[k] < 0 ? 0 : y[k] >> 4;
        dst[row * FLARE_PANEL_W + col] = 0x010101u * (uint32_t)(128 + k % 128);
    }
    g_panelTarget.End2D();
    for (int k = 0; k < PARTICLE_COUNT; k++) {
        x[k] = (x[k] + vx[k] + PARTICLE_X_RANGE) % PARTICLE_X_RANGE;
        y[k] = (y[k] + vy[k] + PARTICLE_Y_RANGE) % PARTICLE_Y_RANGE;
    }
    for (int k = 0; k < PARTICLE_COUNT; k++) {
        int32_t r = y[k] >> 6;
        int32_t d = sine[((x[k] >> 6) + sine[((phaseB >> 1) + r) & 255]) & 255];
        int32_t e = cosine[(r + sine[(phaseA >> 1) & 255]) & 255];
        int32_t p = (d + e + xRand() % 160) & 255;
        vx[k] = (sine[p] - 128) / 6 + ((vx[k] * 7) >> 3);
        vy[k] = (cosine[p] - 128) / 6 + ((vy[k] * 7) >> 3) + 1;
    }
    phaseB -= 1;
    phaseA += 2;
}
