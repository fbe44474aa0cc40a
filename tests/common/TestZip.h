// Writes small ZIP archives for tests: stored or deflated entries.
#pragma once
#include <string>
#include <vector>

struct TestZipEntry {
    std::string name;
    std::string data;
    bool deflate = true;
};

// Writes the archive to a file; returns false when minizip refuses.
bool writeTestZip(const std::string& path, const std::vector<TestZipEntry>& entries);
// Every entry of an archive, in stored order; empty when it cannot be read.
std::vector<TestZipEntry> readTestZip(const std::string& path);
std::string readWholeFile(const std::string& path);
// The bytes of an archive of the entries, written in a scratch folder that
// is gone again on return; empty when minizip refuses.
std::string testZipBytes(const std::vector<TestZipEntry>& entries);
// The named entries of an archive, in the order asked; one the archive
// lacks has no data.
std::vector<TestZipEntry> pickTestZipEntries(const std::string& path, const std::vector<std::string>& names);
// A fresh empty folder under the test's working directory.
std::string makeTempDir(const std::string& tag);
