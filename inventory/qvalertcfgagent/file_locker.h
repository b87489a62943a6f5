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
    // The lock file is created when missing; it is never the file being replaced, so a rename
    // over the destination file cannot drop the lock.
    explicit FileLocker(const std::string& _filename);
    ~FileLocker();
    FileLocker(const FileLocker&) = delete;
    FileLocker& operator=(const FileLocker&) = delete;

    bool lock();     // throws LockError
    bool unlock();   // throws LockError

private:
    std::string filename;
    bool locked = false;
    int filedesc = -1;
    struct flock lockinfo {};
};
