// A process of the event log's multi-process tests: writes, follows a cursor, syncs or clears,
// through the shared library as the suite's programs do.
//   eventlog_worker write COUNT TAG           COUNT events, add strings "TAG!i"
//   eventlog_worker follow CURSOR COUNT       prints "ID ADD" per record until COUNT were read
//   eventlog_worker churn write|sync|clear|follow [CURSOR]   repeats until killed
#include "qveventlog.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace {

// Writers of the suite write now and then; a pause between writes lets another writer's lock
// polling (every 500 ms) find the lock free.
int writeEvents(int count, const std::string& tag, int pauseMs)
{
    for (int i = 1; i <= count; ++i) {
        if (i > 1) std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
        Sel record{};
        record.recordType = 2;
        record.generatorId = 0x41;
        record.eventVersion = 3;
        record.sensorType = 0x0C;
        record.sensorNumber = static_cast<uint8_t>(i);
        record.eventTrigger = 0x6F;
        record.eventData2 = record.eventData3 = 0xFF;
        std::string add = tag + "!" + std::to_string(i);
        if (const int result = QVEL_WriteEvent(&record, add.data()); result != 0) {
            std::fprintf(stderr, "QVEL_WriteEvent: %d\n", result);
            return 1;
        }
    }
    return 0;
}

int follow(const char* cursor, int count)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    for (int seen = 0; seen < count;) {
        EvtStruct event{};
        if (QVEL_ReadNextUnseenEvent(&event, cursor) == 0) {
            std::printf("%u %s\n", event.selEntry.recordId, event.szAddString);
            std::fflush(stdout);
            ++seen;
        } else if (std::chrono::steady_clock::now() > end) {
            return 1;
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    return 0;
}

[[noreturn]] void churn(const std::string& what, const char* cursor)
{
    for (unsigned i = 0;; ++i) {
        if (what == "write") {
            writeEvents(1, "churn" + std::to_string(i), 0);
        } else if (what == "sync") {
            QVEL_SyncEventLog();
        } else if (what == "clear") {
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
            QVEL_ClearEventLog();
        } else {
            EvtStruct event{};
            QVEL_ReadNextUnseenEvent(&event, cursor);
        }
    }
}

} // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "write" && argc == 4) return writeEvents(std::atoi(argv[2]), argv[3], 150);
    if (mode == "follow" && argc == 4) return follow(argv[2], std::atoi(argv[3]));
    if (mode == "churn" && argc >= 3) churn(argv[2], argc > 3 ? argv[3] : "churn.cfg");
    std::fputs("usage: eventlog_worker write COUNT TAG | follow CURSOR COUNT | churn KIND [CURSOR]\n", stderr);
    return 2;
}
