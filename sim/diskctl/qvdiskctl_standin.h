// Test switches of the outside disk library's stand-in.
//
//   QV_DISKCTL_JOURNAL   file each call is appended to as one line: the call's name and arguments
//                        (an image as its length and FNV-1a checksum)
//   QV_DISKCTL_CONTROL   file read at every call; lines of "key value":
//     result <Call> <code>      what <Call> returns (default 0)
//     activity_end <code>       what a started flash reports through the activity callback (0)
//     activity_delay_ms <ms>    how long after the call it reports it (50)
//     ready <value>             what GetDriveReadiness writes to *ready (1)
//     firmware_progress <n>     progress reports of an update before its final code (2)
//     firmware_delay_ms <ms>    pause before each report of an update (0)
//     firmware_end <code>       the update's final code through the firmware callback (0)
//
// The inventory is the simulated server's (sim/scsi/diskctl_inventory.h), below QV_ROOT.
#pragma once

#include <qvdiskctl.h>

inline constexpr char kDiskctlJournalEnv[] = "QV_DISKCTL_JOURNAL";
inline constexpr char kDiskctlControlEnv[] = "QV_DISKCTL_CONTROL";
// Largest image an update accepts, as the drive-cage service downloads them.
inline constexpr int kDiskctlMaxImage = 1 << 20;
