#include "qvbmc_semaphore.h"
#include "ipmexception.h"
#include "temp_root.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

namespace {

char* name(const char* text) { return const_cast<char*>(text); }

TEST(QvbmcSemaphore, LockFileIsPrivateAndCountedWithinTheProcess)
{
    qv::test::TempRoot root;
    std::filesystem::create_directories(root.path() + "/var/qvserver");
    void* first = nullptr;
    void* second = nullptr;
    ASSERT_EQ(AcquireSemaphore(name("qvbmc_interprocess_semaphore"), &first, 0), 0u);
    ASSERT_EQ(AcquireSemaphore(name("qvbmc_interprocess_semaphore"), &second, 0), 0u);
    struct stat st{};
    ASSERT_EQ(stat((root.path() + "/var/qvserver/qvbmc_interprocess_semaphore").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(ReleaseSemaphore(second), 0u);
    EXPECT_EQ(ReleaseSemaphore(first), 0u);
    EXPECT_EQ(ReleaseSemaphore(nullptr), IPMAPI_ERROR_BAD_ARGUMENT);
}

TEST(QvbmcSemaphore, HeldByAnotherProcessTimesOut)
{
    qv::test::TempRoot root;
    std::filesystem::create_directories(root.path() + "/var/qvserver");
    void* handle = nullptr;
    ASSERT_EQ(AcquireSemaphore(name("qvbmc_sendreceivemessage_semaphore"), &handle, 0), 0u);
    pid_t child = fork();
    if (child == 0) {
        void* other = nullptr;
        unsigned rc = AcquireSemaphore(name("qvbmc_sendreceivemessage_semaphore"), &other, 25);
        _exit(rc == IPMAPI_ERROR_SEMAPHORE_TIMEOUT ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(ReleaseSemaphore(handle), 0u);
}

TEST(QvbmcSemaphore, BadArgumentsAreRefused)
{
    qv::test::TempRoot root;
    void* handle = nullptr;
    EXPECT_EQ(AcquireSemaphore(nullptr, &handle, 0), IPMAPI_ERROR_BAD_ARGUMENT);
    EXPECT_EQ(AcquireSemaphore(name("x"), nullptr, 0), IPMAPI_ERROR_BAD_ARGUMENT);
    EXPECT_EQ(AcquireSemaphore(name("../escape"), &handle, 0), IPMAPI_ERROR_BAD_ARGUMENT);
}

} // namespace
