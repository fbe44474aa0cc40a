#include "Credits.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

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
#include "system/Xrand.h"
#include "system/Xvideo.h"

namespace {

const char* const kModule = "parts/Credits.cpp";

// A step of the turning photo: its angle (radians), zoom and place.
struct PhotoStep {
    float angle, zoom;
    int32_t x;
    float y;
};
// The first three steps of each credit, one per step row; from the fourth
// step row on the first photo slides as it is, the second at its last angle.
const PhotoStep kPhotoSteps1[3] = {
    {-0.7853982f, 2.0f, 110, -20.0f}, {-0.5235988f, 1.6f, 100, -10.0f}, {-0.2617994f, 1.3f, 95, 0.0f}};
const PhotoStep kPhotoSteps2[3] = {
    {0.0f, 1.3f, 90, -40.0f}, {0.2617994f, 1.1f, 80, -35.0f}, {0.5235988f, 0.9f, 75, -30.0f}};
const PhotoStep kPhotoSlide2 = {0.7853982f, 0.7f, 65, -30.0f};
const float kSlideStart1 = 10.0f, kSlideStart2 = -25.0f;
const double kSlideSpeed = 0.005; // pixels a millisecond
const int kScratchDX = 240;       // the roto-zoomed photo sits this far right of its x
const int kPhotoX1 = 400;         // the first photo once it slides as it is

const int kBubbleAlpha = 51;   // a fifth darker
const int kFloaterReach = 45;  // a floating circle has left the top when y + 45 is above it
const int kStripShadowAlpha = 166;
// In the plate's order the strips and their shadows show between these columns.
const int kPlateLeft = 220, kPlateRight = 420;

// Where the pictures drawn without clipping stand; they are checked against
// these places at load.
struct Place {
    int x, y;
};
const Place kCir1 = {145, 0}, kCir2 = {205, 0}, kCir3 = {262, 67};
const Place kRec1 = {105, 0}, kRec2 = {175, 0}, kRec3 = {247, 52};
const Place kPlate = {kPlateLeft, 0}, kName = {0, 0}, kMail1 = {5, 216}, kMail2 = {10, 215};

struct Pictures {
    x2dSprite *cir1, *cir2, *cir3;
    x2dSprite *rec1, *rec2, *rec3;
    x2dSprite *photo1, *photo2, *photo3;
    x2dSprite *prog, *code, *music, *design, *musicShadow, *designShadow;
    x2dSprite* plate;
    x2dSprite *name1, *mail1, *name2, *mail2;
} g_pic;

// Pictures drawn without clipping must fit their places.
x2dSprite* loadPlaced(const char* name, const char* alphaName, Place at)
{
    x2dSprite* s = partLoadSprite(name, alphaName);
    partCheckFits(s, "CreditsInit()", name, at.x, at.y, SHOW_WIDTH, SHOW_LETTERBOX_ROWS);
    return s;
}

x2dSprite* loadPlacedLayer(const char* name, Place at)
{
    x2dSprite* s = partLoadLayer(name, 0);
    partCheckFits(s, "CreditsInit()", name, at.x, at.y, SHOW_WIDTH, SHOW_LETTERBOX_ROWS);
    return s;
}

// Which of the step rows the row has reached: 0-3.
int stepOf(int32_t row)
{
    int step = 0;
    for (int i = 1; i < 4; i++)
        if (row >= kCreditsStepRows[i])
            step = i;
    return step;
}

void fillLetterbox(uint32_t color) { std::fill_n(g_picture, (size_t)SHOW_LETTERBOX_PIXELS, color); }

// Turns the photo into the scratch, only when its angle has changed. The
// roto-zoom leaves the pixels it maps outside the photo as they were: the
// scratch is cleared first (alpha 0, so they are not drawn).
void turnPhoto(x2dSprite* photo, float angle, float zoom, float& lastAngle)
{
    if (angle == lastAngle)
        return;
    lastAngle = angle;
    g_creditsScratch->Clear();
    photo->RotoZoom(angle, *g_creditsScratch, zoom);
}

float slide(float y) { return (float)(y + g_frameTime * kSlideSpeed); }

// The credits scene, behind the strips, the names and the photo: the current
// scene (the greetings' hand-over made it so), its time running 0.01 frames
// a millisecond from 10 and starting again at 10 past its last frame.
// Nothing is played until the credits have published their scene.
const float kSceneStart = 10.0f;
const double kSceneSpeed = 0.01; // frames a millisecond

void playScene(float& time)
{
    x3dScene* scene = g_x3d.scene;
    if (!g_creditsScene || !scene)
        return;
    time = (float)(time + g_frameTime * kSceneSpeed);
    if (time > scene->lastFrame)
        time = kSceneStart;
    x3dSetFrame(time);
    x3dAnimateScene();
    x3dTransformScene();
    x3dLightScene();
    x3dRenderScene(g_frameBuffer);
}

} // namespace

Bubble g_bubbles[CREDITS_BUBBLES];
FloatingCircles g_floatingCircles;
xCreditsState g_credits = CreditsStartState();
x2dSprite* g_creditsScratch = nullptr;

Bubble::Bubble() : width(0), height(0), x(0), y(0), direction(1), speed(0), xRange(200), xMin(400)
{
    Reset();
}

void Bubble::Reset()
{
    direction = xRand() % 2 ? 1 : -1;
    const int32_t a = xRand() % 15 + 25;
    const int32_t b = xRand() % 7 + 28;
    width = std::max(a, b);
    height = std::min(a, b);
    x = xRand() % xRange + xMin;
    y = xRand() % 50 + 100;
    speed = (xRand() % 3 + 1) * direction;
}

void Bubble::Update()
{
    y += speed;
    if (y + height < x2dClipTop || y > x2dClipBottom)
        Reset();
    const int32_t left = std::max(x, x2dClipLeft), right = std::min(x + width, x2dClipRight);
    const int32_t top = std::max(y, x2dClipTop), bottom = std::min(y + height, x2dClipBottom);
    if (left >= right || top >= bottom)
        return;
    const uint8_t* darker = x2dBlendRow(kBubbleAlpha);
    for (int32_t r = top; r < bottom; r++) {
        uint8_t* p = (uint8_t*)g_picture + x2dLineOffset[r] + (size_t)left * 4;
        for (int32_t c = left; c < right; c++, p += 4) {
            p[0] = (uint8_t)(p[0] + darker[-p[0]]);
            p[1] = (uint8_t)(p[1] + darker[-p[1]]);
            p[2] = (uint8_t)(p[2] + darker[-p[2]]);
        }
    }
}

void FloatingCircles::Reset(int i)
{
    Item& it = items[i];
    it.direction = xRand() % 2 ? 1 : -1;
    it.x = xRand() % xRange + xMin;
    it.y = xRand() % 100 + 100;
    it.speed = (xRand() % 3 + 1) * it.direction;
    it.shape = xRand() % CREDITS_SHAPE_PICKS;
}

void FloatingCircles::Update()
{
    for (int i = 0; i < CREDITS_FLOATERS; i++) {
        Item& it = items[i];
        it.y += it.speed;
        if (it.y + kFloaterReach < x2dClipTop || it.y > x2dClipBottom)
            Reset(i);
        shapes[it.shape]->DrawLayer(it.x, it.y, g_picture);
    }
}

xCreditsState CreditsStartState()
{
    xCreditsState s;
    s.angle1 = 0.0f;
    s.zoom1 = 1.0f;
    s.lastAngle1 = -1.0f;
    s.x1 = 0;
    s.y1 = 0.0f;
    s.sceneTime = kSceneStart;
    s.codePos = 640;
    s.progPos = -1221;
    s.angle2 = 0.0f;
    s.zoom2 = 1.0f;
    s.lastAngle2 = -1.0f;
    s.x2 = 0;
    s.y2 = 0.0f;
    s.musicPos = -486;
    s.designPos = 640;
    s.thirdX = 100;
    s.white = 0;
    return s;
}

void CreditsInit()
{
    for (int i = 0; i < CREDITS_FLOATERS; i++)
        g_floatingCircles.Reset(i);

    Pictures& p = g_pic;
    p.cir1 = loadPlaced("cpcir1.tga", nullptr, kCir1);
    p.cir2 = loadPlaced("cpcir2.tga", "cpcir2m.gif", kCir2);
    p.cir3 = loadPlaced("cpcir3.tga", nullptr, kCir3);
    p.rec1 = loadPlaced("cprec1.tga", nullptr, kRec1);
    p.rec2 = loadPlaced("cprec2.tga", "cprec2m.gif", kRec2);
    p.rec3 = loadPlaced("cprec3.tga", "cprec3m.gif", kRec3);
    p.photo1 = partLoadSprite("auth1.jpg", "auth1m.gif");
    p.photo2 = partLoadSprite("auth2.jpg", "auth2m.gif");
    p.photo3 = partLoadSprite("auth3.tga", "auth3m.gif");
    p.prog = partLoadLayer("progmask.gif", 0xFFFFFF);
    p.code = partLoadLayer("codem.gif", 0xFFFFFF);
    p.music = partLoadLayer("musicm.gif", 0xFFFFFF);
    p.design = partLoadLayer("designm.gif", 0xFFFFFF);
    p.musicShadow = partLoadLayer("mus_col.gif", 0xA000FC);
    p.designShadow = partLoadLayer("des_col.gif", 0x00B4FC);
    p.plate = loadPlaced("plate.tga", nullptr, kPlate);
    p.name1 = loadPlacedLayer("name1m.gif", kName);
    p.mail1 = loadPlacedLayer("mail1m.gif", kMail1);
    p.name2 = loadPlacedLayer("name2m.gif", kName);
    p.mail2 = loadPlacedLayer("mail2m.gif", kMail2);

    FloatingCircles& f = g_floatingCircles;
    f.layer = partLoadLayer("cpcir.gif", 0);
    if (f.layer->sizeX != CREDITS_SHAPE_SIZE || f.layer->sizeY < CREDITS_SHAPES * CREDITS_SHAPE_SIZE)
        g_xError.Fatal("CreditsInit() -> Wrong size of cpcir.gif");
    for (int i = 0; i < CREDITS_SHAPES; i++) {
        x2dSprite* v = x2dSpriteCreate();
        v->ownsMemory = 0;
        v->alphaLayer = f.layer->alphaLayer + (size_t)i * CREDITS_SHAPE_SIZE * CREDITS_SHAPE_SIZE;
        v->sizeX = v->sizeY = CREDITS_SHAPE_SIZE;
        v->pitch = CREDITS_SHAPE_SIZE * 4;
        v->skip = x2dScreenWidth - CREDITS_SHAPE_SIZE;
        v->color = f.layer->color;
        f.shapes[i] = v;
    }

    // The greetings' background block holds exactly the 400 x 400 pixels.
    X_ASSERT(g_greetScratch, kModule, __LINE__);
    static_assert(CREDITS_SCRATCH_SIZE * CREDITS_SCRATCH_SIZE == SHOW_LETTERBOX_PIXELS, "the scratch is the block");
    g_creditsScratch = partMakeView(g_greetScratch, CREDITS_SCRATCH_SIZE, CREDITS_SCRATCH_SIZE);

    // The credits scene, for the greetings' hand-over to select.
    x3dScene* scene = new (std::nothrow) x3dScene();
    if (!scene)
        g_xError.Raise(kModule, __LINE__, 1, nullptr);
    x3dLoadSceneScript("scene3.x3d", scene, g_pFileIO);
    g_creditsScene = scene;

    g_credits = CreditsStartState();
}

void Credits1Draw()
{
    xCreditsState& s = g_credits;
    const Pictures& p = g_pic;
    const int32_t order = g_musicOrder, row = g_musicRow;
    const bool stepping = order == kCreditsStepOrders[0] && row < kCreditsStepRows[3];

    fillLetterbox(p.cir1->pixels[0]);
    if (stepping) {
        switch (stepOf(row)) {
        case 0: p.cir3->DrawNoClip(kCir3.x, kCir3.y, g_picture); break;
        case 1: p.cir2->DrawNoClip(kCir2.x, kCir2.y, g_picture); break;
        default: p.cir1->DrawNoClip(kCir1.x, kCir1.y, g_picture); break;
        }
    } else {
        p.cir1->DrawNoClip(kCir1.x, kCir1.y, g_picture);
        p.cir2->DrawAlphaNoClip(kCir2.x, kCir2.y, g_picture);
        p.cir3->DrawNoClip(kCir3.x, kCir3.y, g_picture);
    }

    if (stepping) {
        const PhotoStep& step = kPhotoSteps1[stepOf(row)];
        s.angle1 = step.angle;
        s.zoom1 = step.zoom;
        s.x1 = step.x;
        s.y1 = step.y;
    } else if (order == kCreditsStepOrders[0]) {
        // Slides from 10 once the last step has stood.
        if (s.y1 == 0.0f)
            s.y1 = kSlideStart1;
        s.y1 = slide(s.y1);
    } else if (order == kCreditsSceneOrder) {
        s.y1 = slide(s.y1);
    }
    turnPhoto(p.photo1, s.angle1, s.zoom1, s.lastAngle1);

    for (Bubble& b : g_bubbles)
        b.Update();

    if (order >= kCreditsSceneOrder)
        playScene(s.sceneTime);

    s.codePos += (int32_t)(g_frameTime * -0.14);
    s.progPos += (int32_t)(g_frameTime * 0.2);
    p.prog->DrawLayer(s.progPos, 57, g_picture);
    p.code->DrawLayer(s.codePos, 102, g_picture);

    p.name1->DrawLayerNoClip(kName.x, kName.y, g_picture);
    p.mail1->DrawLayerNoClip(kMail1.x, kMail1.y, g_picture);

    if (order == kCreditsSceneOrder || (order == kCreditsStepOrders[0] && row >= kCreditsStepRows[3]))
        p.photo1->DrawAlpha(kPhotoX1, (int32_t)s.y1, g_picture);
    else
        g_creditsScratch->DrawAlpha(s.x1 + kScratchDX, (int32_t)s.y1, g_picture);

    // From the scene's order on, the 50 rows below the captions are cleared
    // too: the closing words present them later, and nothing of the scene
    // may stay there.
    clearPictureRows(SHOW_LETTERBOX_ROWS, order >= kCreditsSceneOrder ? 2 * SHOW_CAPTION_ROWS : SHOW_CAPTION_ROWS);
}

void Credits2Draw()
{
    xCreditsState& s = g_credits;
    const Pictures& p = g_pic;
    const int32_t order = g_musicOrder, row = g_musicRow;
    const bool stepping = order == kCreditsStepOrders[1] && row < kCreditsStepRows[3];

    fillLetterbox(p.rec1->pixels[0]);
    clearCaptionRows();
    if (stepping) {
        switch (stepOf(row)) {
        case 0: p.rec3->DrawAlphaNoClip(kRec3.x, kRec3.y, g_picture); break;
        case 1: p.rec2->DrawAlphaNoClip(kRec2.x, kRec2.y, g_picture); break;
        default: p.rec1->DrawNoClip(kRec1.x, kRec1.y, g_picture); break;
        }
    } else {
        p.rec1->DrawNoClip(kRec1.x, kRec1.y, g_picture);
        p.rec2->DrawNoClip(kRec2.x, kRec2.y, g_picture);
    }

    g_floatingCircles.Update();

    if (order == kCreditsStepOrders[1]) {
        const PhotoStep& step = stepping ? kPhotoSteps2[stepOf(row)] : kPhotoSlide2;
        s.angle2 = step.angle;
        s.zoom2 = step.zoom;
        s.x2 = step.x;
        if (stepping) {
            s.y2 = step.y;
        } else {
            // Slides from -25 once the last step has stood.
            if (s.y2 == step.y)
                s.y2 = kSlideStart2;
            s.y2 = slide(s.y2);
        }
        turnPhoto(p.photo2, s.angle2, s.zoom2, s.lastAngle2);
    }

    const int32_t d = (int32_t)(g_frameTime * 0.09);
    s.musicPos += d;
    s.designPos -= d;
    if (order >= kCreditsPlateOrder) {
        x2dSetClipWindow(0, 0, kPlateRight, SHOW_LETTERBOX_ROWS);
        s.thirdX += (int32_t)(g_frameTime * -0.03);
        p.photo3->DrawAlpha(s.thirdX, 0, g_picture);
        p.plate->DrawNoClip(kPlate.x, kPlate.y, g_picture);
        x2dSetClipWindow(kPlateLeft, 0, kPlateRight, SHOW_LETTERBOX_ROWS);
        p.musicShadow->DrawLayerBlend(s.musicPos, 63, kStripShadowAlpha, g_picture);
        p.designShadow->DrawLayerBlend(s.designPos, 101, kStripShadowAlpha, g_picture);
        p.music->DrawLayer(s.musicPos, 63, g_picture);
        p.design->DrawLayer(s.designPos, 101, g_picture);
        x2dSetClipWindow(0, 0, SHOW_WIDTH, SHOW_LETTERBOX_ROWS);
    } else {
        p.music->DrawLayer(s.musicPos, 63, g_picture);
        p.design->DrawLayer(s.designPos, 101, g_picture);
    }

    p.name2->DrawLayerNoClip(kName.x, kName.y, g_picture);
    p.mail2->DrawLayerNoClip(kMail2.x, kMail2.y, g_picture);

    if (order == kCreditsStepOrders[1])
        g_creditsScratch->DrawAlpha(s.x2 + kScratchDX, (int32_t)s.y2, g_picture);

    if (cueReached(order, row, kCreditsWhite)) {
        s.white = std::min(s.white + 50, 255);
        x2dAddSpan(s.white, SHOW_LETTERBOX_PIXELS, g_picture);
    }
}
