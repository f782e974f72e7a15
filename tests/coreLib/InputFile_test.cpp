#include <mu/InputFile.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "support/RefusedFiles.h"

namespace
{
std::string contents(std::ifstream& in)
{
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(InputFile, RegularFilesWithinTheLimitOpen)
{
    const std::string folder = ::testing::TempDir() + "eqnkit_input_" + std::to_string(::getpid());
    std::filesystem::create_directories(folder);
    const std::string path = folder + "/ten.txt", link = folder + "/link.txt";
    std::ofstream(path, std::ios::binary) << "0123\r\n6789";
    std::filesystem::create_symlink(path, link);
    {
        std::ifstream in;
        ASSERT_TRUE(mu::openInputFile(in, path.c_str()));
        EXPECT_EQ(contents(in), "0123\r\n6789");
    }
    {
        std::ifstream in;
        ASSERT_TRUE(mu::openInputFile(in, link.c_str(), 10));
        EXPECT_EQ(contents(in), "0123\r\n6789");
    }
    // One byte over the limit, a missing file and an empty path.
    std::ifstream in;
    EXPECT_FALSE(mu::openInputFile(in, path.c_str(), 9));
    EXPECT_FALSE(mu::openInputFile(in, (folder + "/none.txt").c_str()));
    EXPECT_FALSE(mu::openInputFile(in, ""));
    EXPECT_FALSE(mu::openInputFile(in, nullptr));
    EXPECT_FALSE(in.is_open());
    std::filesystem::remove_all(folder);
}

TEST(InputFile, FoldersDevicesPipesAndOversizedFilesAreRefusedUnread)
{
    test::RefusedFiles refused;
    EXPECT_TRUE(refused.hasFifo());
    const std::string outcomes = refused.outcomes([](const std::string& path) {
        std::ifstream in;
        const bool opened = mu::openInputFile(in, path.c_str());
        return path + (opened || in.is_open() ? " opened" : " refused");
    });
    for (const std::string& path : refused.paths())
        EXPECT_NE(outcomes.find(path + " refused\n"), std::string::npos) << outcomes;
}
} // namespace
