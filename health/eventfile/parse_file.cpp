#include "parse_file.h"

#include "event_sections.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string_view>


namespace {

std::string_view view(sdType text) { return {text.pb, text.cb}; }

int lastError() { return errno != 0 ? errno : EIO; }

} // namespace

long CIndex::GetStartingLoc(unsigned char type) const
{
    const unsigned i = LocateSensor(type);
    return i < nLocs ? GetLfa(rgLocs[i]) : lfaMax;
}

int CIndex::AddSensorLoc(unsigned char type, long offset)
{
    if (LocateSensor(type) < nLocs) return 1;
    // A later look-up of an unindexed type starts at lfaMax, so lfaMax must stay a location
    // every section before which has been indexed.
    if (nLocs >= nLocationsMax || offset < 0 || offset > lfaIndexable) return 0;
    rgLocs[nLocs++] = MakeLoc(type, offset);
    lfaMax = std::max(lfaMax, offset);
    return 1;
}

unsigned CIndex::LocateSensor(unsigned char type) const
{
    unsigned i = 0;
    while (i < nLocs && GetSensor(rgLocs[i]) != type) ++i;
    return i;
}

int CParseFile::StartParse(const char* path)
{
    EndParse();
    // The index holds offsets into one file: a reader started on a file begins a new one.
    sensors = CIndex();
    if (path == nullptr) return EINVAL;
    errno = 0;
    fh = std::fopen(path, "rb");
    if (fh == nullptr) return lastError();
    int result = LocateEOF();
    if (result == 0) {
        sdData.pb = static_cast<char*>(std::malloc(cbDataMax));
        if (sdData.pb == nullptr) result = ENOMEM;
    }
    if (result == 0) result = ResetLocation(0);
    if (result != 0) EndParse();
    return result;
}

int CParseFile::EndParse()
{
    if (fh != nullptr) std::fclose(fh);
    std::free(sdData.pb);
    fh = nullptr;
    sdData = {nullptr, 0};
    lfaData = lfaThis = lfaEOF = 0;
    fKeepData = 0;
    fLastKept = false;
    return 0;
}

int CParseFile::LocateEOF()
{
    errno = 0;
    if (std::fseek(fh, 0, SEEK_END) != 0) return lastError();
    lfaEOF = std::ftell(fh);
    if (lfaEOF < 0) return lastError();
    return std::fseek(fh, 0, SEEK_SET) == 0 ? 0 : lastError();
}

int CParseFile::RestartParse(unsigned char type)
{
    if (fh == nullptr) return kNotOpen;
    fKeepData = 0;
    return ResetLocation(type == 0 ? 0 : sensors.GetStartingLoc(type));
}

void CParseFile::MarkLocation(unsigned char type)
{
    fKeepData = 0;
    sensors.AddSensorLoc(type, lfaThis);
}

int CParseFile::StartDescription()
{
    fKeepData = 1;
    sdData.cb = 0;
    sdData.pb[0] = '\0';
    return 1;
}

int CParseFile::ResetLocation(long offset)
{
    if (offset == -1) {
        offset = lfaData;
    } else {
        errno = 0;
        if (std::fseek(fh, offset, SEEK_SET) != 0) return lastError();
    }
    lfaData = lfaThis = offset;
    if (!fKeepData) {
        sdData.cb = 0;
        sdData.pb[0] = '\0';
    }
    return 0;
}

void CParseFile::Append(int c)
{
    // One byte stays for the terminator, so the text kept is always a C string as well.
    fLastKept = sdData.cb < cbDataMax - 1;
    if (!fLastKept) return;
    sdData.pb[sdData.cb++] = static_cast<char>(c);
    sdData.pb[sdData.cb] = '\0';
}

bool CParseFile::GetNextChar(int* c)
{
    if (fh == nullptr || lfaData >= lfaEOF) return false;
    *c = std::fgetc(fh);
    if (*c == EOF) return false;
    Append(*c);
    ++lfaData;
    return true;
}

void CParseFile::PutBackChar(int c)
{
    --lfaThis;
    if (!fKeepData) Append(c);
}

bool CParseFile::SkipWhiteSpace(int* c)
{
    do
        if (!GetNextChar(c)) return false;
    while (evtspec::IsWhiteSpace(static_cast<unsigned char>(*c)));
    ResetLocation(-1);
    PutBackChar(*c);
    return true;
}

CParseFile::ReadEnd CParseFile::ReadUntil(int stop)
{
    int c;
    if (!GetNextChar(&c)) return ReadEnd::endOfFile;
    for (;;) {
        if (stop != 0 && c == stop) return ReadEnd::stopped;
        if (c == '\n') return ReadEnd::endOfLine;
        if (c == '\\') {
            if (!GetNextChar(&c)) return ReadEnd::endOfFile;
            // A backslash before white space carries the line over its line feed.
            while (evtspec::IsWhiteSpace(static_cast<unsigned char>(c))) {
                const bool lineFeed = c == '\n';
                if (!GetNextChar(&c)) return ReadEnd::endOfFile;
                if (lineFeed) break;
            }
            continue;
        }
        if (!GetNextChar(&c)) return ReadEnd::endOfFile;
    }
}

void CParseFile::SkipToNextLine() { ReadUntil(0); }

unsigned CParseFile::EndOfRead(ReadEnd end) const
{
    // The character that ended the read is not part of the text, when it was kept at all.
    return sdData.cb - (end != ReadEnd::endOfFile && fLastKept ? 1 : 0);
}

bool CParseFile::GetNextThing(sdType* name, sdType* value)
{
    for (;;) {
        int c;
        if (!SkipWhiteSpace(&c)) return false;
        if (c == '#' || c == ';') {
            SkipToNextLine();
            continue;
        }
        const unsigned begin = fLastKept ? sdData.cb - 1 : sdData.cb;
        *value = {nullptr, 0};
        if (c == '[') {
            const unsigned nameStart = sdData.cb;
            const ReadEnd end = ReadUntil(']');
            *name = {sdData.pb + nameStart, EndOfRead(end) - nameStart};
            if (end == ReadEnd::stopped) SkipToNextLine();
        } else {
            const ReadEnd end = c == '=' ? ReadEnd::stopped : ReadUntil('=');
            *name = {sdData.pb + begin, (c == '=' ? begin : EndOfRead(end)) - begin};
            RemoveTrailingWhiteSpace(*name);
            if (end == ReadEnd::stopped) {
                const unsigned valueStart = sdData.cb;
                const ReadEnd valueEnd = ReadUntil(0);
                *value = {sdData.pb + valueStart, EndOfRead(valueEnd) - valueStart};
                RemoveTrailingWhiteSpace(*value);
            }
        }
        // A line without a name is no item; only the end of the file ends the items.
        if (name->cb > 0) return true;
    }
}

bool FSameStr(const char* word, sdType text) { return evtspec::FSameStr(word, view(text)); }

unsigned long ExtractValue(sdType text) { return evtspec::ExtractValue(view(text)); }

void RemoveTrailingWhiteSpace(sdType& text)
{
    while (text.cb > 0 && evtspec::IsWhiteSpace(static_cast<unsigned char>(text.pb[text.cb - 1])))
        --text.cb;
}

namespace {

void storeKey(EventDescType* desc, sdType name, sdType value)
{
    desc->fRecordGood = 1;
    static constexpr struct {
        const char* key;
        sdType EventDescType::*slice;
    } kKeys[] = {
        {"String", &EventDescType::sdDesc},          {"Severity", &EventDescType::sdSeverity},
        {"TrapID", &EventDescType::sdTrapId},        {"SymbolicName", &EventDescType::sdID},
        {"html_HelpFile", &EventDescType::sdHelpHtml}, {"HelpID", &EventDescType::sdHelpTag},
    };
    for (const auto& key : kKeys) {
        if (FSameStr(key.key, name)) {
            desc->*key.slice = value;
            return;
        }
    }
    if (FSameStr("VarBind", name)) {
        const int n = evtspec::VarBindNumber(view(name), '1');
        if (n >= 0) {
            desc->rgsdVar[n] = value;
            desc->nVarBinds = std::max(desc->nVarBinds, static_cast<unsigned>(n + 1));
        }
    }
}

} // namespace

int GetEventDesc(CParseFile& parser, const Sel& record, EventDescType* desc)
{
    const int result = parser.RestartParse(record.sensorType);
    if (result != 0) return result;
    std::memset(desc, 0, sizeof *desc);
    evtspec::SectionWalk match(record.sensorType, record.eventTrigger, record.eventData1);
    sdType name, value;
    while (parser.GetNextThing(&name, &value)) {
        if (value.pb != nullptr) {
            if (match.inDescription()) storeKey(desc, name, value);
            continue;
        }
        const evtspec::SectionWalk::Step step = match.header(view(name));
        if (step.complete) break;
        // A header whose number is no sensor type has no place in the index.
        if (step.sensorSection && step.sensorType <= 0xFF)
            parser.MarkLocation(static_cast<unsigned char>(step.sensorType));
        if (step.descriptionStarts) parser.StartDescription();
    }
    return 0;
}

int GetEventSeverity(char* path, Sel* record, char* out)
{
    if (record == nullptr || out == nullptr) return QVEL_ERR_INVALID;
    CParseFile parser;
    int result = parser.StartParse(path);
    if (result != 0) return result;
    EventDescType desc;
    result = GetEventDesc(parser, *record, &desc);
    if (result != 0) return result;
    if (!desc.fRecordGood) return QVEF_NO_DESCRIPTION;
    const unsigned length = std::min(desc.sdSeverity.cb, 79u);
    if (length > 0) std::memcpy(out, desc.sdSeverity.pb, length);
    out[length] = '\0';
    return 0;
}
