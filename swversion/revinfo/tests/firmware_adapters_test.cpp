// The firmware list's adapters through the production binding to the SCSI and RAID library, on
// the simulated SCSI host and RAID controller: what the library reads from the controller is
// what the list reports, numbered by class and board.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "firmware_components.h"
#include "scsi_units.h"
#include "simulated_scsi.h"

namespace {

using namespace revinfo;
using nlohmann::json;

// No management controller answers: the list holds the adapters alone.
unsigned noController(unsigned, unsigned, unsigned, ParamsType*, sdType, unsigned*) { return 1; }

class FirmwareAdaptersTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        scsiUnits() = productionScsiUnits();
        ipmiGetData() = noController;
    }
    void TearDown() override { ipmiGetData() = QvIpmiGetData; }
    std::vector<SFWInfo> load()
    {
        CFWInfo list;
        std::vector<SFWInfo> out;
        unsigned count = 0;
        status = list.GetComponentCount(&count);
        for (unsigned i = 0; i < count; ++i) {
            out.emplace_back();
            EXPECT_EQ(list.GetComponentInfo(i, &out.back()), 0);
        }
        return out;
    }
    int status = -1;
    revinfotest::SimulatedScsi machine;
};

// The RAID controller's product data: the board id of a 40-drive card, the letter in the
// firmware version of an 8-drive card; on 2.4 kernels through the management node, on 2.2
// through the controller's own generic node. The SCSI host beside it (class 4) has no firmware
// version the library can read, so it is left out.
TEST_F(FirmwareAdaptersTest, RaidControllerIdFromItsBoard)
{
    const struct {
        const char* what;
        unsigned capacity;
        int boardId;
        const char* firmwareLetter;
        const char* release;
        unsigned id;
        FIRMWARE_TYPE type;
        const char* version;
        const char* product;
    } cases[] = {
        {"unlisted board", 40, 0x1234, "H", "2.4.20", 1000, FW_STRATAVOL, "H1.01.62", "QV Stratavol Elite 1600"},
        {"last listed board", 40, 0x493, "H", "2.4.20", 1009, FW_STRATAVOL_2M, "H1.01.62", "QV Stratavol Elite 1600"},
        {"2.2 kernel, board 0x45", 40, 0x45, "H", "2.2.16", 1003, FW_STRATAVOL_EMBEDDED_KVXXXX_SERIES, "H1.01.62",
         "QV Stratavol Elite 1600"},
        {"8-drive card C", 8, 0, "C", "2.4.20", 1001, FW_STRATAVOL_3Si, "C1.01.62", "QV Stratavol-3si"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        json scsi = revinfotest::raidMachine(c.capacity);
        scsi["megaraid"]["boardId"] = c.boardId;
        scsi["megaraid"]["firmware"] = {0x62, 0x01, "1", c.firmwareLetter};
        machine.serve(scsi, c.release);

        const std::vector<SFWInfo> list = load();
        EXPECT_EQ(status, 0);
        ASSERT_EQ(list.size(), 1u);
        EXPECT_EQ(list[0].id, c.id);
        EXPECT_EQ(MapFWComponentType(list[0].id), c.type);
        EXPECT_EQ(MapFWComponentFamily(list[0].id), FAM_STORAGE);
        EXPECT_STREQ(list[0].szVersion, c.version);
        EXPECT_STREQ(list[0].szProdID, c.product);
        EXPECT_STREQ(list[0].szMfg, "AMI");
    }
}

// Hosts of other classes (an IDE bridge, an unknown driver) and no RAID controller: the library
// counts the adapters, reads none of them a firmware version, and the list is empty but found.
TEST_F(FirmwareAdaptersTest, AdaptersWithoutFirmwareAreLeftOut)
{
    const json scsi = {
        {"adapters", {{{"host", 0}, {"driver", "ide-scsi"}}, {{"host", 1}, {"driver", "qla1280"}}}},
        {"targets",
         {{{"host", 0}, {"id", 0}, {"sg", 0}, {"kind", "cdrom"}, {"vendor", "QVOPT"}, {"product", "CD-ROM"}},
          {{"host", 1}, {"id", 0}, {"sg", 1}, {"vendor", "SEAGATE"}, {"product", "ST39204LC"}, {"blocks", 1000}}}},
    };
    machine.serve(scsi);
    int adapters = 0;
    ASSERT_EQ(scsiUnits().countAllUnits(&adapters, nullptr), 0);
    EXPECT_EQ(adapters, 2);
    for (int i = 0; i < adapters; ++i) {
        AdapterFirmware hba;
        ASSERT_EQ(readAdapterFirmware(i, hba), 0) << i;
        EXPECT_EQ(hba.idClass, i == 0 ? 5 : 4) << i;
        EXPECT_EQ(hba.szBIOSVersion, "") << i;
    }
    EXPECT_TRUE(load().empty());
    EXPECT_EQ(status, 0);
}

} // namespace
