// The store in memory between a load and a save, and the process's table of entry handles.
#pragma once

#include <string>
#include <vector>

#include "store_format.h"

namespace qv::devstore {

class StoreLock;

// A buffer descriptor: a text goes to pb, at most cb bytes.
struct _sdType_ {
    char* pb;
    unsigned cb;
};

class CDataStore {
public:
    // A null name gives "dsdfltdb"; the files are /var/qvserver/NAME.dat, .bak and .lck.
    CDataStore(unsigned nParams, const char* name);

    // Replaces the copy in memory with the file's contents. A missing file with no backup is
    // the first use: an empty store. A missing file beside a backup, or a damaged file, is an
    // error and leaves no store in memory, so nothing can be saved over the backup.
    int LoadStore();
    // Writes the live entries through a temporary file; nothing when no store is in memory.
    int SaveStore();
    // Serialises load-modify-save cycles of all processes.
    int Lock(StoreLock& lock) const;

    unsigned GetEntryCount() const { return static_cast<unsigned>(entries_.size()); }
    bool CreateEntry(unsigned* index);
    bool DeleteEntry(unsigned index);
    // Marks the entry removed when it was not set for more than maxAge seconds.
    bool ExpireEntry(unsigned index, long maxAge);
    bool IsRemoved(unsigned index) const { return index < GetEntryCount() && entries_[index].removed; }
    // The first entry whose `field` equals `text`, letter case aside.
    bool LocateEntry(unsigned field, const char* text, unsigned* index) const;
    // Stamps the entry with the current time and, when given, sets its data.
    bool SetData(unsigned index, const EntryDataType* data);
    bool GetData(unsigned index, const EntryDataType** data) const;
    bool GetData(unsigned index, _sdType_ dest) const;
    // A null or empty text clears the field.
    bool SetText(unsigned index, unsigned field, const char* text);
    // Null for an empty field; valid until the store is loaded again.
    bool GetText(unsigned index, unsigned field, char** text);
    bool GetText(unsigned index, unsigned field, _sdType_ dest) const;

private:
    std::string path(const char* extension) const;
    bool valid(unsigned index, unsigned field = 0) const;

    unsigned nParams_;
    std::string name_;
    bool present_ = false;   // a store is in memory (loaded, or begun by the first entry)
    std::vector<Entry> entries_;
};

struct stHandleType {
    int hEntity;
    unsigned iEntry;
};

class CHandles {
public:
    static constexpr unsigned kMaxHandles = 200;
    static constexpr unsigned kFree = 0xFFFF;

    static int XlateEntryHandle(unsigned entry) { return 0x7000 - static_cast<int>(entry); }
    // The entry's handle, reusing its slot; 0xFFFF when the table is full.
    int EncodeHandle(unsigned entry);
    // The entry a handle names, or 0xFFFF.
    unsigned DecodeHandle(int handle, unsigned* slot = nullptr) const;
    // Frees the handle's slot and moves later entries' handles down, as the save compacts.
    void DeleteHandle(int handle);
    // Drops the handle of `entry` (if one was given out) and moves later entries' handles down.
    void DeleteEntryHandle(unsigned entry);

private:
    unsigned nHandles = 0;
    stHandleType rgHandles[kMaxHandles]{};
};

} // namespace qv::devstore
