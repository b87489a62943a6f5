// A controller device that answers from a script of steps, through the tunnel's channel seam,
// with every pause recorded instead of waited out. Shared by the tests of the libraries that
// stand on the tunnel.
#pragma once

#include "channel_hook.h"
#include "device_channel.h"
#include "mgmtctl.h"
#include "pause_hook.h"

#include <cerrno>
#include <cstdint>
#include <deque>
#include <vector>

namespace qv::mgmtctl::test {

struct ScriptStep {
    int error = 0;                // a failed ioctl with this errno, or 0
    uint16_t retcode = 0;         // the driver's result
    std::vector<uint8_t> answer;  // the controller's frame
};

inline ScriptStep failedIoctl(int error = EIO) { return {error, 0, {}}; }
inline ScriptStep driverResult(uint16_t retcode) { return {0, retcode, {}}; }
// The answer a controller gives to (netFnLun, command): the echo, then completion code and data.
inline ScriptStep answerTo(uint8_t netFnLun, uint8_t command, std::vector<uint8_t> completionAndData)
{
    ScriptStep step{0, 0, {static_cast<uint8_t>(netFnLun | 0x04), command}};
    step.answer.insert(step.answer.end(), completionAndData.begin(), completionAndData.end());
    return step;
}

class ScriptedController {
public:
    explicit ScriptedController(std::vector<ScriptStep> steps, int openError = 0)
        : steps_(steps.begin(), steps.end())
    {
        current_ = this;
        setPauseHookForTests([](int ms) { current_->pauses_.push_back(ms); });
        setDeviceChannelFactoryForTests([this, openError] {
            return std::make_unique<devsock::ScriptedChannel>(
                [this](const devsock::ChannelRequest& request, devsock::ChannelReply& reply) {
                    return answer(request, reply);
                },
                openError);
        });
    }
    ~ScriptedController()
    {
        MMC_CloseDevice();
        setDeviceChannelFactoryForTests({});
        setPauseHookForTests(nullptr);
        current_ = nullptr;
    }
    ScriptedController(const ScriptedController&) = delete;
    ScriptedController& operator=(const ScriptedController&) = delete;

    const std::vector<devsock::ChannelRequest>& requests() const { return requests_; }
    const std::vector<int>& pauses() const { return pauses_; }
    size_t stepsLeft() const { return steps_.size(); }

private:
    int answer(const devsock::ChannelRequest& request, devsock::ChannelReply& reply)
    {
        requests_.push_back(request);
        if (steps_.empty()) return EIO;  // an exhausted script is a device that stopped answering
        ScriptStep step = steps_.front();
        steps_.pop_front();
        if (step.error != 0) return step.error;
        reply.status = {static_cast<uint8_t>(step.retcode), static_cast<uint8_t>(step.retcode >> 8)};
        reply.dataIn = step.answer;
        return 0;
    }

    static inline ScriptedController* current_ = nullptr;
    std::deque<ScriptStep> steps_;
    std::vector<devsock::ChannelRequest> requests_;
    std::vector<int> pauses_;
};

} // namespace qv::mgmtctl::test
