// A scratch file's path of this test process: ctest runs the cases of a typed test (and
// tests of other programs) at once, each in a process of its own, so a fixed name is shared.
#pragma once

#include <string>

#include <gtest/gtest.h>
#include <unistd.h>

namespace test
{
inline std::string scratchPath(const std::string& name)
{
    return ::testing::TempDir() + "eqnkit_" + std::to_string(::getpid()) + "_" + name;
}
} // namespace test
