// The library as an outside host uses it: loaded by name, on soft logs written line by line and
// small description files. Each test loads it afresh, since the facade keeps process-wide state.
#include "qveventfile.h"

#include "host_simulator.h"
#include "temp_root.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstring>
#include <string>
#include <vector>

#include <dlfcn.h>

namespace {

using qv::test::TempRoot;

// The exported functions, looked up by their plain names.
struct Library {
    void* handle = nullptr;
#define QVEF_FUNCTIONS(X)                                                                          \
    X(QvEventSetFilter) X(QvEventFilterState) X(QvEventEndFilter) X(QvEventGetRecord)               \
    X(QvEventDescribeEvent) X(QvEventMarkForDelete) X(QvEventCommitChanges) X(QvEventCopyFilter)    \
    X(QvEventCountMembers) X(QvEventOpenParser) X(QvEventCloseParser) X(GetEventCount)              \
    X(GetMemoryEventCount) X(GetStorageEventCount) X(GetCritHdwEventCount) X(GetPowerEventCount)    \
    X(GetTempEventCount) X(GetVoltageEventCount) X(GetFanEventCount) X(GetEventFilterHandle)        \
    X(ReplaceEventFilter) X(GetEventSeverity) X(GetEventCode) X(GetEventType) X(GetEventSequence)   \
    X(GetEventDescription) X(GetEventHelpText) X(GetEventDateTime) X(GetEventLogStatus)            \
    X(GetMemoryStatus) X(GetStorageStatus) X(GetCritHdwStatus) X(GetPowerStatus) X(EraseEventLog)
#define QVEF_POINTER(name) decltype(&::name) name = nullptr;
    QVEF_FUNCTIONS(QVEF_POINTER)

    bool load()
    {
        handle = ::dlopen(qv::test::buildPath("health/eventfile/libqveventfile.so").c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) return false;
#define QVEF_LOOKUP(name) name = reinterpret_cast<decltype(name)>(::dlsym(handle, #name)); if (!name) return false;
        QVEF_FUNCTIONS(QVEF_LOOKUP)
        return ::dlsym(handle, "GetEventDesc") == nullptr;   // the reader stays inside
    }
    ~Library()
    {
        if (handle) ::dlclose(handle);
    }
};

Sel event(uint8_t type, uint8_t number, uint8_t trigger, uint8_t data1, uint8_t recordType = 2,
          uint8_t generator = 0x21)
{
    Sel r{};
    r.recordType = recordType;
    r.timestamp = 946782245;   // 2000-01-02 03:04:05 UTC
    r.generatorId = generator;   // the BIOS by default: no sensor records to ask for
    r.eventVersion = 4;
    r.sensorType = type;
    r.sensorNumber = number;
    r.eventTrigger = trigger;
    r.eventData1 = data1;
    r.eventData2 = 0xA5;
    return r;
}

constexpr char kDescriptions[] =
    "[SensorType 0x0C]\n[EvtTrigger 0x6F]\n"
    "[Offset 0x00]\nString=Correctable error at %1\nSeverity=Informational\nVarBind1=s2\n"
    "[Offset 0x01]\nString=Memory error on DIMM %1\nSeverity=Warning\nTrapID=1.3.6.1.4.1.93071.2.23.7.1201\n"
    "html_HelpFile=mem.htm\nHelpID=12\nVarBind1=b2x\n"
    "[SensorType 0x04]\n[EvtTrigger 0x01]\n[Offset 0x02]\nString=Fan %1 failed\nSeverity=Error\nVarBind1=sn\n"
    "[SensorType 0x01]\n[EvtTrigger 0x01]\n[Offset 0x02]\nString=Too hot\nSeverity=2\n";

class EventFileHost : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::setlocale(LC_ALL, "C");
        root_.writeFile("/usr/qvserver/etc/evtspec.cfg", kDescriptions);
        ASSERT_TRUE(lib_.load()) << ::dlerror();
    }
    void log(Sel record, const char* add = "")
    {
        std::string text = add;
        ASSERT_EQ(QVEL_WriteSoftEvent(&record, text.data()), 0);
    }
    // A memory warning, an OEM record of sensor type 0x0C, a fan error, an informational
    // memory event and an overheating, in this order.
    void logMixed()
    {
        log(event(0x0C, 3, 0x6F, 0x01));
        log(event(0x0C, 3, 0x6F, 0x01, 0xC0));
        log(event(0x04, 7, 0x01, 0x02));
        log(event(0x0C, 3, 0x6F, 0x00), "bank!B");
        log(event(0x01, 1, 0x01, 0x02));
    }
    template <typename Getter>
    std::string text(Getter get, int n, int size = 128)
    {
        std::vector<char> out(size, '#');
        last_ = get(n, out.data(), size);
        return last_ == 0 || last_ == QVEF_NOT_DESCRIBED ? std::string(out.data()) : "<" + std::to_string(last_) + ">";
    }
    std::string status(int (*get)(char*, int))
    {
        char out[16];
        const int result = get(out, sizeof out);
        return result == 0 ? std::string(out) : "<" + std::to_string(result) + ">";
    }

    TempRoot root_;
    qv::test::ScopedEnv tz_{"TZ", "UTC"};
    Library lib_;
    int last_ = 0;
};

TEST_F(EventFileHost, FiltersSelectBySensorTypeAndOnlyNullTakesOemRecords)
{
    logMixed();
    const unsigned char memory[] = {0x0C}, memoryAndFans[] = {0x04, 0x0C};
    const struct {
        const unsigned char* list;
        unsigned count;
        unsigned members;
    } cases[] = {{nullptr, 0, 5}, {memory, 1, 2}, {memory, 0, 4}, {memoryAndFans, 2, 3}, {memoryAndFans, 1, 1}};
    for (const auto& c : cases) {
        EventListType* h = nullptr;
        unsigned members = 99;
        ASSERT_EQ(lib_.QvEventSetFilter(c.list, c.count, &members, &h), 0);
        EXPECT_EQ(members, c.members) << c.count;
        unsigned counted = 0;
        EXPECT_EQ(lib_.QvEventCountMembers(h, &counted), 0);
        EXPECT_EQ(counted, c.members);
        int state = -1;
        EXPECT_EQ(lib_.QvEventFilterState(h, &state), 0);
        EXPECT_EQ(state, static_cast<int>(ELF_stale));   // no controller to synchronise with
        EXPECT_EQ(lib_.QvEventEndFilter(h), 0);
    }
}

TEST_F(EventFileHost, HandlesGetMarkCommitAndCopy)
{
    logMixed();
    const unsigned char memory[] = {0x0C};
    EventListType* h = nullptr;
    unsigned members = 0;
    ASSERT_EQ(lib_.QvEventSetFilter(memory, 1, &members, &h), 0);
    EvtStruct record{};
    ASSERT_EQ(lib_.QvEventGetRecord(h, 1, &record), 0);
    EXPECT_EQ(record.selEntry.recordId, 3);   // its place in the soft log
    EXPECT_STREQ(record.szAddString, "bank!B");
    EXPECT_EQ(lib_.QvEventGetRecord(h, 2, &record), QVEL_ERR_NOT_FOUND);

    EventListType* copy = nullptr;
    ASSERT_EQ(lib_.QvEventCopyFilter(h, &copy), 0);
    ASSERT_EQ(lib_.QvEventMarkForDelete(h, 0), 0);
    EXPECT_EQ(lib_.QvEventMarkForDelete(h, 2), QVEL_ERR_NOT_FOUND);
    unsigned count = 0;
    lib_.QvEventCountMembers(h, &count);
    EXPECT_EQ(count, 2u);
    ASSERT_EQ(lib_.QvEventGetRecord(h, 0, &record), 0);
    EXPECT_EQ(record.selEntry.recordId, 0);
    ASSERT_EQ(lib_.QvEventCommitChanges(h), 0);
    lib_.QvEventCountMembers(h, &count);
    EXPECT_EQ(count, 1u);
    ASSERT_EQ(lib_.QvEventGetRecord(h, 0, &record), 0);
    EXPECT_EQ(record.selEntry.recordId, 3);
    // The copy kept the members it had; copying back over it restores the same set.
    lib_.QvEventCountMembers(copy, &count);
    EXPECT_EQ(count, 2u);
    ASSERT_EQ(lib_.QvEventCopyFilter(h, &copy), 0);
    lib_.QvEventCountMembers(copy, &count);
    EXPECT_EQ(count, 1u);

    // A target of another size is refused and left alone.
    log(event(0x0C, 3, 0x6F, 0x01));
    EventListType* bigger = nullptr;
    ASSERT_EQ(lib_.QvEventSetFilter(memory, 1, &members, &bigger), 0);
    EXPECT_EQ(lib_.QvEventCopyFilter(h, &bigger), QVEF_INVALID_HANDLE);
    lib_.QvEventCountMembers(bigger, &count);
    EXPECT_EQ(count, 3u);
    for (EventListType* each : {h, copy, bigger}) EXPECT_EQ(lib_.QvEventEndFilter(each), 0);
}

TEST_F(EventFileHost, InvalidHandlesAreRefusedByEveryCall)
{
    log(event(0x0C, 3, 0x6F, 0x01));
    EventListType* h = nullptr;
    ASSERT_EQ(lib_.QvEventSetFilter(nullptr, 0, nullptr, &h), 0);
    EventListType forged = *h;
    forged.signature = 0x6B72614E;
    EvtStruct record{};
    unsigned count = 7;
    int state = 7;
    for (EventListType* bad : {static_cast<EventListType*>(nullptr), &forged}) {
        EXPECT_EQ(lib_.QvEventFilterState(bad, &state), QVEF_INVALID_HANDLE);
        EXPECT_EQ(state, 0);
        EXPECT_EQ(lib_.QvEventGetRecord(bad, 0, &record), QVEF_INVALID_HANDLE);
        EXPECT_EQ(lib_.QvEventMarkForDelete(bad, 0), QVEF_INVALID_HANDLE);
        EXPECT_EQ(lib_.QvEventCommitChanges(bad), QVEF_INVALID_HANDLE);
        EXPECT_EQ(lib_.QvEventCountMembers(bad, &count), QVEF_INVALID_HANDLE);
        EXPECT_EQ(lib_.QvEventCopyFilter(bad, &h), QVEF_INVALID_HANDLE);
        EventListType* target = bad;   // a null target would get a new handle
        if (bad != nullptr) {
            EXPECT_EQ(lib_.QvEventCopyFilter(h, &target), QVEF_INVALID_HANDLE);
        }
        EXPECT_EQ(lib_.QvEventEndFilter(bad), QVEF_INVALID_HANDLE);
    }
    EXPECT_EQ(count, 7u);
    EXPECT_EQ(lib_.QvEventEndFilter(h), 0);

    // Without a soft log a filter is empty.
    std::remove(root_.at("/usr/qvserver/etc/evtlog.dat").c_str());
    unsigned members = 9;
    ASSERT_EQ(lib_.QvEventSetFilter(nullptr, 0, &members, &h), 0);
    EXPECT_EQ(members, 0u);
    lib_.QvEventFilterState(h, &state);
    EXPECT_EQ(state, static_cast<int>(eELF_unknown));
    EXPECT_EQ(lib_.QvEventGetRecord(h, 0, &record), QVEL_ERR_NOT_FOUND);
    lib_.QvEventEndFilter(h);
}

TEST_F(EventFileHost, DescribeGivesSeverityCodeTextsAndTheExpandedText)
{
    logMixed();
    CParseFile* parser = nullptr;
    std::string missing = root_.at("/nowhere.cfg");
    EXPECT_EQ(lib_.QvEventOpenParser(missing.data(), &parser), ENOENT);
    std::string path = root_.at("/usr/qvserver/etc/evtspec.cfg");
    ASSERT_EQ(lib_.QvEventOpenParser(path.data(), &parser), 0);
    EventListType* h = nullptr;
    ASSERT_EQ(lib_.QvEventSetFilter(nullptr, 0, nullptr, &h), 0);
    EvtStruct record{};
    EventInfoType info{};
    char text[64];

    ASSERT_EQ(lib_.QvEventGetRecord(h, 0, &record), 0);
    ASSERT_EQ(lib_.QvEventDescribeEvent(parser, &record, &info, text, sizeof text), 0);
    EXPECT_EQ(info.severity, 1u);
    EXPECT_EQ(info.eventCode, 1201u);
    EXPECT_EQ(std::string(info.sdTrap.pb, info.sdTrap.cb), "1.3.6.1.4.1.93071.2.23.7.1201");
    EXPECT_STREQ(info.sdHelpLink.pb, "mem.htm#12");
    EXPECT_STREQ(info.sdText.pb, "Memory error on DIMM %1");
    EXPECT_STREQ(text, "Memory error on DIMM A5h");

    ASSERT_EQ(lib_.QvEventGetRecord(h, 1, &record), 0);   // the OEM record
    info.severity = 9;
    EXPECT_EQ(lib_.QvEventDescribeEvent(parser, &record, &info, text, sizeof text), QVEF_NO_DESCRIPTION);
    EXPECT_EQ(info.severity, 0u);
    record.selEntry = event(0x0C, 3, 0x6F, 0x05);
    EXPECT_EQ(lib_.QvEventDescribeEvent(parser, &record, &info, nullptr, 0), QVEF_NO_DESCRIPTION);
    EXPECT_EQ(lib_.QvEventDescribeEvent(nullptr, &record, &info, nullptr, 0), QVEF_READER_CLOSED);

    lib_.QvEventEndFilter(h);
    EXPECT_EQ(lib_.QvEventCloseParser(parser), 0);
}

TEST_F(EventFileHost, ComponentCountsAndGetters)
{
    logMixed();
    EXPECT_EQ(text(lib_.GetEventSeverity, 0), "<" + std::to_string(QVEF_NO_SUCH_EVENT) + ">");
    EXPECT_EQ(lib_.GetEventCount(), 5);
    EXPECT_EQ(lib_.GetFanEventCount(), 1);
    EXPECT_EQ(lib_.GetTempEventCount(), 1);
    EXPECT_EQ(lib_.GetCritHdwEventCount(), 2);   // the fan and the temperature
    EXPECT_EQ(lib_.GetStorageEventCount(), 0);
    EXPECT_EQ(lib_.GetPowerEventCount(), 0);
    EXPECT_EQ(lib_.GetVoltageEventCount(), 0);
    ASSERT_EQ(lib_.GetMemoryEventCount(), 2);   // OEM records count only in all events

    EXPECT_EQ(text(lib_.GetEventSequence, 1), "3");
    EXPECT_EQ(text(lib_.GetEventSeverity, 1), "8");
    EXPECT_EQ(text(lib_.GetEventCode, 1), "1200");
    EXPECT_EQ(text(lib_.GetEventType, 1), "12");
    EXPECT_EQ(text(lib_.GetEventDescription, 1), "Correctable error at B");
    EXPECT_EQ(text(lib_.GetEventHelpText, 1), "#");
    EXPECT_EQ(text(lib_.GetEventDateTime, 1), "01/02/00 03:04:05");
    EXPECT_EQ(text(lib_.GetEventHelpText, 0), "mem.htm#12");
    EXPECT_EQ(text(lib_.GetEventSequence, 2), "<" + std::to_string(QVEF_NO_SUCH_EVENT) + ">");
    EXPECT_EQ(text(lib_.GetEventDateTime, 0, 8), "<" + std::to_string(QVEF_TOO_SMALL) + ">");
    EXPECT_EQ(text(lib_.GetEventCode, 0, 4), "<" + std::to_string(QVEF_TOO_SMALL) + ">");
    EXPECT_EQ(text(lib_.GetEventDescription, 0, 5), "<" + std::to_string(QVEF_TOO_SMALL) + ">");

    ASSERT_EQ(lib_.GetEventCount(), 5);
    EXPECT_EQ(text(lib_.GetEventDateTime, 1), "-");   // the OEM record
    EXPECT_EQ(text(lib_.GetEventDescription, 1), "?");
    EXPECT_EQ(last_, QVEF_NOT_DESCRIBED);
    EXPECT_EQ(text(lib_.GetEventSeverity, 1), "255");
    EXPECT_EQ(text(lib_.GetEventHelpText, 1), "uknown.htm#1");
    EXPECT_EQ(text(lib_.GetEventDescription, 2), "Fan 7 failed");

    // A host's own selection replaces the facade's.
    EventListType* fans = nullptr;
    const unsigned char fan[] = {0x04};
    ASSERT_EQ(lib_.QvEventSetFilter(fan, 1, nullptr, &fans), 0);
    ASSERT_EQ(lib_.ReplaceEventFilter(fans), 0);
    EXPECT_EQ(text(lib_.GetEventSequence, 0), "2");
    EXPECT_EQ(text(lib_.GetEventSequence, 1), "<" + std::to_string(QVEF_NO_SUCH_EVENT) + ">");
    EXPECT_NE(lib_.GetEventFilterHandle(), fans);
    lib_.QvEventEndFilter(fans);
}

TEST_F(EventFileHost, WorstSeverityPerComponentByRank)
{
    EXPECT_EQ(status(lib_.GetEventLogStatus), "0");   // nothing logged
    log(event(0x0C, 3, 0x6F, 0x00));   // information
    EXPECT_EQ(status(lib_.GetMemoryStatus), "8");
    log(event(0x0C, 3, 0x6F, 0x01));   // warning outranks information
    log(event(0x0C, 3, 0x6F, 0x00));
    EXPECT_EQ(status(lib_.GetMemoryStatus), "1");
    log(event(0x0D, 3, 0x6F, 0x00));   // storage without a description
    EXPECT_EQ(status(lib_.GetStorageStatus), "255");
    EXPECT_EQ(status(lib_.GetMemoryStatus), "1");   // unknown ranks below warning overall too
    EXPECT_EQ(status(lib_.GetEventLogStatus), "1");
    EXPECT_EQ(status(lib_.GetPowerStatus), "0");
    log(event(0x01, 1, 0x01, 0x02));   // critical heat
    EXPECT_EQ(status(lib_.GetCritHdwStatus), "2");
    EXPECT_EQ(status(lib_.GetEventLogStatus), "2");
    log(event(0x0C, 3, 0x6F, 0x01, 0xC0));   // OEM records do not count
    EXPECT_EQ(status(lib_.GetEventLogStatus), "2");
    char tiny[1];
    EXPECT_EQ(lib_.GetEventLogStatus(tiny, sizeof tiny), QVEF_TOO_SMALL);
}

TEST_F(EventFileHost, MissingDescriptionFile)
{
    logMixed();
    std::remove(root_.at("/usr/qvserver/etc/evtspec.cfg").c_str());
    EXPECT_EQ(lib_.GetEventCount(), -1);
    EXPECT_EQ(lib_.GetMemoryEventCount(), -1);
    EXPECT_EQ(status(lib_.GetMemoryStatus), "<" + std::to_string(ENOENT) + ">");
    EXPECT_EQ(text(lib_.GetEventSeverity, 0), "<" + std::to_string(QVEF_NO_SUCH_EVENT) + ">");
}

TEST_F(EventFileHost, EraseNeedsTheRightConfirmationOrNone)
{
    qv::test::ChildProcess sim;
    ASSERT_TRUE(qveventfile::test::startSimulatedController(sim, root_));
    for (int i = 0; i < 2; ++i) {
        Sel r = event(0x0C, 3, 0x6F, 0x01);
        ASSERT_EQ(QVEL_WriteEvent(&r, nullptr), 0);
    }
    ASSERT_EQ(lib_.GetEventCount(), 2);
    int state = 0;
    EXPECT_EQ(lib_.QvEventFilterState(lib_.GetEventFilterHandle(), &state), 0);
    EXPECT_EQ(state, static_cast<int>(ELF_good));   // synchronised with the controller
    const struct {
        const char* confirm;
        int len;
    } refused[] = {{"QV", 2}, {"qv", 3}, {"Q", 3}, {"", 3}, {"QVX", 4}};
    for (const auto& c : refused) EXPECT_EQ(lib_.EraseEventLog(c.confirm, c.len), QVEF_BAD_CONFIRMATION) << c.confirm;
    EXPECT_EQ(text(lib_.GetEventSequence, 1), "1");   // nothing erased, the selection kept

    EXPECT_EQ(lib_.EraseEventLog("QV", 3), 0);
    EXPECT_EQ(text(lib_.GetEventSequence, 0), "<" + std::to_string(QVEF_NO_SUCH_EVENT) + ">");
    EXPECT_EQ(lib_.GetEventCount(), 0);
    Sel r = event(0x04, 7, 0x01, 0x02);
    ASSERT_EQ(QVEL_WriteEvent(&r, nullptr), 0);
    ASSERT_EQ(lib_.GetEventCount(), 1);
    EXPECT_EQ(lib_.EraseEventLog(nullptr, 0), 0);
    EXPECT_EQ(lib_.GetEventCount(), 0);
}

TEST_F(EventFileHost, SensorNamesComeFromTheCacheServiceOf10And09Controllers)
{
    qv::test::ChildProcess sim, cache;
    ASSERT_TRUE(qveventfile::test::startControllerWithCacheService(sim, cache, root_));
    root_.writeFile("/usr/qvserver/etc/evtspec.cfg",
                    "[SensorType 0x01]\n[EvtTrigger 0x01]\n[Offset 0x07]\nString=%1 too hot\nVarBind1=ls\n");
    log(event(0x01, 0x01, 0x01, 0x07, 2, 0x20));   // the baseboard's own sensor
    log(event(0x01, 0x10, 0x01, 0x07, 2, 0x24));   // the 0.9 satellite's
    log(event(0x01, 0x77, 0x01, 0x07, 2, 0x20));   // no such sensor: its number
    // The service answers once its scan of the controllers is done.
    ASSERT_TRUE(qv::test::eventually([&] {
        return lib_.GetEventCount() == 3 && text(lib_.GetEventDescription, 0) == "Baseboard Temp too hot";
    }, std::chrono::seconds(180)));
    EXPECT_EQ(text(lib_.GetEventDescription, 1), "Legacy Temp too hot");
    EXPECT_EQ(text(lib_.GetEventDescription, 2), "119 too hot");
    EXPECT_EQ(text(lib_.GetEventCode, 1), "107");
    EXPECT_EQ(cache.stop(), 0);
}

} // namespace
