// A running qvdisktagd request loop in-process over the outside disk library's stand-in (three
// drives on two adapters) and in-memory drives; clients ask it over its socket.
#pragma once

#include "tattoo_service.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

#include "drive_inventory.h"
#include "fake_drive_areas.h"
#include "sandbox_path.h"
#include "service_client.h"
#include "temp_root.h"

using selftesttest::Drive;

class TattooServiceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        tagtest::resetDrives();
        Drive second{1, 0, 5, 7, "0C0C", "0208", "SN0002", "MAN3184MC"};
        Drive third{2, 1, 9, 0, "X", "D", "S", "P"};
        selftesttest::writeInventory(root_, {Drive{1, 0, 3}, second, third}, 2);
        {
            std::lock_guard<std::mutex> g(tagtest::drives().lock);
            tagtest::drives().dst[{1, 0, 3}].completion = {0, 1200};
            tagtest::drives().dst[{1, 0, 5}].availStatus = 55555;
            tagtest::drives().dst[{1, 0, 3}].lastProgress = {0, 100};
        }
        tattoo_ = std::make_unique<CTattoo>();
        tattoo_->SetDriveRefresh(0, true);
        ASSERT_TRUE(socket_.Create(qv::sandboxPath(kTattooSocketPath).c_str()));
        socket_.SetTimeout(50);
        service_ = std::make_unique<CTattooService>(*tattoo_, reader_);
        serving_ = std::thread([this] {
            while (!stop_) service_->ServeOne();
        });
    }
    void TearDown() override
    {
        stop_ = true;
        serving_.join();
        service_.reset();
        tattoo_.reset();
    }

    // One request and its raw reply ("<none>" when nothing came).
    static std::string ask(std::initializer_list<int32_t> fields, int timeoutMs = 3000)
    {
        CServiceClient c(kTattooSocketPath);
        c.Socket().SetTimeout(timeoutMs);
        char reply[4096];
        if (!c.SendFields(fields)) return "<unsent>";
        const int n = c.ReadVariableReply(reply, sizeof reply);
        return n < 0 ? "<none>" : std::string(reply, static_cast<size_t>(n));
    }
    static std::string integer(int32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); }
    static int32_t asInteger(const std::string& reply)
    {
        int32_t v = -1;
        if (reply.size() == 4) std::memcpy(&v, reply.data(), 4);
        return v;
    }
    static std::string text(const char* t) { return std::string(t, std::strlen(t) + 1); }

    qv::test::TempRoot root_;
    qv::test::ScopedEnv fast_{kSelfTestWaitDivisorEnv, "1000"};
    qv::test::ScopedEnv log_{"QV_LOG_FILE", root_.at("/log").c_str()};
    std::unique_ptr<CTattoo> tattoo_;
    CSocket socket_;
    CServiceRequestReader reader_{socket_};
    std::unique_ptr<CTattooService> service_;
    std::atomic<bool> stop_{false};
    std::thread serving_;
};

