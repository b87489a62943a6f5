// Tables with one row per Ethernet interface but no data of their own on this platform, and the
// two-level frame-type table.
#pragma once

#include "nic_base_info.h"
#include "nic_row_collection.h"

#include <string>
#include <vector>

class NICCustomStatisticsInfo : public NICBaseInfo {};
class NICTokenRingStatisticsInfo : public NICBaseInfo {};
class NICTokenRingErrorInfo : public NICBaseInfo {};
class NICQuilletParametersInfo : public NICBaseInfo {};
class NICBusmasterParametersInfo : public NICBaseInfo {};
class NICPelmoraParametersInfo : public NICBaseInfo {};
class NICZorinParametersInfo : public NICBaseInfo {};
class NICFrameTypeInfo : public NICBaseInfo {};

class NICMiscInfo : public NICBaseInfo {
public:
    using NICBaseInfo::operator=;
    virtual NICMiscInfo& operator=(const NICMiscInfo& other)
    {
        NICBaseInfo::operator=(other);
        _adapter_type = other._adapter_type;
        return *this;
    }
    void setAdapterType(int type) { _adapter_type = type; }
    int getAdapterType() const { return _adapter_type; }

private:
    int _adapter_type = 0;
};

// Token-ring tables number their rows from 1, the adapter-family tables from 0.
#define NIC_ROW_ONLY_COLLECTION(Name, IndexOffset)                                   \
    class Name : public NICRowCollection<Name##Info> {                              \
    public:                                                                          \
        unsigned get##Name##Count() const { return rowCount(); }                     \
        int get##Name##Index(unsigned i) { return rowIndex(i, IndexOffset); }        \
    }

NIC_ROW_ONLY_COLLECTION(NICCustomStatistics, 1);
NIC_ROW_ONLY_COLLECTION(NICTokenRingStatistics, 1);
NIC_ROW_ONLY_COLLECTION(NICTokenRingError, 1);
NIC_ROW_ONLY_COLLECTION(NICQuilletParameters, 0);
NIC_ROW_ONLY_COLLECTION(NICBusmasterParameters, 0);
NIC_ROW_ONLY_COLLECTION(NICPelmoraParameters, 0);
NIC_ROW_ONLY_COLLECTION(NICZorinParameters, 0);

#undef NIC_ROW_ONLY_COLLECTION

class NICMisc : public NICRowCollection<NICMiscInfo> {
public:
    unsigned getNICMiscCount() const { return rowCount(); }
    int getAdapterType(unsigned i)
    {
        const NICMiscInfo* r = row(i);
        return r ? r->getAdapterType() : -1;
    }
};

class NICFrameType {
public:
    NICFrameType() { updateInterfaces(); }

    int getOperationStatus() const { return _error; }
    unsigned getNICFrameTypeCount() const { return static_cast<unsigned>(_data.size()); }
    unsigned getNICIntoFrameTypeCount(unsigned index);
    int getNICFrameTypeIndex(unsigned index) { return firstGroupRow(index); }
    int getNICCardIndex(unsigned index) { return firstGroupRow(index); }
    std::string getInterfaceName(unsigned frmtype, unsigned index);
    std::string getFrameTypeString(unsigned frmtype_entry, unsigned nic_entry);

    void updateInterfaces();
    void clearInterfaces() { _data.clear(); }

private:
    int firstGroupRow(unsigned index);
    const NICFrameTypeInfo* entry(unsigned group, unsigned index);

    std::vector<std::vector<NICFrameTypeInfo>> _data;
    int _error = 0;
};
