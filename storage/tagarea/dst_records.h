// The drive self-test records of the asset-tag area: the only records the suite writes. Each call
// reads the drive's area, edits a private copy and writes the whole area back; callers order
// writes to one drive.
#pragma once

#include "field_packer.h"

#include <ctime>

// Record ids of the self-test records.
inline constexpr Byte kDstStartRecord = 'k';
inline constexpr Byte kDstEndRecord = 'l';
inline constexpr Byte kDstLastTimeRecord = 'j';
inline constexpr Byte kDstResultRecord = '-';

// Writes the start ('k') or end ('l') time; returns the current time, also when nothing was written.
time_t TattooDstTime(int iAdapter, int iChannel, int iTarget, Byte bTattooFlag);
// The time in record `flag`, or 0.
time_t ReadDstTattooTime(int iAdapter, int iChannel, int iTarget, Byte flag);
void TattooDstResult(int iAdapter, int iChannel, int iTarget, Byte bDstResult);
// The stored result, or 255.
Byte ReadDstTattooResult(int iAdapter, int iChannel, int iTarget);

time_t ReadDstStartTime(int iAdapter, int iChannel, int iTarget);
time_t ReadDstEndTime(int iAdapter, int iChannel, int iTarget);
time_t TattooDstStartTime(int iAdapter, int iChannel, int iTarget);
time_t TattooDstEndTime(int iAdapter, int iChannel, int iTarget);
