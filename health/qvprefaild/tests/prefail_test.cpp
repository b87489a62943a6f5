// The pre-failure monitor's counting, prediction, expiry and registry store.
#include "prefail_store.h"
#include "suspect_list.h"

#include "registry.h"
#include "temp_root.h"

#include <gtest/gtest.h>

#include <cstring>
#include <deque>

namespace {

constexpr long kNow = 1000000000;

Sel record(uint8_t version, uint8_t sensorType, uint8_t trigger, uint8_t data1, uint8_t sensorNumber,
           uint8_t data2, uint8_t data3, uint32_t timestamp = kNow)
{
    Sel s{};
    s.recordId = 0x1234;
    s.recordType = 2;
    s.timestamp = timestamp;
    s.generatorId = 0x20;
    s.eventVersion = version;
    s.sensorType = sensorType;
    s.sensorNumber = sensorNumber;
    s.eventTrigger = trigger;
    s.eventData1 = data1;
    s.eventData2 = data2;
    s.eventData3 = data3;
    return s;
}

// A correctable memory error of revision 3 from sensor 5.
Sel correctable(uint32_t timestamp = kNow) { return record(3, 0x0C, 0x6F, 0xA0, 5, 0x12, 0x34, timestamp); }

// A scripted event log and store: the records still unseen, the records written.
struct FakeLog {
    std::deque<Sel> unseen;
    std::vector<Sel> written;
    int writeResult = 0;
    long now = kNow;
    int stores = 0;

    PrefailEventSource source()
    {
        PrefailEventSource s;
        s.readNextUnseen = [this](EvtStruct* e) {
            if (unseen.empty()) return 2;
            std::memset(e, 0, sizeof *e);
            e->selEntry = unseen.front();
            unseen.pop_front();
            return 0;
        };
        s.writeEvent = [this](Sel* r) {
            written.push_back(*r);
            return writeResult;
        };
        s.now = [this] { return now; };
        s.storeList = [this](const std::vector<CEventStatus>&) { ++stores; };
        return s;
    }
    void add(const Sel& s, int times = 1)
    {
        for (int i = 0; i < times; ++i) unseen.push_back(s);
    }
};

std::vector<uint8_t> bytesOf(const Sel& s)
{
    const auto* p = reinterpret_cast<const uint8_t*>(&s);
    return {p, p + sizeof s};
}

TEST(PrefailRows, MatchByRevisionSensorTypeTriggerAndOffset)
{
    struct Case {
        const char* name;
        Sel sel;
        int row;
    };
    const Case cases[] = {
        {"revision 2 memory, offset 0", record(2, 0x0C, 0xE7, 0x50, 1, 0, 0), 0},
        {"revision 3 memory, offset 0", record(3, 0x0C, 0x6F, 0xF0, 1, 0, 0), 1},
        {"revision 2 processor", record(2, 0x07, 0xE8, 0x03, 1, 0, 0), 2},
        {"revision 3 processor", record(3, 0x07, 0x70, 0x03, 1, 0, 0), 3},
        {"revision 3 memory, offset 3", record(3, 0x0C, 0x6F, 0x03, 1, 0, 0), 5},
        {"revision 2 with revision 3 codes", record(2, 0x0C, 0x6F, 0x03, 1, 0, 0), 6},
        {"revision 3 with revision 2 codes: not mapped", record(3, 0x0C, 0xE7, 0x00, 1, 0, 0), -1},
        {"uncorrectable offset", record(3, 0x0C, 0x6F, 0x01, 1, 0, 0), -1},
        {"other sensor type", record(3, 0x01, 0x6F, 0x00, 1, 0, 0), -1},
        {"revision 4", record(4, 0x0C, 0x6F, 0x00, 1, 0, 0), -1},
    };
    for (const Case& c : cases) EXPECT_EQ(CEventInfo::FindSELEntry(c.sel), c.row) << c.name;
}

TEST(PrefailSources, MaskedKeyTellsSourcesApart)
{
    FakeLog log;
    log.add(correctable());
    log.add(record(3, 0x0C, 0x6F, 0x50, 5, 0x12, 0x34));   // data 1 differs: masked out, same source
    log.add(record(3, 0x0C, 0x6F, 0xA0, 6, 0x12, 0x34));   // other sensor: new source
    log.add(record(3, 0x0C, 0x6F, 0xA0, 5, 0x13, 0x34));   // other data 2: new source
    // Processor rows look at data 3 only: different sensors and data 2 count as one source.
    log.add(record(2, 0x07, 0xE8, 0x03, 1, 0x01, 0x77));
    log.add(record(2, 0x07, 0xE8, 0x03, 2, 0x02, 0x77));
    CSuspectList list;
    ASSERT_EQ(list.QueryEventLog(log.source()), 0);
    ASSERT_EQ(list.nSuspects(), 4u);
    EXPECT_EQ(list.statuses()[0].nEvents, 2u);
    EXPECT_EQ(list.statuses()[0].eventData, 0x05A01234u);   // the first record's key, unmasked
    EXPECT_EQ(list.statuses()[1].nEvents, 1u);
    EXPECT_EQ(list.statuses()[2].nEvents, 1u);
    EXPECT_EQ(list.statuses()[3].nEvents, 2u);
    EXPECT_EQ(log.stores, 1);
    EXPECT_TRUE(log.written.empty());
}

TEST(PrefailPrediction, HundredFirstRecordWritesOnePredictiveRecord)
{
    FakeLog log;
    log.add(correctable(), 100);
    CSuspectList list;
    ASSERT_EQ(list.QueryEventLog(log.source()), 0);
    EXPECT_TRUE(log.written.empty());
    EXPECT_EQ(list.statuses()[0].nEvents, 100u);

    log.add(correctable());
    ASSERT_EQ(list.QueryEventLog(log.source()), 0);
    ASSERT_EQ(log.written.size(), 1u);
    Sel expected = correctable();
    expected.generatorId = 0x21;
    expected.generatorLun = 0;
    expected.eventTrigger = 0x04;
    expected.eventData1 = 0xA1;
    EXPECT_EQ(bytesOf(log.written[0]), bytesOf(expected));
    EXPECT_EQ(list.statuses()[0].nEvents, 0u);   // counting starts again
    EXPECT_EQ(list.statuses()[0].tLast, 0u);
}

TEST(PrefailPrediction, ProcessorRecordCarriesDefaultDataTwoAndFailedWriteKeepsCount)
{
    FakeLog log;
    log.writeResult = 10004;
    log.add(record(2, 0x07, 0xE8, 0x03, 9, 0x42, 0x77), 101);
    CSuspectList list;
    ASSERT_EQ(list.QueryEventLog(log.source()), 0);
    ASSERT_EQ(log.written.size(), 1u);
    EXPECT_EQ(log.written[0].sensorType, 0x07);
    EXPECT_EQ(log.written[0].eventTrigger, 0x04);
    EXPECT_EQ(log.written[0].eventData1, 0x41);
    EXPECT_EQ(log.written[0].eventVersion, 2);
    EXPECT_EQ(log.written[0].sensorNumber, 9);
    EXPECT_EQ(log.written[0].eventData2, 0x1F);
    EXPECT_EQ(log.written[0].eventData3, 0x77);
    EXPECT_EQ(list.statuses()[0].nEvents, 101u);
    log.add(record(2, 0x07, 0xE8, 0x03, 3, 0x00, 0x77));   // the next one predicts again
    ASSERT_EQ(list.QueryEventLog(log.source()), 0);
    EXPECT_EQ(log.written.size(), 2u);
}

TEST(PrefailPrediction, RecordEarlierThanThePreviousOnePredicts)
{
    FakeLog log;
    log.add(correctable(kNow));
    log.add(correctable(kNow));       // same second: not earlier
    log.add(correctable(kNow - 1));   // earlier
    CSuspectList list;
    ASSERT_EQ(list.QueryEventLog(log.source()), 0);
    EXPECT_EQ(log.written.size(), 1u);
    EXPECT_EQ(list.statuses()[0].nEvents, 0u);
}

TEST(PrefailExpiry, SourceSilentForMoreThan91DaysIsReset)
{
    FakeLog log;
    log.add(correctable(kNow), 5);
    CSuspectList list;
    ASSERT_EQ(list.QueryEventLog(log.source()), 0);
    log.now = kNow + kExpirySeconds;   // exactly 91 days: kept, and nothing to store
    ASSERT_EQ(list.QueryEventLog(log.source()), 0);
    EXPECT_EQ(list.statuses()[0].nEvents, 5u);
    EXPECT_EQ(log.stores, 1);
    log.now = kNow + kExpirySeconds + 1;
    ASSERT_EQ(list.QueryEventLog(log.source()), 0);
    EXPECT_EQ(list.statuses()[0].nEvents, 0u);
    EXPECT_EQ(list.statuses()[0].tLast, 0u);
    EXPECT_EQ(log.stores, 2);
    EXPECT_FALSE(CEventStatus{}.DataIsExpired(kNow));   // never seen: never expires
}

class PrefailStore : public ::testing::Test {
protected:
    qv::test::TempRoot root;

    static void storeRaw(uint32_t count, const std::vector<uint8_t>& items)
    {
        const uint8_t countBytes[4] = {uint8_t(count), uint8_t(count >> 8), uint8_t(count >> 16), uint8_t(count >> 24)};
        ASSERT_EQ(SetRegData(kStoreCountKey, countBytes, 4), 0u);
        ASSERT_EQ(SetRegData(kStoreItemsKey, items.data(), items.size()), 0u);
    }
    static std::vector<uint8_t> readRaw(const char* key, unsigned room)
    {
        std::vector<uint8_t> out(room, 0);
        EXPECT_EQ(GetRegData(key, out.data(), room), 0u);
        return out;
    }
};

TEST_F(PrefailStore, BytesBothWays)
{
    const std::vector<CEventStatus> statuses = {{1, 0x05A01234, 7, 0x01020304}, {2, 0x000000FF, 100, 0}};
    UpdatePersistentStore(statuses);
    EXPECT_EQ(readRaw(kStoreCountKey, 4), (std::vector<uint8_t>{2, 0, 0, 0}));
    const std::vector<uint8_t> items = {
        0x0C, 0x6F, 0x00, 3, 0x34, 0x12, 0xA0, 0x05, 7, 0, 0, 0, 0x04, 0x03, 0x02, 0x01,
        0x07, 0xE8, 0x03, 2, 0xFF, 0x00, 0x00, 0x00, 100, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(readRaw(kStoreItemsKey, 32), items);

    const std::vector<CEventStatus> back = ReadPersistentStore();
    ASSERT_EQ(back.size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(back[i].iEvent, statuses[i].iEvent);
        EXPECT_EQ(back[i].eventData, statuses[i].eventData);
        EXPECT_EQ(back[i].nEvents, statuses[i].nEvents);
        EXPECT_EQ(back[i].tLast, statuses[i].tLast);
    }
}

TEST_F(PrefailStore, FifteenByteItemsReadAsRevisionTwo)
{
    // Rows 0 (memory, offset 0) and 6 (offset 3 with revision-3 codes) exist for revision 2;
    // the revision-3 processor definition has no revision-2 row and is dropped.
    const std::vector<uint8_t> one = {0x0C, 0xE7, 0x00, 0x34, 0x12, 0xA0, 0x05, 9, 0, 0, 0, 1, 0, 0, 0};
    storeRaw(1, one);
    std::vector<CEventStatus> back = ReadPersistentStore();
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back[0].iEvent, 0u);
    EXPECT_EQ(back[0].eventData, 0x05A01234u);
    EXPECT_EQ(back[0].nEvents, 9u);
    EXPECT_EQ(back[0].tLast, 1u);

    std::vector<uint8_t> three = one;
    const std::vector<uint8_t> second = {0x0C, 0x6F, 0x03, 1, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0};
    const std::vector<uint8_t> third = {0x07, 0x70, 0x03, 1, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0};
    three.insert(three.end(), second.begin(), second.end());
    three.insert(three.end(), third.begin(), third.end());
    storeRaw(3, three);
    back = ReadPersistentStore();
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[0].iEvent, 0u);
    EXPECT_EQ(back[1].iEvent, 6u);
    EXPECT_EQ(back[1].nEvents, 2u);
}

TEST_F(PrefailStore, DamagedCountGivesAnEmptyListWithoutHugeAllocation)
{
    const std::vector<uint8_t> item = {0x0C, 0x6F, 0x00, 3, 0, 0, 0, 5, 1, 0, 0, 0, 0, 0, 0, 0};
    for (uint32_t count : {2u, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
        storeRaw(count, item);
        EXPECT_TRUE(ReadPersistentStore().empty()) << count;
    }
    storeRaw(1, {1, 2, 3});   // shorter than either form
    EXPECT_TRUE(ReadPersistentStore().empty());
    storeRaw(1, item);
    EXPECT_EQ(ReadPersistentStore().size(), 1u);
    EXPECT_FALSE(decodeStoreItems(0xFFFFFFFFu, item.data(), item.size()).has_value());
}

} // namespace
