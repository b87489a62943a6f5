// Event sinks for tests: one that keeps the records in memory, and one that appends them to a
// file as lines of the 16 record bytes in hex and the add-string.
#pragma once

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "space_event_sink.h"

namespace spacetest {

struct RecordedEvent {
    unsigned char bytes[16];
    std::string addString;

    int event() const
    {
        switch (bytes[13]) {
        case 0x28: return 4096;
        case 0x21: return 4097;
        case 0x22: return 4098;
        default: return 0;
        }
    }
    int pct() const { return bytes[14]; }
    int threshold() const { return bytes[15]; }
};

inline std::string eventLine(const unsigned char (&bytes)[16], const std::string& addString)
{
    std::string line;
    char hex[4];
    for (unsigned char b : bytes) {
        std::snprintf(hex, sizeof hex, "%02x ", b);
        line += hex;
    }
    return line + addString;
}

class RecordingEventSink : public SpaceEventSink {
public:
    int writeEvent(SpaceEventRecord& record, const std::string& addString) override
    {
        RecordedEvent e;
        std::memcpy(e.bytes, &record, sizeof e.bytes);
        e.addString = addString;
        events.push_back(e);
        return 0;
    }
    std::vector<RecordedEvent> events;
};

class FileEventSink : public SpaceEventSink {
public:
    explicit FileEventSink(std::string path) : path_(std::move(path)) {}
    int writeEvent(SpaceEventRecord& record, const std::string& addString) override
    {
        unsigned char bytes[16];
        std::memcpy(bytes, &record, sizeof bytes);
        FILE* file = std::fopen(path_.c_str(), "a");
        if (file == nullptr) return 1;
        std::fprintf(file, "%s\n", eventLine(bytes, addString).c_str());
        return std::fclose(file) == 0 ? 0 : 1;
    }

private:
    std::string path_;
};

} // namespace spacetest
