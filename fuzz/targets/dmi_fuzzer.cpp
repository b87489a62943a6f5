// One DMI table reader (QV_FUZZ_READER) with every getter, on a BIOS image built from the input
// (see bios_image.h), plus the facade that picks a reader.
#include "bios_image.h"
#include "dmi10_reader.h"
#include "dmi_bios.h"
#include "dmi_driver.h"
#include "fuzz_root.h"
#include "smbios_family_reader.h"

#include <cstring>
#include <vector>

namespace {

using UC = unsigned char;
using US = unsigned short;
using ULL = unsigned long long;

// Binds to whichever out-parameter type a getter takes.
struct AnyOut {
    UC uc = 0;
    US us = 0;
    ULL ull = 0;
    operator UC&() { return uc; }
    operator US&() { return us; }
    operator ULL&() { return ull; }
};

#ifdef QV_FUZZ_DMI10
UC checksumOf(const uint8_t* bytes, size_t count)
{
    UC sum = 0;
    for (size_t i = 0; i < count; ++i) sum = UC(sum + bytes[i]);
    return UC(0x100 - sum);
}

// DMI 1.0 headers are checksummed over the header and the table: get them right for half of
// the inputs so the fuzzer reaches the table walk instead of stopping at the checksum.
void fixDmi10Checksums(std::vector<uint8_t>& window)
{
    constexpr size_t kF = 0x10000;
    const uint8_t* found = static_cast<const uint8_t*>(memmem(window.data() + kF, 0x10000, "$DMI", 4));
    if (!found) return;
    const size_t at = size_t(found - window.data());
    if (at + sizeof(DMI10_HEADER) > window.size()) return;
    DMI10_HEADER header;
    std::memcpy(&header, window.data() + at, sizeof header);
    const uint32_t physical = CQVDMIDriver::SegmentBase(uint16_t(header.dwStructPtr >> 16)) +
                              (header.dwStructPtr & 0xFFFF);
    if (physical >= qv::fuzz::BiosImage::kWindowBase &&
        physical - qv::fuzz::BiosImage::kWindowBase + header.wStructLenght <= window.size())
        header.bSubStructChecksum =
            checksumOf(window.data() + physical - qv::fuzz::BiosImage::kWindowBase, header.wStructLenght);
    const size_t covered = header.bLenght ? header.bLenght - 1u : 0;
    std::memcpy(window.data() + at, &header, sizeof header);
    if (covered > 0 && covered < sizeof header)
        window[at + 13] = checksumOf(window.data() + at, covered);
}
#endif

// Every slot with the occurrence or index `n`, strings into a buffer of exactly `length` bytes.
void callEverySlot(CQVDMIBIOSVirtual& reader, UC n, UC bufferLength)
{
    std::vector<UC> storage(bufferLength ? bufferLength : 1);
    UC* buffer = storage.data();
    UC type = n, occurrence = n, offset = UC(n * 3), number = n, code = 0, first = 0, second = 0;
    UC protocol = n, entry = n;
    US speed = 0, high = 0, low = 0;
    int processor = n, module = n;
    unsigned long farAddress = 0xF0000000ul | n;
    AnyOut value;
    UC length = bufferLength;
    // The structure getters report the size they need through `length`: reset it every time.
#define DMI_SLOT(result, name, params, args, noReader) \
    length = bufferLength;                             \
    (void)reader.name args;
#include "dmi_bios_slots.inc"
#undef DMI_SLOT
    (void)code, (void)first, (void)second, (void)speed, (void)high, (void)low;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static qv::fuzz::BiosImage image;
    static CQVDMIDriver driver;
    static const bool loaded = driver.LoadDriver();
    (void)loaded;

    image.build(data, size);
#ifdef QV_FUZZ_DMI10
    if (size % 2 == 0) fixDmi10Checksums(image.window());
#endif
    image.write();

    QV_FUZZ_READER reader(&driver);
    if (reader.IsDMIBIOSPresent()) {
        // First, later and missing occurrences; full, short and empty buffers.
        static constexpr UC kCases[][2] = {{1, 255}, {2, 5}, {0, 0}, {255, 255}};
        for (const auto& c : kCases) callEverySlot(reader, c[0], c[1]);
        for (UC type : {UC(0), UC(1), UC(4), UC(128), UC(255)})
            for (UC fieldOffset : {UC(0), UC(4), UC(0x20), UC(255)}) {
                UC b;
                US w;
                unsigned long d;
                ULL q;
                (void)reader.GetDMIBYTE(type, fieldOffset, b, 1);
                (void)reader.GetDMIWORD(type, fieldOffset, w, 1);
                (void)reader.GetDMIDWORD(type, fieldOffset, d, 2);
                (void)reader.GetDMIQWORD(type, fieldOffset, q, 1);
                (void)reader.GetSubstructureOccurence(type);
            }
    }

    CQVDMIBIOS facade(&driver);
    if (facade.InitializeDMIBIOS()) {
        UC version[64];
        (void)facade.GetSystemVersion(version, sizeof version);
    }
    return 0;
}
