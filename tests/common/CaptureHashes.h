// Chosen frames of the show captured losslessly on its virtual clock, kept as
// one hash per frame and drawing path in a text file (the MMX path rounds
// some blends differently by one step, so each has its own).
//
// A frame that differs is written as NAME-NN-PATH-seen.png in the test's
// folder of the build, beside NAME-NN-PATH.png, the expected frame, when the
// last rewrite of the references in that build wrote it. QH_UPDATE_FRAMES=1
// rewrites the hashes and writes every frame as a PNG to look at: for a
// change of the picture that is meant, or new data. The build of the
// including test passes QH_PROGRAM and QH_DEMO_PAK and links libpng.
#pragma once
#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include <png.h>

#include "tests/common/ShowRun.h"

struct CaptureWindow {
    const char* name;       // of the PNGs
    const char* args;       // -start, -end and -fps of the capture into show.rgb
    std::vector<int> frames; // indices of the capture's frames
    const char* hashFile;
};

namespace capturehashes {

const int W = 640, H = 480;
typedef std::vector<uint8_t> Frame; // W x H pixels of B, G, R, 255

inline uint64_t hashOf(const Frame& f) // FNV-1a
{
    uint64_t h = 14695981039346656037ull;
    for (uint8_t b : f)
        h = (h ^ b) * 1099511628211ull;
    return h;
}

inline std::string pngName(const CaptureWindow& w, int frame, const char* path, const char* tail)
{
    char name[96];
    snprintf(name, sizeof name, "%s-%02d-%s%s.png", w.name, frame, path, tail);
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

// "frame path" -> hash, as kept in the window's file.
inline std::map<std::string, uint64_t> readHashes(const CaptureWindow& w)
{
    std::map<std::string, uint64_t> hashes;
    FILE* f = fopen(w.hashFile, "r");
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

inline bool writeHashes(const CaptureWindow& w, const std::map<std::string, uint64_t>& hashes)
{
    std::string text = "# frame, drawing path, FNV-1a hash of its 640 x 480 x 4 bytes B, G, R, 255\n";
    for (int k : w.frames)
        for (const char* path : {"plain", "mmx"}) {
            auto it = hashes.find(std::to_string(k) + " " + path);
            char line[64];
            if (it != hashes.end() && snprintf(line, sizeof line, "%d %s %016" PRIx64 "\n", k, path, it->second))
                text += line;
        }
    return writeFile(w.hashFile, text);
}

// Runs the show into a raw capture and keeps the chosen frames.
inline bool capture(const CaptureWindow& w, bool plainPath, std::vector<Frame>& frames, std::string& why)
{
    std::string folder = showFolder(plainPath ? "plain" : "mmx");
    ShowRun run = runShow(folder, std::string(w.args) + " -capture show.rgb",
                          plainPath ? "QH_NO_MMX=1" : "env -u QH_NO_MMX");
    if (run.status != 0) {
        why = "the capture failed: " + run.err;
        return false;
    }
    FILE* f = fopen((folder + "/show.rgb").c_str(), "rb");
    for (int k : w.frames) {
        Frame frame((size_t)W * H * 4);
        if (!f || fseek(f, (long)k * W * H * 4, SEEK_SET) != 0 || fread(frame.data(), 1, frame.size(), f) != frame.size()) {
            why = "the capture has no frame " + std::to_string(k);
            break;
        }
        frames.push_back(frame);
    }
    if (f)
        fclose(f);
    return frames.size() == w.frames.size();
}

inline bool updating()
{
    const char* v = getenv("QH_UPDATE_FRAMES");
    return v && *v && *v != '0';
}

} // namespace capturehashes

// Compares the window's frames on one drawing path with their hashes, or
// rewrites them (QH_UPDATE_FRAMES=1).
inline void checkCaptureWindow(const CaptureWindow& w, bool plainPath)
{
    using namespace capturehashes;
    const char* path = plainPath ? "plain" : "mmx";
    std::vector<Frame> frames;
    std::string why;
    ASSERT_TRUE(capture(w, plainPath, frames, why)) << why;
    std::map<std::string, uint64_t> hashes = readHashes(w);
    for (size_t i = 0; i < frames.size(); i++) {
        std::string key = std::to_string(w.frames[i]) + " " + path;
        uint64_t hash = hashOf(frames[i]);
        if (updating()) {
            hashes[key] = hash;
            EXPECT_TRUE(writePng(pngName(w, w.frames[i], path, ""), frames[i]));
            continue;
        }
        ASSERT_TRUE(hashes.count(key)) << "no hash for frame " << key << " in " << w.hashFile;
        if (hash == hashes[key])
            continue;
        std::string seen = pngName(w, w.frames[i], path, "-seen");
        writePng(seen, frames[i]);
        ADD_FAILURE() << "frame " << key << " differs from its reference; the frame seen is in " << seen
                      << " (the expected one in " << pngName(w, w.frames[i], path, "")
                      << " once the references were written in this build)";
    }
    if (updating()) {
        EXPECT_TRUE(writeHashes(w, hashes)) << w.hashFile;
    }
}
