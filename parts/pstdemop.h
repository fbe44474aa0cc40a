// The flare scene (orders 26-27) and the machinery it shares with the closing
// part: render targets that let the 2D and 3D engines draw into a buffer of
// another size, the rotating texture warp, the face-centre lens flares and
// the calendar page of thirty day cells.
#pragma once
#include <cstdint>

#include "X2d/X2d.h"
#include "X3d/X3d.h"

class x2dSprite;

// A buffer size the engines can be switched to and back. Everything that
// addresses rows is switched with it: sizes, pitch, line table, and on the
// 3D side the centre, pixel count, scan-line count and the camera's viewport.
class RenderTarget {
public:
    void Init(int32_t w, int32_t h);
    void Begin2D();
    void End2D();
    void Begin3D();
    void End3D();

    int32_t width = 0, height = 0;
    int32_t pitch = 0; // bytes per line
    int32_t halfWidth = 0, halfHeight = 0;
    int32_t area = 0;
    int32_t* lineTable = nullptr; // height entries, entry i = i x pitch (bytes)
    float aspect = 0.0f;

    // The engines' own state, kept from a Begin to its End.
    x2dScreen saved2D{};
    x3dViewport saved3D{};
};

enum {
    FLARE_WARP_W = 640,
    FLARE_WARP_H = 250,
    FLARE_PANEL_W = 140,
    FLARE_PANEL_H = 105,
    FLARE_TEXTURE = 256, // the warp texture is addressed as 256 x 256
};

class FlareScene {
public:
    // Tables, the texture, the overlay, the scene with its flare light, and
    // the 640 x 250 target. Refuses data the part would read outside of.
    void Init();
    // The sine and cosine tables of the warp.
    void MakeTables();
    // Makes the scene current with its "Camera01".
    void SelectCamera();
    // The texture warp: 640 x 250 at two pixels per texel column into dst
    // (pitch 640), and 140 x 105 at one pixel per texel (pitch 140).
    void WarpFull(int32_t a, int32_t b, int32_t c, int32_t d, uint32_t* dst);
    void WarpSmall(int32_t a, int32_t b, int32_t c, int32_t d, uint32_t* dst);
    // One lens flare at the centre of every listed face of the current draw
    // list, with the flare light; returns the faces given one.
    int DrawFaceFlares(uint32_t* dst);
    // One 140 x 105 panel: warp, overlay, and flares of the current scene.
    void RenderPanel(uint32_t* dst);

    int32_t sine[128];
    int32_t cosine[128];
    const uint32_t* texture = nullptr; // 256 x 256
    x2dSprite* textureSprite = nullptr;
    x2dSprite* overlay = nullptr;
    x3dScene* scene = nullptr;
    x3dLight* flareLight = nullptr;
    RenderTarget target; // 640 x 250
    float panelTime = 0.0f;
    int32_t panelAngle = 0;
};

// The calendar page: "april.tga" with "aprilm.gif" as alpha, thirty 65 x 35
// day cells stacked in one 65-wide picture.
class CalendarPanel {
public:
    void Init();
    // Draws the cells with their top row at y, blended at 100, stopping at
    // the first row whose top is below the letterbox.
    void Draw(int32_t y, uint32_t* dst);

    x2dSprite* page = nullptr;
    x2dSprite* cells[30] = {};
};

enum { CALENDAR_CELLS = 30, CALENDAR_CELL_W = 65, CALENDAR_CELL_H = 35 };

// The part's state between frames.
struct xFlareState {
    int32_t warpAngle;
    int32_t calendarY;
    float sceneTime;
    uint32_t timeCarry; // ms of show time not yet turned into scene frames
    int32_t crossFade;
    int32_t caption;
    int32_t whiteFlash;
    int32_t flares; // drawn in the last frame
};
xFlareState FlareStartState();

extern FlareScene* g_flareScene;
extern RenderTarget g_panelTarget; // 140 x 105, for the closing part's panels
extern CalendarPanel g_calendar;
extern xFlareState g_flare;

// Loads the part's own pictures (the flare scene itself is made by
// FlareSceneCreate once every part is loaded).
void FlareInit();
// Creates g_flareScene, sets it up and makes the panel target of w x h.
void FlareSceneCreate(int32_t w, int32_t h);
// Chain hooks: the first call selects the scene; the part hands over once
// the cross-fade is full; one frame between pacing and present.
void FlareFirstCall();
bool FlareFadeDone();
void FlareDraw();
// Turns ms of show time into whole scene frames at 25 a second, keeping the
// remainder in the carry; returns the frames.
int32_t FlareSceneFrames(uint32_t ms, uint32_t& carry);

// The particle panel: 500 grey particles swarm over a 140 x 105 picture,
// steered through byte sine tables. Positions are in 1/16 pixel.
enum { PARTICLE_COUNT = 500, PARTICLE_X_RANGE = 2240, PARTICLE_Y_RANGE = 1680 };

class ParticleBox {
public:
    // The background, the tables, and the particles from xRand (x, y, vx, vy
    // in that order for each one).
    void Init();
    // The tables alone: entry i = (trunc(128 sin(i s)) - 128) mod 256, the
    // same with cosine, so entry 0 of the sine is 128.
    void MakeTables();
    // One frame into dst, 140 x 105 packed pixels: background, particles
    // (clamped to the panel), move (wrapping), steer (one xRand each).
    void Update(uint32_t* dst);

    uint32_t* background = nullptr; // 140 x 105
    uint8_t sine[256] = {};
    uint8_t cosine[256] = {};
    int32_t x[PARTICLE_COUNT] = {}, y[PARTICLE_COUNT] = {};
    int32_t vx[PARTICLE_COUNT] = {}, vy[PARTICLE_COUNT] = {};
    int32_t phaseA = 0, phaseB = 0;
};
extern ParticleBox g_particleBox;
