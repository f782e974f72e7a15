// Paths that every file entry must refuse unread and at once: a folder, a device that never
// ends, a pipe without a writer and a sparse file one byte over the text-length limit.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "Isolated.h"

namespace test
{
class RefusedFiles
{
public:
    // One byte over the longest text a loader takes.
    static constexpr std::uintmax_t cOversize = 0x0FFFFFFFu + 1u;

    RefusedFiles() : _folder(::testing::TempDir() + "eqnkit_refused_" + std::to_string(::getpid()))
    {
        std::filesystem::remove_all(_folder);
        std::filesystem::create_directories(_folder + "/folder");
        _paths.push_back(_folder + "/folder");
        _paths.push_back("/dev/zero");
        const std::string fifo = _folder + "/fifo";
        if (::mkfifo(fifo.c_str(), 0600) == 0)
            _paths.push_back(fifo);
        const std::string sparse = _folder + "/oversized.txt";
        {
            std::ofstream(sparse, std::ios::binary) << "Header:\nend\n";
        }
        std::filesystem::resize_file(sparse, cOversize);
        _paths.push_back(sparse);
    }
    ~RefusedFiles()
    {
        std::error_code ec;
        std::filesystem::remove_all(_folder, ec);
    }
    RefusedFiles(const RefusedFiles&) = delete;
    RefusedFiles& operator=(const RefusedFiles&) = delete;

    // All four kinds (the pipe only where one could be made; hasFifo says).
    const std::vector<std::string>& paths() const { return _paths; }
    bool hasFifo() const { return _paths.size() == 4; }

    // Runs outcome(path) for every path in a child, so that a blocking open or an endless
    // read ends in a time-out, and checks that the child ended cleanly within a second.
    // The outcomes, a line a path.
    template <typename Outcome> std::string outcomes(Outcome outcome) const
    {
        const auto start = std::chrono::steady_clock::now();
        const IsolatedOutcome run = runIsolated(
            [&](int notes) {
                for (const std::string& path : _paths)
                    isolatedNote(notes, outcome(path));
                return 0;
            },
            5.0);
        EXPECT_TRUE(run.clean()) << run.describe();
        EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 1.0);
        return run.notes;
    }

private:
    std::string _folder;
    std::vector<std::string> _paths;
};
} // namespace test
