// The component facade: one current selection, one description reader and the last event it
// described, kept for the whole process.
#include "event_text.h"
#include "qveventfile.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

struct ComponentStatusType {
    unsigned severity;
    unsigned nSensors;
    const unsigned char* prgSensors;
};

constexpr unsigned char rgMemSensors[] = {0x0C, 0x0E, 0};
constexpr unsigned char rgStrSensors[] = {0x0D, 0x1B, 0x1C, 0xD2, 0xD3, 0xD4, 0xD8, 0xDB, 0xDD, 0xDF, 0};
constexpr unsigned char rgHdwSensors[] = {0x01, 0x02, 0x03, 0x04, 0x07, 0x0F, 0x10, 0x11, 0x12,
                                          0x13, 0x15, 0x16, 0x17, 0x19, 0x21, 0xC7, 0xC9, 0};
constexpr unsigned char rgPwrSensors[] = {0x08, 0x09, 0};
constexpr unsigned char rgTempSensors[] = {0x01, 0};
constexpr unsigned char rgVoltSensors[] = {0x02, 0};
constexpr unsigned char rgFanSensors[] = {0x04, 0};

enum : unsigned { iMemSensors, iStrSensors, iHdwSensors, iPwrSensors, iTempSensors, iVoltSensors, iFanSensors };
constexpr unsigned iAllSensors = 0xFFFF;
constexpr unsigned nComponents = 8;
constexpr int kTextSize = 512;

ComponentStatusType vComponents[nComponents] = {
    {QVEF_SEV_UNKNOWN, 0, rgMemSensors},  {QVEF_SEV_UNKNOWN, 0, rgStrSensors},
    {QVEF_SEV_UNKNOWN, 0, rgHdwSensors},  {QVEF_SEV_UNKNOWN, 0, rgPwrSensors},
    {QVEF_SEV_UNKNOWN, 0, rgTempSensors}, {QVEF_SEV_UNKNOWN, 0, rgVoltSensors},
    {QVEF_SEV_UNKNOWN, 0, rgFanSensors},  {QVEF_SEV_UNKNOWN, 0, nullptr},
};
unsigned viAllSensors = 0;

void PrepareComponentLists()
{
    if (viAllSensors != 0) return;
    for (auto& component : vComponents)
        if (component.prgSensors != nullptr)
            component.nSensors = static_cast<unsigned>(std::strlen(reinterpret_cast<const char*>(component.prgSensors)));
    viAllSensors = nComponents - 1;
}

// Normal, information, unknown, warning, critical in rising order; anything else as unknown.
unsigned RankSeverity(unsigned severity)
{
    switch (severity) {
    case QVEF_SEV_NORMAL: return 0;
    case QVEF_SEV_INFORMATION: return 1;
    case QVEF_SEV_WARNING: return 3;
    case QVEF_SEV_CRITICAL: return 4;
    default: return 2;
    }
}

void TallySeverity(ComponentStatusType& component, unsigned severity)
{
    if (RankSeverity(severity) > RankSeverity(component.severity)) component.severity = severity;
}

char kUnknownHelp[] = "uknown.htm#1";
char kEmpty[] = "";

EventInfoType defaultInfo()
{
    EventInfoType info{};
    info.severity = QVEF_SEV_UNKNOWN;
    info.sdTrap = {kEmpty, 0};
    info.sdHelpLink = {kUnknownHelp, sizeof kUnknownHelp - 1};
    info.sdText = {kEmpty, 0};
    return info;
}

struct EventState {
    int iCurrent = -1;
    unsigned nMembers = 0;
    CParseFile* hParser = nullptr;
    EventListType* hFilter = nullptr;
    bool fDescribed = false;
    char szText[kTextSize] = "";
    EvtStruct event{};
    EventInfoType info{};

    ~EventState()
    {
        QvEventEndFilter(hFilter);
        QvEventCloseParser(hParser);
    }
    void DropSelection()
    {
        if (hFilter != nullptr) QvEventEndFilter(hFilter);
        hFilter = nullptr;
        ForgetEvent();
        nMembers = 0;
    }
    void ForgetEvent()
    {
        iCurrent = -1;
        szText[0] = '\0';
    }
    int OpenParser()
    {
        if (hParser != nullptr) return 0;
        char* path = nullptr;
        const int owned = ConstructCfgSpec(&path);
        const int result = QvEventOpenParser(path, &hParser);
        if (owned) std::free(path);
        return result;
    }
};

EventState vEvent;

int GetFilteredEventCount(unsigned component)
{
    PrepareComponentLists();
    if (component == iAllSensors || component >= nComponents) component = viAllSensors;
    vEvent.DropSelection();
    if (vEvent.OpenParser() != 0) return -1;
    const ComponentStatusType& c = vComponents[component];
    unsigned n = 0;
    if (QvEventSetFilter(c.prgSensors, c.nSensors, &n, &vEvent.hFilter) != 0) {
        vEvent.hFilter = nullptr;
        return -1;
    }
    vEvent.nMembers = n;
    return static_cast<int>(n);
}

int FaultInEvent(int n)
{
    if (n >= 0 && n == vEvent.iCurrent) return 0;
    vEvent.ForgetEvent();
    if (n < 0 || static_cast<unsigned>(n) >= vEvent.nMembers) return QVEF_NO_SUCH_EVENT;
    const int result = QvEventGetRecord(vEvent.hFilter, static_cast<unsigned>(n), &vEvent.event);
    if (result != 0) return result;
    vEvent.fDescribed =
        QvEventDescribeEvent(vEvent.hParser, &vEvent.event, &vEvent.info, vEvent.szText, kTextSize) == 0;
    if (!vEvent.fDescribed) {
        vEvent.info = defaultInfo();
        std::strcpy(vEvent.szText, "?");
    }
    vEvent.iCurrent = n;
    return 0;
}

sdType room(char* dst, int size) { return {dst, dst != nullptr && size > 0 ? static_cast<unsigned>(size) : 0u}; }

sdType text(char* s) { return {s, static_cast<unsigned>(std::strlen(s))}; }

template <typename Field>
int getNumber(int n, char* dst, int size, Field field)
{
    const int result = FaultInEvent(n);
    return result != 0 ? result : EncodeValue(field(), room(dst, size), 0);
}

int GatherAllComponentStatus()
{
    PrepareComponentLists();
    int result = vEvent.OpenParser();
    if (result != 0) return result;
    EventListType* all = nullptr;
    unsigned members = 0;
    result = QvEventSetFilter(nullptr, 0, &members, &all);
    if (result != 0) return result;
    for (auto& component : vComponents) component.severity = QVEF_SEV_NORMAL;
    for (unsigned p = 0; p < members && result == 0; ++p) {
        EvtStruct record{};
        result = QvEventGetRecord(all, p, &record);
        if (result != 0 || record.selEntry.recordType != 2) continue;
        EventInfoType info;
        const unsigned severity =
            QvEventDescribeEvent(vEvent.hParser, &record, &info, nullptr, 0) == 0 ? info.severity : QVEF_SEV_UNKNOWN;
        TallySeverity(vComponents[viAllSensors], severity);
        for (unsigned c = 0; c < viAllSensors; ++c) {
            const unsigned char* list = vComponents[c].prgSensors;
            if (std::find(list, list + vComponents[c].nSensors, record.selEntry.sensorType) != list + vComponents[c].nSensors)
                TallySeverity(vComponents[c], severity);
        }
    }
    QvEventEndFilter(all);
    return result;
}

int getStatus(unsigned component, char* dst, int size)
{
    const int result = GatherAllComponentStatus();
    return result != 0 ? result : EncodeValue(vComponents[component].severity, room(dst, size), 0);
}

} // namespace

extern "C" {

int GetEventCount(void) { return GetFilteredEventCount(iAllSensors); }
int GetMemoryEventCount(void) { return GetFilteredEventCount(iMemSensors); }
int GetStorageEventCount(void) { return GetFilteredEventCount(iStrSensors); }
int GetCritHdwEventCount(void) { return GetFilteredEventCount(iHdwSensors); }
int GetPowerEventCount(void) { return GetFilteredEventCount(iPwrSensors); }
int GetTempEventCount(void) { return GetFilteredEventCount(iTempSensors); }
int GetVoltageEventCount(void) { return GetFilteredEventCount(iVoltSensors); }
int GetFanEventCount(void) { return GetFilteredEventCount(iFanSensors); }

EventListType* GetEventFilterHandle(void) { return vEvent.hFilter; }

int ReplaceEventFilter(EventListType* h)
{
    const int result = QvEventCopyFilter(h, &vEvent.hFilter);
    if (result != 0) return result;
    vEvent.ForgetEvent();
    unsigned n = 0;
    vEvent.nMembers = QvEventCountMembers(vEvent.hFilter, &n) == 0 ? n : 0;
    return 0;
}

int GetEventSeverity(int n, char* dst, int size)
{
    return getNumber(n, dst, size, [] { return vEvent.info.severity; });
}

int GetEventCode(int n, char* dst, int size)
{
    return getNumber(n, dst, size, [] { return vEvent.info.eventCode; });
}

int GetEventType(int n, char* dst, int size)
{
    return getNumber(n, dst, size, [] { return static_cast<unsigned>(vEvent.event.selEntry.sensorType); });
}

int GetEventSequence(int n, char* dst, int size)
{
    return getNumber(n, dst, size, [] { return static_cast<unsigned>(vEvent.event.selEntry.recordId); });
}

int GetEventDescription(int n, char* dst, int size)
{
    int result = FaultInEvent(n);
    if (result != 0) return result;
    result = CopyString(room(dst, size), text(vEvent.szText));
    return result == 0 && !vEvent.fDescribed ? QVEF_NOT_DESCRIBED : result;
}

int GetEventHelpText(int n, char* dst, int size)
{
    const int result = FaultInEvent(n);
    return result != 0 ? result : CopyString(room(dst, size), vEvent.info.sdHelpLink);
}

int GetEventDateTime(int n, char* dst, int size)
{
    const int result = FaultInEvent(n);
    if (result != 0) return result;
    const Sel& record = vEvent.event.selEntry;
    if (record.recordType != 2) {
        char dash[] = "-";
        return CopyString(room(dst, size), text(dash));
    }
    const sdType out = room(dst, size);
    const time_t when = record.timestamp;
    struct tm local {};
    if (out.cb == 0 || localtime_r(&when, &local) == nullptr) return QVEF_TOO_SMALL;
    return std::strftime(out.pb, out.cb, "%x %X", &local) == 0 ? QVEF_TOO_SMALL : 0;
}

int GetEventLogStatus(char* dst, int size) { return getStatus(nComponents - 1, dst, size); }
int GetMemoryStatus(char* dst, int size) { return getStatus(iMemSensors, dst, size); }
int GetStorageStatus(char* dst, int size) { return getStatus(iStrSensors, dst, size); }
int GetCritHdwStatus(char* dst, int size) { return getStatus(iHdwSensors, dst, size); }
int GetPowerStatus(char* dst, int size) { return getStatus(iPwrSensors, dst, size); }

int EraseEventLog(const char* confirm, int len)
{
    if (confirm != nullptr && !(confirm[0] == 'Q' && confirm[1] == 'V' && len == 3)) return QVEF_BAD_CONFIRMATION;
    const int result = QVEL_ClearEventLog();
    if (result == 0) vEvent.DropSelection();
    return result;
}

} // extern "C"
