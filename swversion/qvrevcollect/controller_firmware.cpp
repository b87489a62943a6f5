#include "controller_firmware.h"

#include <dlfcn.h>

#include <string>

#include "ipmcontrollerexport.h"
#include "ipmexception.h"
#include "sw_files.h"

namespace {

template <typename Function>
bool resolve(void* handle, const char* name, Function& function)
{
    function = reinterpret_cast<Function>(::dlsym(handle, name));
    return function != nullptr;
}

std::string withoutCarriageReturns(std::string text)
{
    std::erase(text, '\r');
    return text;
}

// The answer's version text, empty for controllers older than IPMI 0.9.
std::string firmwareVersion(const GLOB_GET_DEVICE_ID_RESPONSE& answer)
{
    if (answer.bVersion < 9) return {};
    return controllerVersionText(answer.Ver10.deviceRevision, answer.Ver10.firmwareRev1,
                                 answer.Ver10.firmwareRev2);
}

} // namespace

ControllerLibrary::ControllerLibrary()
{
    handle_ = ::dlopen("libqvbmc.so.1", RTLD_LAZY);
    if (handle_ == nullptr) return;
    if (!resolve(handle_, "RegisterWithAPI", registerWithApi_) ||
        !resolve(handle_, "UnRegisterWithAPI", unregisterWithApi_) ||
        !resolve(handle_, "CreateIPMController", createController_) ||
        !resolve(handle_, "DestroyIPMController", destroyController_)) {
        ::dlclose(handle_);
        handle_ = nullptr;
    }
}

ControllerLibrary::~ControllerLibrary()
{
    if (handle_ != nullptr) ::dlclose(handle_);
}

void ControllerLibrary::addControllerRows(std::vector<BIOSFirmware>& rows) const
{
    const swfiles::CLockedProfile settings(nullptr);
    registerWithApi_();
    const int count = settings.MyGetPrivateProfileInt("firmware", "Count", 0, swfiles::kConfigFile);
    if (count > 0) {
        const int first = settings.MyGetPrivateProfileInt("firmware", "addr1", -1, swfiles::kConfigFile);
        CIPMControllerExport* controller = nullptr;
        try {
            controller = createController_(first & 0xFF, 0, nullptr, 0);
        } catch (CIPMExceptionExport*) {
        }
        for (int i = 1; controller != nullptr && i <= count; ++i) {
            const std::string number = std::to_string(i);
            try {
                const int address = settings.MyGetPrivateProfileInt(
                    "firmware", ("addr" + number).c_str(), 0, swfiles::kConfigFile);
                controller->SetAddress(static_cast<unsigned char>(address & 0xFF));
                const GLOB_GET_DEVICE_ID_RESPONSE answer = controller->BroadcastGetDeviceId();
                char name[100] = "";
                settings.MyGetPrivateProfileString("firmware", ("name" + number).c_str(), "", name,
                                                   sizeof name, swfiles::kConfigFile);
                if (name[0] == '\0') continue;
                addFirmwareRow(rows, {withoutCarriageReturns(name), 0,
                                      withoutCarriageReturns(firmwareVersion(answer)), 0});
            } catch (CIPMExceptionExport*) {
                // A controller that does not answer is left out; the others are still asked.
            }
        }
        if (controller != nullptr) destroyController_(controller);
    }
    unregisterWithApi_();
}
