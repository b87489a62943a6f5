// The soft log as a file: whole lines only for readers, one write per line for writers.
#include "eventlog_internal.h"
#include "owned_handles.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string_view>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qv::eventlog {

namespace {
constexpr mode_t kSoftLogMode = 0644;
constexpr off_t kTailChunk = 8192;

struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};

// What a call cut short by a failed allocation must still give back.
struct LineBuffer {
    char* data = nullptr;
    size_t capacity = 0;
    ~LineBuffer() { std::free(data); }
};
} // namespace

bool forEachSoftLogLineFrom(const std::string& path, const SoftLogPlace* from,
                            const std::function<bool(const std::string&, const SoftLogPlace&)>& visit)
{
    FILE* raw = std::fopen(path.c_str(), "re");
    if (raw == nullptr) return false;
    std::unique_ptr<FILE, FileCloser> file(raw);
    struct stat st {};
    if (::fstat(::fileno(file.get()), &st) != 0) return true;
    LineBuffer owned;
    char*& buffer = owned.data;
    size_t& capacity = owned.capacity;
    SoftLogPlace place;
    place.valid = true;
    place.device = st.st_dev;
    place.inode = st.st_ino;
    place.size = st.st_size;
    ssize_t n = ::getline(&buffer, &capacity, file.get());
    if (n > 0 && buffer[n - 1] == '\n') place.firstLine.assign(buffer, static_cast<size_t>(n - 1));
    char before = 0;
    const bool resume = from != nullptr && from->valid && from->device == place.device &&
                        from->inode == place.inode && from->size <= place.size && from->offset > 0 &&
                        from->offset <= place.size && from->firstLine == place.firstLine &&
                        !place.firstLine.empty() &&
                        ::pread(::fileno(file.get()), &before, 1, from->offset - 1) == 1 && before == '\n';
    if (resume && ::fseeko(file.get(), from->offset, SEEK_SET) == 0) {
        // The line kept must stand where it stood: otherwise the log was rewritten in place.
        n = ::getline(&buffer, &capacity, file.get());
        if (n > 0 && buffer[n - 1] == '\n' && std::string_view(buffer, static_cast<size_t>(n - 1)) == from->line) {
            place.offset = from->offset;
            place.index = from->index;
        }
    }
    if (::fseeko(file.get(), place.offset, SEEK_SET) == 0) {
        while ((n = ::getline(&buffer, &capacity, file.get())) > 0) {
            if (buffer[n - 1] != '\n') break;   // still being written
            if (!visit(std::string(buffer, static_cast<size_t>(n - 1)), place)) break;
            place.offset += n;
            ++place.index;
        }
    }
    return true;
}

bool forEachSoftLogLine(const std::string& path, const std::function<bool(const std::string&)>& visit)
{
    return forEachSoftLogLineFrom(path, nullptr, [&](const std::string& line, const SoftLogPlace&) {
        return visit(line);
    });
}

bool lastRecordLine(const std::string& path, std::string& line)
{
    // The tail usually holds the last line; a damaged or odd end falls back to a full scan.
    const qv::OwnedDescriptor file{::open(path.c_str(), O_RDONLY | O_CLOEXEC)};
    const int fd = file.fd;
    if (fd < 0) return false;
    struct stat st {};
    std::string tail;
    if (::fstat(fd, &st) == 0 && st.st_size > 0) {
        const off_t start = st.st_size > kTailChunk ? st.st_size - kTailChunk : 0;
        tail.resize(static_cast<size_t>(st.st_size - start));
        const ssize_t got = ::pread(fd, tail.data(), tail.size(), start);
        tail.resize(got > 0 ? static_cast<size_t>(got) : 0);
        const size_t end = tail.rfind('\n');
        if (end != std::string::npos) {
            const size_t previous = end == 0 ? std::string::npos : tail.rfind('\n', end - 1);
            if (previous != std::string::npos || start == 0) {
                const size_t begin = previous == std::string::npos ? 0 : previous + 1;
                std::string candidate = tail.substr(begin, end - begin);
                if (parseRecordId(candidate)) {
                    line = std::move(candidate);
                    return true;
                }
            }
        }
    }
    bool found = false;
    forEachSoftLogLine(path, [&](const std::string& l) {
        if (parseRecordId(l)) {
            line = l;
            found = true;
        }
        return true;
    });
    return found;
}

bool ReadNthSoftEvent(int n, std::string& line)
{
    // Callers walk the log by position: each call goes on from the line the last one found.
    thread_local SoftLogPlace lastFound;
    const SoftLogPlace* from = n != QVEL_NO_RECORD && lastFound.valid && n >= lastFound.index ? &lastFound : nullptr;
    bool found = false;
    forEachSoftLogLineFrom(softLogPath(), from, [&](const std::string& l, const SoftLogPlace& place) {
        if (n == QVEL_NO_RECORD) {
            line = l;
            found = true;
            return true;
        }
        if (place.index == n) {
            line = l;
            found = true;
            lastFound = place;
            lastFound.line = l;
            return false;
        }
        return true;
    });
    return found;
}

int appendSoftLogLine(const std::string& path, const std::string& line)
{
    std::string text;
    text.reserve(line.size() + 1);   // no allocation, and so no failure, while the file is open
    const int fd = ::open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, kSoftLogMode);
    if (fd < 0) return errno;
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int error = errno;
        ::close(fd);
        return error;
    }
    char last = '\n';
    if (st.st_size > 0 && ::pread(fd, &last, 1, st.st_size - 1) != 1) last = '\n';
    // A line cut by a crash must not swallow this one.
    if (last != '\n') text += '\n';
    text += line;
    const ssize_t written = ::write(fd, text.data(), text.size());
    int error = 0;
    if (written != static_cast<ssize_t>(text.size())) {
        error = written < 0 ? errno : ENOSPC;
        if (::ftruncate(fd, st.st_size) != 0) { /* the reader ignores an unfinished line */ }
    }
    if (::close(fd) != 0 && error == 0) error = errno;
    return error;
}

bool appendRecord(const Sel& record, char* addString)
{
    cutAddString(addString);
    return appendSoftLogLine(softLogPath(), formatRecordLine(record, addString)) == 0;
}

} // namespace qv::eventlog
