#include "card_reader.h"

#include "rmc_fru.h"

#include <qvbmc.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <vector>

namespace {
constexpr size_t kPieceBytes = 20;

// The FRU data of the card's controller; empty when it cannot be read.
std::vector<uint8_t> readCardFru(CIPMControllerExport* controller)
{
    std::vector<uint8_t> data;
    try {
        const UINT8 version = controller->GetDeviceId().bVersion;
        FruGetFruInventoryInfoRequest info{};
        info.bVersion = version;
        info.bRequestLength = version == 10 ? 1 : 0;
        info.Ver10.deviceId = 0;
        const size_t size = controller->GetFruInventoryInfo(info).Ver10.fruInventoryAreaSize;
        while (data.size() < size) {
            FruReadFruInventoryDataRequest read{};
            read.bVersion = version;
            const UINT16 offset = static_cast<UINT16>(data.size());
            const UINT8 count = static_cast<UINT8>(std::min(kPieceBytes, size - data.size()));
            if (version == 10)
                read.Ver10 = {0, offset, count};
            else
                read.Ver09 = {offset, count};
            const FruReadFruInventoryDataResponse piece = controller->ReadFruInventoryData(read);
            const size_t carried = piece.bResponseLength > 2 ? piece.bResponseLength - 2u : 0;
            const size_t bytes = std::min({static_cast<size_t>(piece.Ver10.readActualCount),
                                           carried, sizeof piece.Ver10.inventoryData,
                                           static_cast<size_t>(count)});
            if (bytes == 0)
                break;   // no progress: keep what arrived
            data.insert(data.end(), piece.Ver10.inventoryData, piece.Ver10.inventoryData + bytes);
        }
    } catch (CIPMExceptionExport*) {
        data.clear();   // the library keeps its exception objects
    }
    return data;
}

void copyText(char* field, size_t fieldSize, const char* text)
{
    std::strncpy(field, text, fieldSize - 1);
    field[fieldSize - 1] = '\0';
}
} // namespace

int QVRMC_ReadFRUMultiRecord(EntityInfo* pInfo)
{
    std::memset(pInfo, 0, sizeof *pInfo);
    copyText(pInfo->szSysObjID, sizeof pInfo->szSysObjID, kCardSysObjID);
    pInfo->szRelationshipType = 1;

    RegisterWithAPI();
    CIPMBaseControllerExport* base = nullptr;
    CIPMControllerExport* controller = nullptr;
    std::vector<uint8_t> data;
    try {
        base = CreateIPMBaseController(5, 500, 50, 3, 10);
        if (base)
            controller = CreateIPMController(kCardControllerAddress, 0, nullptr, 0);
    } catch (CIPMExceptionExport*) {
    }
    if (controller)
        data = readCardFru(controller);
    DestroyIPMController(controller);
    DestroyIPMBaseController(base);
    UnRegisterWithAPI();
    if (data.empty())
        return kCardNotRead;

    rmcfru fru(std::move(data));
    copyText(pInfo->szURL, sizeof pInfo->szURL, fru.GetComponentURL());
    for (char& c : pInfo->szURL)   // cut at the first byte that is not printable
        if (!std::isprint(static_cast<unsigned char>(c))) {
            std::memset(&c, 0, pInfo->szURL + sizeof pInfo->szURL - &c);
            break;
        }
    copyText(pInfo->szLabelLink, sizeof pInfo->szLabelLink, kCardLabelLink);
    copyText(pInfo->szIPAddress, sizeof pInfo->szIPAddress, fru.GetComponentPingAddress());
    copyText(pInfo->szUniqueID, sizeof pInfo->szUniqueID, fru.GetBoardSerialNumber());
    return 0;
}
