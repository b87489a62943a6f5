#include "data_store.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <strings.h>
#include <unistd.h>

#include "devstore.h"
#include "sandbox_path.h"
#include "store_file.h"

namespace qv::devstore {

namespace {

constexpr int kLockTimeoutMs = 5000;   // agents answer snmpd within its time-out

uint32_t now() { return static_cast<uint32_t>(std::time(nullptr)); }

} // namespace

CDataStore::CDataStore(unsigned nParams, const char* name)
    : nParams_(nParams), name_(name ? name : "dsdfltdb")
{
}

std::string CDataStore::path(const char* extension) const
{
    return qv::sandboxPath("/var/qvserver/" + name_ + extension);
}

int CDataStore::Lock(StoreLock& lock) const
{
    const int rc = lock.acquire(path(".lck"), kLockTimeoutMs);
    if (rc == 0) removeLeftoverTemporaries(path(".dat"), path(".bak"));
    return rc;
}

int CDataStore::LoadStore()
{
    present_ = false;
    entries_.clear();
    std::vector<uint8_t> image;
    int rc = readStoreFile(path(".dat"), image);
    if (rc == ENOENT) {
        if (access(path(".bak").c_str(), F_OK) == 0) return ENOENT;   // lost, not new
        return 0;
    }
    if (rc != 0) return rc;
    rc = decodeStore(image, entries_);
    if (rc != 0) return rc;
    present_ = true;
    return 0;
}

int CDataStore::SaveStore()
{
    if (!present_) return 0;
    const std::vector<uint8_t> image = encodeStore(entries_, now());
    // Agents establish their entity on every request: the same bytes again would only cost two
    // fsyncs and turn the backup into a copy of the current file.
    std::vector<uint8_t> current;
    if (readStoreFile(path(".dat"), current) == 0 && current == image) return 0;
    return replaceStoreFile(path(".dat"), path(".bak"), image);
}

bool CDataStore::valid(unsigned index, unsigned field) const
{
    return index < entries_.size() && field < nParams_;
}

bool CDataStore::CreateEntry(unsigned* index)
{
    if (index == nullptr) return false;
    Entry e;
    e.timestamp = now();
    entries_.push_back(std::move(e));
    present_ = true;
    *index = static_cast<unsigned>(entries_.size() - 1);
    return true;
}

bool CDataStore::DeleteEntry(unsigned index)
{
    if (!valid(index)) return false;
    entries_[index].removed = true;
    return true;
}

bool CDataStore::ExpireEntry(unsigned index, long maxAge)
{
    if (!valid(index)) return false;
    if (static_cast<long long>(now()) - entries_[index].timestamp <= maxAge) return false;
    entries_[index].removed = true;
    return true;
}

bool CDataStore::LocateEntry(unsigned field, const char* text, unsigned* index) const
{
    if (text == nullptr || index == nullptr || field >= nParams_) return false;
    for (unsigned i = 0; i < entries_.size(); ++i)
        if (!entries_[i].removed && strcasecmp(entries_[i].text[field].c_str(), text) == 0) {
            *index = i;
            return true;
        }
    return false;
}

bool CDataStore::SetData(unsigned index, const EntryDataType* data)
{
    if (!valid(index)) return false;
    entries_[index].timestamp = now();
    if (data != nullptr) entries_[index].data = *data;
    return true;
}

bool CDataStore::GetData(unsigned index, const EntryDataType** data) const
{
    if (!valid(index) || data == nullptr) return false;
    *data = &entries_[index].data;
    return true;
}

bool CDataStore::GetData(unsigned index, _sdType_ dest) const
{
    if (!valid(index) || dest.pb == nullptr) return false;
    std::memcpy(dest.pb, &entries_[index].data, std::min<size_t>(dest.cb, sizeof(EntryDataType)));
    return true;
}

bool CDataStore::SetText(unsigned index, unsigned field, const char* text)
{
    if (!valid(index, field)) return false;
    try {
        entries_[index].text[field] = text ? text : "";
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

bool CDataStore::GetText(unsigned index, unsigned field, char** text)
{
    if (!valid(index, field) || text == nullptr) return false;
    std::string& t = entries_[index].text[field];
    *text = t.empty() ? nullptr : t.data();
    return true;
}

bool CDataStore::GetText(unsigned index, unsigned field, _sdType_ dest) const
{
    if (!valid(index, field) || dest.pb == nullptr || dest.cb == 0) return false;
    const std::string& t = entries_[index].text[field];
    const size_t n = std::min<size_t>(t.size(), dest.cb - 1);
    std::memcpy(dest.pb, t.data(), n);
    dest.pb[n] = '\0';
    return true;
}

int CHandles::EncodeHandle(unsigned entry)
{
    unsigned slot = kMaxHandles;
    for (unsigned i = 0; i < nHandles; ++i)
        if (rgHandles[i].iEntry == entry) return rgHandles[i].hEntity;
    if (nHandles < kMaxHandles) {
        slot = nHandles++;
    } else {
        for (unsigned i = 0; i < kMaxHandles && slot == kMaxHandles; ++i)
            if (rgHandles[i].iEntry == kFree) slot = i;
        if (slot == kMaxHandles) return kFree;
    }
    rgHandles[slot] = {XlateEntryHandle(entry), entry};
    return rgHandles[slot].hEntity;
}

unsigned CHandles::DecodeHandle(int handle, unsigned* slot) const
{
    for (unsigned i = 0; i < nHandles; ++i)
        if (rgHandles[i].iEntry != kFree && rgHandles[i].hEntity == handle) {
            if (slot) *slot = i;
            return rgHandles[i].iEntry;
        }
    return kFree;
}

void CHandles::DeleteHandle(int handle)
{
    const unsigned entry = DecodeHandle(handle);
    if (entry != kFree) DeleteEntryHandle(entry);
}

void CHandles::DeleteEntryHandle(unsigned entry)
{
    for (unsigned i = 0; i < nHandles; ++i) {
        if (rgHandles[i].iEntry == kFree || rgHandles[i].iEntry < entry) continue;
        if (rgHandles[i].iEntry == entry)
            rgHandles[i].iEntry = kFree;
        else
            --rgHandles[i].iEntry;
    }
}

} // namespace qv::devstore
