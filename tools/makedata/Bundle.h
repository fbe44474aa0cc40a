// The archive being built: every entry with its bytes, what it is, its
// format and size, and a preview for the contact sheet.
#pragma once
#include <string>
#include <vector>

#include "tools/makedata/Encode.h"

namespace qhd {

struct Entry {
    std::string name;
    std::string what;   // in the words of the effect that uses it
    std::string format; // e.g. "TGA 24-bit"
    int w = 0, h = 0;
    int frames = 0;     // animations only
    int cell = 0;       // stacked strips: height of one picture of the strip
    Bytes bytes;
    Canvas preview;     // empty for entries that are not pictures
    bool disk = false;  // a file beside the archive (its name holds the folder)
};

class Bundle {
public:
    void Jpeg(const std::string& name, const std::string& what, const Canvas& c, int quality = 92);
    void Tga24(const std::string& name, const std::string& what, const Canvas& c);
    void Tga32(const std::string& name, const std::string& what, const Canvas& c, const Mask& alpha);
    // A weight mask (alpha channel or alpha layer) as an 8-bit GIF.
    void GifMask(const std::string& name, const std::string& what, const Mask& m);
    // A picture reduced to 256 colours.
    void GifPicture(const std::string& name, const std::string& what, const Canvas& c);
    void GifIndexed(const std::string& name, const std::string& what, const Indexed& img);
    void Xvd(const std::string& name, const std::string& what, const std::vector<Canvas>& frames);
    void Pcx24(const std::string& name, const std::string& what, const Canvas& c);
    void Raw(const std::string& name, const std::string& what, const std::string& format, Bytes bytes);
    // Marks the last entry as a file written beside the archive instead of
    // into it (the 3D scenes read their textures from disk).
    void OnDisk() { entries.back().disk = true; }

    const Entry* Find(const std::string& name) const;
    // The contact sheet shows the last entry through its alpha channel,
    // over a checkerboard.
    void PreviewAlpha(const Mask& alpha);
    // Marks the last entry as a strip of pictures `cellHeight` rows each.
    void Strip(int cellHeight) { entries.back().cell = cellHeight; }

    std::vector<Entry> entries;

private:
    Entry& Add(const std::string& name, const std::string& what, const std::string& format, int w, int h);
};

// A standard ZIP with deflated entries, in the order given, with one fixed
// time stamp, so the same entries always give the same bytes.
// Disk files are left out.
void WriteArchive(const std::string& path, const Bundle& b);
// The entries marked as disk files, under the folder (their names may hold
// sub-folders, which are made).
void WriteDiskFiles(const std::string& folder, const Bundle& b);
// One line per entry: name, what it is, format, size in pixels, bytes.
std::string Manifest(const Bundle& b);
// Every picture with its name and size on one sheet; with a list of names,
// only those entries (for looking at one effect's pictures closely).
Canvas ContactSheet(const Bundle& b, const std::vector<std::string>& only = {});

} // namespace qhd
