// One FRU inventory device of a package: reads its whole data through the package's controller,
// splits it into the chassis, board and product areas and turns the fields into texts.
#pragma once

#include "ipmobjectsexport.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace qv::bmc {

// Text of one field, empty when the field gives none (binary: hex pairs, BCD plus, 8-bit text).
std::string fieldText(UINT8 type, UINT8 length, const UINT8* data);
// The 24-character UTC text of minutes since 1996-01-01 12:00:00.
std::string manufacturingTime(UINT32 minutes);
// Meaning of a chassis type code, null when the code has none.
const char* chassisTypeText(UINT8 code);
// 0, or 0xA00E0000 / 0xA0100000; fills `out` (owned field copies, free with freeFruData).
ErrorType structureFruData(const UINT8* data, size_t length, FruDataStruct* out);
// 0, or 0xA00F0000 when the header or an area does not sum to zero.
ErrorType checkFruSums(const UINT8* data, size_t length, const FruDataStruct& s);
void formatFruData(const FruDataStruct& s, FormattedFruDataStruct* out);
void freeFruData(FruDataStruct* s);
void freeFormattedFruData(FormattedFruDataStruct* f);

} // namespace qv::bmc

class CFru : public CFruExport {
public:
    CFru(const Sdr* pSdr, CIPMControllerExport* pController);
    CFru(const CFru&) = delete;
    CFru& operator=(const CFru&) = delete;

    ErrorType ReadFruData() override;
    ErrorType WriteFruData(unsigned char* pbData, unsigned short wLength) override;
    Sdr* GetSdr() override;
    CIPMControllerExport* GetController() override;
    unsigned char* GetFruData() override;
    unsigned short GetFruDataLength() override;
    FruDataStruct* GetStructuredFruData() override;
    FormattedFruDataStruct* GetFormattedFruData() override;
    virtual ~CFru();

private:
    ErrorType readRaw();
    ErrorType readInventory(UINT8 deviceId);
    ErrorType readEeprom(UINT8 deviceType, UINT8 bus, UINT8 slaveAddress);
    void dropDerived();

    Sdr* m_pSdr = nullptr;
    CIPMControllerExport* m_pController = nullptr;
    unsigned char* m_pbFruData = nullptr;
    UINT16 m_wFruDataLength = 0;
    FruDataStruct* m_pStructuredFruData = nullptr;
    FormattedFruDataStruct* m_pFormattedFruData = nullptr;
};
