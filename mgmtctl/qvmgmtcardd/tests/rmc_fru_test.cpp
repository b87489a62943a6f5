#include <rmc_fru.h>

#include <gtest/gtest.h>

#include <string>

namespace {

using Bytes = std::vector<uint8_t>;

// FRU data with a board area holding `serial` and the multi-records given as raw bytes.
Bytes fruWith(const std::string& serial, const Bytes& records)
{
    Bytes board{0x01, 0x00, 0x19, 0, 0, 0, 0xC2, 'Q', 'V', 0xC2, 'R', 'C'};
    board.push_back(static_cast<uint8_t>(0xC0 | serial.size()));
    board.insert(board.end(), serial.begin(), serial.end());
    board.push_back(0xC1);
    while (board.size() % 8)
        board.push_back(0);
    Bytes data{0x01, 0, 0, 1, 0, static_cast<uint8_t>(1 + board.size() / 8), 0, 0};
    data.insert(data.end(), board.begin(), board.end());
    data.insert(data.end(), records.begin(), records.end());
    return data;
}

Bytes record(uint8_t type, uint8_t flags, const std::string& payload, int length = -1)
{
    Bytes r{type, flags, static_cast<uint8_t>(length < 0 ? payload.size() : length), 0, 0};
    r.insert(r.end(), payload.begin(), payload.end());
    return r;
}

TEST(RmcFruTest, ComponentValuesOfBothRecordFormats)
{
    const Bytes records = [] {
        Bytes r = record(0xC0, 0x02, "oem");
        Bytes url = record(3, 0x02, "\x04http://card/\r\n");
        Bytes ping = record(3, 0x82, "\x06" "10.0.0.40");
        r.insert(r.end(), url.begin(), url.end());
        r.insert(r.end(), ping.begin(), ping.end());
        return r;
    }();
    rmcfru fru(fruWith("QVR0000815", records));
    EXPECT_STREQ(fru.GetBoardSerialNumber(), "QVR0000815");
    EXPECT_STREQ(fru.GetComponentURL(), "http://card/\r\n");
    EXPECT_STREQ(fru.GetComponentPingAddress(), "10.0.0.40");
    EXPECT_STREQ(fru.GetComponentName(), "");

    // Format 0: length in 8-byte units, matched by record type, the last payload byte dropped.
    rmcfru old(fruWith("S", record(3, 0x80, "http://old" "x", 2)));
    EXPECT_STREQ(old.GetComponentURL(), "http://old");
}

TEST(RmcFruTest, WalkStaysInsideTheData)
{
    const std::string big(300, 'u');
    const struct { const char* what; Bytes records; } cases[] = {
        {"zero-length format-0 record", record(3, 0x00, "", 0)},
        {"record past the end", record(3, 0x02, "\x04http", 200)},
        {"header cut short", Bytes{3, 0x02}},
        {"end of list before the match", [] {
             Bytes r = record(0xC0, 0x82, "x");
             Bytes url = record(3, 0x02, "\x04http://late/");
             r.insert(r.end(), url.begin(), url.end());
             return r;
         }()},
    };
    for (const auto& c : cases) {
        rmcfru fru(fruWith("S", c.records));
        EXPECT_STREQ(fru.GetComponentURL(), "") << c.what;
    }
    // A format-0 payload longer than the 256-byte result is cut, not overrun.
    rmcfru large(fruWith("S", record(3, 0x80, big.substr(0, 35 * 8 - 5), 35)));
    EXPECT_EQ(std::string(large.GetComponentURL()).size(), rmcfru::kResultSize - 1);
    // A board field that claims more than the data holds gives no serial number.
    Bytes cut = fruWith("QVR", {});
    cut.erase(cut.end() - 8, cut.end());
    cut[8 + 12] = 0xFF;
    EXPECT_STREQ(rmcfru(cut).GetBoardSerialNumber(), "");
}

} // namespace
