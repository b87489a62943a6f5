// The QVDE_* entry points over the process's one store object and handle table.
#include "devstore.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "data_store.h"
#include "library_boundary.h"
#include "store_file.h"

using namespace qv::devstore;

namespace {

CDataStore gStore(kTextFields, "entitydb");
CDataStore* gpStore = &gStore;
CHandles gHandles;
stDevEtyAPIInfo gApiInfo{1, 0, 2, 0, {0, 0, 0, 0}};

constexpr unsigned kGuidBuffer = 256;

// The caller's record, held as copies: its texts may point into the store copy that the
// next load replaces.
struct FullRecord {
    EntryDataType data{0, 0};
    std::array<std::string, kTextFields> text;
};

std::string textOf(const char* p) { return p ? p : ""; }

// The short record's twelve texts as fields of the full one.
void widenRecord(const stDeviceEntity1& in, FullRecord& out)
{
    out.data = {in.health, in.relation};
    auto& t = out.text;
    t[1] = textOf(in.pszSysOID);
    t[3] = textOf(in.pszURLMgmt);
    t[4] = textOf(in.pszURLMgmtLabel);
    t[5] = textOf(in.pszManufacturer);
    t[6] = textOf(in.pszProdName);
    t[7] = textOf(in.pszProdName);
    t[8] = textOf(in.pszSerialNum);
    t[9] = textOf(in.pszVersion);
    t[10] = textOf(in.pszVersion);
    t[11] = textOf(in.pszVersion);
    t[13] = textOf(in.pszContactName);
    t[14] = textOf(in.pszContactPhone);
    t[15] = textOf(in.pszContactEmail);
    t[16] = textOf(in.pszContactPager);
    t[17] = textOf(in.pszLocation);
}

int readRecord(enEntityType type, const void* data, FullRecord& out)
{
    if (data == nullptr) return QVDE_ERR_INVALID_PARAMETER;
    if (type == DEVICE_ENTITY_1) {
        widenRecord(*static_cast<const stDeviceEntity1*>(data), out);
    } else if (type == DEVICE_ENTITY_2) {
        const auto& in = *static_cast<const stDeviceEntity2*>(data);
        out.data = {in.health, in.relation};
        for (unsigned k = 0; k < kTextFields; ++k) out.text[k] = textOf(in.*QVDE_TEXT_MEMBER[k]);
    } else {
        return QVDE_ERR_UNKNOWN_ENTITY_TYPE;
    }
    if (!out.text[0].empty()) return 0;
    const std::string& maker = out.text[5];
    const std::string& product = out.text[6];
    const std::string& serial = out.text[8];
    if (maker.empty() || product.empty() || serial.empty()) return QVDE_ERR_NO_GUID;
    char guid[kGuidBuffer];   // a longer GUID is cut to the buffer
    std::snprintf(guid, sizeof guid, "%s-%s-%s", maker.c_str(), product.c_str(), serial.c_str());
    out.text[0] = guid;
    return 0;
}

bool mergeData(unsigned index, const EntryDataType& given, enEntityAction action, bool created)
{
    EntryDataType data = given;
    if (action == EXISTING_UPDATE && !created) {
        const EntryDataType* stored = nullptr;
        if (!gpStore->GetData(index, &stored)) return false;
        if (data.health == 0) data.health = stored->health;
        if (data.relation == 0) data.relation = stored->relation;
    }
    return gpStore->SetData(index, &data);
}

bool mergeTexts(unsigned index, const FullRecord& record, enEntityAction action)
{
    for (unsigned k = 0; k < kTextFields; ++k) {
        const std::string& t = record.text[k];
        if (action == EXISTING_UPDATE && t.empty()) continue;
        if (!gpStore->SetText(index, k, t.c_str())) return false;
    }
    return true;
}

int establish(enEntityType type, void* data, enEntityAction action, int* handle)
{
    FullRecord record;
    if (const int rc = readRecord(type, data, record)) return rc;
    if (action < EXISTING_KEEP || action > EXISTING_REMOVE) return QVDE_ERR_INVALID_PARAMETER;

    StoreLock lock;
    if (const int rc = gpStore->Lock(lock)) return rc;
    // A store that cannot be read is never replaced by one built from scratch.
    if (const int rc = gpStore->LoadStore()) return action == EXISTING_REMOVE ? QVDE_ERR_DEVICE_NOT_FOUND : rc;

    unsigned index = 0;
    const bool found = gpStore->LocateEntry(0, record.text[0].c_str(), &index);
    if (!found) {
        if (action == EXISTING_REMOVE) return QVDE_ERR_DEVICE_NOT_FOUND;
        if (!gpStore->CreateEntry(&index)) return QVDE_ERR_TEXT_NOT_SET;
    } else if (action == EXISTING_KEEP) {
        if (handle) *handle = gHandles.EncodeHandle(index);
        return 0;
    }

    if (action == EXISTING_REMOVE) {
        if (!gpStore->DeleteEntry(index)) return QVDE_ERR_DEVICE_NOT_FOUND;
    } else {
        if (!mergeData(index, record.data, action, !found)) return QVDE_ERR_INDEX_OUT_OF_RANGE;
        if (!mergeTexts(index, record, action)) return QVDE_ERR_TEXT_NOT_SET;
    }
    if (const int rc = gpStore->SaveStore()) return rc;

    int h = CHandles::XlateEntryHandle(index);
    if (action == EXISTING_REMOVE)
        gHandles.DeleteEntryHandle(index);
    else
        h = gHandles.EncodeHandle(index);
    if (handle) *handle = h;
    return 0;
}

int updateHealth(int handle, int health)
{
    StoreLock lock;
    if (const int rc = gpStore->Lock(lock)) return rc;
    if (const int rc = gpStore->LoadStore()) return rc;
    const unsigned index = gHandles.DecodeHandle(handle);
    const EntryDataType* stored = nullptr;
    if (index == CHandles::kFree || !gpStore->GetData(index, &stored)) return QVDE_ERR_INVALID_HANDLE;
    const EntryDataType data{health, stored->relation};
    if (!gpStore->SetData(index, &data)) return QVDE_ERR_INVALID_HANDLE;
    return gpStore->SaveStore();
}

int removeDevice(int handle)
{
    StoreLock lock;
    if (const int rc = gpStore->Lock(lock)) return rc;
    // A store not made yet has nothing to remove; a damaged one is reported.
    if (const int rc = gpStore->LoadStore()) return rc;
    const unsigned index = gHandles.DecodeHandle(handle);
    if (index == CHandles::kFree || !gpStore->DeleteEntry(index)) return 0;
    if (const int rc = gpStore->SaveStore()) return rc;   // the handle is kept for a retry
    gHandles.DeleteEntryHandle(index);
    return 0;
}

int removeStaleEntries(int maxAge)
{
    StoreLock lock;
    if (const int rc = gpStore->Lock(lock)) return rc;
    if (const int rc = gpStore->LoadStore()) return rc;
    std::vector<unsigned> expired;
    for (unsigned i = 0; i < gpStore->GetEntryCount(); ++i)
        if (gpStore->ExpireEntry(i, maxAge)) expired.push_back(i);
    if (expired.empty()) return 0;
    if (const int rc = gpStore->SaveStore()) return rc;
    // From the highest index down, so each drop moves only handles of entries still present.
    for (auto it = expired.rbegin(); it != expired.rend(); ++it) gHandles.DeleteEntryHandle(*it);
    return 0;
}

int getEntity(int index, stDeviceEntity2* out)
{
    if (out == nullptr) return QVDE_ERR_INVALID_PARAMETER;
    if (const int rc = gpStore->LoadStore()) return rc;
    const EntryDataType* data = nullptr;
    if (index < 0 || !gpStore->GetData(static_cast<unsigned>(index), &data))
        return QVDE_ERR_INDEX_OUT_OF_RANGE;
    out->health = static_cast<enDevHealth>(data->health);
    out->relation = static_cast<enEntityRel>(data->relation);
    for (unsigned k = 0; k < kTextFields; ++k)
        gpStore->GetText(static_cast<unsigned>(index), k, &(out->*QVDE_TEXT_MEMBER[k]));
    return 0;
}

int getEntityData(int index, stDeviceEntity2* out, char* buffer, int size)
{
    if (buffer == nullptr || size < 0) return QVDE_ERR_INVALID_PARAMETER;
    if (const int rc = getEntity(index, out)) return rc;
    size_t remaining = static_cast<size_t>(size);
    char* at = buffer;
    // Once fewer than 5 bytes are left, the rest keep their pointers into the store copy.
    for (unsigned k = 0; k < kTextFields && remaining >= 5; ++k) {
        char*& field = out->*QVDE_TEXT_MEMBER[k];
        const char* text = field ? field : "";
        const size_t length = std::strlen(text);
        const size_t copied = std::min(length, remaining - 1);   // a cut text stays terminated
        std::memcpy(at, text, copied);
        at[copied] = '\0';
        field = at;
        const size_t used = std::min(remaining, length + 1);
        at += used;
        remaining -= used;
    }
    return 0;
}

} // namespace

extern "C" {

int QVDE_EstablishDevice(enEntityType type, void* data, enEntityAction action, int* handle)
{
    return qv::catchAtBoundary(QVDE_ERR_TEXT_NOT_SET, [&] { return establish(type, data, action, handle); });
}

int QVDE_UpdateHealth(int handle, int health)
{
    return qv::catchAtBoundary(QVDE_ERR_TEXT_NOT_SET, [&] { return updateHealth(handle, health); });
}

int QVDE_RemoveDevice(int handle)
{
    return qv::catchAtBoundary(QVDE_ERR_TEXT_NOT_SET, [&] { return removeDevice(handle); });
}

int QVDE_QueryDeviceCount(int* count)
{
    return qv::catchAtBoundary(QVDE_ERR_TEXT_NOT_SET, [&] {
        // An unreadable store counts as empty for this informational call.
        const int n = gpStore->LoadStore() == 0 ? static_cast<int>(gpStore->GetEntryCount()) : 0;
        if (count) *count = n;
        return 0;
    });
}

int QVDE_GetDeviceEntity(int index, stDeviceEntity2* out)
{
    return qv::catchAtBoundary(QVDE_ERR_TEXT_NOT_SET, [&] { return getEntity(index, out); });
}

int QVDE_GetDeviceEntityData(int index, stDeviceEntity2* out, char* buffer, int size)
{
    return qv::catchAtBoundary(QVDE_ERR_TEXT_NOT_SET, [&] { return getEntityData(index, out, buffer, size); });
}

int QVDE_RemoveStaleEntries(int maxAgeSeconds)
{
    return qv::catchAtBoundary(QVDE_ERR_TEXT_NOT_SET, [&] { return removeStaleEntries(maxAgeSeconds); });
}

int QVDE_RegisterAgent(unsigned capabilities)
{
    if (capabilities == 0)
        gApiInfo.capabilities = 0;
    else
        gApiInfo.capabilities |= capabilities;
    return 0;
}

int QVDE_GetAPIInfo(stDevEtyAPIInfo* out)
{
    if (out) *out = gApiInfo;
    return 0;
}

} // extern "C"
