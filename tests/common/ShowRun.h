// The program run on the show's own data in a scratch folder (see
// ShowFolder.h). The build of the including test passes QH_PROGRAM and
// QH_DEMO_PAK.
#pragma once
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <poll.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "tests/common/Scratch.h"
#include "tests/common/ShowFolder.h"

struct ShowRun {
    int status; // -1 when the program did not exit by itself
    std::string err;
};

// Runs the program with args in folder; env goes before it on the command
// line (variables, or a wrapper such as timeout). Its stderr is kept.
inline ShowRun runShow(const std::string& folder, const std::string& args, const std::string& env = "")
{
    std::string cmd = "cd '" + folder + "' && " + env + " '" QH_PROGRAM "' " + args + " 2>stderr.txt";
    int status = system(cmd.c_str());
    return ShowRun{WIFEXITED(status) ? WEXITSTATUS(status) : -1, readWholeFile(folder + "/stderr.txt")};
}

// Runs the program in folder with args plus "-capture show.rgb", the capture
// going into a pipe of that name read as the program writes it: each whole
// frame (640 x 480 pixels of 4 bytes B, G, R, 255) goes to frame(k, pixels)
// and is dropped, so a long capture never fills the disk. env goes before
// the program as for runShow; its stderr is kept. frames counts the whole
// frames read, and a trailing part frame makes status -1 too.
struct PipedShow {
    int status; // -1 when the program did not exit by itself or the pipe failed
    std::string err;
    int frames;
};

inline PipedShow captureThroughPipe(const std::string& folder, const std::string& args, const std::string& env,
                                    const std::function<void(int k, const uint8_t* pixels)>& frame)
{
    const size_t frameBytes = (size_t)640 * 480 * 4;
    const std::string fifo = folder + "/show.rgb";
    PipedShow out{-1, "", 0};
    if (folder.empty() || mkfifo(fifo.c_str(), 0600) != 0) {
        out.err = "no pipe for the capture in " + folder;
        return out;
    }
    const std::string command = "cd '" + folder + "' && exec " + env + " '" QH_PROGRAM "' " + args +
                                " -capture show.rgb > stderr.txt 2>&1";
    // Read and write: never blocks, and the pipe is never left without a
    // reader while the program writes.
    int fd = open(fifo.c_str(), O_RDWR);
    pid_t child = fd < 0 ? -1 : fork();
    if (child == 0) {
        execl("/bin/sh", "sh", "-c", command.c_str(), (char*)nullptr);
        _exit(127);
    }
    int status = -1;
    bool exited = child < 0;
    std::vector<uint8_t> chunk(1 << 16), current;
    current.reserve(frameBytes);
    while (!exited) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 100) > 0 && (p.revents & POLLIN)) {
            ssize_t n = read(fd, chunk.data(), chunk.size());
            for (ssize_t i = 0; i < n;) {
                const size_t take = std::min(frameBytes - current.size(), (size_t)(n - i));
                current.insert(current.end(), chunk.begin() + i, chunk.begin() + i + (ptrdiff_t)take);
                if (current.size() == frameBytes) {
                    frame(out.frames++, current.data());
                    current.clear();
                }
                i += (ssize_t)take;
            }
            continue;
        }
        // Nothing to read: done once the program has ended.
        exited = waitpid(child, &status, WNOHANG) == child;
    }
    if (fd >= 0)
        close(fd);
    out.err = readWholeFile(folder + "/stderr.txt");
    if (child > 0 && WIFEXITED(status) && current.empty())
        out.status = WEXITSTATUS(status);
    return out;
}
