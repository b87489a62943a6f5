// The adapter object family's base: one SCSI host adapter with its channels, its device handle
// and its I/O buffer. Derived classes say how a command reaches a target (the generic SCSI nodes,
// or a RAID controller's pass-through).
#pragma once

#include "diskbus_types.h"
#include "driver_iface.h"

#include <cstdint>
#include <ctime>

class CScsiAdapter;

constexpr unsigned kMaxChannels = 8;
constexpr unsigned kTargetsPerChannel = 16;
constexpr uint32_t kInitiatorId = 7;
// Data bytes of every adapter's I/O buffer; a command implying more is refused.
constexpr uint32_t kIoDataBytes = 32768;

// One channel (bus) of an adapter and the targets its last scan found.
class CScsiChannel {
public:
    CScsiChannel(CScsiAdapter* adapter, unsigned channel) : pAdapter(adapter), iChannel(channel) {}

    // INQUIRY of every target id when the last complete scan is 30 s or more old; *newTargets
    // (optional) gets the targets that answered now and not at the scan before. 0, or
    // ERR_DEVICE_NOT_FOUND (the scan stops, its time is not stored).
    uint32_t DetermineTargets(uint16_t* newTargets);
    uint16_t GetScsiIDs(bool disksOnly) const { return disksOnly ? maskDisks : maskTargets; }
    bool IsTargetPresent(unsigned id) const { return id < kTargetsPerChannel && (maskTargets >> id) & 1; }
    bool IsTargetAdded(unsigned id) const { return IsTargetPresent(id) && !((maskPrevious >> id) & 1); }
    void MarkTarget(unsigned id);
    void MarkDisk(unsigned id);

    uint32_t nTargets = 0;
    uint16_t maskTargets = 0;
    uint16_t maskPrevious = 0;
    uint16_t maskDisks = 0;
    CScsiAdapter* pAdapter;
    uint32_t iChannel;
    time_t timestamp = 0;
};

class CScsiAdapter {
public:
    // Channels and class from adapter discovery of `adapterNumber`; the transfer size is rounded
    // up to a multiple of 512 (at least 512).
    CScsiAdapter(unsigned adapterNumber, unsigned transferSize);
    virtual ~CScsiAdapter();
    CScsiAdapter(const CScsiAdapter&) = delete;
    CScsiAdapter& operator=(const CScsiAdapter&) = delete;

    // The virtual operations, in this order in every class.
    virtual uint32_t OpenAdapter();
    virtual uint32_t CloseAdapter();
    virtual uint32_t OpenPersistentDrive(unsigned channel, unsigned target);
    virtual uint32_t ClosePersistentDrive();
    // The data area of the I/O buffer (allocated first when `allocate` and there is none), or
    // null without a buffer. Outgoing data go there before SendDriveData; incoming data arrive
    // there after IssueDriveCmd.
    virtual uint8_t* GetpDataRet(bool allocate);
    // Sense data of the last command; false when there are none to give.
    virtual bool GetSenseData(sdType* sense);
    // A command with data from the device (or none), of GetXFerSize(cdb) bytes.
    virtual uint32_t IssueDriveCmd(unsigned channel, unsigned target, const uint8_t* cdb, unsigned cdbLength);
    // A command with data to the device, taken from the data area.
    virtual uint32_t SendDriveData(unsigned channel, unsigned target, const uint8_t* cdb, unsigned cdbLength);
    // The adapter's own failure prediction: 0 (unknown) for every class.
    virtual uint32_t GetSmartInfo(unsigned channel, unsigned target, int* state);

    // Closes the handle, frees the I/O buffer, deletes the channels.
    void DestroyAdapter();
    // Scans every channel; *any (optional) gets bit 0 set when some channel found new targets.
    uint32_t GetChannelTargets(int* any);
    void GetScsiAddr(SCSIAddressType* address, unsigned channel, unsigned target) const;
    // At most 63 characters; null takes the driver name of the adapter number.
    uint32_t SetProductDesc(const char* text);
    uint32_t GetProductDesc(sdType dest);
    CScsiChannel* Channel(unsigned channel) const { return channel < nChannels ? rgpChannels[channel] : nullptr; }
    // Sets the channel count (at most kMaxChannels), creating or deleting channel objects.
    void SetChannelCount(unsigned count);

    // The command templates every adapter shares.
    static const uint8_t CDBReadBase[6];
    static const uint8_t CDBPing[6];
    static const uint8_t CDBFormat[6];
    static const uint8_t CDBTestUnit[6];
    static const uint8_t CDBModeSense[6];
    static const uint8_t CDBModeSelect[6];
    static const uint8_t CDBRequestSense[6];
    static const uint8_t CDBGetCapacity[10];
    // The largest header any adapter class puts in front of its data.
    static constexpr uint32_t cbSRBMax = 160;

    CDriverIFace adapter;
    uint32_t nChannels = 0;
    uint32_t nTargetsMax = kTargetsPerChannel;
    uint32_t idInitiator = kInitiatorId;
    uint32_t idAdapter;
    uint32_t idMfg = kAdapterClassNone;
    uint32_t idBoard = 0;
    CScsiChannel* rgpChannels[kMaxChannels] = {};
    uint32_t fOpen = 0;
    uint32_t cbTotalIO;
    sdType sdBuffer = {nullptr, kIoDataBytes};
    char szProduct[64] = {};

protected:
    // `codec` builds the driver's request blocks when the adapter's node is a real device (the
    // generic SCSI driver's unless a class says otherwise).
    CScsiAdapter(unsigned adapterNumber, unsigned transferSize, const qv::devsock::NodeRequestCodec& codec);
    // Allocates cbSRBMax + sdBuffer.cb bytes when there is no buffer (room for every class's
    // header, and for the 2.2 transfer's data moved behind the command block); the data area at
    // `headerSize`, or null.
    uint8_t* DataArea(uint32_t headerSize, bool allocate);
    // The data length `cdb` implies, or ERR_BUFFER_TOO_SMALL when it exceeds the I/O buffer
    // (checked before any transfer).
    static uint32_t CheckedTransferLength(const uint8_t* cdb, unsigned cdbLength, uint32_t* length);
};

// Ends a drive opening (OpenPersistentDrive) however its scope ends, a failed allocation included:
// a drive left open would take the commands meant for the adapter's other targets.
struct PersistentDriveCloser {
    CScsiAdapter& adapter;
    bool active = true;
    ~PersistentDriveCloser() {
        if (active)
            adapter.ClosePersistentDrive();
    }
};

// INQUIRY (the CDBPing template) of one target through `adapter`, its data left in the data area:
// 0, the command's status, or ERR_BAD_INQUIRY for data that names no device. The channel scan and
// the base class's persistent open use it; the drive commands' INQUIRY is the same exchange.
uint32_t InquireTarget(CScsiAdapter& adapter, unsigned channel, unsigned target);
