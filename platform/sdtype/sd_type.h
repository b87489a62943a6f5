// The buffer descriptor of the registry and of the SCSI and RAID library, and the status both
// return for a resource that cannot be had; one declaration for both, in C and C++ alike (the
// disk library's C callers include it through its header).
#pragma once

#ifdef __cplusplus
#include <cstdint>
extern "C" {
#else
#include <stdint.h>
#endif

// A byte block and its length, passed by value. Holds a pointer: stays inside the process.
typedef struct sdType {
    uint8_t* pb;
    uint32_t cb;
} sdType;

#ifdef __cplusplus
}
constexpr uint32_t ERR_RESOURCE_UNAVAILABLE = 0x10001B;
#else
enum { ERR_RESOURCE_UNAVAILABLE = 0x10001B };
#endif
