// The data length a SCSI command block implies, as the adapters size their transfers by it.
#pragma once

#include <cstdint>

// 0 for a command without data, and for a command block too short to hold its length field.
uint32_t GetXFerSize(const uint8_t* cdb, unsigned cdbLength);
