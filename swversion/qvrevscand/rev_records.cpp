#include "rev_records.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

void copyText(char* dst, size_t size, const std::string& src)
{
    std::strncpy(dst, src.c_str(), size - 1);
    dst[size - 1] = '\0';
}

struct tm localParts(time_t when)
{
    struct tm local {};
    localtime_r(&when, &local);
    return local;
}

// Splits at the commas; the version (field 5) counts only when a comma closes it.
std::vector<std::string> baselineFields(const std::string& record)
{
    std::vector<std::string> fields;
    size_t start = 0;
    for (;;) {
        const size_t comma = record.find(',', start);
        if (comma == std::string::npos) {
            if (fields.size() < 5) fields.push_back(record.substr(start));
            break;
        }
        fields.push_back(record.substr(start, comma - start));
        start = comma + 1;
    }
    return fields;
}

long number(const std::vector<std::string>& fields, size_t i)
{
    return i < fields.size() ? std::strtol(fields[i].c_str(), nullptr, 10) : 0;
}

} // namespace

std::string formatBaselineRecord(const DriverStruct& d)
{
    const struct tm t = localParts(d.DrvDateAndTime);
    char text[512];
    std::snprintf(text, sizeof text, "%s,%ld,%d/%d/%d %02d:%02d:%02d.%d,%d,%d,%s", d.szDrvName,
                  d.ByteSize, t.tm_mon + 1, t.tm_mday, t.tm_year + 1900, t.tm_hour, t.tm_min,
                  t.tm_sec, t.tm_isdst, d.State, d.iType, d.szDrvVersion);
    return text;
}

bool parseBaselineRecord(const std::string& record, DriverStruct& out)
{
    out = DriverStruct{};
    if (record.empty()) return false;
    const std::vector<std::string> fields = baselineFields(record);
    copyText(out.szDrvName, sizeof out.szDrvName, fields[0]);
    out.ByteSize = number(fields, 1);
    if (fields.size() > 2 && !fields[2].empty()) {
        int mon = 0, day = 0, year = 0, hour = 0, min = 0, sec = 0, dst = 0;
        std::sscanf(fields[2].c_str(), "%d/%d/%d %d:%d:%d.%d", &mon, &day, &year, &hour, &min,
                    &sec, &dst);
        struct tm t {};
        t.tm_mon = mon - 1;
        t.tm_mday = day;
        t.tm_year = year - 1900;
        t.tm_hour = hour;
        t.tm_min = min;
        t.tm_sec = sec;
        t.tm_isdst = dst;
        out.DrvDateAndTime = std::mktime(&t);
    }
    out.State = static_cast<int>(number(fields, 3));
    out.iType = static_cast<int>(number(fields, 4));
    if (fields.size() > 5) copyText(out.szDrvVersion, sizeof out.szDrvVersion, fields[5]);
    return true;
}

std::string formatChangeDate(time_t when)
{
    const struct tm t = localParts(when);
    char text[64];
    std::snprintf(text, sizeof text, "%d/%d/%d %02d:%02d", t.tm_mon + 1, t.tm_mday,
                  t.tm_year + 1900, t.tm_hour, t.tm_min);
    return text;
}

std::string formatDriverChangeEntry(const DriverStruct& old, const std::string& changeDate)
{
    const std::string date = formatChangeDate(old.DrvDateAndTime);
    char text[512];
    std::snprintf(text, sizeof text, "%s,%ld,%s,%d,%d,%ld %s,%s,%d", old.szDrvName, old.ByteSize,
                  date.c_str(), old.State, old.iType, old.ByteSize, date.c_str(),
                  changeDate.c_str(), 3);
    return text;
}

std::string formatAgentsVersionEntry(const std::string& version, const std::string& changeDate)
{
    return "QV Velkarn SNMP Agents,,,,1," + version + "," + changeDate + ",1";
}

bool shouldPoll(const struct tm& now, int pollingTime, bool pollNow)
{
    return pollNow || (now.tm_hour == pollingTime && now.tm_min < 6);
}
