// The server serial number: the registry cache first, then the SMBIOS/DMI tables, then the FRU
// inventory of the management controllers, best-ranked candidate first. A number found in BIOS
// or FRU data is cached in the registry for every later caller.
#pragma once

#include "registry.h"

constexpr int ERR_SERIAL_NOT_FOUND = 0x100013;

extern const char szRegSerial[];   // "SOFTWARE\Quorvane\Trivoke=Serial No"

#pragma pack(push, 1)
struct SerialRankRow {
    int rank;
    unsigned char bAddr;
    unsigned char bType;   // 1 product, 2 chassis, 3 board serial
};
#pragma pack(pop)
static_assert(sizeof(SerialRankRow) == 6);

constexpr unsigned char SN_PRODUCT = 1;
constexpr unsigned char SN_CHASSIS = 2;
constexpr unsigned char SN_BOARD = 3;
constexpr int SN_NO_RANK = 999;

extern const SerialRankRow gRanks[13];

// The best FRU serial offered so far in this process (lower rank wins, first offer on a tie).
class CIpmiSNRank {
public:
    CIpmiSNRank();
    int RegisterSN(char* pszSerialNo, unsigned char bAddr, unsigned char bType, int fDegrade);
    int GetRank(unsigned char bAddr, unsigned char bType);

    int rank;
    sdType sdSerialNo;
    char szSerialNo[64];
};

extern CIpmiSNRank gRanker;

extern "C" {
int GetQVSerialNumber(char* lpszSerialNum, int iSize);
int IsValidSerial(char* pszSerial);
int IPMI_GetQVSerialNumber(char* pszSerialRet, int cbSerialMax);
}

// Copies a plausible serial into the block, at most its cb bytes; returns IsValidSerial's result.
int CopySerialNo(char* pszSerial, sdType sdDest);
