// Every shared library that `cmake --install` ships loads into a plain C host, all of them in one
// process: those with a private C++ runtime beside those that share the system's.
#include <gtest/gtest.h>

#include "temp_root.h"

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

TEST(InstalledLibraries, LoadIntoAPlainCHostTogether)
{
    if (std::getenv("QV_INSTALLED_BUILD") == nullptr)
        GTEST_SKIP() << "needs the staged installation that scripts/test makes (QV_INSTALLED_BUILD)";
    qv::test::TempRoot root;
    std::vector<std::string> libraries;
    for (const auto& entry : std::filesystem::directory_iterator(qv::test::installedPath("mgmtctl/libqvbmc")))
        if (entry.path().extension() == ".so") libraries.push_back(entry.path().string());
    ASSERT_GE(libraries.size(), 12u);
    const auto result = qv::test::runProgram(qv::test::buildPath("tests/suite/library_host"), libraries);
    EXPECT_EQ(result.exitCode, 0) << result.err;
}

} // namespace
