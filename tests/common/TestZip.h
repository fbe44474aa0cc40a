// Writes small ZIP archives for tests: stored or deflated entries.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "tests/common/Scratch.h"

struct TestZipEntry {
    std::string name;
    std::string data;
    bool deflate = true;
};

// Writes the archive to a file; returns false when minizip refuses.
bool writeTestZip(const std::string& path, const std::vector<TestZipEntry>& entries);
// Every entry of an archive, in stored order; empty when it cannot be read.
std::vector<TestZipEntry> readTestZip(const std::string& path);
// A copy of the entries with the named one's data replaced by bytes.
std::vector<TestZipEntry> replacedEntry(std::vector<TestZipEntry> entries, const std::string& name,
                                        const std::vector<uint8_t>& bytes);
