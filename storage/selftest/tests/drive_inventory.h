// The outside disk library stand-in's inventory for tests: adapters and drives written to the
// file the stand-in reads below the test's root.
#pragma once

#include <string>
#include <vector>

#include "temp_root.h"

namespace selftesttest {

struct Drive {
    unsigned adapter, channel, target;
    int vendor = 2;
    std::string revision = "0B0B", dateCode = "0107", serial = "SN0001", product = "ST318404LC";
};

inline void writeInventory(const qv::test::TempRoot& root, const std::vector<Drive>& drives, int adapters = 1)
{
    std::string text;
    for (int a = 0; a < adapters; ++a)
        text += "adapter\t" + std::to_string(a + 1) + "\t" + std::to_string(a + 3) + "\tsym53c8xx\tSymbios\t1.7.3c\n";
    for (const Drive& d : drives)
        text += "drive\t" + std::to_string(d.adapter) + "\t" + std::to_string(d.channel) + "\t" +
                std::to_string(d.target) + "\t" + std::to_string(d.vendor) + "\t" + d.revision + "\t" +
                d.dateCode + "\t" + d.serial + "\t" + d.product + "\n";
    root.writeFile("/var/qvsim/diskctl.inventory", text);
}

} // namespace selftesttest
