// What every reader of the event description file agrees on, whatever its scanner: the character
// classes, the number in a header, and which section of the file describes a record. The file
// library's indexed reader and the parse-log agent's reader both walk sections with this.
#pragma once

#include "qveventlog.h"

#include <string_view>

namespace qvevtspec {

// Character classes: a mask's low seven bits select the class.
inline constexpr unsigned char kWhiteSpace = 0x81;
inline constexpr unsigned char kLetter = 0x82;
inline constexpr unsigned char kNumber = 0x84;
inline constexpr unsigned char kLetterOrNumber = 0x86;

bool FCharType(unsigned char c, unsigned char mask);

// `word` is a prefix of `text`, letters compared without regard to case.
bool FSameStr(const char* word, std::string_view text);

// A header text's number ("SensorType 0x0C", "Offset 3", "014"), read in base 0; NoValue when
// there is none. Only the first 15 characters of the number count.
inline constexpr unsigned long NoValue = 0x80000000UL;
unsigned long ExtractValue(std::string_view text);

enum StateEnum { start = 0, sensor = 1, trigger = 2, offset = 3 };

// What a header means for the walk.
struct SectionStep {
    bool stop = false;              // the matching description is complete
    bool sensorSection = false;     // a sensor-type section begins here
    unsigned long sensorType = 0;   // its number (NoValue when the header has none)
    bool descriptionStarts = false; // the matching offset's keys follow
};

// Follows the nesting SensorType > EvtTrigger > Offset for one record; keys count only while
// state() is `offset`.
class SectionMatch {
public:
    explicit SectionMatch(const Sel& record) : record_(record) {}
    SectionStep OnHeader(std::string_view header);
    StateEnum state() const { return state_; }

private:
    const Sel& record_;
    StateEnum state_ = start;
};

} // namespace qvevtspec
