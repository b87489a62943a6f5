#include "mgmtctl.h"
#include "pause_hook.h"

#include <sys/select.h>

#include <chrono>
#include <thread>

namespace qv::mgmtctl {
namespace {
PauseHook g_pauseHook = nullptr;
}

void setPauseHookForTests(PauseHook hook) { g_pauseHook = hook; }

PauseHook pauseHook() { return g_pauseHook; }

void pauseSteady(int ms)
{
    if (ms < 0) ms = 0;
    if (g_pauseHook) {
        g_pauseHook(ms);
        return;
    }
    // sleep_until on the steady clock resumes after signals and ignores wall-clock steps.
    std::this_thread::sleep_until(std::chrono::steady_clock::now() + std::chrono::milliseconds(ms));
}

} // namespace qv::mgmtctl

extern "C" void MMCSleep(int ms)
{
    if (ms < 0) ms = 0;
    if (auto hook = qv::mgmtctl::pauseHook()) {
        hook(ms);
        return;
    }
    timeval timeout{ms / 1000, (ms % 1000) * 1000};
    // An interrupted wait simply ends early.
    select(0, nullptr, nullptr, nullptr, &timeout);
}
