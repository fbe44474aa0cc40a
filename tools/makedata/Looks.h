// The show's pictures, painted from code. Each function is pure: the same
// arguments give the same picture.
#pragma once
#include <string>
#include <vector>

#include "tools/makedata/Canvas.h"
#include "tools/makedata/Encode.h"

namespace qhd {

// The show's own colours.
namespace pal {
constexpr uint32_t Night = 0x121a30, Dusk = 0x2b3a67, Sea = 0x1f5a73, Teal = 0x2e8c8c;
constexpr uint32_t Lamp = 0xec870e, LampLight = 0xf8d2a4, LampSoft = 0xf5bf7f;
constexpr uint32_t Paper = 0xf4eee2, Ink = 0x1b2236, Violet = 0xa000fc, Cyan = 0x00b4fc;
constexpr uint32_t Line1 = 0xfff4ff, Line2 = 0xa9fdff, Line3 = 0xe487fa, Line4 = 0xfbc3c6;
} // namespace pal

// A picture with its own weights (alpha channel).
struct Sprite {
    Canvas rgb;
    Mask alpha;
};

// --- scenery (640 x 250 unless said) ---
Canvas HarbourAtDusk();
Canvas GreetingsWall();
Canvas CalmSea();
Canvas MorningStreet();
Canvas LitWindow();
Canvas Panorama(int w, int h); // wraps: its right edge continues into its left
Canvas WaterTexture(int size); // tiles in both directions
Canvas LoadingLine(int w, int h);

// --- people ---
struct FaceLook {
    uint32_t seed = 1;
    int skin = 0, hair = 0, hairStyle = 0, hat = 0, clothes = 0, backdrop = 0;
    bool glasses = false, beard = false, earring = false;
    float smile = 0.5f;
};
FaceLook RandomFace(uint32_t seed);
Canvas Portrait(const FaceLook& f, int w, int h);
// A portrait turned into light on black, for the additive overlays.
Canvas GlowPortrait(const FaceLook& f, int w, int h, Color tint);
Mask OvalMask(int w, int h, float soft);

// --- creatures and things ---
Sprite Fish(int kind);
Sprite Gull(int size);
Sprite QuestionMark(int w, int h);
Sprite TitleCard(int w, int h);
Sprite RingPop(int size, int frames); // strip of `frames` cells
Sprite CalendarCells(int w, int h, int count);

// --- words ---
// A caption under the letterbox: warm white type on black, at most
// `maxH` rows tall and `maxW` wide.
// Width of a caption drawn at x that reads centred on the 640-wide screen.
int CaptionWidth(int x);
// A caption of that width, its words centred on black, maxH rows tall.
Canvas Caption(const std::string& text, int width, int maxH);
// Letters of one size on one baseline, each centred in a w x h box; with a
// stretch above 1 the letters are widened.
// The pixel size LetterSet types those letters at.
float LetterSetSize(const std::string& letters, int w, int h, int face, float stretch = 1.0f);
std::vector<Mask> LetterSet(const std::string& letters, int w, int h, int face, float stretch = 1.0f);
// The group's logo: one letter per cell, stacked. The letters are wide and
// low, centred on row `middle` of the cell, so they stand inside the band.
Mask LogoLetters(const std::string& letters, int cellW, int cellH, int letterH, int middle);
Sprite ZoomLetter(const Mask& glyph, Color top, Color bottom);
// A role strip: the word repeated along the strip, in wide type.
Mask RoleStrip(const std::string& word, int w, int h, int dx = 0, int dy = 0, int blur = 0);
Mask LineMask(const std::string& text, int w, int h, bool bold, bool serif);
Sprite NameList(const std::vector<std::pair<std::string, std::string>>& names, int w, int rowH);
Canvas WordPicture(const std::string& word, int w, int h, Color ink, Color paper, bool serif);
Sprite SmallLogo(int w, int h);
Sprite NamePlate(int w, int h, const std::string& handle, const std::string& role, const std::string& mail);

// --- credits backdrops ---
Canvas CircleBackdrop(int w, int h, Color bg);
Sprite CircleOverlay(int w, int h);
Canvas CircleDetail(int w, int h);
Canvas RectBackdrop(int w, int h, Color bg);
Sprite RectOverlay(int w, int h);
Sprite RectDetail(int w, int h);
Mask CircleShapes(int size, int count);

// --- maps of the 3D scenes (square, tiling where they wrap) ---
Canvas BrassTexture(int size);
Canvas HarbourMirror(int size);
Canvas CodePage(int size);
Canvas FlareTexture(int size); // black well inside its border

// --- grids, palettes ---
Indexed GridPattern(int w, int h, int stage);
Indexed PaletteRamp(int which);

// --- panels (140 x 105) ---
std::vector<Canvas> WavesLoop(int w, int h, int frames);
std::vector<Canvas> BeamLoop(int w, int h, int frames);
std::vector<Canvas> TunnelLoop(int w, int h, int frames);
std::vector<Canvas> PlanktonLoop(int w, int h, int frames);
Canvas StillBoat(int w, int h);
Canvas StillGulls(int w, int h);
Canvas StillFog(int w, int h);
Canvas ParticleBackdrop(int w, int h);

} // namespace qhd
