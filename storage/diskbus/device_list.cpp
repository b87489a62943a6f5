#include "device_list.h"

#include "driver_iface.h"

#include <scsi_node_codec.h>
#include <scsi_payload.h>

#include <cstdio>
#include <cstring>

namespace {
constexpr const char* kDevicePatterns[] = {"/dev/sg%d"};
constexpr time_t kListLifetime = 40;
constexpr unsigned kMaxProbedNode = 255;   // sg numbers beyond do not exist

const qv::devsock::scsi::NodeCodec& sgCodec() {
    static const qv::devsock::scsi::NodeCodec codec;
    return codec;
}
} // namespace

bool CGenericDeviceList::Probe(int n, int spec, Entry& entry) const {
    char path[32];
    std::snprintf(path, sizeof path, kDevicePatterns[spec], n);
    CDriverIFace device(sgCodec());
    if (device.Open(path, kDriverOpenReadWrite) != 0)
        return false;
    qv::devsock::ChannelRequest request;
    request.code = qv::devsock::scsi::kSgGetScsiId;
    request.dataInCapacity = sizeof(qv::devsock::scsi::ScsiIdReply);
    qv::devsock::ChannelReply reply;
    const bool answered = device.Exchange(request, reply) == 0 && reply.dataIn.size() >= request.dataInCapacity;
    device.Close();
    if (!answered)
        return false;
    qv::devsock::scsi::ScsiIdReply id;
    std::memcpy(&id, reply.dataIn.data(), sizeof id);
    entry.addr = {static_cast<uint8_t>(id.scsiId), SetChannel(static_cast<unsigned>(id.channel), static_cast<unsigned>(id.lun)),
                  static_cast<uint8_t>(id.hostNumber)};
    entry.iDisk = n;
    entry.iSpec = spec;
    return true;
}

bool CGenericDeviceList::Add(const Entry& entry) {
    if (nDrives >= kMaxGenericDevices)
        return false;
    rgInfo[nDrives++] = entry;
    return true;
}

uint32_t CGenericDeviceList::BuildDriveInfo() {
    const time_t t = now();
    if (age != 0 && t - age < kListLifetime)
        return 0;
    nDrives = 0;
    for (auto& entry : rgInfo)
        entry = {{0, 0, 0}, -1, 0};
    for (int spec = 0; spec < static_cast<int>(std::size(kDevicePatterns)); ++spec) {
        for (int n = 0; n < static_cast<int>(kMaxGenericDevices); ++n) {
            Entry entry;
            if (!Probe(n, spec, entry))
                break;
            Add(entry);
        }
    }
    age = t;
    return 0;
}

bool CGenericDeviceList::FindDrive(unsigned host, unsigned channel, unsigned target, unsigned* index) const {
    auto matches = [](unsigned key, uint8_t value) { return key == kAnyKey || key == value; };
    for (unsigned i = 0; i < nDrives; ++i) {
        const Entry& e = rgInfo[i];
        if (e.iDisk >= 0 && matches(host, e.addr.idAdapter) && matches(channel, e.addr.idChannel) &&
            matches(target, e.addr.idTarget)) {
            if (index != nullptr)
                *index = i;
            return true;
        }
    }
    return false;
}

bool CGenericDeviceList::GetPhysDiskAddr(unsigned index, unsigned host, SCSIAddressType* address) {
    BuildDriveInfo();
    if (host == kAnyKey) {
        for (unsigned i = 0; i < nDrives; ++i)
            if (rgInfo[i].iDisk == static_cast<int32_t>(index)) {
                *address = rgInfo[i].addr;
                return true;
            }
        Entry entry;
        if (index > kMaxProbedNode || !Probe(static_cast<int>(index), 0, entry))
            return false;
        Add(entry);   // a full list still answers for the node
        *address = entry.addr;
        return true;
    }
    unsigned seen = 0;
    for (unsigned i = 0; i < nDrives; ++i)
        if (rgInfo[i].addr.idAdapter == host && seen++ == index) {
            *address = rgInfo[i].addr;
            return true;
        }
    return false;
}

uint8_t SetChannel(unsigned channel, unsigned lun) { return static_cast<uint8_t>((channel & 7) | (lun << 3)); }
unsigned GetChannel(uint8_t packed) { return packed & 7; }
unsigned GetLUN(uint8_t packed) { return (packed >> 3) & 0x1F; }
