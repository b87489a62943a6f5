#include "serial_number.h"

#include <cstring>
#include <strings.h>

#include "fru_serials.h"
#include "smbapi.h"

const char szRegSerial[] = "SOFTWARE\\Quorvane\\Trivoke=Serial No";

const SerialRankRow gRanks[13] = {
    {1, 0x22, SN_PRODUCT},  {3, 0x22, SN_CHASSIS},  {23, 0x22, SN_BOARD},
    {5, 0x20, SN_PRODUCT},  {7, 0x20, SN_CHASSIS},  {21, 0x20, SN_BOARD},
    {9, 0x24, SN_PRODUCT},  {11, 0x24, SN_CHASSIS}, {25, 0x24, SN_BOARD},
    {9, 0x06, SN_PRODUCT},  {11, 0x06, SN_CHASSIS}, {25, 0x06, SN_BOARD},
    {SN_NO_RANK, 0, 0},
};

CIpmiSNRank gRanker;

namespace {

constexpr unsigned kSerialBuffer = 64;

// Copies at most size - 1 characters and always terminates (size > 0).
void copyTerminated(char* dest, const char* src, int size)
{
    if (dest == nullptr || size <= 0) return;
    const size_t n = strnlen(src, static_cast<size_t>(size) - 1);
    std::memcpy(dest, src, n);
    dest[n] = '\0';
}

} // namespace

CIpmiSNRank::CIpmiSNRank() : rank(SN_NO_RANK), szSerialNo{}
{
    sdSerialNo.pb = reinterpret_cast<unsigned char*>(szSerialNo);
    sdSerialNo.cb = sizeof szSerialNo;
}

int CIpmiSNRank::GetRank(unsigned char bAddr, unsigned char bType)
{
    for (const SerialRankRow& row : gRanks)
        if (row.bAddr == bAddr && row.bType == bType) return row.rank;
    return SN_NO_RANK;
}

int CIpmiSNRank::RegisterSN(char* pszSerialNo, unsigned char bAddr, unsigned char bType, int fDegrade)
{
    if (!IsValidSerial(pszSerialNo)) return 0;
    const int offered = GetRank(bAddr, bType) + (fDegrade ? 1 : 0);
    if (offered >= rank) return 0;
    rank = offered;
    CopySerialNo(pszSerialNo, sdSerialNo);
    return 1;
}

int CopySerialNo(char* pszSerial, sdType sdDest)
{
    if (!IsValidSerial(pszSerial)) return 0;
    // The block describes a writable buffer of ours; the registry's descriptor type is const.
    copyTerminated(reinterpret_cast<char*>(const_cast<unsigned char*>(sdDest.pb)), pszSerial,
                   static_cast<int>(sdDest.cb));
    return 1;
}

int IsValidSerial(char* pszSerial)
{
    if (pszSerial == nullptr || *pszSerial == '\0' || strcasecmp(pszSerial, "Unknown") == 0) return 0;
    const size_t length = std::strlen(pszSerial);
    size_t letters = 0, zeros = 0, digits = 0;
    size_t firstDigit = length;   // none yet
    bool ascending = true, descending = true;
    for (size_t i = 0; i < length; ++i) {
        const char c = pszSerial[i];
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) {
            ++letters;
        } else if (c == '0') {
            ++zeros;
        } else if (c >= '1' && c <= '9') {
            ++digits;
            if (firstDigit == length) {
                firstDigit = i;
            } else {
                ascending = ascending && c == pszSerial[i - 1] + 1;
                descending = descending && c == pszSerial[i - 1] - 1;
            }
        }
    }
    if (letters == 0 && (ascending || descending)) return 0;
    if (digits >= 2) return 1;
    if (zeros > 0 && firstDigit + 1 >= length) return 0;
    return letters >= 2 ? 1 : 0;
}

int IPMI_GetQVSerialNumber(char* pszSerialRet, int cbSerialMax)
{
    if (!offerFruSerials(gRanker)) return ERR_SERIAL_NOT_FOUND;
    if (gRanker.rank >= SN_NO_RANK) return ERR_SERIAL_NOT_FOUND;
    copyTerminated(pszSerialRet, gRanker.szSerialNo, cbSerialMax);
    return 0;
}

int GetQVSerialNumber(char* lpszSerialNum, int iSize)
{
    char serial[kSerialBuffer] = {};
    // The cached text is taken as it is; room is kept for its terminator.
    if (GetRegData(szRegSerial, serial, kSerialBuffer - 1) == 0) {
        copyTerminated(lpszSerialNum, serial, iSize);
        return 0;
    }
    int rc = SMBAPI_GetQVSerialNumber(serial, kSerialBuffer);
    if (rc != 0 || !IsValidSerial(serial)) {
        std::memset(serial, 0, sizeof serial);
        rc = IPMI_GetQVSerialNumber(serial, kSerialBuffer);
    }
    if (rc != 0) return ERR_SERIAL_NOT_FOUND;
    SetRegData(szRegSerial, serial, std::strlen(serial) + 1);   // a failed cache write costs only time
    copyTerminated(lpszSerialNum, serial, iSize);
    return 0;
}
