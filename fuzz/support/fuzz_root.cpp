#include "fuzz_root.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace qv::fuzz {

namespace {

// Plain storage: the exit handler runs after static strings are gone.
char g_root[4096];

std::string makeRoot()
{
    const char* base = std::getenv("TMPDIR");
    if (base == nullptr || *base == '\0') base = "/tmp";
    const int n = std::snprintf(g_root, sizeof g_root, "%s/qvfuzz.XXXXXX", base);
    if (n < 0 || size_t(n) >= sizeof g_root || !mkdtemp(g_root)) std::abort();
    setenv("QV_ROOT", g_root, 1);
    setenv("QV_LOG_FILE", (std::string(g_root) + "/fuzz.log").c_str(), 1);
    std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(g_root, ignored);
    });
    return g_root;
}

} // namespace

const std::string& privateRoot()
{
    static const std::string root = makeRoot();
    return root;
}

void writeRootFile(const std::string& path, const void* data, size_t size)
{
    const std::filesystem::path full = privateRoot() + path;
    std::filesystem::create_directories(full.parent_path());
    std::ofstream out(full, std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char*>(data), std::streamsize(size));
    if (!out) std::abort();
}

void removeRootFile(const std::string& path)
{
    std::error_code ignored;
    std::filesystem::remove(privateRoot() + path, ignored);
}

void makeRootDirectory(const std::string& path)
{
    std::filesystem::create_directories(privateRoot() + path);
}

std::string_view InputCursor::until(char separator)
{
    const char* start = reinterpret_cast<const char*>(data_) + pos_;
    const void* hit = std::memchr(start, separator, remaining());
    if (!hit) return rest();
    const size_t length = size_t(static_cast<const char*>(hit) - start);
    pos_ += length + 1;
    return {start, length};
}

std::string_view InputCursor::take(size_t count)
{
    if (count > remaining()) count = remaining();
    std::string_view piece(reinterpret_cast<const char*>(data_) + pos_, count);
    pos_ += count;
    return piece;
}

} // namespace qv::fuzz
