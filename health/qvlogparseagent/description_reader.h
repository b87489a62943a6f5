// The parse-log agent's own reader of the event description file: the whole file mapped into
// memory and scanned from its start on every look-up. Its line rules are its own (a ';' ends a
// value, names run across line ends); the section walk is the one of event_sections.h.
#pragma once

#include "qveventlog.h"

#include <cstddef>
#include <string_view>

namespace logparse {

using SELRecordType = Sel;

// RestartParse and GetEventDesc on a reader whose file could not be opened.
constexpr int kReaderClosed = 99999;
// GetEventSeverity when the record has no description.
constexpr int kNoDescription = 1;

// The whole file, mapped read-only.
class FileInfoClass {
public:
    FileInfoClass() = default;
    ~FileInfoClass() { Close(); }
    FileInfoClass(const FileInfoClass&) = delete;
    FileInfoClass& operator=(const FileInfoClass&) = delete;

    bool Open(const char* path);
    void Close();
    bool IsOpen() const { return open_; }
    std::string_view Contents() const;

private:
    bool open_ = false;
    void* map_ = nullptr;
    size_t size_ = 0;
};

// One item of the file: a header (no value) or a key line.
struct ParseItem {
    std::string_view name;
    std::string_view value;
    bool hasValue = false;   // the line had an '='
};

class ParseFileClass {
public:
    // A file that cannot be opened leaves the reader closed; look-ups then fail.
    void StartParse(const char* path);
    void EndParse();
    bool IsOpen() const { return file_.IsOpen(); }
    // Back to the start of the file; kReaderClosed when no file is open.
    int RestartParse();
    // The next item with a name; false at the end of the file.
    bool GetNextThing(ParseItem& item);

private:
    bool ReadItem(ParseItem& item);
    void SkipWhiteSpace();
    void SkipToNextLine();

    FileInfoClass file_;
    std::string_view text_;
    size_t at_ = 0;
};

// The description of one event. Slices point into the reader's mapping.
struct EventDescType {
    int fRecordGood = 0;            // a key of the matching offset was read
    std::string_view sdDesc;        // String
    std::string_view sdSeverity;    // Severity
    std::string_view sdTrapId;      // TrapID
    std::string_view sdID;          // SymbolicName
    unsigned nVarBinds = 0;         // one more than the highest variable number seen
    std::string_view rgsdVar[10];   // VarBind0 to VarBind9
};

// Looks the record up (after mapping a revision-2 record to revision 3): 0, or kReaderClosed.
int GetEventDesc(ParseFileClass& parser, SELRecordType record, EventDescType* desc);

// Copies the record's Severity text (at most `capacity` - 1 characters, terminated) to `out`;
// an empty text when there is none. 0 when a description was found, kNoDescription when not,
// kReaderClosed when the reader has no file.
int CopySeverity(ParseFileClass& parser, const SELRecordType& record, char* out, size_t capacity);

// Opens its own reader on `path`: the Severity text in `out` (80 bytes: at most 79 characters
// and the terminator). 0, kNoDescription, or kReaderClosed when the file cannot be opened.
int GetEventSeverity(const char* path, SELRecordType* record, char* out);
constexpr size_t kEventSeveritySize = 80;

} // namespace logparse
