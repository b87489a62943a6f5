// Writes the disk library stand-in's inventory from the loaded scenario.
#include "diskctl_inventory.h"
#include "scsi_bus.h"

#include <sandbox_path.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace qv::sim::scsi {
namespace {

// The makers a disk library knows by the adapter's driver; a RAID controller is class 1.
struct KnownAdapter {
    const char* driver;
    int adapterClass;
    const char* maker;
};
constexpr KnownAdapter kKnownAdapters[] = {
    {"megaraid", 1, "AMI"}, {"aic7xxx", 4, "Adaptec"}, {"sym53c8xx", 4, "LSI/Symbios"}};

int vendorId(const std::string& vendor)
{
    static const char* const kVendors[] = {"QUANTUM", "SEAGATE", "IBM", "FUJITSU"};
    for (int i = 0; i < 4; ++i)
        if (vendor == kVendors[i]) return i + 1;
    return 0;
}

} // namespace

void ScsiBus::writeDiskctlInventory() const {
    std::lock_guard lock(mutex_);
    const std::filesystem::path path = qv::sandboxPath(kDiskctlInventoryPath);
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path);
    std::vector<int> raidHosts;
    for (const auto& a : adapters_) {
        KnownAdapter known{a.driver.c_str(), 4, ""};
        for (const auto& k : kKnownAdapters)
            if (a.driver == k.driver) known = k;
        if (known.adapterClass == 1) raidHosts.push_back(a.host);
        out << "adapter\t" << a.host << '\t' << known.adapterClass << '\t' << a.driver << '\t'
            << known.maker << "\tsim-1.0\n";
    }
    // Logical drives of a RAID controller are not drives of their own.
    for (const auto& [sg, target] : targets_) {
        const TargetDescription& d = target.description();
        if (d.kind != TargetKind::Disk || std::find(raidHosts.begin(), raidHosts.end(), d.host) != raidHosts.end())
            continue;
        out << "drive\t" << d.host << '\t' << d.channel << '\t' << d.id << '\t' << vendorId(d.vendor)
            << '\t' << d.revision << "\t\t" << d.serial << '\t' << d.product << '\n';
    }
}

} // namespace qv::sim::scsi
