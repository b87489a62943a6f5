// Firmware download and update against a web server of the test's own and the outside disk
// library's stand-in.
#include "firmware_download.h"
#include "local_web_server.h"

#include "qvdiskctl_standin.h"
#include "service_process.h"
#include "temp_root.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

namespace {

using baydtest::LocalWebServer;

std::string url(const CDownload& d)
{
    char text[kFirmwareTextMax + 8];
    int room = sizeof text;
    d.GetUrl(text, &room);
    return text;
}

std::string image(const CDownload& d)
{
    return d.GetImage() ? std::string(d.GetImage(), d.GetImageSize()) : std::string();
}

std::string bytes(size_t n)
{
    const auto p = LocalWebServer::pattern(n);
    return std::string(p.begin(), p.end());
}

class FirmwareDownload : public ::testing::Test {
protected:
    void SetUp() override
    {
        static const bool curlReady = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
        ASSERT_TRUE(curlReady);
        download_.SetProxy("");
    }
    // Runs one download in this thread; true when it succeeded.
    bool fetch(const std::string& path) { return download_.SetUrl(server_.url(path).c_str(), true); }

    LocalWebServer server_;
    CDownload download_;
};

TEST_F(FirmwareDownload, OnlyAWholeImageOfAtMostOneMebibyteFromAWebServerIsKept)
{
    struct Case {
        std::string target;   // a path on the local server, or a whole URL
        int status;           // libcurl's result
        size_t size;          // image kept
    };
    const Case cases[] = {
        {"/bytes/1048576", CURLE_OK, 1048576},
        {"/bytes/1048577", CURLE_WRITE_ERROR, 0},
        {"/404", CURLE_HTTP_RETURNED_ERROR, 0},
        {"/302", CURLE_HTTP_RETURNED_ERROR, 0},   // redirects are not followed, nor their page kept
        {"file:///etc/hostname", CURLE_UNSUPPORTED_PROTOCOL, 0},
        {"dict://127.0.0.1:" + std::to_string(server_.port()) + "/d:x", CURLE_UNSUPPORTED_PROTOCOL, 0},
        {"/bytes/5000", CURLE_OK, 5000},
        {"/bytes/10", CURLE_OK, 10},   // replaces the image before it
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.target);
        const std::string target = c.target[0] == '/' ? server_.url(c.target) : c.target;
        EXPECT_EQ(download_.SetUrl(target.c_str(), true), c.status == CURLE_OK);
        EXPECT_EQ(download_.GetStatus(), c.status);
        EXPECT_EQ(download_.GetSize(), c.status == CURLE_OK ? 2 : 3);
        EXPECT_EQ(download_.GetImageSize(), c.size);
        if (c.size) {
            EXPECT_EQ(image(download_), bytes(c.size));
        }
        EXPECT_EQ(url(download_), target);
    }
}

TEST_F(FirmwareDownload, AStalledServerEndsTheTransferAndNoSecondOneStartsMeanwhile)
{
    qv::test::ScopedEnv lowSpeed(kFirmwareLowSpeedTimeEnv, "1");
    ASSERT_TRUE(download_.SetUrl(server_.url("/stall").c_str(), false));
    EXPECT_FALSE(download_.SetUrl(server_.url("/bytes/10").c_str(), false));
    EXPECT_EQ(url(download_), server_.url("/stall"));
    EXPECT_EQ(download_.GetStatus(), kFirmwareBusy);
    EXPECT_TRUE(qv::test::eventually([&] { return download_.GetSize() == 10; }, std::chrono::seconds(5)));
    ASSERT_TRUE(qv::test::eventually([&] { return download_.GetSize() == 3; }, std::chrono::seconds(10)));
    EXPECT_EQ(download_.GetStatus(), CURLE_OPERATION_TIMEDOUT);
    EXPECT_EQ(download_.GetImageSize(), 0u);
    EXPECT_TRUE(fetch("/bytes/10"));
}

TEST_F(FirmwareDownload, TextsAreCutTo511AndAnEmptyProxyMeansADirectConnection)
{
    const std::string longUrl = server_.url("/bytes/10?") + std::string(600, 'x');
    download_.SetUrl(longUrl.c_str(), true);
    EXPECT_EQ(url(download_), longUrl.substr(0, 511));
    char small[8];
    int room = sizeof small;
    download_.GetUrl(small, &room);
    EXPECT_EQ(room, 512);
    EXPECT_EQ(std::string(small, 8), longUrl.substr(0, 8));

    download_.SetProxy("http://127.0.0.1:1");   // nobody listens there
    EXPECT_FALSE(fetch("/bytes/10"));
    EXPECT_EQ(download_.GetStatus(), CURLE_COULDNT_CONNECT);
    download_.SetProxy("");
    EXPECT_TRUE(fetch("/bytes/10"));
}

class FirmwareUpdate : public FirmwareDownload {
protected:
    std::string journal() const { return root_.exists("/journal") ? root_.readFile("/journal") : ""; }

    qv::test::TempRoot root_;
    qv::test::ScopedEnv journal_{kDiskctlJournalEnv, root_.at("/journal").c_str()};
    qv::test::ScopedEnv control_{kDiskctlControlEnv, root_.at("/control").c_str()};
    CFirmware firmware_;
};

TEST_F(FirmwareUpdate, KeyDownloadAndImageAreCheckedBeforeTheLibraryFlashes)
{
    ASSERT_FALSE(fetch("/404"));
    EXPECT_FALSE(firmware_.SetUpdate(CFirmware::KEY, 1, 0, 0, 1, download_));
    EXPECT_EQ(firmware_.GetStatus(), 2);
    ASSERT_TRUE(fetch("/bytes/0"));
    EXPECT_FALSE(firmware_.SetUpdate(CFirmware::KEY, 1, 0, 0, 1, download_));
    EXPECT_EQ(firmware_.GetStatus(), 3);
    ASSERT_TRUE(fetch("/bytes/1048576"));
    EXPECT_FALSE(firmware_.SetUpdate(CFirmware::KEY + 1, 1, 0, 0, 1, download_));
    EXPECT_EQ(firmware_.GetStatus(), 1);
    EXPECT_EQ(journal().find("UpdateDriveFWImage"), std::string::npos);

    root_.writeFile("/control", "firmware_end 12\n");
    EXPECT_TRUE(firmware_.SetUpdate(CFirmware::KEY, 0x101, 2, 0, 0x104, download_));
    EXPECT_EQ(firmware_.GetStatus(), 12);   // the library's final code through its callback
    EXPECT_NE(journal().find("UpdateDriveFWImage 1 2 0 4 1048576 " + std::to_string(LocalWebServer::patternChecksum(1048576)) + "\n"),
              std::string::npos)
        << journal();
    root_.writeFile("/control", "result UpdateDriveFWImage 5\n");
    EXPECT_FALSE(firmware_.SetUpdate(CFirmware::KEY, 1, 0, 0, 1, download_));
    EXPECT_EQ(firmware_.GetStatus(), 5);
}

} // namespace
