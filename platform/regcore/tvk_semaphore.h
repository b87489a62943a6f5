// Lock-file semaphores: a named file write-locked as a whole with an fcntl record lock, retried
// for a bounded time. Handles are the descriptor plus 1, so 0 never names an open semaphore.
//
// Record locks belong to the process and vanish when any descriptor of the file is closed, so
// this unit keeps one descriptor per lock file and process, counts accesses and acquires on it,
// and closes it only when the last access ends.
#pragma once

int TvkAccessSemaphore(const char* pszSemName, int* phSemRet);
int TvkAcquireSemaphore(int hSemaphore, unsigned long nMiliseconds);
int TvkReleaseSemaphore(int hSemaphore);
int TvkEndSemaphoreAccess(int hSemaphore);
int Sleep(int ms);

// Longest accepted timeout; a longer one makes TvkAcquireSemaphore return TVK_TIMEOUT_RANGE.
constexpr unsigned long TVK_MAX_TIMEOUT_MS = 3604425;
constexpr int TVK_TIMEOUT_RANGE = 99999;

// How TvkAcquireSemaphore spreads its tries over a timeout.
struct TvkRetrySchedule {
    bool inRange;                 // false: the timeout is refused without any try
    unsigned long tries;
    unsigned long intervalMs;     // sleep after each failed try
};
TvkRetrySchedule TvkComputeRetrySchedule(unsigned long nMiliseconds);
