// A write lock on a file held for one trap destination change, taken without waiting.
#pragma once

#include <fcntl.h>
#include <string>

class Error {
public:
    explicit Error(std::string message) : msg(std::move(message)) {}
    virtual ~Error() = default;
    std::string getErrorMessage() const { return msg; }

private:
    std::string msg;
};

class LockError : public Error {
public:
    using Error::Error;
};

class FileLocker {
public:
    // `_filename` is the file guarded; it must exist and open read-write. The lock itself is
    // taken on `lockPath` when one is given (created when missing): a file that is replaced by
    // a rename cannot carry a lock that the next writer would see.
    explicit FileLocker(const std::string& _filename, const std::string& lockPath = {});
    ~FileLocker();
    FileLocker(const FileLocker&) = delete;
    FileLocker& operator=(const FileLocker&) = delete;

    bool lock();     // throws LockError
    bool unlock();   // throws LockError

private:
    std::string filename;
    std::string lockname;
    bool locked = false;
    int filedesc = -1;
    int lockdesc = -1;   // filedesc, or the separate lock file's descriptor
    struct flock lockinfo {};
};
