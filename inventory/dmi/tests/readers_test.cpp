// One inventory rendered in the three table generations, read back through the facade.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "bios_fixture.h"
#include "bios_image.h"

namespace {

using qv::sim::BiosInventory;
using qv::sim::DmiFormat;
using qv::sim::DmiStructure;
using UC = unsigned char;
using US = unsigned short;

// Formatted-area bytes addressed by structure offset (the header is the renderer's).
class Fields {
public:
    Fields(std::size_t length, std::size_t header) : bytes_(length - header), header_(header) {}
    Fields& put(std::size_t offset, uint64_t value, int width = 1)
    {
        for (int i = 0; i < width; ++i) bytes_.at(offset - header_ + i) = uint8_t(value >> (8 * i));
        return *this;
    }
    std::vector<uint8_t> take() { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
    std::size_t header_;
};

Fields smbios(std::size_t length) { return Fields(length, 4); }
Fields dmi10(std::size_t length) { return Fields(length, 2); }

constexpr std::size_t kNetworkHandle = 3 + 9;   // BIOS, system, maker, then the list below

BiosInventory familyInventory()
{
    BiosInventory inv;
    inv.modelCode = 66;
    inv.biosInfo->characteristics = 0x1AB0;
    inv.structures = {
        {4, smbios(26).put(5, 3).put(6, 0x0B).put(8, 0x652, 8).put(16, 1).put(20, 450, 2).put(22, 400, 2)
                .put(24, 0x41).put(25, 4).take(), {"Pentium II"}},
        {4, smbios(26).put(16, 1).take(), {"   "}},
        {5, smbios(15).put(4, 3).put(5, 4).put(7, 2).put(8, 10).put(9, 60, 2).put(11, 0x104, 2).put(13, 4)
                .put(14, 2).take(), {}},
        {6, smbios(12).put(4, 1).put(5, 0x01).put(6, 60).put(7, 2, 2).put(9, 7).put(10, 7).take(), {"DIMM0"}},
        {6, smbios(12).put(4, 1).put(5, 0x2F).put(9, 0x7F).put(10, 0x7F).take(), {"DIMM1"}},
        {8, smbios(9).put(4, 1).put(7, 8).put(8, 9).take(), {"COM1"}},
        {8, smbios(9).put(6, 1).put(7, 5).put(8, 5).take(), {"LPT1"}},
        {9, smbios(13).put(4, 1).put(5, 6).put(6, 5).put(7, 3).take(), {"PCI1"}},
        {11, smbios(5).put(4, 2).take(), {"Flags---Status05", "Serial---Port113f8"}},
        {133, smbios(18).put(4, 0xDDCCBBAA, 4).put(15, 1).put(17, 1).take(), {"PXE"}},
        {24, smbios(5).put(4, 0x52).take(), {}},
        {136, smbios(12).put(4, 0x1234, 2).put(6, 0x5678, 2).take(), {}},
        {3, smbios(9).put(5, 0x86).take(), {}},
        {131, smbios(7).put(4, 2).put(6, 3).take(), {}},
    };
    return inv;
}

BiosInventory dmi10Inventory()
{
    BiosInventory inv;
    inv.modelCode = 66;
    inv.biosInfo->characteristics = 0x1AB0;
    inv.structures = {
        {3, dmi10(12).put(2, 3).put(8, 200, 2).put(10, 4).take(), {}},
        {4, dmi10(8).put(5, 8).put(7, 70).take(), {}},
        {129, dmi10(3).put(2, 0x21).take(), {}},
        {134, dmi10(14).put(2, 0x12C9A000, 4).put(6, 0x5634, 2).put(10, 1).put(11, 2).take(), {}},
        {133, dmi10(6).put(2, 0x1234, 2).put(4, 0x5678, 2).take(), {}},
        {130, dmi10(5).put(2, 1).put(4, 3).take(), {}},
    };
    return inv;
}

// The BIOS's "ELOG" area, which only DMI 1.0 firmware carries.
void putElogArea(std::vector<uint8_t>& image, uint32_t area)
{
    qv::test::putBytes(image, area + 4, "ELOG");
    qv::test::putBytes(image, area + 74, "VID1.23 SCSI4.56");
    const std::pair<uint32_t, uint8_t> bytes[] = {{91, 0x05}, {112, 0xF8}, {113, 0x13}, {114, 0xF8},
                                                  {115, 0x22}, {116, 0x78}, {117, 0x03}};
    for (auto [offset, value] : bytes) image[area + offset] = value;
}

std::string text(const UC* buffer) { return reinterpret_cast<const char*>(buffer); }

class ReaderTest : public ::testing::TestWithParam<DmiFormat>, protected qv::test::BiosImageTest {
protected:
    void SetUp() override
    {
        const DmiFormat format = GetParam();
        auto image = qv::sim::renderBiosImage(format == DmiFormat::Dmi10 ? dmi10Inventory() : familyInventory(), format);
        if (format == DmiFormat::Dmi10) putElogArea(image, 0xF8000);
        writeImage(image);
    }
};

TEST_P(ReaderTest, ReadsBiosAndSystemTexts)
{
    struct Expected { UC version; const char* name; int modelResult; const char* model; };
    const Expected e = GetParam() == DmiFormat::Smbios21 ? Expected{21, "Quorvane", 1, "Velkarn 1"}
                     : GetParam() == DmiFormat::Dmi20   ? Expected{20, "Quorvane", 1, "Velkarn"}
                                                        : Expected{10, "Velkarn", 0, "untouched"};
    qv::test::OpenBios o;
    EXPECT_EQ(o.bios.GetDMIBIOSVersion(), e.version);
    UC code = 0;
    EXPECT_EQ(o.bios.GetComputerIdentification(code), 1);
    EXPECT_EQ(code, 66);

    using Getter = int (CQVDMIBIOS::*)(UC*, UC);
    const struct { Getter getter; const char* expected; } texts[] = {
        {&CQVDMIBIOS::GetComputerName, e.name},
        {&CQVDMIBIOS::GetBiosVersion, "QV.10.01.0007"},
        {&CQVDMIBIOS::GetBiosReleaseDate, "03/15/1999"},
        {&CQVDMIBIOS::GetBiosManufacturer, "Quorvane"},
        {&CQVDMIBIOS::GetQVSerialNumber, "QV99120047"},
    };
    for (const auto& t : texts) {
        UC buffer[64] = {};
        EXPECT_EQ((o.bios.*t.getter)(buffer, sizeof buffer), 1);
        EXPECT_EQ(text(buffer), t.expected);
    }
    UC model[64] = "untouched";
    EXPECT_EQ(o.bios.GetSystemModel(model, sizeof model), e.modelResult);
    EXPECT_EQ(text(model), e.model);

    UC shortBuffer[6];
    EXPECT_EQ(o.bios.GetBiosVersion(shortBuffer, sizeof shortBuffer), 1);
    EXPECT_EQ(text(shortBuffer), "QV.10");

    // 0x1AB0: ISA, MCA, PCI, PnP, upgradeable, shadowing.
    const int bits[] = {o.bios.IsIsaSupported(), o.bios.IsMcaSupported(), o.bios.IsEisaSupported(),
                        o.bios.IsPciSupported(), o.bios.IsPcmciaSupported(), o.bios.IsPnpSupported(),
                        o.bios.IsBiosUpgradeable(), o.bios.IsShadowingAllowed(), o.bios.IsVlvesaSupported(),
                        o.bios.IsEscdAvailable()};
    const int expectedBits[] = {1, 1, 0, 1, 0, 1, 1, 1, 0, 0};
    for (int i = 0; i < 10; ++i) EXPECT_EQ(bits[i], expectedBits[i]) << i;
    US start = 0;
    UC rom = 0;
    EXPECT_EQ(o.bios.GetBiosStartingAddress(start), 1);
    EXPECT_EQ(start, 0xE000);
    EXPECT_EQ(o.bios.GetBiosRomSize(rom), 1);
    EXPECT_EQ(rom, 1);
}

INSTANTIATE_TEST_SUITE_P(AllGenerations, ReaderTest,
                         ::testing::Values(DmiFormat::Smbios21, DmiFormat::Dmi20, DmiFormat::Dmi10));

class SmbiosFamilyTest : public ReaderTest {};

TEST_P(SmbiosFamilyTest, ReadsInventoryStructures)
{
    qv::test::OpenBios o;
    auto& b = o.bios;
    EXPECT_EQ(b.GetNumberOfProcessor(), 2);
    EXPECT_EQ(b.GetNumberOfMemMod(), 2);
    EXPECT_EQ(b.GetNumberOfConnector(), 2);
    EXPECT_EQ(b.GetNumberOfSystemSlots(), 1);
    EXPECT_EQ(b.GetNumberOfDisk(), 1);
    EXPECT_EQ(b.GetSubstructureOccurence(200), 0);

    US speed = 0;
    unsigned long long id = 0;
    UC byte = 0;
    EXPECT_EQ(b.GetProcessorSpeed(1, speed), 1);
    EXPECT_EQ(speed, 400);
    EXPECT_EQ(b.GetProcessorID(1, id), 1);
    EXPECT_EQ(id, 0x652u);
    EXPECT_EQ(b.GetProcessorType(byte), 1);
    EXPECT_EQ(byte, 0x0B);
    EXPECT_EQ(b.GetMaxSpeedOfProcessorOccurence(1), 450);
    EXPECT_EQ(b.GetStatusOfProcessorOccurence(1), 0x41);
    EXPECT_EQ(b.GetUpgradeOfProcessorOccurence(1), 4);
    UC version[32] = {};
    EXPECT_EQ(b.GetProcessorVersion(1, version, sizeof version), 1);
    EXPECT_EQ(text(version), "Pentium II");

    const struct { int (CQVDMIBIOS::*getter)(UC&); UC expected; } memoryBytes[] = {
        {&CQVDMIBIOS::GetMemErrMethod, 3}, {&CQVDMIBIOS::GetMemECCTypes, 4}, {&CQVDMIBIOS::GetMemInterleave, 2},
        {&CQVDMIBIOS::GetMaxModSize, 10},  {&CQVDMIBIOS::GetMemVoltage, 4},  {&CQVDMIBIOS::GetMemNumSlots, 2},
        {&CQVDMIBIOS::GetHardwareSecuritySettings, 0x52},
    };
    for (const auto& m : memoryBytes) {
        UC v = 0;
        EXPECT_EQ((b.*m.getter)(v), 1);
        EXPECT_EQ(v, m.expected);
    }
    US word = 0;
    EXPECT_EQ(b.GetMemSpeed(word), 1);
    EXPECT_EQ(word, 60);

    UC socket[16] = {};
    EXPECT_EQ(b.GetMemModSocket(2, socket, sizeof socket), 1);
    EXPECT_EQ(text(socket), "DIMM1");
    EXPECT_EQ(b.GetSizeOfSIMMSlotOccurrence(1), 7);
    EXPECT_EQ(b.IsSIMMSlotOccurrenceFree(1), 1);
    EXPECT_EQ(b.IsSIMMSlotOccurrenceFree(2), 0);
    EXPECT_EQ(b.GetModBankConnect(3, byte), 0);   // only two modules

    UC serial = 0, parallel = 0;
    EXPECT_EQ(b.GetCommunicationPortNumber(serial, parallel), 1);
    EXPECT_EQ(serial, 1);
    EXPECT_EQ(parallel, 1);
    UC designation[16] = {};
    EXPECT_EQ(b.GetDesignationOfSystemSlotOccurence(1, designation, sizeof designation), 1);
    EXPECT_EQ(text(designation), "PCI1");
    EXPECT_EQ(b.GetTypeOfSystemSlotOccurence(1), 6);
    EXPECT_EQ(b.GetUsageOfSystemSlotOccurence(1), 3);

    EXPECT_EQ(b.GetNumberOfOEMStrings(), 2);
    UC oem[32] = {};
    EXPECT_EQ(b.GetStringOfOEMStringOccurence(1, 2, oem, sizeof oem), 1);
    EXPECT_EQ(text(oem), "Serial---Port113f8");
    if (GetParam() == DmiFormat::Smbios21) { // DMI 2.0 string tables carry no count
        EXPECT_EQ(b.GetStringOfOEMStringOccurence(1, 3, oem, sizeof oem), 0);
    }

    char mac[16];
    std::snprintf(mac, sizeof mac, "%02X%02XAABBCCDD", unsigned(kNetworkHandle & 0xFF), unsigned(kNetworkHandle >> 8));
    UC macBuffer[13] = {};
    EXPECT_EQ(b.GetTheMacAddress(macBuffer, 12), 0);
    EXPECT_EQ(b.GetTheMacAddress(macBuffer, 13), 1);
    EXPECT_EQ(text(macBuffer), mac);
    EXPECT_EQ(b.IsTheLanSupported(), 1);
    EXPECT_EQ(b.GetNbOfProtocolsForBootrom(), 1);
    UC protocol[8] = {};
    EXPECT_EQ(b.GetNameOfBootromProtocol(0, protocol, sizeof protocol), 1);
    EXPECT_EQ(text(protocol), "PXE");
    EXPECT_EQ(b.GetNameOfBootromProtocol(1, protocol, sizeof protocol), 0);

    EXPECT_EQ(b.GetPostErrorCode(0, word), 1);
    EXPECT_EQ(word, 0x1234);
    EXPECT_EQ(b.GetPostTestPoint(0, word), 1);
    EXPECT_EQ(word, 0x5678);
    EXPECT_EQ(b.IsMiniTower(), 1);
    EXPECT_EQ(b.GetStorageTypeOfDiskOccurrence(1), 3);
}

TEST_P(SmbiosFamilyTest, CopiesStructuresByTheBufferRule)
{
    qv::test::OpenBios o;
    UC buffer[100];
    UC length = 10;
    EXPECT_EQ(o.bios.GetDMISubStructure(6, 2, buffer, length), -1);
    EXPECT_EQ(length, 12);
    length = sizeof buffer;
    EXPECT_EQ(o.bios.GetDMISubStructure(6, 2, buffer, length), 1);
    EXPECT_EQ(buffer[5], 0x2F);
    EXPECT_EQ(o.bios.GetDMISubStructure(6, 3, buffer, length), 0);

    int walked = 0;
    length = sizeof buffer;
    for (int rc = o.bios.GetFirstDMISubStructure(buffer, length); rc == 1;
         rc = o.bios.GetNextDMISubStructure(buffer, length))
        ++walked;
    // The SMBIOS walk is ended by the count alone, so its end-of-table structure is one more.
    EXPECT_EQ(walked, GetParam() == DmiFormat::Smbios21 ? 3 + 14 + 1 : 3 + 14);

    UC untouched[8] = "keep";
    EXPECT_EQ(o.bios.GetDMIString(6, 1, 11, untouched, sizeof untouched), 0);   // string number 0
    EXPECT_EQ(text(untouched), "keep");
}

TEST_P(SmbiosFamilyTest, ProcessorVersionDiffersBetweenGenerations)
{
    qv::test::OpenBios o;
    UC version[16] = "keep";
    const int rc = o.bios.GetProcessorVersion(3, version, sizeof version);
    if (GetParam() == DmiFormat::Smbios21) {
        EXPECT_EQ(rc, 0);
        EXPECT_EQ(text(version), "keep");
    } else {
        EXPECT_EQ(rc, 1);
        EXPECT_EQ(text(version), "Unknown");
    }
}

INSTANTIATE_TEST_SUITE_P(SmbiosAndDmi20, SmbiosFamilyTest, ::testing::Values(DmiFormat::Smbios21, DmiFormat::Dmi20));

class Dmi10Test : public ReaderTest {};

TEST_P(Dmi10Test, ReadsRecordsAndElogStrings)
{
    qv::test::OpenBios o;
    auto& b = o.bios;
    US word = 0;
    EXPECT_EQ(b.GetProcessorSpeed(1, word), 1);
    EXPECT_EQ(word, 200);
    EXPECT_EQ(b.GetTypeOfProcessorOccurence(1), 3);
    EXPECT_EQ(b.GetUpgradeOfProcessorOccurence(1), 4);
    EXPECT_EQ(b.GetSizeOfSIMMSlotOccurrence(1), 8);
    EXPECT_EQ(b.GetSpeedOfSIMMSlotOccurrence(1), 70);
    EXPECT_EQ(b.IsSIMMSlotOccurrenceFree(1), 1);
    EXPECT_EQ(b.GetNumberOfMemMod(), 0);   // not a DMI 1.0 query
    UC first = 0, second = 0;
    EXPECT_EQ(b.GetCommunicationPortNumber(first, second), 1);
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 2);
    UC mac[13] = {};
    EXPECT_EQ(b.GetTheMacAddress(mac, sizeof mac), 1);
    EXPECT_EQ(text(mac), "00A0C9123456");
    EXPECT_EQ(b.GetNbOfProtocolsForBootrom(), 1);
    EXPECT_EQ(b.GetRemoteStartValue(), 2);
    EXPECT_EQ(b.GetPostTestPoint(0, word), 1);
    EXPECT_EQ(word, 0x5678);
    EXPECT_EQ(b.GetTypeOfDiskOccurrence(1), 1);
    EXPECT_EQ(b.GetBaseMemory(word), 1);
    EXPECT_EQ(word, 640);

    EXPECT_EQ(b.GetNumberOfOEMStrings(), 6);
    const char* expected[] = {"VID1.23 ", "SCSI4.56", "Flags---Status05", "Serial---Port113f8",
                              "Serial---Port222f8", "Parallel-Port10378"};
    for (UC n = 1; n <= 6; ++n) {
        UC s[20] = {};
        EXPECT_EQ(b.GetStringOfOEMStringOccurence(1, n, s, sizeof s), 1);
        EXPECT_EQ(std::string(reinterpret_cast<char*>(s)), expected[n - 1]) << int(n);
    }
    UC s[20];
    EXPECT_EQ(b.GetStringOfOEMStringOccurence(1, 3, s, 19), 0);
    EXPECT_EQ(b.GetStringOfOEMStringOccurence(1, 7, s, 20), 0);
    UC video[20] = {};
    EXPECT_EQ(b.GetVideoBiosVersion(video, sizeof video), 1);
    EXPECT_EQ(text(video), "VID1.23 ");
}

INSTANTIATE_TEST_SUITE_P(Dmi10Only, Dmi10Test, ::testing::Values(DmiFormat::Dmi10));

} // namespace
