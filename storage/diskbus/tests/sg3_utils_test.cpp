// The simulated drive's log pages and progress sense, read by an independent decoder (the stock
// sg3-utils' sg_logs and sg_decode_sense on the bytes the library receives), agree with what the
// library reports from the same bytes.
#include "scsi_interface_machine.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include <unistd.h>

namespace diskbus_test {
namespace {

constexpr char kSgLogs[] = "/usr/bin/sg_logs";
constexpr char kSgDecodeSense[] = "/usr/bin/sg_decode_sense";

class Sg3UtilsTest : public ScsiInterfaceTest {
protected:
    // The reply of one command through the library, as the hex text the tools read.
    // A log page is cut to its own length.
    std::string hexReply(unsigned target, const Bytes& cdb, unsigned length, bool logPage = false) {
        Bytes reply(length, 0);
        EXPECT_EQ(ScsiIssueDeviceCmd(0, 0, target, cdb.data(), unsigned(cdb.size()), reply.data(), length), 0u);
        if (logPage)
            reply.resize(std::min<size_t>(length, ((size_t(reply[2]) << 8) | reply[3]) + 4));
        std::string text;
        char two[4];
        for (uint8_t b : reply) {
            std::snprintf(two, sizeof two, "%02x ", b);
            text += two;
        }
        return text + "\n";
    }
    std::string logPage(unsigned target, uint8_t page) {
        return hexReply(target, {0x4D, 0x00, uint8_t(0x40 | page), 0, 0, 0, 0, 0x01, 0xFF, 0}, 511, true);
    }
    std::string decode(const char* tool, const std::string& option, const std::string& hex) {
        const std::string file = root.at("/page.hex");
        root.writeFile("/page.hex", hex);
        const auto run = qv::test::runProgram(tool, {option + file});
        EXPECT_EQ(run.exitCode, 0) << run.err;
        return run.out;
    }
};

TEST_F(Sg3UtilsTest, LogPagesAndProgressDecodeToWhatTheLibraryReports) {
    if (::access(kSgLogs, X_OK) != 0 || ::access(kSgDecodeSense, X_OK) != 0)
        GTEST_SKIP() << "sg3-utils is not installed (scripts/install-deps)";
    serveMachine("2.4.20", [](json& scsi) {
        scsi["targets"][0]["smartAsc"] = 0x5D;
        scsi["targets"][0]["smartAscq"] = 0x10;
        scsi["targets"][0]["selfTestResult"] = 3;
        scsi["targets"][0]["powerOnHours"] = 4321;
    });
    ScsiCountAllUnits(nullptr, nullptr);

    // Page 0: the pages the library looks for are listed, and the library finds them.
    const std::string supported = decode(kSgLogs, "--in=", logPage(0, 0x00));
    std::vector<std::string> listed;
    for (const char* code : {"0x00", "0x10", "0x2f", "0x32"})
        if (supported.find("\n    " + std::string(code) + " ") != std::string::npos)
            listed.push_back(code);
    EXPECT_EQ(listed.size(), 4u) << supported;
    EXPECT_EQ(ScsiIsDstAvail(0, 0, 0), 0u);
    EXPECT_EQ(ScsiFindPage32(0, 0, 0), 0u);

    const std::string smart = decode(kSgLogs, "--in=", logPage(0, 0x2F));
    int state = -1;
    EXPECT_EQ(ScsiGetSmartState(0, 0, 0, &state), 0u);
    EXPECT_EQ(state, 2);   // ASC 0x5D: failure predicted
    EXPECT_NE(smart.find("IE asc = 0x5d, ascq = 0x10"), std::string::npos) << smart;

    ASSERT_EQ(ScsiStartDST(0, 0, 0, 1), 0u);
    clock += 30;   // a quarter of the short test's 120 s
    const std::string progress = decode(kSgDecodeSense, "--file=", hexReply(0, {0x03, 0, 0, 0, 0xFF, 0}, 18));
    int percent = -1;
    EXPECT_EQ(ScsiCheckDSTsense(0, 0, 0, &percent), 0u);
    EXPECT_EQ(percent, 25);
    EXPECT_NE(progress.find("Progress indication: 25.00%"), std::string::npos) << progress;

    clock += 100;
    const std::string results = decode(kSgLogs, "--in=", logPage(0, 0x10));
    int result = -1;
    EXPECT_EQ(ScsiGetDstResults(0, 0, 0, 0, &result), 0u);
    EXPECT_EQ(result, 3);
    EXPECT_NE(results.find("accumulated power-on hours = 4321"), std::string::npos) << results;
    EXPECT_NE(results.find("self-test code: background short [1]"), std::string::npos) << results;
    EXPECT_NE(results.find("self-test result: unknown error, unable to complete [3]"), std::string::npos) << results;
}

} // namespace
} // namespace diskbus_test
