// The section rules of the event description file that every reader of it with nested
// look-ups keeps alike: the character classes, header numbers, key prefixes and the walk from
// [SensorType] through [EvtTrigger] to the [Offset] of one record. Readers differ in how they
// cut the file into items; they hand each item to a SectionWalk.
#pragma once

#include <cstdint>
#include <string_view>

namespace evtspec {

// Character classes of the file: white space, letters ('_' included) and the characters of a
// number (digits, hexadecimal letters, 'x'). Bytes 0x80 and above are none of them.
bool IsWhiteSpace(unsigned char c);
bool IsLetter(unsigned char c);
bool IsNumberChar(unsigned char c);
bool IsLetterOrNumber(unsigned char c);

// True when `word` is a prefix of `text`, compared without regard to case.
bool FSameStr(const char* word, std::string_view text);

// A header's number: after a leading word, the first run of letters and digits (at most 15
// characters are read), converted in base 0. NoValue when there is none.
constexpr unsigned long NoValue = 0x80000000UL;
constexpr size_t kValueDigitsMax = 15;
unsigned long ExtractValue(std::string_view text);

void RemoveTrailingWhiteSpace(std::string_view& text);

// The 'n' of a "VarBind<n>" key: its eighth character minus `first`, when that is 0 to 9;
// -1 otherwise (also for a key too short to have one).
int VarBindNumber(std::string_view key, char first);

// Walks the sections for one record. Feed every header (and every line without '=') to
// header(); key lines belong to the description while inDescription() holds.
class SectionWalk {
public:
    enum State { start = 0, sensor = 1, trigger = 2, offset = 3 };

    // What a header did beyond moving the state.
    struct Step {
        bool complete = false;          // the description ended before this header: stop
        bool sensorSection = false;     // a SensorType header: a reader may remember where it begins
        unsigned long sensorType = NoValue;
        bool descriptionStarts = false; // the matching Offset header
    };

    SectionWalk(uint8_t sensorType, uint8_t eventTrigger, uint8_t eventData1)
        : sensorType_(sensorType), eventTrigger_(eventTrigger), offset_(eventData1 & 0x0F) {}

    Step header(std::string_view name);
    bool inDescription() const { return state_ == offset; }
    State state() const { return state_; }

private:
    uint8_t sensorType_;
    uint8_t eventTrigger_;
    uint8_t offset_;
    State state_ = start;
};

} // namespace evtspec
