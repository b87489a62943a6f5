// Read access to the BIOS area of physical memory (/dev/mem) and to the CMOS bytes (/dev/nvram).
// One facade over one Linux implementation; at most one mapping per driver object.
#pragma once

#include <cstddef>
#include <cstdint>
#include <sys/types.h>

class CQVDMIVirtualDriver {
public:
    // Virtual so that the facade's delete runs the Linux driver's close.
    virtual ~CQVDMIVirtualDriver() = default;

    virtual int InitDriver() = 0;
    virtual int LoadDriver() = 0;
    virtual void CloseDriver() = 0;
    virtual unsigned char* GetPtrOnSegment(unsigned short segment) = 0;
    virtual int ReleasePtrOnSegment() = 0;
    virtual unsigned char ReadCMOS(unsigned char index) = 0;

protected:
    // Kept for the layout of the driver family; the Linux driver keeps its state in its own fields.
    uint32_t m_hDriverHandle = 0;
    uint32_t m_pSegmentWord = 0;
    uint32_t m_pQvpePtr = 0;
};

class CQVDMILinuxDriver : public CQVDMIVirtualDriver {
public:
    CQVDMILinuxDriver() = default;
    ~CQVDMILinuxDriver() override;
    CQVDMILinuxDriver(const CQVDMILinuxDriver&) = delete;
    CQVDMILinuxDriver& operator=(const CQVDMILinuxDriver&) = delete;

    int InitDriver() override { return 1; }
    int LoadDriver() override;
    void CloseDriver() override;
    unsigned char* GetPtrOnSegment(unsigned short segment) override;
    int ReleasePtrOnSegment() override;
    unsigned char ReadCMOS(unsigned char index) override;

private:
    void unmap();

    int bDriverLoaded = 0;
    int hDevMem = -1;
    unsigned char* m_pSegmentPtr = nullptr;
    off_t m_mapOffset = 0;
    int nLength = 0;
};

class CQVDMIDriver {
public:
    CQVDMIDriver();
    ~CQVDMIDriver();
    CQVDMIDriver(const CQVDMIDriver&) = delete;
    CQVDMIDriver& operator=(const CQVDMIDriver&) = delete;

    int InitDriver();
    int LoadDriver();
    void CloseDriver();
    unsigned char* GetPtrOnSegment(unsigned short segment);
    int ReleasePtrOnSegment();
    unsigned char ReadCMOS(unsigned char index);

    // Bytes mapped for a segment: the F segment alone, or everything from E0000h up to 1 MB.
    static std::size_t SegmentLength(unsigned short segment) { return segment > 0xEFFF ? 0x10000 : 0x20000; }
    // Physical address of a segment's mapping: only its top four bits count.
    static uint32_t SegmentBase(unsigned short segment) { return uint32_t(segment & 0xF000) << 4; }

protected:
    // For tests of the facade without a driver.
    struct NoDriver {};
    explicit CQVDMIDriver(NoDriver) {}

private:
    CQVDMIVirtualDriver* m_pDMIDriver = nullptr;
};
