// The services that wait on their request socket end on SIGTERM with status 0, and the signal
// that ends their wait is not logged as a failed call.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <string>

#include "model_code.h"
#include "service_process.h"
#include "temp_root.h"

namespace {

using namespace std::chrono_literals;

TEST(ServiceStopTest, SigtermEndsTheRequestWaitWithoutAFailureLogged)
{
    // Each starts without devices: no drives, no cages, an empty event log.
    const struct {
        const char* program;
        const char* socket;
    } services[] = {
        {"storage/qvdisktagd/qvdisktagd", "/var/qvserver/qvdisktagd.socket"},
        {"storage/qvbayd/qvbayd", "/var/qvserver/qvbayd.socket"},
        {"health/qveventcached/qveventcached", "/var/qvserver/qveventcached.socket"},
    };
    for (const auto& s : services) {
        qv::test::TempRoot root;
        ASSERT_TRUE(qv::test::storeModelCode(55));
        qv::test::ChildProcess service;
        service.start(qv::test::installedPath(s.program), {},
                      {{"QV_FOREGROUND", "1"}, {"QV_LOG_FILE", root.at("/service.log")}});
        ASSERT_TRUE(qv::test::eventually([&] { return root.exists(s.socket); })) << s.program;
        service.signal(SIGTERM);
        EXPECT_EQ(service.wait(20s), 0) << s.program;
        const std::string log = root.exists("/service.log") ? root.readFile("/service.log") : "";
        EXPECT_EQ(log.find("failed"), std::string::npos) << s.program << "\n" << log;
    }
}

} // namespace
