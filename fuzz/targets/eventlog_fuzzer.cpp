// The event log library's parsers of outside input: soft-log lines and files (any bytes a
// crash, a full disk or another program left), and the SDR table build over a controller that
// answers with the fuzz bytes (chains that loop or break, lengths of any size).
// Input: selector byte, then the soft-log file or the device's reply script.
#include "eventlog_internal.h"
#include "fuzz_root.h"
#include "pause_hook.h"
#include "scripted_devsock.h"

#include <cstdint>
#include <string>

namespace {

void softLogReaders(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    qv::fuzz::writeRootFile("/usr/qvserver/etc/evtlog.dat", data, size);
    EvtStruct event{};
    Sel record{};
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        MakeSELFromString(&record, event.szAddString, text.substr(start, end - start).c_str());
    int value = 0;
    QVEL_GetNumberOfEvents(&value);
    QVEL_ReadLastSoftEvent(&value, &event);
    QVEL_ReadSoftEvent(0, &event);
    QVEL_ReadSoftEvent(value, &event);
}

void sdrTableBuild(const uint8_t* data, size_t size)
{
    qv::fuzz::scriptDeviceReplies(data, size);
    qv::eventlog::forgetSdrTableForTests();
    Sel record{};
    char name[17];
    for (int number : {0, 1, 16, 255}) {
        record.generatorId = 0x20;
        record.sensorNumber = static_cast<uint8_t>(number);
        QVEL_GetSdrDescription(&record, name);
    }
    QVEL_SdrCleanup();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    qv::fuzz::privateRoot();
    qv::mgmtctl::setPauseHookForTests([](int) {});
    if (size == 0) return 0;
    if (data[0] & 1)
        sdrTableBuild(data + 1, size - 1);
    else
        softLogReaders(data + 1, size - 1);
    return 0;
}
