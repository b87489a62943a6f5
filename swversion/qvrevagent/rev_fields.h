// The field and date rules of the records the version agent serves: cache entries, history
// and BIOS records.
#pragma once

#include <array>
#include <string>

// Field k of a comma-separated record: the text after the k-th comma up to the next one (at
// most 255 characters); empty beyond the last comma.
std::string commaField(const std::string& record, unsigned k);

// The 6-byte date of a history field "month/day/year hour:minute[:second.flag]": year - 1900,
// month, day, hour, minute, 0; six zero bytes for an empty field. Throws on a field with fewer
// than five parts.
std::array<unsigned char, 6> historyDateOctets(const std::string& field);

// The 7-byte date of a cache field "Y M D h m s" (each cut to its low byte) and a 0 byte.
// Throws on fewer than six numbers.
std::array<unsigned char, 7> cacheDateOctets(const std::string& field);

// Field k of a cache entry split at ';', newline, tab and carriage return. Throws beyond the
// last field.
std::string cacheField(const std::string& entry, unsigned k);
