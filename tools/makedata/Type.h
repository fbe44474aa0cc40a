// Type set with a real font through FreeType, into anti-aliased masks.
#pragma once
#include <string>

#include "tools/makedata/Canvas.h"

namespace qhd {

enum class Face { Sans, SansBold, Serif, SerifBold, CondensedBold };

// The folder of the DejaVu fonts; the build passes it in, and
// QH_FONT_DIR in the environment overrides it.
void SetFontDir(const std::string& dir);

struct Text {
    Mask mask;        // tight around the ink
    int baseline = 0; // row of the baseline inside the mask (may be outside it)
    int advance = 0;  // pen advance in pixels
};

// Renders one line of ASCII/Latin-1 text at the given pixel size (the
// em height), cropped to its ink. Tracking is extra space per letter in ems.
Text RenderText(const std::string& text, Face face, float pixelSize, float tracking = 0.0f);
// The largest size at which the text's ink fits w x h (down to 4 pixels).
Text FitText(const std::string& text, Face face, int w, int h, float maxSize = 400.0f, float tracking = 0.0f);

} // namespace qhd
