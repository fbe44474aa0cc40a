// The greetings as the show plays them: the program captures orders 17-21
// losslessly on its virtual clock, and chosen frames must have the hashes
// kept in frames.txt, for both drawing paths (the MMX path rounds some blends
// differently by one step, so each has its own).
//
// A frame that differs is written as greet-NN-PATH-seen.png in the test's
// folder of the build, beside greet-NN-PATH.png, the expected frame, when the
// last rewrite of the references in that build wrote it. QH_UPDATE_FRAMES=1
// (the build target greet_frames) rewrites the hashes and writes every frame
// as a PNG to look at: for a change of the picture that is meant, or new data.
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
// Frames of the 2-fps capture: 0.5 s the opening flash; 5.5 s the list under
// "greetings to", frames fading from the flashes of rows 44 and 46, the
// first cells revealing; 8.5 s "the monsters" half over "greetings to";
// 23 s the full mosaic with both question marks; 26 s the darkening under
// "two are missing"; 31 s "guess who" alone.
const int kFrames[] = {1, 11, 17, 46, 52, 62};

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
    snprintf(name, sizeof name, "greet-%02d-%s%s.png", frame, path, tail);
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

// Runs the show from order 17 to 22 into a raw capture and keeps the chosen
// frames.
bool captureGreetings(bool plainPath, std::vector<Frame>& frames, std::string& why)
{
    std::string folder = showFolder(plainPath ? "plain" : "mmx");
    ShowRun run = runShow(folder, "-start 17 -end 22 -capture show.rgb -fps 2",
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
    ASSERT_TRUE(captureGreetings(plainPath, frames, why)) << why;
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

TEST(GreetingsFrames, PlainPathMatchesTheReferenceHashes) { checkPath(true); }

TEST(GreetingsFrames, MmxPathMatchesTheReferenceHashes)
{
    if (!x2dSpriteHasMMXPath() || !x2dDetectMMX()) {
        GTEST_SKIP() << "no MMX path on this machine";
    }
    checkPath(false);
}

} // namespace
