// The collection pattern for rows derived from NICBaseInfo: one row per Ethernet interface and
// an operation status (0 success, -1 failure) that every indexed operation sets.
#pragma once

#include "nic_interfaces.h"

#include <string>
#include <vector>

template <class Row>
class NICRowCollection {
public:
    NICRowCollection() { updateInterfaces(); }

    int getOperationStatus() const { return _error; }

    std::string getInterfaceName(unsigned i)
    {
        const Row* r = row(i);
        return r ? r->getInterfaceName() : std::string();
    }

    // Appends the interfaces found now; rows already present stay.
    void updateInterfaces()
    {
        _error = 0;
        std::vector<std::string> names;
        if (!nic::readEthInterfaces(names)) {
            _error = -1;
            return;
        }
        for (const std::string& name : names) {
            Row r;
            r.setInterfaceName(name);
            _data.push_back(r);
        }
    }

    void clearInterfaces() { _data.clear(); }

protected:
    unsigned rowCount() const { return static_cast<unsigned>(_data.size()); }

    // Status 0 and the row for a valid index, else status -1 and null.
    Row* row(unsigned i)
    {
        _error = i < _data.size() ? 0 : -1;
        return _error == 0 ? &_data[i] : nullptr;
    }

    int rowIndex(unsigned i, int offset) { return row(i) ? static_cast<int>(i) + offset : -1; }

    std::vector<Row> _data;
    int _error = 0;
};
