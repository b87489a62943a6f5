// The event formatter: looks keys up in the event description file (evtspec.cfg) for a record
// and expands the token language of its Varbind keys into text. The trap-variable side lives in
// event_format_varbind.h, so text-only users need no trap code.
#pragma once

#include "qveventlog.h"

#include <cstddef>

// QVELFMT_ReadKey results.
constexpr int QVELFMT_FOUND = 0;
constexpr int QVELFMT_NOT_FOUND = 1001;
// Every expanded token fits this many bytes with its terminator (an add-string field at most).
constexpr size_t QVELFMT_TOKEN_TEXT_SIZE = 256;
// A key value is one line of the file: at most 255 characters and the terminator.
constexpr size_t QVELFMT_VALUE_SIZE = 256;

enum GetTokenEnum { GetTokenVarbind = 0, GetTokenString = 1 };

// `value` holds QVELFMT_VALUE_SIZE bytes. `trigger` or `offset` NULL selects the enclosing
// section; only bits 0-3 of *offset count.
int QVELFMT_ReadKey(unsigned char* sensorType, unsigned char* trigger, unsigned char* offset,
                    const char* key, char* value, unsigned long* length);

// Kind GetTokenString writes text into the QVELFMT_TOKEN_TEXT_SIZE bytes at `out`; kind
// GetTokenVarbind writes the CAttrValue at `out` when the trap-variable side is linked in.
void QVELFMT_GetToken(GetTokenEnum kind, const char* token, EvtStruct* event, void* out);

// Appends the expanded template to the text already in `out` (`capacity` bytes in all); text
// that does not fit is cut. 0.
int QVELFMT_FormatEventToString(EvtStruct* event, char* out, size_t capacity);

// The character and prefix tests of the token language (letters without regard to case).
bool IsEscape(char c);
bool IsByte(const char* p);
bool IsConvertedReading(const char* p);
bool IsConvertedThreshold(const char* p);
bool IsLocationString(const char* p);
bool IsSensorNumber(const char* p);
bool IsString(const char* p);
bool IsUpper(char c);
bool IsLower(char c);
bool IsInteger(char c);
bool IsMask(char c);
bool IsHex(char c);
bool IsBinDigit(char c);
