// Floppy drives named in the kernel's boot messages, their types read from CMOS.
#pragma once

#include <string>

class CLinuxFloppyInfo {
public:
    CLinuxFloppyInfo() = default;
    ~CLinuxFloppyInfo();
    CLinuxFloppyInfo(const CLinuxFloppyInfo&) = delete;
    CLinuxFloppyInfo& operator=(const CLinuxFloppyInfo&) = delete;

    int GetNbFloppyDrives();
    // FloppyDriveType of drive i (1-based); 0 (Unknown) beyond the list.
    int GetFloppyDriveType(int i);
    void InitFloppys();

    static constexpr int kMaxDrives = 15;

private:
    char m_szFloppysList[64] = {};   // "fd0#fd1#"
    int m_nNbFloppyDrives = 0;
    bool m_bInit = false;
};

namespace qv::host {

// Standard output of qv::sandboxPath("/bin/dmesg"), read through a pipe (no file in /tmp a
// local user could pre-place). False when it cannot be run or ends with a non-zero status.
bool readKernelMessages(std::string& output);

} // namespace qv::host
