// The event file library's own reader of the event description file: a forward scanner that
// keeps at most one 4096-byte buffer of text, and an index of where each sensor type's section
// begins so that later look-ups start there.
#pragma once

#include "qveventfile.h"

#include <cstdint>
#include <cstdio>

class CIndex {
public:
    static constexpr unsigned nLocationsMax = 64;
    // Locations keep the offset in 24 bits; sections further into the file are not indexed.
    static constexpr long lfaIndexable = 0xFFFFFF;

    long GetStartingLoc(unsigned char type) const;
    int AddSensorLoc(unsigned char type, long offset);
    unsigned LocateSensor(unsigned char type) const;

    static uint32_t MakeLoc(unsigned char type, long offset)
    {
        return static_cast<uint32_t>(type) << 24 | (static_cast<uint32_t>(offset) & 0xFFFFFF);
    }
    static unsigned char GetSensor(uint32_t loc) { return static_cast<unsigned char>(loc >> 24); }
    static long GetLfa(uint32_t loc) { return static_cast<long>(loc & 0xFFFFFF); }

    long lfaMax = 0;
    unsigned nLocs = 0;
    uint32_t rgLocs[nLocationsMax] = {};
};

class CParseFile {
public:
    static constexpr unsigned cbDataMax = 4096;
    // RestartParse on a reader without a file.
    static constexpr int kNotOpen = 99999;

    CParseFile() = default;
    ~CParseFile() { EndParse(); }
    CParseFile(const CParseFile&) = delete;
    CParseFile& operator=(const CParseFile&) = delete;

    int StartParse(const char* path);
    int EndParse();
    int RestartParse(unsigned char type);
    void MarkLocation(unsigned char type);
    int StartDescription();
    // The next header (value.pb null) or key line; false at the end of the file.
    bool GetNextThing(sdType* name, sdType* value);

    const CIndex& Index() const { return sensors; }

private:
    bool GetNextChar(int* c);
    void PutBackChar(int c);
    bool SkipWhiteSpace(int* c);
    void SkipToNextLine();
    enum class ReadEnd { stopped, endOfLine, endOfFile };
    // Reads to the end of the line (continuations included) or, when `stop` is not 0, to that
    // character.
    ReadEnd ReadUntil(int stop);
    // The buffer length without the character that ended a read.
    unsigned EndOfRead(ReadEnd end) const;
    int LocateEOF();
    int ResetLocation(long offset);
    void Append(int c);

    long lfaData = 0;
    long lfaThis = 0;
    long lfaEOF = 0;
    sdType sdData{nullptr, 0};
    CIndex sensors;
    FILE* fh = nullptr;
    int fKeepData = 0;
    bool fLastKept = false;   // the last character read is the last one of the buffer
};

// The description of one event; every slice points into the reader's buffer.
struct EventDescType {
    int fRecordGood;
    sdType sdDesc;
    sdType sdSeverity;
    sdType sdTrapId;
    sdType sdID;
    sdType sdHelpHtml;
    sdType sdHelpTag;
    unsigned nVarBinds;
    sdType rgsdVar[10];
};

int GetEventDesc(CParseFile& parser, const Sel& record, EventDescType* desc);
bool FSameStr(const char* word, sdType text);
unsigned long ExtractValue(sdType text);
void RemoveTrailingWhiteSpace(sdType& text);
// The Severity text of `record` from the file at `path` (at most 79 characters and a NUL).
int GetEventSeverity(char* path, Sel* record, char* out);
