#include "nic_row_collections.h"

void NICFrameType::updateInterfaces()
{
    _error = 0;
    _data.emplace_back();
    std::vector<std::string> names;
    if (!nic::readEthInterfaces(names)) {
        _error = -1;
        return;
    }
    for (const std::string& name : names) {
        NICFrameTypeInfo r;
        r.setInterfaceName(name);
        _data.front().push_back(r);
    }
}

unsigned NICFrameType::getNICIntoFrameTypeCount(unsigned index)
{
    _error = index < _data.size() ? 0 : -1;
    return _error == 0 ? static_cast<unsigned>(_data[index].size()) : 0;
}

int NICFrameType::firstGroupRow(unsigned index)
{
    return entry(0, index) ? static_cast<int>(index) : -1;
}

const NICFrameTypeInfo* NICFrameType::entry(unsigned group, unsigned index)
{
    _error = (group < _data.size() && index < _data[group].size()) ? 0 : -1;
    return _error == 0 ? &_data[group][index] : nullptr;
}

std::string NICFrameType::getInterfaceName(unsigned frmtype, unsigned index)
{
    const NICFrameTypeInfo* r = entry(frmtype, index);
    return r ? r->getInterfaceName() : std::string();
}

std::string NICFrameType::getFrameTypeString(unsigned frmtype_entry, unsigned nic_entry)
{
    const NICFrameTypeInfo* r = entry(frmtype_entry, nic_entry);
    if (!r) return "";
    return r->getInterfaceName().compare(0, 3, "eth") == 0 ? "Ethernet 802.3" : "Unknown";
}
