// Storage commands: SDR repository, SEL and the controller's own FRU inventory device.
#include "controller_core.h"

#include <algorithm>

namespace qv::sim {

namespace {
constexpr size_t kSelRecordSize = 16;
constexpr size_t kSdrHeaderSize = 5;
constexpr uint8_t kWholeRecord = 0xFF;
constexpr uint8_t kEraseInitiate = 0xAA;
constexpr uint8_t kEraseStatus = 0x00;
constexpr uint8_t kEraseCompleted = 0x01;
constexpr uint8_t kSelOperations = 0x0E;   // delete, partial add, reserve
constexpr uint8_t kSdrOperations = 0x2F;   // non-modal update, delete, partial add, reserve, alloc info
constexpr size_t kMaxFruTransfer = 30;
constexpr uint8_t kTimestampedRecordLimit = 0xE0;  // OEM non-timestamped records start here

bool clearLettersValid(const Bytes& d) { return d.size() >= 6 && d[2] == 'C' && d[3] == 'L' && d[4] == 'R'; }

Bytes repositoryInfo(uint8_t version, const RecordStore& store, uint8_t operations) {
    Bytes out = answer(cc::kOk, {version});
    put16(out, static_cast<uint16_t>(store.records.size()));
    put16(out, store.freeBytes());
    put32(out, store.addTime);
    put32(out, store.eraseTime);
    out.push_back(operations);
    return out;
}

Bytes allocationInfo(const RecordStore& store) {
    uint16_t units = static_cast<uint16_t>(store.capacityBytes / store.recordUnit);
    uint16_t freeUnits = static_cast<uint16_t>(store.freeBytes() / store.recordUnit);
    Bytes out{cc::kOk};
    put16(out, units);
    put16(out, static_cast<uint16_t>(store.recordUnit));
    put16(out, freeUnits);
    put16(out, freeUnits);
    out.push_back(static_cast<uint8_t>(64 / store.recordUnit));
    return out;
}

Bytes withId(uint8_t code, uint16_t id) {
    Bytes out{code};
    put16(out, id);
    return out;
}

// Get SEL Entry / Get SDR: reservation, id, offset, count -> next id, the bytes asked for.
Bytes readRecord(const RecordStore& store, const Bytes& d) {
    if (d.size() < 6)
        return answer(cc::kRequestLength);
    uint16_t reservation = le16(d, 0);
    uint8_t offset = d[4];
    uint8_t count = d[5];
    // a read of a record from its start needs no reservation
    if (offset != 0 && !store.reservationValid(reservation))
        return answer(cc::kReservationCancelled);
    auto id = store.resolve(le16(d, 2));
    if (!id)
        return answer(cc::kNotPresent);
    const Bytes& record = store.records.at(*id);
    if (offset > record.size())
        return answer(cc::kOutOfRange);
    size_t n = count == kWholeRecord ? record.size() - offset : std::min<size_t>(count, record.size() - offset);
    Bytes out = withId(cc::kOk, store.nextAfter(*id));
    out.insert(out.end(), record.begin() + offset, record.begin() + offset + static_cast<long>(n));
    return out;
}

// Partial add: reservation, id (0 for a new record), offset, progress (low nibble 1: last part), data.
Bytes partialAdd(RecordStore& store, const Bytes& d, size_t headerSize, uint32_t now) {
    if (d.size() < 6)
        return answer(cc::kRequestLength);
    if (!store.reservationValid(le16(d, 0)))
        return answer(cc::kReservationCancelled);
    uint16_t id = le16(d, 2);
    uint8_t offset = d[4];
    bool last = (d[5] & 0x0F) == 0x01;
    Bytes part(d.begin() + 6, d.end());
    if (offset == 0) {
        if (part.size() < std::min<size_t>(headerSize, 2))
            return answer(cc::kRequestLength);
        store.pending = std::make_pair(store.nextId, Bytes{});
    } else if (!store.pending || store.pending->first != id || offset != store.pending->second.size()) {
        return answer(cc::kOutOfRange);
    }
    Bytes& bytes = store.pending->second;
    bytes.insert(bytes.end(), part.begin(), part.end());
    uint16_t pendingId = store.pending->first;
    if (last) {
        Bytes record = std::move(bytes);
        store.pending.reset();
        pendingId = store.add(std::move(record));
        store.addTime = now;
    }
    return withId(cc::kOk, pendingId);
}

Bytes deleteRecord(RecordStore& store, const Bytes& d, uint32_t now) {
    if (d.size() < 4)
        return answer(cc::kRequestLength);
    if (!store.reservationValid(le16(d, 0)))
        return answer(cc::kReservationCancelled);
    auto id = store.resolve(le16(d, 2));
    if (!id)
        return answer(cc::kNotPresent);
    store.records.erase(*id);
    store.eraseTime = now;
    store.reservation = 0;   // deleting cancels the reservation
    return withId(cc::kOk, *id);
}

Bytes clearRepository(RecordStore& store, const Bytes& d, uint32_t now) {
    if (d.size() < 6)
        return answer(cc::kRequestLength);
    if (!store.reservationValid(le16(d, 0)))
        return answer(cc::kReservationCancelled);
    if (!clearLettersValid(d) || (d[5] != kEraseInitiate && d[5] != kEraseStatus))
        return answer(cc::kInvalidField);
    if (d[5] == kEraseInitiate) {
        store.records.clear();
        store.pending.reset();
        if (store.idsRestartAfterClear)
            store.nextId = 1;
        store.eraseTime = now;
        store.reservation = 0;
    }
    return answer(cc::kOk, {kEraseCompleted});
}
} // namespace

Bytes ControllerCore::storage(uint8_t cmd, const Bytes& d, Dialect dialect) {
    if (cmd >= 0x10 && cmd <= 0x12)
        return fruCommand(cmd, d, dialect);
    if (cmd >= 0x20 && cmd <= 0x2C)
        return sdrCommand(cmd, d);
    if (cmd >= 0x40 && cmd <= 0x49)
        return selCommand(cmd, d);
    return answer(cc::kInvalidCommand);
}

Bytes ControllerCore::sdrCommand(uint8_t cmd, const Bytes& d) {
    uint32_t now = clock.nowSeconds();
    switch (cmd) {
    case 0x20:
        return repositoryInfo(sdrVersion, sdr, kSdrOperations);
    case 0x21:
        return allocationInfo(sdr);
    case 0x22:
        return withId(cc::kOk, sdr.reserve());
    case 0x23:
        return readRecord(sdr, d);
    case 0x24: {  // Add SDR: the whole record
        if (d.size() < kSdrHeaderSize || d[4] + kSdrHeaderSize != d.size())
            return answer(cc::kRequestLength);
        if (d.size() > sdr.freeBytes())
            return answer(0xC4);   // out of space
        uint16_t id = sdr.add(d);
        sdr.addTime = now;
        sensorsFromSdr();
        return withId(cc::kOk, id);
    }
    case 0x25: {
        Bytes out = partialAdd(sdr, d, kSdrHeaderSize, now);
        sensorsFromSdr();
        return out;
    }
    case 0x26:
        return deleteRecord(sdr, d, now);
    case 0x27:
        return clearRepository(sdr, d, now);
    default:
        return answer(cc::kInvalidCommand);
    }
}

Bytes ControllerCore::selCommand(uint8_t cmd, const Bytes& d) {
    uint32_t now = clock.nowSeconds();
    switch (cmd) {
    case 0x40:
        return repositoryInfo(selVersion, sel, kSelOperations);
    case 0x41:
        return allocationInfo(sel);
    case 0x42:
        return withId(cc::kOk, sel.reserve());
    case 0x43:
        return readRecord(sel, d);
    case 0x44: {  // Add SEL Entry
        if (d.size() != kSelRecordSize)
            return answer(cc::kRequestLength);
        if (sel.freeBytes() < kSelRecordSize)
            return answer(0xC4);
        Bytes record = d;
        if (record[2] < kTimestampedRecordLimit)
            for (int i = 0; i < 4; ++i)
                record[3 + i] = (now >> (8 * i)) & 0xFF;
        sel.addTime = now;
        return withId(cc::kOk, sel.add(std::move(record)));
    }
    case 0x45:
        if (d.size() > 6 + kSelRecordSize)
            return answer(cc::kRequestLength);
        return partialAdd(sel, d, 3, now);
    case 0x46:
        return deleteRecord(sel, d, now);
    case 0x47:
        return clearRepository(sel, d, now);
    case 0x48: {
        Bytes out{cc::kOk};
        put32(out, now);
        return out;
    }
    case 0x49:
        if (d.size() < 4)
            return answer(cc::kRequestLength);
        clock.set(static_cast<uint32_t>(d[0] | d[1] << 8 | d[2] << 16 | static_cast<uint32_t>(d[3]) << 24));
        return answer(cc::kOk);
    default:
        return answer(cc::kInvalidCommand);
    }
}

// FRU commands: the earlier generation's requests name no device. Area info and read differ in
// length; a write cannot be told apart, so on the device node it follows the shape of the last
// info or read request of any client, and through the standard interface it always has the id.
Bytes ControllerCore::fruCommand(uint8_t cmd, const Bytes& d, Dialect dialect) {
    auto deviceIdPresent = [&](size_t earlierLength) {
        bool present = dialect == Dialect::Standard || d.size() > earlierLength;
        if (dialect == Dialect::DeviceNode)
            fruShapeHasDeviceId_ = present;
        return present;
    };
    switch (cmd) {
    case 0x10: {
        if (deviceIdPresent(0) && (d.empty() || d[0] != 0))
            return answer(d.empty() ? cc::kRequestLength : cc::kNotPresent);
        Bytes out{cc::kOk};
        put16(out, static_cast<uint16_t>(fru.size()));
        out.push_back(fruAccess);
        return out;
    }
    case 0x11: {
        bool hasId = deviceIdPresent(3);
        size_t base = hasId ? 1 : 0;
        if (d.size() < base + 3)
            return answer(cc::kRequestLength);
        if (hasId && d[0] != 0)
            return answer(cc::kNotPresent);
        // offsets and counts are in the access unit: words when the area info says so
        const size_t unit = fruAccess & 0x01 ? 2 : 1;
        size_t offset = le16(d, base) * unit;
        size_t count = d[base + 2] * unit;
        if (count > kMaxFruTransfer)
            return answer(0xCA);   // cannot return that many bytes
        if (offset >= fru.size())
            return answer(cc::kOutOfRange);
        count = std::min(count, fru.size() - offset) / unit * unit;
        Bytes out{cc::kOk, static_cast<uint8_t>(count / unit)};
        out.insert(out.end(), fru.begin() + static_cast<long>(offset), fru.begin() + static_cast<long>(offset + count));
        return out;
    }
    default: {
        bool hasId = dialect == Dialect::Standard || fruShapeHasDeviceId_;
        size_t base = hasId ? 1 : 0;
        if (d.size() < base + 2)
            return answer(cc::kRequestLength);
        if (hasId && d[0] != 0)
            return answer(cc::kNotPresent);
        size_t offset = le16(d, base);
        size_t length = d.size() - base - 2;
        if (length > kMaxFruTransfer)
            return answer(cc::kRequestLength);
        if (offset + length > fru.size())
            return answer(cc::kOutOfRange);
        std::copy(d.begin() + static_cast<long>(base + 2), d.end(), fru.begin() + static_cast<long>(offset));
        return answer(cc::kOk, {static_cast<uint8_t>(length)});
    }
    }
}

} // namespace qv::sim
