// Readers of the SMBIOS 2.1 and DMI 2.0 tables. Both carry the same structure types and field
// offsets; they differ in how the table is found, walked and how strings are stored.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>

#include "dmi_bios.h"
#include "segment_view.h"

// Answers every query from the structures; the serial number, system model and processor
// version are given as the DMI 2.0 reader reads them, the SMBIOS reader refines them.
class CQVSmbiosFamilyReader : public CQVDMIBIOSVirtual {
public:
    using CQVDMIBIOSVirtual::CQVDMIBIOSVirtual;

#define DMI_SLOT(result, name, params, args, noReader) result name params override;
#include "dmi_bios_slots.inc"
#undef DMI_SLOT

protected:
    // Searches the table once; fills the table position on success.
    virtual bool ScanForTable() = 0;
    // Calls `visit` with the offset of each structure in table order until it returns true.
    virtual void Walk(const qv::dmi::SegmentView& view, const std::function<bool(std::size_t)>& visit) = 0;
    // Where string `number` (from 1) of the structure at `offset` starts in the segment.
    virtual std::optional<std::size_t> StringOffset(const qv::dmi::SegmentView& view, std::size_t offset,
                                                    UC number) = 0;

    // Copies string `number` of the occurrence-th structure of `type`; 0 when absent.
    int CopyNumberedString(UC type, UC occurrence, UC number, UC* buffer, UC length);
    int StringOrUnknown(UC type, UC occurrence, UC offset, UC* buffer, UC length);
    UC ByteOr0(UC type, UC offset, UC occurrence = 1);
    US WordOr0(UC type, UC offset, UC occurrence = 1);
    int BiosVersionOfKind(UC kind, UC* buffer, UC length);
    int BiosCharacteristic(UC bit);

    int m_bTableOk = 0;
    int m_bBIOSScanned = 0;
    uint16_t m_wTableSeg = 0;
    uint16_t m_wTableOff = 0;
    // Ordinal of the structure the next GetNextDMISubStructure returns.
    uint16_t m_wCurrentStructOff = 0;
};

class CQVSMBIOS21 final : public CQVSmbiosFamilyReader {
public:
    using CQVSmbiosFamilyReader::CQVSmbiosFamilyReader;

    int GetQVSerialNumber(UC* buffer, UC length) override;
    int GetSystemModel(UC* buffer, UC length) override;
    int GetProcessorVersion(int processor, UC* buffer, UC length) override;

protected:
    bool ScanForTable() override;
    void Walk(const qv::dmi::SegmentView& view, const std::function<bool(std::size_t)>& visit) override;
    std::optional<std::size_t> StringOffset(const qv::dmi::SegmentView& view, std::size_t offset,
                                            UC number) override;

private:
    uint16_t m_wNumStructures = 0;
};

class CQVDMIBIOS20 final : public CQVSmbiosFamilyReader {
public:
    using CQVSmbiosFamilyReader::CQVSmbiosFamilyReader;

protected:
    bool ScanForTable() override;
    void Walk(const qv::dmi::SegmentView& view, const std::function<bool(std::size_t)>& visit) override;
    std::optional<std::size_t> StringOffset(const qv::dmi::SegmentView& view, std::size_t offset,
                                            UC number) override;
};
