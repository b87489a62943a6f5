// The inventory the outside disk library's stand-in (sim/diskctl) reports: the simulated server
// writes it from its scenario, so the stand-in names the same adapters and drives as the
// simulated SCSI nodes.
#pragma once

namespace qv::sim::scsi {

// Below the sandbox root. One line per adapter, then one per drive, fields separated by tabs:
//   adapter <host> <class> <driver> <maker> <driver version>
//   drive <host> <channel> <target> <vendor id> <revision> <date code> <serial> <product>
// Vendor ids: 1 Quantum, 2 Seagate, 3 IBM, 4 Fujitsu, 0 any other.
inline constexpr char kDiskctlInventoryPath[] = "/var/qvsim/diskctl.inventory";

} // namespace qv::sim::scsi
