#include "gretPart.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "X2d/X2d.h"
#include "X2d/X2dspr.h"
#include "Ximage/Ximage.h"
#include "files/xFileIO.h"
#include "parts/Cues.h"
#include "parts/PartLoad.h"
#include "parts/PartDraw.h"
#include "parts/PartLinks.h"
#include "system/Xerror.h"
#include "system/Xrand.h"

namespace {

const char* const kModule = "parts/gretPart.cpp";

const int kListX = 45, kNameX = 125, kNameDY = 16;
const int kQuestionY = 88, kQuestionX1 = 245, kQuestionX2 = 411;

x2dSprite* g_greetsTo = nullptr;
x2dSprite* g_monsters = nullptr;
x2dSprite* g_twoMissing = nullptr;
x2dSprite* g_guessWho = nullptr;
x2dSprite* g_question = nullptr;


// Reads and decodes a picture; the file's bytes go at once.
void loadImage(const char* name, xImage& image)
{
    xFile file;
    memset(&file, 0, sizeof file);
    if (!g_pFileIO || g_pFileIO->Read(name, &file) != 0)
        g_xError.Fatal(xFormat("CgreetPart::Init() -> Can't load %s", name));
    memset(&image, 0, sizeof image);
    xImageLoad(&file, image);
    g_pFileIO->Free(&file);
}

bool flashRow(int32_t row)
{
    for (int flash : kGreetFlashRows)
        if (row == flash)
            return true;
    return false;
}

} // namespace

const int32_t g_greetCells[GREET_CELLS][2] = {
    {145, 3},  {228, 3},  {311, 3},  {394, 3},  {477, 3},  {560, 3},  {145, 86},  {311, 86},
    {477, 86}, {560, 86}, {145, 169}, {228, 169}, {311, 169}, {394, 169}, {477, 169}, {560, 169},
};

xGreetState GreetStartState()
{
    xGreetState s;
    s.firstLevel = 0;
    s.secondLevel = 0;
    s.thirdLevel = 0;
    s.darkLevel = 0;
    s.questionLevel = 255;
    s.whiteFlash = 200;
    s.question1 = 0;
    s.question2 = 0;
    return s;
}

CgreetPart g_greetPart;
xGreetState g_greet = GreetStartState();
x2dSprite* g_greetBack = nullptr;

void CgreetPart::Init()
{
    loadImage("photos.jpg", photos);
    xImageConvert(&photos, XIMAGE_ARGB32);
    // Every photo is a view into this strip.
    if (photos.sizeX != GREET_PHOTO_W || photos.sizeY < GREET_PHOTOS * GREET_PHOTO_H)
        g_xError.Fatal("CgreetPart::Init() -> Wrong size of photos.jpg");

    for (int i = 0; i < GREET_PALETTES; i++) {
        const char* name = xFormat("colpal_%d.gif", i + 1);
        char kept[32];
        snprintf(kept, sizeof kept, "%s", name);
        xImage pal;
        loadImage(kept, pal);
        if (pal.mode != XIMAGE_INDEXED || !pal.palette)
            g_xError.Fatal(xFormat("CgreetPart::Init() -> No palette in %s", kept));
        memcpy(palettes[i], pal.palette, 768);
        free(pal.pixels);
        free(pal.palette);
    }

    loadImage("photmask.gif", photoMask);
    names = partLoadSprite("gname.tga", "gnmask.gif");
    if (names->sizeY < GREET_PHOTOS * GREET_NAME_ROWS)
        g_xError.Fatal("CgreetPart::Init() -> Wrong size of gname.tga");
    circle = partLoadSprite("circle2.tga", "circmask.gif");
    brightCircle = x2dSpriteCreate();
    brightCircle->Copy(*circle);

    bool photoTaken[GREET_PHOTOS] = {};
    bool cellTaken[GREET_CELLS] = {};
    for (int k = 0; k < GREET_MEN; k++) {
        int c;
        do
            c = xRand() % GREET_PHOTOS;
        while (photoTaken[c]);
        photoTaken[c] = true;

        CgreetMan* man = new (std::nothrow) CgreetMan();
        if (!man)
            g_xError.Fatal("CgreetPart::Init() -> can't create object CgreetMan");
        men[k] = man;
        uint32_t* photo = (uint32_t*)(photos.pixels + (size_t)c * GREET_PHOTO_W * GREET_PHOTO_H * 4);
        man->photo = partMakeView(photo, GREET_PHOTO_W, GREET_PHOTO_H);
        man->photo->LoadAlphaChannel(photoMask);
        man->tint = x2dSpriteCreate();
        MakeTint(man->photo, man->tint, palettes[xRand() % GREET_PALETTES]);
        man->name = partMakeView(names->pixels + (size_t)c * GREET_NAME_ROWS * names->sizeX, names->sizeX,
                             GREET_NAME_ROWS);

        man->y = 260 + 80 * k;
        man->reveal = 0;
        man->flash = 0;
        man->placed = 0;
        int cell;
        do
            cell = xRand() % GREET_CELLS;
        while (cellTaken[cell]);
        cellTaken[cell] = true;
        man->slot = (int8_t)cell;
    }
}

void CgreetPart::MakeTint(x2dSprite* photo, x2dSprite* tint, const uint8_t* palette)
{
    xImage image;
    image.sizeX = photo->sizeX;
    image.sizeY = photo->sizeY;
    image.mode = XIMAGE_INDEXED;
    const size_t n = (size_t)photo->sizeX * (size_t)photo->sizeY;
    image.pixels = (uint8_t*)malloc(n ? n : 1);
    if (!image.pixels)
        g_xError.Raise(kModule, 231, 1, nullptr);
    // Converting releases the image's palette: the tint gets its own copy.
    image.palette = (uint8_t*)malloc(768);
    if (!image.palette)
        g_xError.Raise(kModule, 233, 1, nullptr);
    memcpy(image.palette, palette, 768);
    const uint8_t* src = (const uint8_t*)photo->pixels;
    for (size_t i = 0; i < n; i++, src += 4) {
        const int b = src[0], g = src[1], r = src[2];
        // In double, in this order: the same index on every build.
        image.pixels[i] = (uint8_t)(int)(0.587 * g + 0.299 * r + 0.114 * b);
    }
    xImageConvert(&image, XIMAGE_ARGB32);
    tint->SetImage(image);
}

void CgreetPart::FlashCircle(int v)
{
    const size_t n = (size_t)circle->sizeX * (size_t)circle->sizeY;
    const uint8_t* src = (const uint8_t*)circle->pixels;
    uint8_t* dst = (uint8_t*)brightCircle->pixels;
    for (size_t i = 0; i < n; i++, src += 4, dst += 4) {
        if (!src[3])
            continue;
        for (int c = 0; c < 3; c++) {
            const int sum = src[c] + v;
            dst[c] = (uint8_t)(sum > 255 ? 255 : sum < 0 ? 0 : sum);
        }
        dst[3] = src[3];
    }
}

void CgreetPart::Update()
{
    int visible[GREET_MEN];
    int count = 0;
    for (int k = 0; k < GREET_MEN; k++)
        if (men[k]->y + 10 > 0 && men[k]->y + 66 < SHOW_LETTERBOX_ROWS)
            visible[count++] = k;
    if (count && flashRow(g_musicRow))
        for (int tries = 0; tries < 5; tries++) {
            CgreetMan* man = men[visible[xRand() % count]];
            if (man->flash == 0) {
                man->flash = 255;
                break;
            }
        }

    const int32_t dy = (int32_t)(g_frameTime * 0.1); // 100 pixels a second
    for (int k = 0; k < GREET_MEN; k++) {
        CgreetMan* man = men[k];
        man->y -= dy;
        if (man->placed) {
            const int32_t x = g_greetCells[man->slot][0], y = g_greetCells[man->slot][1];
            if (man->reveal != 255) {
                man->reveal = atMost255(man->reveal + 3);
                man->photo->DrawNoClip(x, y, g_picture);
                man->tint->DrawBlendNoClip(x, y, (uint32_t)man->reveal, g_picture);
            } else {
                man->tint->DrawNoClip(x, y, g_picture);
            }
        }
        if (man->y + 76 > 0 && man->y < SHOW_LETTERBOX_ROWS) {
            man->photo->DrawAlpha(kListX, man->y, g_picture);
            if (man->flash == 0) {
                circle->DrawAlpha(kListX, man->y, g_picture);
            } else {
                FlashCircle(man->flash);
                brightCircle->DrawAlpha(kListX, man->y, g_picture);
                man->flash = atLeast0(man->flash - 20);
            }
            man->name->DrawAlpha(kNameX, man->y + kNameDY, g_picture);
        }
        // Placed on a bar line after he has left the top.
        if (man->y + 70 < 0 && !man->placed && g_musicRow % 8 == 0)
            man->placed = 1;
    }
}

void GreetInit()
{
    g_greetBack = x2dSpriteCreate();
    g_greetBack->Load("greets.jpg", g_pFileIO);
    // Copied whole into the letterbox every frame.
    partCheckSize(g_greetBack, "GreetInit()", "greets.jpg", SHOW_WIDTH, SHOW_LETTERBOX_ROWS);
    g_greetScratch = g_greetBack->pixels;

    g_greetPart.Init();

    struct Caption {
        x2dSprite** sprite;
        const char* name;
        int x;
    } captions[] = {
        {&g_greetsTo, "greetsto.tga", 174},
        {&g_monsters, "monstrs.tga", 151},
        {&g_twoMissing, "twomiss.tga", 157},
        {&g_guessWho, "guesswho.tga", 240},
    };
    for (const Caption& c : captions) {
        *c.sprite = partLoadSprite(c.name, nullptr);
        partCheckFits(*c.sprite, "GreetInit()", c.name, c.x, SHOW_CAPTION_Y, SHOW_WIDTH, SHOW_PICTURE_ROWS);
    }
    g_question = partLoadSprite("vopros.tga", "vprsmask.gif");
    partCheckFits(g_question, "GreetInit()", "vopros.tga", kQuestionX2, kQuestionY, SHOW_WIDTH, SHOW_LETTERBOX_ROWS);

    g_greet = GreetStartState();
}

void GreetDraw()
{
    xGreetState& s = g_greet;
    const int32_t order = g_musicOrder, row = g_musicRow;
    memcpy(g_picture, g_greetBack->pixels, SHOW_LETTERBOX_PIXELS * 4);
    clearCaptionRows();

    g_greetPart.Update();

    const bool held = cueReached(order, row, kGreetCaptionsHeld);
    if (s.firstLevel != 255 && !held)
        g_greetsTo->DrawBlendNoClip(174, SHOW_CAPTION_Y, (uint32_t)(255 - s.firstLevel), g_picture);
    // "the monsters" fades in over "greetings to".
    if (cueReached(order, row, kGreetMonsters) && s.secondLevel != 255) {
        if (s.firstLevel != 255 && !held)
            s.firstLevel = atMost255(s.firstLevel + 5);
        g_monsters->DrawBlendNoClip(151, SHOW_CAPTION_Y, (uint32_t)s.firstLevel, g_picture);
    }

    if (order == kGreetQuestion1.order) {
        if (row >= kGreetQuestion1.row && row < kGreetQuestion2.row)
            s.question1 = 1;
        if (row >= kGreetQuestion2.row)
            s.question2 = 1;
    } else if (cueReached(order, row, kGreetTwoMissing)) {
        if (s.secondLevel != 255 && s.thirdLevel == 0) {
            s.secondLevel = atMost255(s.secondLevel + 10);
            s.firstLevel = atLeast0(s.firstLevel - 15);
        }
        s.darkLevel = atMost255(s.darkLevel + 10);
        x2dSubSpan(s.darkLevel, SHOW_LETTERBOX_PIXELS, g_picture);
        g_twoMissing->DrawBlendNoClip(157, SHOW_CAPTION_Y, (uint32_t)s.secondLevel, g_picture);
    }

    if (s.question1)
        g_question->DrawAlphaBlendNoClip(kQuestionX1, kQuestionY, (uint32_t)s.questionLevel, g_picture);
    if (s.question2)
        g_question->DrawAlphaBlendNoClip(kQuestionX2, kQuestionY, (uint32_t)s.questionLevel, g_picture);

    if (cueReached(order, row, kGreetGuessWho)) {
        if (s.thirdLevel != 255) {
            s.questionLevel -= 25;
            s.thirdLevel = atMost255(s.thirdLevel + 25);
            // Never below 0, even when "two are missing" had not come in
            // fully (the show started late): it would be drawn whole.
            s.secondLevel = atLeast0(s.secondLevel - 25);
            if (s.questionLevel < 0) {
                s.questionLevel = 0;
                s.secondLevel = 0;
            }
        }
        g_guessWho->DrawBlendNoClip(240, SHOW_CAPTION_Y, (uint32_t)s.thirdLevel, g_picture);
    }

    if (s.whiteFlash) {
        x2dAddSpan(s.whiteFlash, SHOW_LETTERBOX_PIXELS, g_picture);
        s.whiteFlash = atLeast0(s.whiteFlash - 10);
    }
}
