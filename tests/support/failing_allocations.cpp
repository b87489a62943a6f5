#include "failing_allocations.h"

#include <cstdlib>
#include <filesystem>
#include <new>

namespace {

// Per thread: the simulator's threads never see a refusal meant for the test.
thread_local bool tArmed = false;
thread_local unsigned long tSpared = 0;
thread_local bool tRefused = false;

bool refuseThisOne()
{
    if (!tArmed) return false;
    if (tSpared > 0) {
        --tSpared;
        return false;
    }
    tRefused = true;
    return true;
}

void* allocate(std::size_t size)
{
    if (refuseThisOne()) throw std::bad_alloc();
    void* p = std::malloc(size == 0 ? 1 : size);
    if (p == nullptr) throw std::bad_alloc();
    return p;
}

void* allocateOrNull(std::size_t size) noexcept
{
    if (refuseThisOne()) return nullptr;
    return std::malloc(size == 0 ? 1 : size);
}

} // namespace

namespace qv::test {

FailingAllocations::FailingAllocations(unsigned long spared)
{
    tSpared = spared;
    tRefused = false;
    tArmed = true;
}

FailingAllocations::~FailingAllocations() { tArmed = false; }

bool FailingAllocations::refused() const { return tRefused; }

int openFilesBelow(const std::string& directory)
{
    int count = 0;
    for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        const auto target = std::filesystem::read_symlink(fd.path(), error);
        if (!error && target.string().rfind(directory + "/", 0) == 0) ++count;
    }
    return count;
}

} // namespace qv::test

void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return allocateOrNull(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return allocateOrNull(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
