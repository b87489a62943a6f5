// A running qvbayd request loop in-process over a scripted cage list, the outside disk library's
// stand-in (journal and control file below the test root) and a local web server; clients ask
// it over its socket.
#pragma once

#include "cage_service.h"
#include "fake_cage_source.h"
#include "local_web_server.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

#include "qvdiskctl_standin.h"
#include "sandbox_path.h"
#include "service_client.h"
#include "service_process.h"
#include "temp_root.h"

namespace baydtest {

class CageServiceTest : public ::testing::Test {
protected:
    // Cages 0 and 3 are kept (2 + 2 drives); 1 has no drive, 2 is on a class 3 adapter, 4 on
    // an adapter the SCSI library does not know.
    static void defaultCages(FakeCageSource& s)
    {
        s.cages = {
            FakeCageSource::cage(0x0183, 0, 1, bMF3, {{0, 1}, {1, 0}, {2, 1}, {3, 0}}),
            FakeCageSource::cage(0x4F, 0xFF, 0xFF, bMF1, {{8, 0}, {9, 0}, {10, 0}}),
            FakeCageSource::cage(0x1185, 1, 1, bSAFte, {{0, 1}}),
            FakeCageSource::cage(0x4D, 0xFF, 0xFF, bMF1, {{8, 1}, {9, 0}, {10, 1}}),
            FakeCageSource::cage(0x2186, 2, 1, bSAFteCheap, {{4, 1}}),
        };
        s.adapterClass = {{0, 1}, {1, 3}};
    }
    virtual void prepare(FakeCageSource& s) { defaultCages(s); }

    void SetUp() override
    {
        static const bool curlReady = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
        ASSERT_TRUE(curlReady);
        prepare(source_);
        download_.SetProxy("");
        cages_ = std::make_unique<CCages>(source_, [this] { return now_.load(); });
        cages_->Refresh();
        ASSERT_TRUE(socket_.Create(qv::sandboxPath(kCageSocketPath).c_str()));
        socket_.SetTimeout(50);
        service_ = std::make_unique<CCageService>(*cages_, download_, firmware_, reader_);
        serving_ = std::thread([this] {
            while (!stop_) service_->ServeOne();
        });
    }
    void TearDown() override
    {
        stop_ = true;
        serving_.join();
        service_.reset();
        cages_.reset();
        // No download may outlive the test: the next one starts from an idle download.
        download_.StopDownload();
        for (int i = 0; i < 10000 && download_.GetStatus() == kFirmwareBusy; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }

    // One request and its raw reply ("<none>" when nothing came); a text argument follows the
    // integer fields when given.
    static std::string ask(std::initializer_list<int32_t> fields, const char* text = nullptr, int timeoutMs = 3000)
    {
        CServiceClient c(kCageSocketPath);
        c.Socket().SetTimeout(timeoutMs);
        char reply[kCageReplyMax + 1];
        if (!c.SendFields(fields) || (text && !c.SendText(text))) return "<unsent>";
        const int n = c.ReadVariableReply(reply, sizeof reply);
        return n < 0 ? "<none>" : std::string(reply, static_cast<size_t>(n));
    }
    static std::string integer(int32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); }
    static std::string flag(bool v) { return std::string(1, v ? 1 : 0); }
    static int32_t asInteger(const std::string& reply)
    {
        int32_t v = -1;
        if (reply.size() == 4) std::memcpy(&v, reply.data(), 4);
        return v;
    }
    static std::string text(const std::string& t) { return t + std::string(1, '\0'); }
    // Asks until the integer reply differs from `busy` (at most `limit`); the last reply.
    static int32_t waitWhile(std::initializer_list<int32_t> fields, int32_t busy,
                             std::chrono::milliseconds limit = std::chrono::seconds(5))
    {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        int32_t v = busy;
        while ((v = asInteger(ask(fields))) == busy && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        return v;
    }
    // A stalled transfer ends once the low-speed window (a few seconds) has seen no byte.
    static constexpr std::chrono::seconds kStallLimit{15};
    std::string journal() const { return root_.exists("/journal") ? root_.readFile("/journal") : ""; }
    std::string log() const { return root_.exists("/log") ? root_.readFile("/log") : ""; }

    qv::test::TempRoot root_;
    qv::test::ScopedEnv log_{"QV_LOG_FILE", root_.at("/log").c_str()};
    qv::test::ScopedEnv journal_{kDiskctlJournalEnv, root_.at("/journal").c_str()};
    qv::test::ScopedEnv control_{kDiskctlControlEnv, root_.at("/control").c_str()};
    qv::test::ScopedEnv connect_{kFirmwareConnectTimeoutEnv, "2"};
    qv::test::ScopedEnv lowSpeed_{kFirmwareLowSpeedTimeEnv, "1"};
    LocalWebServer server_;
    FakeCageSource source_;
    std::atomic<time_t> now_{1000};
    CDownload download_;
    CFirmware firmware_;
    std::unique_ptr<CCages> cages_;
    CCageSocket socket_;
    CServiceRequestReader reader_{socket_};
    std::unique_ptr<CCageService> service_;
    std::atomic<bool> stop_{false};
    std::thread serving_;
};

} // namespace baydtest
