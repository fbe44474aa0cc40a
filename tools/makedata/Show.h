// Builds every entry of the show's archive.
#pragma once
#include "tools/makedata/Bundle.h"

namespace qhd {

struct Author {
    const char* handle;
    const char* role;
    const char* mail; // reserved example domains only
};
extern const Author kAuthors[3];

// The logo band, fully open, covers picture rows 112-137 with its edge
// lines; the letter cells start at row 91, so the letters stand on cell rows
// 22-45 to show on the band.
constexpr int kLogoLetterHeight = 24;
constexpr int kLogoMiddle = 34;

// One builder per effect of the show, in show order.
void BuildOpening(Bundle& b);
void BuildFish(Bundle& b);
void BuildLines(Bundle& b);
void BuildGreetings(Bundle& b);
void BuildCredits(Bundle& b);
void BuildFlare(Bundle& b);
void BuildRoto(Bundle& b);
void BuildClosing(Bundle& b);
void BuildShow(Bundle& b);

} // namespace qhd
