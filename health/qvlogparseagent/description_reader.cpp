#include "description_reader.h"

#include "event_sections.h"

#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace logparse {

using evtspec::FSameStr;
using evtspec::IsWhiteSpace;

namespace {

bool white(char c) { return IsWhiteSpace(static_cast<unsigned char>(c)); }

void storeKey(EventDescType& desc, std::string_view key, std::string_view value)
{
    if (FSameStr("String", key)) desc.sdDesc = value;
    else if (FSameStr("Severity", key)) desc.sdSeverity = value;
    else if (FSameStr("TrapID", key)) desc.sdTrapId = value;
    else if (FSameStr("SymbolicName", key)) desc.sdID = value;
    else if (FSameStr("VarBind", key)) {
        const int n = evtspec::VarBindNumber(key, '0');
        if (n < 0) return;
        desc.rgsdVar[n] = value;
        if (desc.nVarBinds < static_cast<unsigned>(n) + 1) desc.nVarBinds = static_cast<unsigned>(n) + 1;
    }
}

} // namespace

bool FileInfoClass::Open(const char* path)
{
    Close();
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    size_ = static_cast<size_t>(st.st_size);
    // An empty file maps nothing but is still an open file without descriptions.
    if (size_ > 0) {
        map_ = ::mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, fd, 0);
        if (map_ == MAP_FAILED) {
            map_ = nullptr;
            size_ = 0;
            ::close(fd);
            return false;
        }
    }
    ::close(fd);
    open_ = true;
    return true;
}

void FileInfoClass::Close()
{
    if (map_ != nullptr) ::munmap(map_, size_);
    map_ = nullptr;
    size_ = 0;
    open_ = false;
}

std::string_view FileInfoClass::Contents() const
{
    return map_ ? std::string_view(static_cast<const char*>(map_), size_) : std::string_view();
}

void ParseFileClass::StartParse(const char* path)
{
    EndParse();
    if (file_.Open(path)) text_ = file_.Contents();
}

void ParseFileClass::EndParse()
{
    file_.Close();
    text_ = {};
    at_ = 0;
}

int ParseFileClass::RestartParse()
{
    if (!file_.IsOpen()) return kReaderClosed;
    at_ = 0;
    return 0;
}

void ParseFileClass::SkipWhiteSpace()
{
    while (at_ < text_.size() && white(text_[at_])) ++at_;
}

// Up to and including the line feed; a backslash before white space carries the line on.
void ParseFileClass::SkipToNextLine()
{
    while (at_ < text_.size()) {
        const char c = text_[at_++];
        if (c == '\n') return;
        if (c == '\\' && at_ < text_.size() && white(text_[at_])) ++at_;
    }
}

bool ParseFileClass::ReadItem(ParseItem& item)
{
    item = {};
    for (;;) {
        SkipWhiteSpace();
        if (at_ >= text_.size()) return false;
        if (text_[at_] != '#' && text_[at_] != ';') break;
        SkipToNextLine();
    }
    if (text_[at_] == '[') {
        const size_t begin = ++at_;
        size_t end = text_.find(']', begin);
        if (end == std::string_view::npos) end = text_.size();
        item.name = text_.substr(begin, end - begin);
        at_ = end;
        SkipToNextLine();
        return true;
    }
    const size_t begin = at_;
    const size_t equals = text_.find('=', begin);
    if (equals == std::string_view::npos) {
        item.name = text_.substr(begin);
        at_ = text_.size();
    } else {
        item.name = text_.substr(begin, equals - begin);
        item.hasValue = true;
        at_ = equals + 1;
        const size_t valueBegin = at_;
        while (at_ < text_.size() && text_[at_] != '\n' && text_[at_] != ';') {
            if (text_[at_] == '\\' && at_ + 1 < text_.size() && white(text_[at_ + 1])) at_ += 2;
            else ++at_;
        }
        item.value = text_.substr(valueBegin, std::min(at_, text_.size()) - valueBegin);
        evtspec::RemoveTrailingWhiteSpace(item.value);
        SkipToNextLine();
    }
    evtspec::RemoveTrailingWhiteSpace(item.name);
    return true;
}

bool ParseFileClass::GetNextThing(ParseItem& item)
{
    // An item without a name ("[]", "=x") is passed over rather than ending the look-up.
    while (ReadItem(item))
        if (!item.name.empty()) return true;
    return false;
}

int GetEventDesc(ParseFileClass& parser, SELRecordType record, EventDescType* desc)
{
    *desc = {};
    QVEL_MapEventRecord2to3(&record);
    if (const int result = parser.RestartParse(); result != 0) return result;
    evtspec::SectionWalk walk(record.sensorType, record.eventTrigger, record.eventData1);
    ParseItem item;
    while (parser.GetNextThing(item)) {
        if (item.hasValue) {
            if (!walk.inDescription()) continue;
            desc->fRecordGood = 1;
            storeKey(*desc, item.name, item.value);
        } else if (walk.header(item.name).complete) {
            break;
        }
    }
    return 0;
}

int CopySeverity(ParseFileClass& parser, const SELRecordType& record, char* out, size_t capacity)
{
    if (capacity > 0) out[0] = '\0';
    EventDescType desc;
    if (const int result = GetEventDesc(parser, record, &desc); result != 0) return result;
    if (!desc.fRecordGood) return kNoDescription;
    if (capacity == 0) return 0;
    const size_t n = std::min(desc.sdSeverity.size(), capacity - 1);
    if (n > 0) std::memcpy(out, desc.sdSeverity.data(), n);
    out[n] = '\0';
    return 0;
}

int GetEventSeverity(const char* path, SELRecordType* record, char* out)
{
    ParseFileClass parser;
    parser.StartParse(path);
    return CopySeverity(parser, *record, out, kEventSeveritySize);
}

} // namespace logparse
