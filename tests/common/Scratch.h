// Scratch files of the tests, benches and seed writers: one folder under
// TMPDIR (or /tmp) per test, made on first use and removed with everything in
// it when the test ends (the test main sees to that), or when the program
// ends for one made outside a test.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// The running test's folder.
std::string scratchDir();
// A path in it.
std::string scratchFile(const std::string& name);
// A new folder in it, for runs that must not share their files.
std::string scratchFolder(const std::string& name);
// Removes the folder now; the next scratchDir() makes a new one.
void scratchEnd();
bool scratchMade();

// Writes the bytes to a new file; false when it cannot.
bool writeFile(const std::string& path, const void* data, size_t size);
inline bool writeFile(const std::string& path, const std::string& bytes)
{
    return writeFile(path, bytes.data(), bytes.size());
}
inline bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes)
{
    return writeFile(path, bytes.data(), bytes.size());
}
// The whole file; empty when it cannot be read.
std::string readWholeFile(const std::string& path);

// A shell command run to its end: its exit status (-1 when it did not exit
// by itself or could not start) and its standard output.
struct CommandRun {
    int status;
    std::string out;
};
CommandRun runCommand(const std::string& command);

// For the fuzz seed writers: root/target, made when missing; and one seed
// written into it. A seed that cannot be written ends the program with a
// message and status 1.
std::string seedFolder(const std::string& root, const std::string& target);
void writeSeed(const std::string& root, const std::string& target, const std::string& name,
               const std::vector<uint8_t>& bytes);
