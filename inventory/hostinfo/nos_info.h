// Host name, operating system name and kernel version.
#pragma once

#include "cstring.h"

class NosInfoVirtual {
public:
    virtual CString getSystemName() = 0;
    virtual CString getOperatingSystemName() = 0;
    virtual CString getOperatingSystemVersion() = 0;

protected:
    ~NosInfoVirtual() = default;   // deleted only as its implementation
};

class LinuxNosInfo final : public NosInfoVirtual {
public:
    CString getSystemName() override;
    CString getOperatingSystemName() override;
    // The words of /proc/version joined by single blanks, a blank after the last; "" when the
    // file cannot be read.
    CString getOperatingSystemVersion() override;
};

class NosInfo {
public:
    NosInfo() : nosInfo(new LinuxNosInfo) {}
    ~NosInfo() { delete nosInfo; }
    NosInfo(const NosInfo&) = delete;
    NosInfo& operator=(const NosInfo&) = delete;

    CString getSystemName() { return nosInfo->getSystemName(); }
    CString getOperatingSystemName() { return nosInfo->getOperatingSystemName(); }
    CString getOperatingSystemVersion() { return nosInfo->getOperatingSystemVersion(); }

private:
    LinuxNosInfo* nosInfo;
};
