// The process-wide adapter list: one adapter object per SCSI host number, built from adapter
// discovery, and the numbering that maps an adapter class's n-th adapter to its host number.
// Also the process-wide discovery and generic SCSI device list objects it is built from.
#pragma once

#include "adapter_discovery.h"
#include "device_list.h"
#include "diskbus_types.h"

#include <cstddef>
#include <cstdint>

class CScsiAdapter;

constexpr unsigned kMaxAdapters = 16;
// The transfer size of every adapter the list creates.
constexpr unsigned kListTransferSize = 49152;

// The discovered adapters and the generic SCSI device list of this process (built on first use).
CScsiMfg& ScsiMfg();
CGenericDeviceList& GenericDeviceList();
extern "C" {
// The process list's GetPhysDiskAddr (40-second rule).
bool GetPhysDiskAddr(unsigned index, unsigned host, SCSIAddressType* address);

// Once while the list is empty: discovery, then one object per host (class 1 a MegaRAID adapter,
// another non-zero class a Linux adapter, class 0 a base adapter). ERR_RESOURCE_UNAVAILABLE when
// an object cannot be created; any failure leaves the list empty.
uint32_t BuildAdapterList();
// Destroys every adapter and empties the list (discovery is kept).
uint32_t ReleaseAdapterList();
// The adapter of GetAdapterId, opened first (the open's result is ignored); null when none.
CScsiAdapter* FindAdapter(unsigned adapterClass, unsigned number);
// Classes 0, 4, 5: slot = number; others: the host number of the (number+1)-th adapter of the
// class. True when the slot is below the number of adapters in the list.
bool GetAdapterId(unsigned adapterClass, unsigned number, int* slot);
// The reverse: false unless the adapter in `slot` exists and has that class.
bool GetAdapterNo(unsigned adapterClass, unsigned slot, int* number);
unsigned GetNumberOfAdapters();
// The targets the adapter's channels found (0 for an unknown adapter or a failed open).
unsigned CountAdapterTargets(unsigned number);
uint32_t CountAllSystemTargets(int* sum);
unsigned CountTargets(uint16_t mask);
// The driver module of host n: /lib/modules/<release>/{scsi|kernel/drivers/scsi}/<driver>.o,
// when that file exists.
bool GetAdapterDriver(unsigned number, char* path, unsigned length);

uint32_t AllocLibMem(size_t size, sdType* buffer);
uint32_t FreeLibMem(void* p);
uint32_t AssertLibContext(uint32_t x);
} // extern "C"

// Forgets discovery and the device list too: the next call starts from /proc/scsi again. For
// tests that change the simulated machine within one process.
void ResetDiskbusStateForTests();
