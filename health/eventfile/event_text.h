// What a host shows of an event: its text with the variables filled in, its code, its severity,
// and the small copies the facade hands out.
#pragma once

#include "parse_file.h"

unsigned BuildEventText(sdType out, EvtStruct& event, EventDescType& desc);
int EncodeVarBind(sdType out, EvtStruct& event, sdType spec);
// The 16 record bytes as "| XX " each and a closing "|", cut to the room of `out`.
int EncodeRawData(sdType out, void* record);
// Field n of a '!'-separated add-string (of at most 256 bytes); the last field when there are
// fewer.
sdType ExtractString(char* addString, unsigned n);
unsigned ComputeEventCode(EvtStruct& event);
unsigned DecodeSeverity(sdType text);

int EncodeValue(unsigned value, sdType out, int hex);
int CopyString(sdType out, sdType text);
// Copies `text` and a NUL to `at` and points `slice` at the copy; the bytes used.
unsigned CopyDataMember(sdType* slice, sdType text, char* at);

// The description file's path; 1 when the caller frees it.
int ConstructCfgSpec(char** path);
