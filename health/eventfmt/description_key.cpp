// Key lookup in the event description file.
#include "event_format.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

namespace {

std::string header(const char* name, const unsigned char* code, unsigned mask)
{
    if (!code) return {};
    char text[32];
    std::snprintf(text, sizeof text, "[%s 0x%02X]", name, *code & mask);
    return text;
}

bool contains(const std::string& line, const std::string& part)
{
    return line.find(part) != std::string::npos;
}

bool startsSection(const std::string& line)
{
    const size_t first = line.find_first_not_of(" \t");
    return first != std::string::npos && line[first] == '[';
}

} // namespace

int QVELFMT_ReadKey(unsigned char* sensorType, unsigned char* trigger, unsigned char* offset,
                    const char* key, char* value, unsigned long* length)
{
    if (!sensorType || !key || !value || !length) return QVELFMT_NOT_FOUND;
    std::ifstream in(GetEventSpecFile());
    if (!in) return QVELFMT_NOT_FOUND;
    const std::string typeHeader = header("SensorType", sensorType, 0xFF);
    const std::string triggerHeader = header("EvtTrigger", trigger, 0xFF);
    const std::string offsetHeader = header("Offset", offset, 0x0F);

    bool inSensorType = false, inTrigger = false, inTarget = false;
    std::string line;
    while (std::getline(in, line)) {
        if (inTarget) {
            if (startsSection(line)) break;
            if (!contains(line, key)) continue;
            const size_t equals = line.find('=');
            if (equals == std::string::npos) break;
            std::string found = line.substr(equals + 1);
            found = found.substr(0, found.find_first_of("\r\n"));
            found.resize(std::min(found.size(), QVELFMT_VALUE_SIZE - 1));
            std::memcpy(value, found.c_str(), found.size() + 1);
            *length = found.size();
            return QVELFMT_FOUND;
        }
        if (contains(line, typeHeader)) {
            (trigger ? inSensorType : inTarget) = true;
            continue;
        }
        if (inTrigger) {
            if (contains(line, offsetHeader)) inTarget = true;
            else if (contains(line, "[SensorType") || contains(line, "[EvtTrigger")) break;
            continue;
        }
        if (inSensorType) {
            if (contains(line, triggerHeader)) (offset ? inTrigger : inTarget) = true;
            else if (contains(line, "[SensorType")) break;
        }
    }
    return QVELFMT_NOT_FOUND;
}
