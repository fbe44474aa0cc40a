// Reference frames of the show: the program captures a stretch of the music
// losslessly on its virtual clock, and chosen frames must have the hashes kept
// in a frames.txt file, for each drawing path (the MMX path rounds some blends
// differently by one step, so each has its own).
//
// A frame that differs is written as PREFIX-NN-PATH-seen.png in the test's
// folder of the build, beside PREFIX-NN-PATH.png, the expected frame, when the
// last rewrite of the references in that build wrote it. QH_UPDATE_FRAMES=1
// rewrites the hashes and writes every frame as a PNG to look at: for a change
// of the picture that is meant, or new data. The build of the including test
// passes QH_PROGRAM, QH_DEMO_PAK and QH_FRAMES_FILE and links libpng.
#pragma once
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

namespace showframes {

const int W = 640, H = 480;
typedef std::vector<uint8_t> Frame; // W x H pixels of B, G, R, 255

inline uint64_t hashOf(const Frame& f) // FNV-1a
{
    uint64_t h = 14695981039346656037ull;
    for (uint8_t b : f)
        h = (h ^ b) * 1099511628211ull;
    return h;
}

inline std::string pngName(const char* prefix, int frame, const char* path, const char* tail)
{
    char name[96];
    snprintf(name, sizeof name, "%s-%02d-%s%s.png", prefix, frame, path, tail);
    return name;
}

inline bool writePng(const std::string& file, const Frame& frame)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = W;
    image.height = H;
    image.format = PNG_FORMAT_BGRA;
    return png_image_write_to_file(&image, file.c_str(), 0, frame.data(), 0, nullptr) != 0;
}

// "frame path" -> hash, as kept in the frames file.
inline std::map<std::string, uint64_t> readHashes()
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

inline bool writeHashes(const std::vector<int>& frames, const std::map<std::string, uint64_t>& hashes)
{
    std::string text = "# frame, drawing path, FNV-1a hash of its 640 x 480 x 4 bytes B, G, R, 255\n";
    for (int k : frames)
        for (const char* path : {"plain", "mmx"}) {
            auto it = hashes.find(std::to_string(k) + " " + path);
            char line[64];
            if (it != hashes.end() && snprintf(line, sizeof line, "%d %s %016" PRIx64 "\n", k, path, it->second))
                text += line;
        }
    return writeFile(QH_FRAMES_FILE, text);
}

// Runs the show with args (a stretch of the music, "-capture show.rgb" and
// its fps) and keeps the chosen frames.
inline bool captureFrames(const std::string& args, bool plainPath, const std::vector<int>& chosen,
                          std::vector<Frame>& frames, std::string& why)
{
    std::string folder = showFolder(plainPath ? "plain" : "mmx");
    ShowRun run = runShow(folder, args, plainPath ? "QH_NO_MMX=1" : "env -u QH_NO_MMX");
    if (run.status != 0) {
        why = "the capture failed: " + run.err;
        return false;
    }
    FILE* f = fopen((folder + "/show.rgb").c_str(), "rb");
    for (int k : chosen) {
        Frame frame((size_t)W * H * 4);
        if (!f || fseek(f, (long)k * W * H * 4, SEEK_SET) != 0 || fread(frame.data(), 1, frame.size(), f) != frame.size()) {
            why = "the capture has no frame " + std::to_string(k);
            break;
        }
        frames.push_back(frame);
    }
    if (f)
        fclose(f);
    return frames.size() == chosen.size();
}

inline bool updating()
{
    const char* v = getenv("QH_UPDATE_FRAMES");
    return v && *v && *v != '0';
}

// Captures on one drawing path and compares (or, updating, rewrites) the
// hashes of the chosen frames.
inline void checkFrames(const char* prefix, const std::string& args, const std::vector<int>& chosen, bool plainPath)
{
    const char* path = plainPath ? "plain" : "mmx";
    std::vector<Frame> frames;
    std::string why;
    ASSERT_TRUE(captureFrames(args, plainPath, chosen, frames, why)) << why;
    std::map<std::string, uint64_t> hashes = readHashes();
    for (size_t i = 0; i < frames.size(); i++) {
        std::string key = std::to_string(chosen[i]) + " " + path;
        uint64_t hash = hashOf(frames[i]);
        if (updating()) {
            hashes[key] = hash;
            EXPECT_TRUE(writePng(pngName(prefix, chosen[i], path, ""), frames[i]));
            continue;
        }
        ASSERT_TRUE(hashes.count(key)) << "no hash for frame " << key << " in " QH_FRAMES_FILE;
        if (hash == hashes[key])
            continue;
        std::string seen = pngName(prefix, chosen[i], path, "-seen");
        writePng(seen, frames[i]);
        ADD_FAILURE() << "frame " << key << " differs from its reference; the frame seen is in " << seen
                      << " (the expected one in " << pngName(prefix, chosen[i], path, "")
                      << " once the references were written in this build)";
    }
    if (updating()) {
        EXPECT_TRUE(writeHashes(chosen, hashes)) << QH_FRAMES_FILE;
    }
}

// Whether this machine draws on the MMX path at all.
inline bool haveMmxPath() { return x2dSpriteHasMMXPath() && x2dDetectMMX(); }

} // namespace showframes
