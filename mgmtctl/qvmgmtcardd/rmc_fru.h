// rmcfru: reads the remote management card's values out of its FRU data (board serial number
// and the management access multi-records). Every walk stays inside the data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// A view of one multi-record inside the FRU data.
struct MRRecord {
    uint8_t bType = 0;
    uint8_t bFormat = 0;
    const uint8_t* pbPayload = nullptr;
    size_t cbPayload = 0;
};

// Management access sub-record types.
enum ManagementAccessType : uint8_t {
    MA_COMPONENT_URL = 4,
    MA_COMPONENT_NAME = 5,
    MA_COMPONENT_PING_ADDRESS = 6,
};

class rmcfru {
public:
    static constexpr size_t kResultSize = 256;

    explicit rmcfru(std::vector<uint8_t> data);

    // Each getter clears the result buffer and returns it: valid until the next getter call.
    const char* GetBoardSerialNumber();
    const char* GetComponentURL() { return GetComponentValue(MA_COMPONENT_URL); }
    const char* GetComponentName() { return GetComponentValue(MA_COMPONENT_NAME); }
    const char* GetComponentPingAddress() { return GetComponentValue(MA_COMPONENT_PING_ADDRESS); }

private:
    const char* GetComponentValue(ManagementAccessType subType);
    bool FindManagementAccess(ManagementAccessType subType, MRRecord& found) const;
    const char* SetResult(const uint8_t* bytes, size_t length);

    std::vector<uint8_t> m_data;
    char m_szResult[kResultSize];
};
