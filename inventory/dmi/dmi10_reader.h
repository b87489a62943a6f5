// Reader of the oldest table generation: a checksummed "$DMI" header in the F segment, records
// chained by their lengths, strings reached by near or far pointers, OEM strings built from the
// BIOS's "ELOG" area.
#pragma once

#include <cstdint>

#include "dmi_bios.h"

#pragma pack(push, 1)
struct DMI10_HEADER {
    uint8_t bSignature[4];
    uint8_t bVersion;
    uint8_t bLenght;
    uint32_t dwStructPtr;   // offset word, then segment word
    uint16_t wStructLenght;
    uint8_t bSubStructChecksum;
    uint8_t bDMIheaderChecksum;
};
#pragma pack(pop)
static_assert(sizeof(DMI10_HEADER) == 14);

class CQVDMIBIOS10 final : public CQVDMIBIOSVirtual {
public:
    using CQVDMIBIOSVirtual::CQVDMIBIOSVirtual;

    static constexpr unsigned char kOemStringCount = 6;
    static constexpr unsigned char kOemStringSize = 20;

    int IsDMIBIOSPresent() override;
    int GetDMISubStructure(UC type, UC occurrence, UC* buffer, UC& length) override;
    int GetNextDMISubStructure(UC* buffer, UC& length) override;
    int GetFirstDMISubStructure(UC* buffer, UC& length) override;
    int GetDMIString(unsigned long farAddress, UC* buffer, UC length) override;
    using CQVDMIBIOSVirtual::GetDMIString;
    int GetComputerIdentification(UC& code) override;
    int GetComputerName(UC* buffer, UC length) override;
    int GetProcessorSpeed(int processor, US& speed) override;
    int GetBiosVersion(UC* buffer, UC length) override;
    int GetSCSIBiosVersion(UC* buffer, UC length) override;
    int GetVideoBiosVersion(UC* buffer, UC length) override;
    int GetBiosReleaseDate(UC* buffer, UC length) override;
    int GetBiosManufacturer(UC* buffer, UC length) override;
    int GetSystemBootUpTime(UC* buffer, UC length) override;
    int GetQVSerialNumber(UC* buffer, UC length) override;
    int GetTheMacAddress(UC* buffer, UC length) override;
    int GetCommunicationPortNumber(UC& first, UC& second) override;
    int IsIsaSupported() override;
    int IsMcaSupported() override;
    int IsEisaSupported() override;
    int IsPciSupported() override;
    int IsPcmciaSupported() override;
    int IsPnpSupported() override;
    int IsBiosUpgradeable() override;
    int IsShadowingAllowed() override;
    int IsVlvesaSupported() override;
    int IsEscdAvailable() override;
    int IsInfraRedSupported() override;
    int IsTheLanSupported() override;
    int IsTheBootRomSupported() override;
    int IsTheTattooingSupported() override;
    int IsMiniTower() override;
    int IsEmbeddedVideoUsed() override;
    int IsPCMCIAPresent() override;
    int GetBaseMemory(US& value) override;
    int GetExtendedMemory(US& value) override;
    int GetBiosRomSize(UC& value) override;
    int GetBiosStartingAddress(US& value) override;
    UC GetNumberOfProcessor() override;
    UC GetNumberOfSystemSlots() override;
    UC GetNumberOfSIMMSlots() override;
    UC GetNumberOfCache() override;
    UC GetNumberOfConnector() override;
    UC GetNumberOfDisk() override;
    UC GetNumberOfOEMStrings() override;
    int GetStringOfOEMStringOccurence(UC occurrence, UC number, UC* buffer, UC length) override;
    US GetInstalledSizeOfCacheOccurence(UC n) override;
    UC GetLevelOfCacheOccurence(UC n) override;
    UC GetTypeOfSystemSlotOccurence(UC n) override;
    UC GetWidthOfSystemSlotOccurence(UC n) override;
    UC GetUsageOfSystemSlotOccurence(UC n) override;
    int GetDesignationOfSystemSlotOccurence(UC n, UC* buffer, UC length) override;
    UC GetPortTypeOfConnectorOccurence(UC n) override;
    UC GetTypeOfConnectorOccurence(UC n) override;
    int GetDesignationOfConnectorOccurence(UC n, UC* buffer, UC length) override;
    UC GetSizeOfSIMMSlotOccurrence(UC n) override;
    UC GetSpeedOfSIMMSlotOccurrence(UC n) override;
    int IsSIMMSlotOccurrenceFree(UC n) override;
    UC GetTypeOfProcessorOccurence(UC n) override;
    UC GetFamillyOfProcessorOccurence(UC n) override;
    US GetMaxSpeedOfProcessorOccurence(UC n) override;
    UC GetUpgradeOfProcessorOccurence(UC n) override;
    int GetVersionOfProcessorOccurence(UC n, UC* buffer, UC length) override;
    UC GetStatusOfProcessorOccurence(UC n) override;
    UC GetNbOfProtocolsForBootrom() override;
    int GetNameOfBootromProtocol(UC protocol, UC* buffer, UC length) override;
    UC GetRemoteStartValue() override;
    UC GetTypeOfDiskOccurrence(UC n) override;
    UC GetStorageTypeOfDiskOccurrence(UC n) override;
    int GetPostErrorCode(UC entry, US& value) override;
    int GetPostTestPoint(UC entry, US& value) override;
    int Get16BitsQVPEPtr(US& high, US& low) override;

private:
    bool ScanForTable();
    int PointedString(UC type, UC offset, UC width, UC* buffer, UC length, UC occurrence = 1);
    int StringOrUnknown(UC type, UC offset, UC width, UC* buffer, UC length);
    UC ByteOr0(UC type, UC offset, UC occurrence = 1);
    US WordOr0(UC type, UC offset, UC occurrence = 1);
    int BiosCharacteristic(UC bit);
    int Capability(UC bit);

    int m_bTableOk = 0;
    int m_bBIOSScanned = 0;
    uint16_t m_wHeaderOff = 0;
    uint16_t m_wTableSeg = 0;
    uint16_t m_wTableOff = 0;
    // Wider than an offset so that stepping past the segment's end cannot wrap to its start.
    uint32_t m_wCurrentStructOff = 0;
};
