#include "controller_fixture.h"
#include "ipmbasecontroller.h"
#include "ipmcontroller.h"

namespace qv::bmc::test {
namespace {

using ControllerTest = ControllerFixture;

TEST_F(ControllerTest, BaseboardThroughFacadeUsesPlainGetDeviceIdAndKeepsCallerSettings)
{
    startWith({{"ipmiVersion", "1.0"}});
    CIPMBaseControllerExport* base = CreateIPMBaseController(5, 500, 50, 3, 10);
    ASSERT_NE(base, nullptr);
    // Only the low byte of the address counts.
    CIPMControllerExport* controller = CreateIPMController(0x120, 0, base, 0);
    ASSERT_NE(controller, nullptr);
    EXPECT_EQ(controller->GetAddress(), 0x20);
    EXPECT_EQ(controller->m_pDeviceId->Ver10.ipmiVersion, 0x01);
    CIPMBaseControllerExport* privateBase = controller->GetBaseController();
    ASSERT_NE(privateBase, nullptr);
    EXPECT_NE(privateBase, base);
    EXPECT_EQ(privateBase->GetIPMICommandRetrySleepInterval(), 500);
    EXPECT_EQ(privateBase->GetSMSDataRetrySleepInterval(), 10);
    DestroyIPMBaseController(base);  // the controller works on its own copy

    EXPECT_EQ(controller->GetSelTime().bVersion, 10);
    EXPECT_EQ(controller->GetSelInfo().Ver10.completionCode, 0);
    DestroyIPMController(controller);
}

TEST_F(ControllerTest, NoHardwareGivesNoControllerAndFacadeRaisesNoPath)
{
    CIPMControllerExport* handedOut = CreateIPMController(0x20, 0, nullptr, 1);
    EXPECT_NE(handedOut, nullptr);
    DestroyIPMController(handedOut);
    CIPMController facade(0x20, 0, nullptr, 1);
    // The 1.0 implementation stays without a base controller.
    ASSERT_NE(facade.GetRealController(), nullptr);
    EXPECT_EQ(facade.GetBaseController(), nullptr);
    try {
        facade.GetSensorReading(SD_GET_SENSOR_READING_REQUEST{});
        FAIL();
    } catch (CIPMExceptionExport* e) {
        EXPECT_EQ(e->GetErrorCode(), 0xA00D0000u);
        EXPECT_STREQ(e->GetCurrentFunction(), "CIPM10Controller::GetSensorReading");
        EXPECT_STREQ(e->GetErrorMessage(), "Base controller not defined");
    }
    try {
        facade.BroadcastGetDeviceId();
        FAIL();
    } catch (CIPMExceptionExport* e) {
        EXPECT_STREQ(e->GetErrorMessage(), "No path to hardware");
    }
    DestroyIPMController(nullptr);
}

TEST_F(ControllerTest, ZeroOneControllerAnswersIpmi10OnlyOperationsLocally)
{
    startWith({{"ipmiVersion", "0.9"}, {"device", {{"versionByte", 0x90}}}});
    CIPMControllerExport* controller = CreateIPMController(0x20, 0, nullptr, 1);
    ASSERT_NE(controller, nullptr);
    EXPECT_EQ(controller->m_pDeviceId->bVersion, 10);
    EXPECT_EQ(controller->m_pDeviceId->Ver10.ipmiVersion, 0x90);
    sim_.clearJournal();
    CHASSIS_GET_CHASSIS_STATUS_RESPONSE status = controller->GetChassisStatus();
    const auto* bytes = reinterpret_cast<const unsigned char*>(&status);
    for (size_t i = 0; i < sizeof status; ++i) EXPECT_EQ(bytes[i], 0);
    EXPECT_TRUE(sim_.journal().empty());
    EXPECT_EQ(controller->GetDeviceId().bVersion, 9);
    DestroyIPMController(controller);
}

TEST_F(ControllerTest, SatelliteCommandDataLimit)
{
    startWith({{"ipmiVersion", "1.0"}});
    CIPMControllerExport* controller = CreateIPMController(0x20, 0, nullptr, 1);
    ASSERT_NE(controller, nullptr);
    SDRR_ADD_SDR_REQUEST add{};
    add.bRequestLength = 27;
    try {
        controller->AddSdr(add);
        FAIL();
    } catch (CIPMExceptionExport* e) {
        EXPECT_EQ(e->GetErrorCode(), 0xA0010000u);
        EXPECT_STREQ(e->GetCurrentFunction(), "CIPM10Controller::AddSdr");
        EXPECT_STREQ(e->GetErrorMessage(), "Request Command Data Length is invalid");
    }
    DestroyIPMController(controller);
}

} // namespace
} // namespace qv::bmc::test
