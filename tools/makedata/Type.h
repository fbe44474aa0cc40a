// Type set with a real font through FreeType, into anti-aliased masks.
#pragma once
#include <array>
#include <string>
#include <vector>

#include "tools/makedata/Canvas.h"

namespace qhd {

enum class Face { Sans, SansBold, Serif, SerifBold, CondensedBold, Mono };

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

// The outline of one letter at a pixel size: closed contours of points in
// pixels (x right, y up from the baseline), each curve flattened into
// `curveSteps` straight pieces. The last point does not repeat the first.
using Contour = std::vector<std::array<float, 2>>;
std::vector<Contour> GlyphOutline(char ch, Face face, float pixelSize, int curveSteps);

} // namespace qhd
