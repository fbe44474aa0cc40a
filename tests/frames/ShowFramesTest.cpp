// The show as it plays: the program captures windows of the show losslessly
// on its virtual clock, and the chosen frames of each window must have the
// hashes kept in frames.txt, for both drawing paths (the processor path,
// "mmx" in the table after the arithmetic it keeps, now computed in SSE2
// lanes, rounds some blends differently by one step, so each has its own).
//
// The capture is read from a pipe as the program writes it: a window keeps
// only its listed frames, however long it runs.
//
// A frame that differs is written as NAME-NN-PATH-seen.png in the test's
// folder of the build, beside NAME-NN-PATH.png, the expected frame, when the
// last rewrite of the references in that build wrote it. QH_UPDATE_FRAMES=1
// (the build target show_frames) rewrites every window's hashes and writes
// its frames as PNGs to look at: for a change of the picture that is meant,
// or new data. A later effect adds its window to the table.
#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

#include <png.h>

#include "X2d/X2d.h"
#include "X2d/X2dspr.h"
#include "tests/common/ShowRun.h"

namespace {

const int W = 640, H = 480;
const size_t kFrameBytes = (size_t)W * H * 4;

struct Window {
    const char* name;
    int start, end, fps; // music orders; -1 start: from the beginning
    std::vector<int> frames;
};

// Frame k of a window is at k / fps seconds from its start; a row lasts
// 15/132 s.
const Window kWindows[] = {
    // The opening needs its whole history: 8 (1/6) circles on black; 23
    // (3/10) the band opening on white; 31 (4/16) ten letters growing on the
    // half band; 37 (5/5) shake and left inversion; 45 (6/12) right
    // inversion; 53 (7/18) order 7; 59 (8/7) the band closed behind white
    // bars; 68 (9/22) the harbour sliding up under a burst; then the fish:
    // 76 (10/28) over the sliding harbour with "see you soon"; 93 (12/50)
    // with the title and "happy?"; 94 (12/59) black, the title fading.
    {"opening", -1, 13, 1, {8, 23, 31, 37, 45, 53, 59, 68, 76, 93, 94}},
    // "see you soon" shows on rows 0-3 of order 2 only: 2/2.
    {"caption", 2, 3, 4, {1}},
    // The lines: 2 (13/8) rising from black, the first letter growing; 6
    // (13/26) the second letter; 21 (14/28) the second word; 36 (15/30) the
    // grid at full darkness, scrolling; 38 (15/39) the title starting, the
    // caption fading in; 51 (16/32) title, grid and caption; 57 (16/58) the
    // grids changing; 58 (16/63) the letterbox black under the caption.
    {"lines", 13, 17, 2, {2, 6, 21, 36, 38, 51, 57, 58}},
    // 0.5 s the greetings' opening flash; 5.5 s the list under "greetings
    // to", the first cells revealing; 8.5 s "the monsters" half over
    // "greetings to"; 23 s the full mosaic with both question marks; 26 s
    // the darkening under "two are missing"; 31 s "guess who" alone.
    {"greet", 17, 22, 2, {1, 11, 17, 46, 52, 62}},
    // The credits at 4 fps, frame ((order - 22) x 64 + row) x 15 x 4 / 132:
    // each step of both credits (rows 4, 12, 20: 1, 5, 9 and 60, 63, 67),
    // their slides (22/40: 18, 24/40: 76), the credits scene (23/32: 43; it
    // changes with the 3D engine and the scene), the plate's order (25/32:
    // 101) and the white fade (25/62: 115).
    {"credits", 22, 26, 4, {1, 5, 9, 18, 43, 60, 63, 67, 76, 101, 115}},
    // The flare scene (its first frame comes after the parts before it hand
    // over, one pacing each): 5 (26/1) the white flash; 81 (26/32) warp,
    // calendar and flares; 211 (27/20) the caption; 268 (27/43) the next
    // part's picture cross-fading over it all.
    {"flare", 26, 28, 22, {5, 81, 211, 268}},
    // The roto-zoom from order 28 at four frames a second (a row is 0.4545
    // frames): 15 (28/33) both gulls swinging; 43 (29/30) "back to" fading
    // in; 57 (29/61) the flash to white; then the circles: 77 (30/41) the
    // street rising over white, circles popping; 101 (31/30) "see you soon"
    // back under them; then the falling letters: 118 (32/4) the lit window
    // cross-fading over the street; 160 (33/32) letters, bubbles, circles.
    {"roto", 28, 34, 4, {15, 43, 57, 77, 101, 118, 160}},
    // The closing words and the end, from order 32 (the falling letters run
    // first) until the show ends by itself: 59 (34/3) the falling letters'
    // picture fading out over the white page; 80 (34/48) the column; 101
    // (35/30) particles and the flare panel; 114 (35/59) the darkening; 118
    // (36/4) the end scroller fading in; 155 (37/20) the scroll; 171 (37/56)
    // "cut here"; 195 (38/45) the ending's fade-out.
    {"closing", 32, 40, 4, {59, 80, 101, 114, 118, 155, 171, 195}},
};

typedef std::vector<uint8_t> Frame; // W x H pixels of B, G, R, 255

uint64_t hashOf(const Frame& f) // FNV-1a
{
    uint64_t h = 14695981039346656037ull;
    for (uint8_t b : f)
        h = (h ^ b) * 1099511628211ull;
    return h;
}

std::string keyOf(const Window& w, int frame, const char* path)
{
    return std::string(w.name) + " " + std::to_string(frame) + " " + path;
}

std::string pngName(const Window& w, int frame, const char* path, const char* tail)
{
    char name[96];
    snprintf(name, sizeof name, "%s-%02d-%s%s.png", w.name, frame, path, tail);
    return name;
}

bool writePng(const std::string& file, const Frame& frame)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = W;
    image.height = H;
    image.format = PNG_FORMAT_BGRA;
    return png_image_write_to_file(&image, file.c_str(), 0, frame.data(), 0, nullptr) != 0;
}

// "window frame path" -> hash, as kept in frames.txt.
std::map<std::string, uint64_t> readHashes()
{
    std::map<std::string, uint64_t> hashes;
    FILE* f = fopen(QH_FRAMES_FILE, "r");
    char line[160], name[32], path[16];
    int frame;
    uint64_t hash;
    while (f && fgets(line, sizeof line, f))
        if (line[0] != '#' && sscanf(line, "%31s %d %15s %" SCNx64, name, &frame, path, &hash) == 4)
            hashes[std::string(name) + " " + std::to_string(frame) + " " + path] = hash;
    if (f)
        fclose(f);
    return hashes;
}

bool writeHashes(const std::map<std::string, uint64_t>& hashes)
{
    std::string text = "# window, frame, drawing path, FNV-1a hash of its 640 x 480 x 4 bytes B, G, R, 255\n";
    for (const Window& w : kWindows)
        for (int k : w.frames)
            for (const char* path : {"plain", "mmx"}) {
                auto it = hashes.find(keyOf(w, k, path));
                char line[96];
                if (it != hashes.end()) {
                    snprintf(line, sizeof line, "%s %d %s %016" PRIx64 "\n", w.name, k, path, it->second);
                    text += line;
                }
            }
    FILE* f = fopen(QH_FRAMES_FILE, "w");
    bool ok = f && fwrite(text.data(), 1, text.size(), f) == text.size();
    return f && fclose(f) == 0 && ok;
}

// Runs the program on the window with its capture going into a pipe, and
// keeps the listed frames as they pass.
bool captureWindow(const Window& w, bool plainPath, std::map<int, Frame>& frames, std::string& why)
{
    std::string dir = showFolder(std::string(w.name) + (plainPath ? "-plain" : "-mmx"));
    std::string args = "-fps " + std::to_string(w.fps) + " -end " + std::to_string(w.end);
    if (w.start >= 0)
        args += " -start " + std::to_string(w.start);
    PipedShow r = captureThroughPipe(dir, args, plainPath ? "env QH_NO_MMX=1" : "env -u QH_NO_MMX",
                                     [&](int k, const uint8_t* pixels) {
                                         for (int listed : w.frames)
                                             if (listed == k)
                                                 frames[k].assign(pixels, pixels + kFrameBytes);
                                     });
    remove((dir + "/show.rgb.wav").c_str()); // the music: 17 MB for the opening
    if (r.status != 0)
        why = "the capture failed: " + r.err;
    else if (frames.size() != w.frames.size())
        why = "the capture of " + std::string(w.name) + " has " + std::to_string(r.frames) + " frames";
    return r.status == 0 && frames.size() == w.frames.size();
}

bool updating()
{
    const char* v = getenv("QH_UPDATE_FRAMES");
    return v && *v && *v != '0';
}

void checkPath(bool plainPath)
{
    const char* path = plainPath ? "plain" : "mmx";
    std::map<std::string, uint64_t> hashes = readHashes();
    for (const Window& w : kWindows) {
        std::map<int, Frame> frames;
        std::string why;
        ASSERT_TRUE(captureWindow(w, plainPath, frames, why)) << why;
        for (int k : w.frames) {
            if (std::string(w.name) == "closing" && k <= 114) {
                // The closing words leave the rows below their page black.
                size_t lit = 0;
                for (size_t i = (size_t)365 * W * 4; i < (size_t)434 * W * 4; i += 4)
                    lit += (frames[k][i] | frames[k][i + 1] | frames[k][i + 2]) != 0;
                EXPECT_EQ(lit, 0u) << "closing frame " << k;
            }
            const std::string key = keyOf(w, k, path);
            const uint64_t hash = hashOf(frames[k]);
            if (updating()) {
                hashes[key] = hash;
                EXPECT_TRUE(writePng(pngName(w, k, path, ""), frames[k]));
                continue;
            }
            ASSERT_TRUE(hashes.count(key)) << "no hash for " << key << " in " QH_FRAMES_FILE;
            if (hash == hashes[key])
                continue;
            const std::string seen = pngName(w, k, path, "-seen");
            writePng(seen, frames[k]);
            ADD_FAILURE() << "frame " << key << " differs from its reference; the frame seen is in " << seen
                          << " (the expected one in " << pngName(w, k, path, "")
                          << " once the references were written in this build)";
        }
    }
    if (updating()) {
        EXPECT_TRUE(writeHashes(hashes)) << QH_FRAMES_FILE;
    }
}

TEST(ShowFrames, PlainPathMatchesTheReferenceHashes) { checkPath(true); }

TEST(ShowFrames, MmxPathMatchesTheReferenceHashes)
{
    if (!x2dSpriteHasMMXPath() || !x2dDetectMMX()) {
        GTEST_SKIP() << "no processor (SSE2) drawing path on this machine";
    }
    checkPath(false);
}

} // namespace
