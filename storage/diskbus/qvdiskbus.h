/* The SCSI and RAID library's interface (libqvdiskbus.so): plain functions with unmangled names.
   Records and status codes are those of diskbus_types.h. Usable from C and C++. */
#pragma once

#include "diskbus_types.h"

#include <stdint.h>
#ifndef __cplusplus
#include <stdbool.h>
#endif

#ifdef __cplusplus
extern "C" {
#endif
/* Inventory */
uint32_t ScsiCountAllUnits(int* adapters, int* drives);
uint32_t ScsiGetAllDrives(DriveInfoType* drives, unsigned max);
uint32_t ScsiGetDriveDetails(unsigned adapter, unsigned channel, unsigned target, DriveInfoType* drive);
uint32_t ScsiGetAllAdapters(HBADescType* adapters, unsigned max);
uint32_t ScsiGetAdapterDetails(unsigned adapter, HBADescType* info);
uint32_t ScsiGetAdapterInfo(unsigned adapter, unsigned level, HBAInfoType* info);
uint32_t ScsiCloseAdapter(unsigned adapter);
uint32_t ScsiCountLogicalDrives(int* count);
uint32_t ScsiGetLogDriveInfo(unsigned index, LogDriveInfoType* drive);
uint32_t ScsiMapAdapter(unsigned adapterClass, unsigned number, int* result, int direction);
/* Raw commands */
uint32_t ScsiIssueDeviceCmd(unsigned adapter, unsigned channel, unsigned target, const void* cdb, unsigned cdbLength,
                            void* reply, unsigned replyLength);
uint32_t ScsiSendDeviceData(unsigned adapter, unsigned channel, unsigned target, const void* cdb, unsigned cdbLength,
                            const void* data, unsigned dataLength);
/* Drive state */
uint32_t ScsiDriveReadiness(unsigned adapter, unsigned channel, unsigned target, int* stage);
uint32_t ScsiGetRaidLevel(unsigned adapter, unsigned channel, unsigned target, int* level);
uint32_t ScsiGetDrivesMask(unsigned adapter, unsigned channel, unsigned target);
uint32_t ScsiDecodeDriveMask(unsigned mask, char* text, unsigned length);
uint32_t ScsiEncodeDriveLabel(const char* mountPoint);
uint32_t ScsiGetSmartState(unsigned adapter, unsigned channel, unsigned target, int* state);
uint32_t ScsiExerciseTargets(unsigned adapter, unsigned channel, unsigned target, unsigned period);
/* Changes to drives */
uint32_t ScsiFormatDrive(unsigned adapter, unsigned channel, unsigned target);
uint32_t ScsiFWDownload(unsigned adapter, unsigned channel, unsigned target, const void* image, unsigned imageLength,
                        unsigned vendor);
/* Asset-tag area */
uint32_t ScsiReadLogPage32h(unsigned adapter, unsigned channel, unsigned target, void* buffer, unsigned length);
uint32_t ScsiWriteLogPage32h(unsigned adapter, unsigned channel, unsigned target, const void* data, unsigned length);
uint32_t ScsiFindPage32(unsigned adapter, unsigned channel, unsigned target);
/* Drive self-test */
uint32_t ScsiIsDstAvail(unsigned adapter, unsigned channel, unsigned target);
uint32_t ScsiFindPage10(unsigned adapter, unsigned channel, unsigned target);
uint32_t ScsiStartDST(unsigned adapter, unsigned channel, unsigned target, unsigned code);
uint32_t ScsiCheckDSTsense(unsigned adapter, unsigned channel, unsigned target, int* percent);
uint32_t ScsiGetDstResults(unsigned adapter, unsigned channel, unsigned target, unsigned entry, int* result);
uint32_t ScsiGetCompletionTime(unsigned adapter, unsigned channel, unsigned target, int* seconds);
bool IsASafeKernelForDST(void);
/* End */
uint32_t LibraryShutdown(void);
#ifdef __cplusplus
}
#endif
