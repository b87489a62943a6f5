// The one unit of the disk bus library that touches a device: a handle on a device node below
// the sandbox root. The node is reached through the device channel chosen when it is opened (the
// driver's node, or a stand-in's socket); every request crosses with its data inline.
#pragma once

#include <device_channel.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

// Test seam: every later open takes its channel from `factory` (given the fixed path opened)
// instead of the node's own choice; an empty one restores it. For tests and fuzz targets only.
using DiskbusChannelFactory = std::function<std::unique_ptr<qv::devsock::DeviceChannel>(const std::string& path)>;
void SetDiskbusChannelFactoryForTests(DiskbusChannelFactory factory);

enum DriverOpenMode : int { kDriverOpenReadWrite = 0, kDriverOpenReadOnly = 1, kDriverOpenWriteOnly = 2 };

class CDriverIFace {
public:
    // `codec` builds the driver's request blocks when the node is the real device.
    explicit CDriverIFace(const qv::devsock::NodeRequestCodec& codec);
    ~CDriverIFace();
    CDriverIFace(const CDriverIFace&) = delete;
    CDriverIFace& operator=(const CDriverIFace&) = delete;

    // Opens the fixed path `path` (resolved below the sandbox root) in `mode`: kDriverOpenReadOnly,
    // kDriverOpenWriteOnly, any other value read-write. 0 or the errno of the failed open (the
    // handle stays closed).
    uint32_t Open(const char* path, int mode);
    // 0 or the errno of the failed close; closed afterwards in any case.
    uint32_t Close();
    bool IsOpen() const { return channel_ != nullptr; }
    // One driver request: ERR_DEVICE_NOT_FOUND when closed, else 0 or the request's errno.
    uint32_t Exchange(const qv::devsock::ChannelRequest& request, qv::devsock::ChannelReply& reply);

    // The 2.2 kernels' generic SCSI transfer (request code 0x4D004 of old): write `inLength`
    // bytes of `buffer`; a non-zero driver status in the header written is returned as it is;
    // else read up to `outLength` bytes back into `buffer` and return the driver status of the
    // header read. A failed write or read gives its errno; ERR_DEVICE_NOT_FOUND when closed.
    uint32_t WriteRead(uint8_t* buffer, uint32_t inLength, uint32_t outLength);

    char szDriver[80] = {};   // the path last opened

private:
    const qv::devsock::NodeRequestCodec& codec_;
    std::unique_ptr<qv::devsock::DeviceChannel> channel_;
};
