#include "dmi_driver.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "sandbox_path.h"

namespace {

constexpr unsigned char kFirstCmosIndex = 14;   // /dev/nvram numbers its bytes from CMOS byte 14
constexpr unsigned char kLastCmosIndex = 63;

// A regular file (the test image) shorter than the area would fault on access past its end.
bool canMapArea(int fd, off_t offset, std::size_t length)
{
    struct stat st {};
    if (fstat(fd, &st) != 0) return false;
    if (!S_ISREG(st.st_mode)) return true;
    return st.st_size >= offset && std::size_t(st.st_size - offset) >= length;
}

} // namespace

CQVDMILinuxDriver::~CQVDMILinuxDriver()
{
    if (bDriverLoaded == 1) CloseDriver();
}

int CQVDMILinuxDriver::LoadDriver()
{
    if (bDriverLoaded == 1) return 1;
    hDevMem = open(qv::sandboxPath("/dev/mem").c_str(), O_RDONLY | O_CLOEXEC);
    if (hDevMem < 0) {
        hDevMem = -1;
        return 0;
    }
    bDriverLoaded = 1;
    return 1;
}

void CQVDMILinuxDriver::CloseDriver()
{
    unmap();
    if (hDevMem >= 0) close(hDevMem);
    bDriverLoaded = 0;
    hDevMem = -1;
}

unsigned char* CQVDMILinuxDriver::GetPtrOnSegment(unsigned short segment)
{
    if (hDevMem == -1) return nullptr;
    const std::size_t length = CQVDMIDriver::SegmentLength(segment);
    const off_t offset = CQVDMIDriver::SegmentBase(segment);
    // A reader maps the BIOS area for every table it walks: a mapping that already covers the
    // segment serves it again, since mapping and unmapping cost far more than the walk itself.
    if (m_pSegmentPtr && offset >= m_mapOffset &&
        offset + off_t(length) <= m_mapOffset + off_t(nLength) &&
        canMapArea(hDevMem, m_mapOffset, std::size_t(nLength)))
        return m_pSegmentPtr + (offset - m_mapOffset);
    unmap();
    if (!canMapArea(hDevMem, offset, length)) return nullptr;
    void* p = mmap(nullptr, length, PROT_READ, MAP_SHARED, hDevMem, offset);
    if (p == MAP_FAILED) return nullptr;
    m_pSegmentPtr = static_cast<unsigned char*>(p);
    m_mapOffset = offset;
    nLength = static_cast<int>(length);
    return m_pSegmentPtr;
}

// The mapping stays until a segment outside it is asked for or the driver closes; the caller's
// pointer is still not to be used after its release.
int CQVDMILinuxDriver::ReleasePtrOnSegment() { return 1; }

void CQVDMILinuxDriver::unmap()
{
    if (m_pSegmentPtr) munmap(m_pSegmentPtr, std::size_t(nLength));
    m_pSegmentPtr = nullptr;
    m_mapOffset = 0;
    nLength = 0;
}

unsigned char CQVDMILinuxDriver::ReadCMOS(unsigned char index)
{
    if (index < kFirstCmosIndex || index > kLastCmosIndex) return 0;
    int fd = open(qv::sandboxPath("/dev/nvram").c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return 0;
    unsigned char value = 0;
    ssize_t got = -1;
    if (lseek(fd, index - kFirstCmosIndex, SEEK_SET) >= 0) got = read(fd, &value, 1);
    close(fd);
    return got == 1 ? value : 0;
}

CQVDMIDriver::CQVDMIDriver() : m_pDMIDriver(new CQVDMILinuxDriver) {}

CQVDMIDriver::~CQVDMIDriver()
{
    delete m_pDMIDriver;
    m_pDMIDriver = nullptr;
}

int CQVDMIDriver::InitDriver() { return m_pDMIDriver ? m_pDMIDriver->InitDriver() : 0; }
int CQVDMIDriver::LoadDriver() { return m_pDMIDriver ? m_pDMIDriver->LoadDriver() : 0; }

void CQVDMIDriver::CloseDriver()
{
    if (m_pDMIDriver) m_pDMIDriver->CloseDriver();
}

unsigned char* CQVDMIDriver::GetPtrOnSegment(unsigned short segment)
{
    return m_pDMIDriver ? m_pDMIDriver->GetPtrOnSegment(segment) : nullptr;
}

int CQVDMIDriver::ReleasePtrOnSegment() { return m_pDMIDriver ? m_pDMIDriver->ReleasePtrOnSegment() : 0; }

unsigned char CQVDMIDriver::ReadCMOS(unsigned char index)
{
    return m_pDMIDriver ? m_pDMIDriver->ReadCMOS(index) : 0xFF;
}
