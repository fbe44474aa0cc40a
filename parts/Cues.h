// The music positions the pictures react to. The composer (tools/music)
// places its accents on these same orders and rows, so the music and the
// picture agree by construction: a cue moved here moves both. Each part keeps
// a block of its own, its names starting with the part's; a new effect adds
// its block, reads it, and the composer writes its accents from it.
#pragma once

// A position of the music: an order of the module and a row of its pattern.
struct xCue {
    int order;
    int row;
};

// True once the music has reached the cue (any later order included).
constexpr bool cueReached(int order, int row, xCue cue)
{
    return order > cue.order || (order == cue.order && row >= cue.row);
}

// The first order of each part of the show. A part plays until the next
// one's first order, where the timeline hands over.
enum {
    CUE_OPENING = 0,
    CUE_FISH = 10,
    CUE_LINES = 13,
    CUE_GREETINGS = 17,
    CUE_CREDITS1 = 22,
    CUE_CREDITS2 = 24,
    CUE_FLARE = 26,
    CUE_ROTO = 28,
    CUE_CIRCLES = 30,
    CUE_FALL = 32,
    CUE_CLOSING = 34,
    CUE_END = 36,
};

// The opening and the circles' return: a circle pops on every even row of
// the opening's orders 1-8 and of the circles' part outside the quiet
// windows, and on the burst rows of order 9.
constexpr int kCircleQuietRows[5][2] = {{11, 15}, {23, 25}, {31, 33}, {43, 47}, {55, 57}};
constexpr int kCircleBurstOrder = 9;
constexpr int kCircleBurstRows[10] = {0, 20, 26, 34, 36, 40, 42, 50, 55, 61};

constexpr bool cueCircleRow(int order, int row)
{
    if ((order > CUE_OPENING && order < kCircleBurstOrder) || (order >= CUE_CIRCLES && order < CUE_FALL)) {
        if (row % 2)
            return false;
        for (const auto& quiet : kCircleQuietRows)
            if (row >= quiet[0] && row <= quiet[1])
                return false;
        return true;
    }
    if (order == kCircleBurstOrder)
        for (int burst : kCircleBurstRows)
            if (burst == row)
                return true;
    return false;
}

// The rest of the opening. "see you soon" shows on the first rows of
// order 2; order 3 fades to white and the band opens after its first rows;
// from order 4 a letter grows on every fourth row over a half-transparent
// band; orders 5 and 6 each invert one half of the band, shake on their
// first rows and turn back from a row on; the 3D logo comes in with order 7,
// the band closes in order 8, and order 9 slides the harbour up.
constexpr xCue kOpeningCaption = {2, 0};
constexpr int kOpeningCaptionLastRow = 3;
constexpr int kOpeningWhiteOrder = 3;
constexpr xCue kOpeningBand = {3, 9};
constexpr int kOpeningLettersOrder = 4;
constexpr int kOpeningLetterEvery = 4;
constexpr int kOpeningInvertOrders[2] = {5, 6};
constexpr int kOpeningShakeLastRow = 6;
constexpr int kOpeningInvertBackRow = 32;
constexpr int kOpeningLogoOrder = 7;
constexpr int kOpeningCloseOrder = 8;
constexpr int kOpeningSlideOrder = kCircleBurstOrder;
static_assert(kOpeningSlideOrder + 1 == CUE_FISH, "the harbour slides up in the opening's last order");

// The fish: "see you soon" fades out, then the title and "happy?" come in;
// the picture goes to black and the fish stop.
constexpr xCue kFishCaptionOut = {12, 31};
constexpr xCue kFishTitle = {12, 32};
constexpr xCue kFishFadeOut = {12, 56};
static_assert(kFishFadeOut.order + 1 == CUE_LINES, "the fish fade out in their last order");

// The lines: a letter starts zooming on each of these rows, letters 1-7 in
// the first of the two orders, 8-14 in the second. Each letter's window runs
// to the row before the next one's; row 60 starts nothing.
constexpr int kLinesZoomOrders[2] = {CUE_LINES, CUE_LINES + 1};
constexpr int kLinesZoomRows[7] = {2, 18, 34, 44, 46, 54, 61};
constexpr int kLinesZoomQuietRow = 60;
constexpr int kLinesZoomLetters = 14;
constexpr xCue kLinesGrid = {CUE_LINES + 2, 0};     // the darkening grid fades in and scrolls
constexpr xCue kLinesCaption = {CUE_LINES + 2, 31}; // "3d stuff" fades in
constexpr xCue kLinesTitle = {CUE_LINES + 2, 35};   // the 3D title turns, on a crash
constexpr xCue kLinesGridsStep = {CUE_LINES + 3, 58}; // grids 2, 3, 4, then the letterbox black

// The letter (0-13) whose zoom window is open at this position, or -1.
constexpr int cueLinesZoomLetter(int order, int row)
{
    for (int k = 0; k < 2; k++) {
        if (order != kLinesZoomOrders[k] || row == kLinesZoomQuietRow)
            continue;
        for (int i = 6; i >= 0; i--)
            if (row >= kLinesZoomRows[i])
                return k * 7 + i;
    }
    return -1;
}
static_assert(kLinesZoomRows[5] < kLinesZoomQuietRow && kLinesZoomQuietRow < kLinesZoomRows[6],
              "the quiet row closes the sixth letter's window");

// The greetings.
constexpr int kGreetFlashRows[7] = {2, 18, 34, 44, 46, 54, 60}; // a circle flashes
constexpr xCue kGreetMonsters = {18, 0};     // "the monsters" fades in over "greetings to"
constexpr xCue kGreetQuestion1 = {19, 54};   // a question mark fills the first hole
constexpr xCue kGreetQuestion2 = {19, 60};   // and the second
constexpr xCue kGreetCaptionsHeld = {20, 0}; // "greetings to" gone, "the monsters" stays as it is
constexpr xCue kGreetTwoMissing = {20, 32};  // "two are missing"; the picture darkens
constexpr xCue kGreetGuessWho = {20, 61};    // "guess who"; the question marks fade
static_assert(kGreetQuestion1.order == kGreetQuestion2.order && kGreetQuestion1.row < kGreetQuestion2.row,
              "the question marks come in one order, the first one first");

// The credits: in the first order of each credit a background piece and a
// step of the turning photo arrive on each of these rows; from the last one
// on all the pieces stand and the photo slides. The credits scene plays in
// the order after the first credit's; the white fade ends the second.
constexpr int kCreditsStepRows[4] = {0, 8, 16, 24};
constexpr int kCreditsStepOrders[2] = {CUE_CREDITS1, CUE_CREDITS2};
constexpr int kCreditsSceneOrder = CUE_CREDITS1 + 1;
constexpr int kCreditsPlateOrder = CUE_CREDITS2 + 1; // the third photo and the name plate
constexpr xCue kCreditsWhite = {CUE_CREDITS2 + 1, 59};
static_assert(kCreditsWhite.order + 1 == CUE_FLARE, "the white fade leads into the flare scene");

// The flare scene: the caption fades in from the start of its second
// order; on the hit the next picture cross-fades over everything, and the
// part hands over once it is full.
constexpr xCue kFlareCaption = {CUE_FLARE + 1, 0};
constexpr xCue kFlareCrossFade = {CUE_FLARE + 1, 41};

// The roto-zoom: a crash opens it; "back to" fades in from order 29 on,
// and the flash to white lands with a crash and an impact.
constexpr xCue kRotoCaption = {CUE_ROTO + 1, 0};
constexpr xCue kRotoFlash = {CUE_ROTO + 1, 57};
static_assert(kRotoFlash.order + 1 == CUE_CIRCLES, "the roto-zoom flashes to white in its last order");

// The circles' return: "see you soon" comes back on these rows of order 31
// and fades on the others.
constexpr int kCirclesCaptionOrder = CUE_CIRCLES + 1;
constexpr int kCirclesCaptionRows[2] = {19, 49};

// The closing words: the falling letters' picture fades out over the white
// page on a crash; the beat stops and everything darkens. The end scroller
// fades in on a bell; "cut here" darkens it as the beat is cut.
constexpr xCue kClosingFall = {CUE_CLOSING, 0};
constexpr xCue kClosingDark = {CUE_CLOSING + 1, 51};
static_assert(kClosingDark.order + 1 == CUE_END, "the closing words darken in their last order");
constexpr xCue kEndBell = {CUE_END, 0};
constexpr xCue kEndCut = {CUE_END + 1, 46};

// The ending: the picture and the music fade out from this row on.
constexpr xCue kEndFadeOut = {38, 41};
