// The lines as the show plays them: the program captures orders 13-16
// losslessly on its virtual clock (nothing before order 13 touches the part,
// so these are the show's own frames), and chosen frames must have the
// hashes kept in frames.txt, for both drawing paths.
//
// A frame that differs is written as lines-NN-PATH-seen.png in the test's
// folder of the build, beside lines-NN-PATH.png, the expected frame, when the
// last rewrite of the references in that build wrote it. QH_UPDATE_FRAMES=1
// (the build target lines_frames_update) rewrites the hashes and writes every
// frame as a PNG to look at.
#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include <png.h>

#include "X2d/X2d.h"
#include "X2d/X2dspr.h"
#include "tests/common/ShowRun.h"

namespace {

const int W = 640, H = 480;
// Frames of the 2-fps capture: rising from black with the first letter
// growing (13/8); the second letter (13/26); the second word (14/28); the
// grid at full darkness, scrolling (15/30); the caption fading in (15/39);
// caption and grid (16/32); the grids changing (16/58); black under the
// caption (16/63).
const int kFrames[] = {2, 6, 21, 36, 38, 51, 57, 58};

typedef std::vector<uint8_t> Frame; // W x H pixels of B, G, R, 255

uint64_t hashOf(const Frame& f) // FNV-1a
{
    uint64_t h = 14695981039346656037ull;
    for (uint8_t b : f)
        h = (h ^ b) * 1099511628211ull;
    return h;
}

std::string pngName(int frame, const char* path, const char* tail)
{
    char name[64];
    snprintf(name, sizeof name, "lines-%02d-%s%s.png", frame, path, tail);
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

// "frame path" -> hash, as kept in frames.txt.
std::map<std::string, uint64_t> readHashes()
{
    std::map<std::string, uint64_t> hashes;
    FILE* f = fopen(QH_FRAMES_FILE, "r");
    char line[128], path[16];
    int frame;
    uint64_t hash;
    while (f && fgets(line, sizeof line, f))
        if (sscanf(line, "%d %15s %" SCNx64, &frame, path, &hash) == 3)
            hashes[std::to_string(frame) + " " + path] = hash;
    if (f)
        fclose(f);
    return hashes;
}

bool writeHashes(const std::map<std::string, uint64_t>& hashes)
{
    std::string text = "# frame, drawing path, FNV-1a hash of its 640 x 480 x 4 bytes B, G, R, 255\n";
    for (int k : kFrames)
        for (const char* path : {"plain", "mmx"}) {
            auto it = hashes.find(std::to_string(k) + " " + path);
            char line[64];
            if (it != hashes.end() && snprintf(line, sizeof line, "%d %s %016" PRIx64 "\n", k, path, it->second))
                text += line;
        }
    return writeFile(QH_FRAMES_FILE, text);
}

// Runs the show from order 13 to 17 into a raw capture and keeps the chosen
// frames.
bool captureLines(bool plainPath, std::vector<Frame>& frames, std::string& why)
{
    std::string folder = showFolder(plainPath ? "plain" : "mmx");
    ShowRun run = runShow(folder, "-start 13 -end 17 -capture show.rgb -fps 2",
                          plainPath ? "QH_NO_MMX=1" : "env -u QH_NO_MMX");
    if (run.status != 0) {
        why = "the capture failed: " + run.err;
        return false;
    }
    FILE* f = fopen((folder + "/show.rgb").c_str(), "rb");
    for (int k : kFrames) {
        Frame frame((size_t)W * H * 4);
        if (!f || fseek(f, (long)k * W * H * 4, SEEK_SET) != 0 || fread(frame.data(), 1, frame.size(), f) != frame.size()) {
            why = "the capture has no frame " + std::to_string(k);
            break;
        }
        frames.push_back(frame);
    }
    if (f)
        fclose(f);
    return frames.size() == std::size(kFrames);
}

bool updating()
{
    const char* v = getenv("QH_UPDATE_FRAMES");
    return v && *v && *v != '0';
}

void checkPath(bool plainPath)
{
    const char* path = plainPath ? "plain" : "mmx";
    std::vector<Frame> frames;
    std::string why;
    ASSERT_TRUE(captureLines(plainPath, frames, why)) << why;
    std::map<std::string, uint64_t> hashes = readHashes();
    for (size_t i = 0; i < frames.size(); i++) {
        std::string key = std::to_string(kFrames[i]) + " " + path;
        uint64_t hash = hashOf(frames[i]);
        if (updating()) {
            hashes[key] = hash;
            EXPECT_TRUE(writePng(pngName(kFrames[i], path, ""), frames[i]));
            continue;
        }
        ASSERT_TRUE(hashes.count(key)) << "no hash for frame " << key << " in " QH_FRAMES_FILE;
        if (hash == hashes[key])
            continue;
        std::string seen = pngName(kFrames[i], path, "-seen");
        writePng(seen, frames[i]);
        ADD_FAILURE() << "frame " << key << " differs from its reference; the frame seen is in " << seen
                      << " (the expected one in " << pngName(kFrames[i], path, "")
                      << " once the references were written in this build)";
    }
    if (updating()) {
        EXPECT_TRUE(writeHashes(hashes)) << QH_FRAMES_FILE;
    }
}

TEST(LinesFrames, PlainPathMatchesTheReferenceHashes) { checkPath(true); }

TEST(LinesFrames, MmxPathMatchesTheReferenceHashes)
{
    if (!x2dSpriteHasMMXPath() || !x2dDetectMMX()) {
        GTEST_SKIP() << "no MMX path on this machine";
    }
    checkPath(false);
}

} // namespace
