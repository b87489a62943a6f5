// DMI/SMBIOS table readers: one abstract reader per table generation and the facade that picks
// the one that finds its table. Readers map memory through the driver facade they are given.
#pragma once

#include <cstdint>

#include "dmi_driver.h"

class CQVDMIBIOSVirtual {
public:
    using UC = unsigned char;
    using US = unsigned short;
    using ULL = unsigned long long;

    static constexpr unsigned char kFieldBufferSize = 100;

    explicit CQVDMIBIOSVirtual(CQVDMIDriver* driver) : m_pDriver(driver) {}
    virtual ~CQVDMIBIOSVirtual() = default;
    CQVDMIBIOSVirtual(const CQVDMIBIOSVirtual&) = delete;
    CQVDMIBIOSVirtual& operator=(const CQVDMIBIOSVirtual&) = delete;

    unsigned char GetDMIBIOSVersion() const { return m_bDMIBIOSVersion; }
    int GetDMIBYTE(UC type, UC offset, UC& out, UC occurrence);
    int GetDMIWORD(UC type, UC offset, US& out, UC occurrence);
    int GetDMIDWORD(UC type, UC offset, unsigned long& out, UC occurrence);
    int GetDMIQWORD(UC type, UC offset, ULL& out, UC occurrence);
    unsigned char GetSubstructureOccurence(UC type);
    static int IsBitSet(ULL value, UC bit) { return bit < 64 && ((value >> bit) & 1) ? 1 : 0; }
    static unsigned char GetValueFromByte(UC value, UC lowBit, UC highBit);

    // Every operation a generation cannot answer reads as 0.
#define DMI_SLOT(result, name, params, args, noReader) virtual result name params;
#include "dmi_bios_slots.inc"
#undef DMI_SLOT

protected:
    // Little-endian field of `width` bytes of a structure; 0 unless it lies inside the structure.
    int ReadField(UC type, UC offset, UC width, ULL& out, UC occurrence);

    CQVDMIDriver* m_pDriver;
    uint8_t m_bByte = 0;
    uint16_t m_wWord = 0;
    uint32_t m_dwDword = 0;
    uint64_t m_qwQword = 0;
    uint8_t m_bDMIBIOSVersion = 0;
    unsigned char m_szBuffer[kFieldBufferSize] = {};
};

class CQVDMIBIOS {
public:
    using UC = unsigned char;
    using US = unsigned short;
    using ULL = unsigned long long;

    // The readers map memory through `driver`; without one no table is ever found.
    explicit CQVDMIBIOS(CQVDMIDriver* driver = nullptr) : m_pDriver(driver) {}
    ~CQVDMIBIOS();
    CQVDMIBIOS(const CQVDMIBIOS&) = delete;
    CQVDMIBIOS& operator=(const CQVDMIBIOS&) = delete;

    void SetDriver(CQVDMIDriver* driver) { m_pDriver = driver; }
    int InitializeDMIBIOS();
    int GetSystemVersion(UC* buffer, UC length);

    unsigned char GetDMIBIOSVersion() const;
    int GetDMIBYTE(UC type, UC offset, UC& out, UC occurrence);
    int GetDMIWORD(UC type, UC offset, US& out, UC occurrence);
    int GetDMIDWORD(UC type, UC offset, unsigned long& out, UC occurrence);
    int GetDMIQWORD(UC type, UC offset, ULL& out, UC occurrence);
    unsigned char GetSubstructureOccurence(UC type);
    static int IsBitSet(ULL value, UC bit) { return CQVDMIBIOSVirtual::IsBitSet(value, bit); }
    static unsigned char GetValueFromByte(UC value, UC lowBit, UC highBit)
    {
        return CQVDMIBIOSVirtual::GetValueFromByte(value, lowBit, highBit);
    }

#define DMI_SLOT(result, name, params, args, noReader) \
    result name params { return m_pDMIBIOS ? m_pDMIBIOS->name args : result(noReader); }
#include "dmi_bios_slots.inc"
#undef DMI_SLOT

private:
    CQVDMIDriver* m_pDriver;
    CQVDMIBIOSVirtual* m_pDMIBIOS = nullptr;
};
