#include "dmi_bios.h"

#include <memory>

#include "dmi10_reader.h"
#include "smbios_family_reader.h"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-parameter"
using UC = CQVDMIBIOSVirtual::UC;
using US = CQVDMIBIOSVirtual::US;
using ULL = CQVDMIBIOSVirtual::ULL;
#define DMI_SLOT(result, name, params, args, noReader) \
    result CQVDMIBIOSVirtual::name params { return result(); }
#include "dmi_bios_slots.inc"
#undef DMI_SLOT
#pragma GCC diagnostic pop

int CQVDMIBIOSVirtual::ReadField(UC type, UC offset, UC width, ULL& out, UC occurrence)
{
    UC length = kFieldBufferSize;
    if (GetDMISubStructure(type, occurrence, m_szBuffer, length) != 1) return 0;
    const unsigned formattedLength = m_szBuffer[1];
    if (unsigned(offset) + width > formattedLength || unsigned(offset) + width > kFieldBufferSize) return 0;
    ULL v = 0;
    for (unsigned i = width; i-- > 0;) v = (v << 8) | m_szBuffer[offset + i];
    out = v;
    return 1;
}

int CQVDMIBIOSVirtual::GetDMIBYTE(UC type, UC offset, UC& out, UC occurrence)
{
    ULL v = 0;
    if (!ReadField(type, offset, 1, v, occurrence)) return 0;
    out = m_bByte = uint8_t(v);
    return 1;
}

int CQVDMIBIOSVirtual::GetDMIWORD(UC type, UC offset, US& out, UC occurrence)
{
    ULL v = 0;
    if (!ReadField(type, offset, 2, v, occurrence)) return 0;
    out = m_wWord = uint16_t(v);
    return 1;
}

int CQVDMIBIOSVirtual::GetDMIDWORD(UC type, UC offset, unsigned long& out, UC occurrence)
{
    ULL v = 0;
    if (!ReadField(type, offset, 4, v, occurrence)) return 0;
    out = m_dwDword = uint32_t(v);
    return 1;
}

int CQVDMIBIOSVirtual::GetDMIQWORD(UC type, UC offset, ULL& out, UC occurrence)
{
    ULL v = 0;
    if (!ReadField(type, offset, 8, v, occurrence)) return 0;
    out = m_qwQword = v;
    return 1;
}

unsigned char CQVDMIBIOSVirtual::GetSubstructureOccurence(UC type)
{
    auto work = std::make_unique<unsigned char[]>(kFieldBufferSize);
    unsigned count = 0;
    // Occurrences are bytes: stop at 255 rather than wrap around to 0.
    while (count < 255) {
        UC length = kFieldBufferSize;
        if (GetDMISubStructure(type, UC(count + 1), work.get(), length) == 0) break;
        ++count;
    }
    return UC(count);
}

unsigned char CQVDMIBIOSVirtual::GetValueFromByte(UC value, UC lowBit, UC highBit)
{
    if (lowBit > highBit || lowBit > 7) return 0;
    const unsigned mask = highBit >= 7 ? 0xFFu : ((1u << (highBit + 1)) - 1);
    return UC((value & mask) >> lowBit);
}

CQVDMIBIOS::~CQVDMIBIOS()
{
    delete m_pDMIBIOS;
    m_pDMIBIOS = nullptr;
}

int CQVDMIBIOS::InitializeDMIBIOS()
{
    if (m_pDMIBIOS) return 1;
    std::unique_ptr<CQVDMIBIOSVirtual> candidates[] = {
        std::make_unique<CQVSMBIOS21>(m_pDriver),
        std::make_unique<CQVDMIBIOS20>(m_pDriver),
        std::make_unique<CQVDMIBIOS10>(m_pDriver),
    };
    for (auto& reader : candidates) {
        if (reader->IsDMIBIOSPresent()) {
            m_pDMIBIOS = reader.release();
            return 1;
        }
    }
    return 0;
}

int CQVDMIBIOS::GetSystemVersion(UC*, UC) { return 1; }

unsigned char CQVDMIBIOS::GetDMIBIOSVersion() const
{
    return m_pDMIBIOS ? m_pDMIBIOS->GetDMIBIOSVersion() : 0;
}

int CQVDMIBIOS::GetDMIBYTE(UC type, UC offset, UC& out, UC occurrence)
{
    return m_pDMIBIOS ? m_pDMIBIOS->GetDMIBYTE(type, offset, out, occurrence) : 0;
}

int CQVDMIBIOS::GetDMIWORD(UC type, UC offset, US& out, UC occurrence)
{
    return m_pDMIBIOS ? m_pDMIBIOS->GetDMIWORD(type, offset, out, occurrence) : 0;
}

int CQVDMIBIOS::GetDMIDWORD(UC type, UC offset, unsigned long& out, UC occurrence)
{
    return m_pDMIBIOS ? m_pDMIBIOS->GetDMIDWORD(type, offset, out, occurrence) : 0;
}

int CQVDMIBIOS::GetDMIQWORD(UC type, UC offset, ULL& out, UC occurrence)
{
    return m_pDMIBIOS ? m_pDMIBIOS->GetDMIQWORD(type, offset, out, occurrence) : 255;
}

unsigned char CQVDMIBIOS::GetSubstructureOccurence(UC type)
{
    return m_pDMIBIOS ? m_pDMIBIOS->GetSubstructureOccurence(type) : 255;
}
