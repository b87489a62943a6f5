// Memory running out inside a registry write: the call ends with a status, never with an
// exception (which would abort a caller of the platform library with another C++ runtime, or
// none), and leaves the registry whole, unlocked and without a temporary file.
#include "failing_allocations.h"
#include "registry.h"
#include "temp_root.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>

namespace {

std::string get(const char* fullKey)
{
    char value[32] = "";
    return GetRegData(fullKey, value, sizeof value - 1) == 0 ? value : "(unreadable)";
}

TEST(RegistryAllocationFailure, WritesEndWithAStatusAndLeaveTheRegistryWhole)
{
    qv::test::TempRoot root;
    ASSERT_EQ(SetRegData("SOFTWARE\\Test=Changed", "first", 6), 0u);
    ASSERT_EQ(SetRegData("SOFTWARE\\Test=Kept", "other", 6), 0u);
    const std::vector<unsigned> results =
        qv::test::resultsWhenAllocationsFail([] { return SetRegData("SOFTWARE\\Test=Changed", "second", 7); });
    EXPECT_FALSE(results.empty());
    for (unsigned result : results)
        EXPECT_TRUE(result == 0 || result == ERR_RESOURCE_UNAVAILABLE || result == ENOMEM) << std::hex << result;

    EXPECT_EQ(get("SOFTWARE\\Test=Changed"), "second");
    EXPECT_EQ(get("SOFTWARE\\Test=Kept"), "other");
    EXPECT_EQ(qv::test::openFilesBelow(root.path()), 0);
    for (const auto& file : std::filesystem::directory_iterator(root.at("/var/qvserver")))
        EXPECT_EQ(file.path().filename().string().find(".TMP"), std::string::npos) << file.path();
    // The lock was given back: a writer gets it at once.
    EXPECT_EQ(SetRegData("SOFTWARE\\Test=Changed", "third", 6), 0u);
    EXPECT_EQ(get("SOFTWARE\\Test=Changed"), "third");
}

} // namespace
