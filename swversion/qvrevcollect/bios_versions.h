// The BIOS version texts of the system information library, copied into caller buffers.
#pragma once

// Cuts the trailing blanks of `text` in place and returns it (NULL for NULL).
char* Trim(char* text);

// Each copies its text into `buf` (which must come from malloc, `len` bytes) and returns the
// buffer that now holds it: `buf` itself, or a larger reallocation of it when the text and its
// terminator do not fit in `len` bytes. NULL when `buf` is NULL, when there is no DMI BIOS data,
// or when the buffer could not grow; `buf` then still belongs to the caller, unchanged.
char* DLL_GetSystemBIOSVersion(char* buf, int len);
char* DLL_GetVideoBIOSVersion(char* buf, int len);
char* DLL_GetSCSIBIOSVersion(char* buf, int len);
