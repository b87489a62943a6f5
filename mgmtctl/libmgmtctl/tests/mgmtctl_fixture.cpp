#include "mgmtctl_fixture.h"

#include "mmcdev_payload.h"
#include "pause_hook.h"

#include <numeric>

namespace qv::mgmtctl::test {
namespace {
std::vector<int> g_pauses;
void recordPause(int ms) { g_pauses.push_back(ms); }
} // namespace

void ControllerTest::SetUp()
{
    sim_.start();
    setPauseHookForTests(recordPause);
    ASSERT_EQ(MMC_OpenDevice(), 0);
    clearRecords();
}

void ControllerTest::TearDown()
{
    MMC_CloseDevice();
    sim_.stop();
    setPauseHookForTests(nullptr);
}

std::vector<Bytes> ControllerTest::sentMessages() const
{
    std::vector<Bytes> messages;
    for (const auto& entry : sim_.journal())
        if (entry.requestCode == devsock::mmcdev::kSendReceive) messages.push_back(entry.request);
    return messages;
}

Bytes ControllerTest::lastMessage() const
{
    auto messages = sentMessages();
    return messages.empty() ? Bytes{} : messages.back();
}

const std::vector<int>& ControllerTest::pauses() { return g_pauses; }

void ControllerTest::clearRecords()
{
    sim_.clearJournal();
    g_pauses.clear();
}

int ControllerTest::totalPauseMs() const
{
    return std::accumulate(g_pauses.begin(), g_pauses.end(), 0);
}

} // namespace qv::mgmtctl::test
