#include "floppy_info.h"

#include <cstring>

#include "cproc.h"
#include "dmi_driver.h"

namespace {

constexpr int kEntryLength = 4;   // "fd0#"
constexpr unsigned char kCmosFloppyTypes = 0x10;

int floppyTypeOfNibble(unsigned value)
{
    switch (value) {
    case 0x01: case 0x10: return 1;
    case 0x02: case 0x20: return 2;
    case 0x03: case 0x30: return 3;
    case 0x04: case 0x40: return 4;
    default: return 0;
    }
}

} // namespace

CLinuxFloppyInfo::~CLinuxFloppyInfo()
{
    m_bInit = false;
    std::memset(m_szFloppysList, 0, sizeof m_szFloppysList);
}

void CLinuxFloppyInfo::InitFloppys()
{
    m_bInit = true;
    m_nNbFloppyDrives = 0;
    std::memset(m_szFloppysList, 0, sizeof m_szFloppysList);
    std::string messages;
    if (!qv::host::readKernelMessages(messages)) return;
    CPROC reader(CPROC::Text{}, std::move(messages), ':', 0);
    for (int n = 1;; ++n) {
        const char* word = reader.findToken("Floppy", n, 0);
        if (!word) break;
        if (std::strncmp(word, "fd", 2) != 0 || std::strlen(word) < 3) continue;
        if (m_nNbFloppyDrives >= kMaxDrives) continue;   // the list holds 15
        char* entry = m_szFloppysList + m_nNbFloppyDrives * kEntryLength;
        std::memcpy(entry, word, 3);
        entry[3] = '#';
        ++m_nNbFloppyDrives;
    }
}

int CLinuxFloppyInfo::GetNbFloppyDrives()
{
    if (!m_bInit) InitFloppys();
    return m_nNbFloppyDrives;
}

int CLinuxFloppyInfo::GetFloppyDriveType(int i)
{
    if (!m_bInit) InitFloppys();
    if (i < 1 || i > m_nNbFloppyDrives) return 0;
    const char* entry = m_szFloppysList + (i - 1) * kEntryLength;
    CQVDMIDriver driver;
    const unsigned cmos = driver.ReadCMOS(kCmosFloppyTypes);
    const bool first = std::strncmp(entry, "fd0", 3) == 0;
    return floppyTypeOfNibble(cmos & (first ? 0xF0u : 0x0Fu));
}
