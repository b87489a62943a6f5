// Reading and rewriting the programs' own INI files ([section] lines and key=value lines).
// Paths are used as given: callers resolve fixed paths with qv::sandboxPath() first.
// No locking: programs that share a file take a lock-file semaphore around these calls.
#pragma once

#include <string>
#include <utility>
#include <vector>

int GetPrivateProfileString(const char* lpszSection, const char* lpszEntry,
                            const char* lpszDefault, char* lpszReturnBuffer, int cbReturnBuffer,
                            const char* lpszFilename);

int GetPrivateProfileInt(const char* lpszSection, const char* lpszEntry, int iDefault,
                         const char* lpszFilename);

// 1 when the file now holds the value; 0 on a NULL argument or any file error. The file is
// replaced whole through a temporary file, so readers never see a partly written one.
int WritePrivateProfileString(const char* lpszSection, const char* lpszEntry,
                              const char* lpszString, const char* lpszFilename);

// Several entries of one section in one replacement of the file: a reader sees all of them
// changed or none. Same result as WritePrivateProfileString.
using ProfileEntry = std::pair<std::string, std::string>;
int WritePrivateProfileEntries(const char* lpszSection, const std::vector<ProfileEntry>& entries,
                               const char* lpszFilename);
// The contents of an INI file with those entries set, for a writer that replaces the file itself.
std::string ProfileTextWithEntries(std::string text, const char* lpszSection,
                                   const std::vector<ProfileEntry>& entries);

// The file becomes this one section with these entries, whatever it held before (a file of
// one's own found damaged). Same result as WritePrivateProfileString.
int ReplacePrivateProfile(const char* lpszSection, const std::vector<ProfileEntry>& entries,
                          const char* lpszFilename);

// Size of an open file, -1 on failure.
long filelength(int handle);
// Copies at most cbDst - 1 characters and always terminates (when cbDst > 0).
char* MYstrncpy(char* szDst, const char* szSrc, int cbDst);
// Position of the "[" of the section's header line in a NUL-terminated text, or NULL.
const char* FindSectionHeader(const char* lpszBuffer, const char* lpszSection);
// From the '\n' that ends a section line: copies the entry's value into the return buffer;
// leaves it untouched when the entry is missing or empty. Returns the entry's line, or NULL.
const char* GetEntryKeyString(const char* lpszBuffer, const char* lpszEntry,
                              char* lpszReturnBuffer, int cbReturnBuffer);
