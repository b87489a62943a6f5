// Whole-file replacement that never shows a reader a missing or cut file: the new contents are
// written to a unique temporary file beside the target, synced, and renamed over it; the
// directory is synced so the rename survives a crash.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace qv {

// A unique temporary file "PATH.tmp.XXXXXX" beside `path` (mkstemp, close-on-exec). Returns the
// descriptor and stores its name in `tempPath`, or -1 with errno. The descriptor holds a lock
// that marks the file as in use: keep it open until the file is renamed or removed, since a
// rewrite of `path` removes the temporaries nobody holds (those of writers that were killed).
int createTempBeside(const std::string& path, std::string& tempPath);

// Makes the synced temporary file `tempPath` the new `path` by one rename. With a backup name,
// the previous file becomes the backup first (a hard link renamed over the old backup, so a
// backup exists at every moment). The temporary file is removed on failure. Returns 0 or an errno.
int commitTempFile(const std::string& tempPath, const std::string& path,
                   const std::string& backupPath = {});

// Replaces `path` by `contents`. The mode is `mode` when given, else that of the file replaced
// (never world-writable), else 0644. Returns 0 or an errno; the target is untouched on failure.
// Temporaries of `path` and of the backup left by writers that were killed are removed.
int replaceFileContents(const std::string& path, std::string_view contents,
                        std::optional<mode_t> mode = {}, const std::string& backupPath = {});

// The whole contents of `path`, or nothing with errno set when it cannot be opened or read. Read
// with read(2): a stream reads a directory, or a file the disk fails on, as an empty text.
std::optional<std::string> readFileContents(const std::string& path);

// Removes the files of a directory whose names start with the last component of `pathPrefix`
// (temporaries a killed writer left behind). Call it while holding the writers' lock.
void removeFilesStartingWith(const std::string& pathPrefix);

// fsync of the directory holding `path`, so a rename in it is durable.
void syncParentDirectory(const std::string& path);

} // namespace qv
