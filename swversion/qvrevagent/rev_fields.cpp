#include "rev_fields.h"

#include <algorithm>
#include <cstdlib>

#include "tokenizer.h"

std::string commaField(const std::string& record, unsigned k)
{
    size_t start = 0;
    for (unsigned i = 0; i < k; ++i) {
        const size_t comma = record.find(',', start);
        if (comma == std::string::npos) return {};
        start = comma + 1;
    }
    const size_t end = record.find(',', start);
    return record.substr(start, std::min<size_t>(end == std::string::npos ? std::string::npos
                                                                          : end - start, 255));
}

std::string cacheField(const std::string& entry, unsigned k)
{
    StringTokenizer fields(entry, ";\n\t\r");
    return fields.getToken(k);
}

std::array<unsigned char, 7> cacheDateOctets(const std::string& field)
{
    StringTokenizer numbers(field, " \n\r\t");
    std::array<unsigned char, 7> bytes{};
    for (unsigned i = 0; i < 6; ++i)
        bytes[i] = static_cast<unsigned char>(std::atoi(numbers.getToken(i).c_str()));
    return bytes;
}

std::array<unsigned char, 6> historyDateOctets(const std::string& field)
{
    std::array<unsigned char, 6> bytes{};
    if (field.empty()) return bytes;
    StringTokenizer parts(field, " /:\n\t\r\f");
    const int month = std::atoi(parts.getToken(0).c_str());
    const int day = std::atoi(parts.getToken(1).c_str());
    const int year = std::atoi(parts.getToken(2).c_str());
    const int hour = std::atoi(parts.getToken(3).c_str());
    const int minute = std::atoi(parts.getToken(4).c_str());
    bytes = {static_cast<unsigned char>(year - 1900), static_cast<unsigned char>(month),
             static_cast<unsigned char>(day), static_cast<unsigned char>(hour),
             static_cast<unsigned char>(minute), 0};
    return bytes;
}
