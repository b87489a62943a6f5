#include "dimm_events.h"
#include "memd_answer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <deque>

namespace {

EvtStruct memoryEvent(uint8_t trigger, uint8_t offset, uint8_t slot, uint8_t nibble,
                      uint8_t sensorType = 0x0C) {
    EvtStruct e;
    std::memset(&e, 0, sizeof e);
    e.selEntry.eventVersion = 4;  // leaves the codes as they are
    e.selEntry.sensorType = sensorType;
    e.selEntry.eventTrigger = trigger;
    e.selEntry.eventData1 = offset;
    e.selEntry.eventData2 = nibble;
    e.selEntry.eventData3 = slot;
    return e;
}

// A scripted event log: the erase time and the unseen events.
struct FakeLog {
    unsigned long eraseTime = 1;
    std::deque<EvtStruct> unseen;
    unsigned long model = 80;

    DimmEventSource source() {
        DimmEventSource s;
        s.getEraseTime = [this](unsigned long* t) { *t = eraseTime; return 0; };
        s.readNextUnseen = [this](EvtStruct* e) {
            if (unseen.empty()) return 2;
            *e = unseen.front();
            unseen.pop_front();
            return 0;
        };
        s.modelCode = [this] { return model; };
        return s;
    }
};

struct ModuleCase {
    const char* name;
    unsigned long model;
    uint8_t slot, nibble;
    int module;  // -1: ignored
};

TEST(DimmEvents, ModuleRule) {
    const ModuleCase cases[] = {
        {"board nibble 0x0F is board 0", 80, 3, 0x0F, 3},
        {"board nibble 1 adds half the modules", 80, 3, 1, 7},
        {"model 67 counts slots from 1", 67, 3, 0, 2},
        {"model 69 counts slots from 1", 69, 3, 0x0F, 2},
        {"model 67 slot 0 is ignored", 67, 0, 0, -1},
        {"model 63 nibble 0 is board 1", 63, 3, 0, 6},
        {"model 63 other nibble is board 0", 63, 3, 5, 2},
        {"module at the count is ignored", 80, 8, 0x0F, -1},
        {"module past the count is ignored", 80, 3, 2, -1},
    };
    for (const ModuleCase& c : cases) {
        SCOPED_TRACE(c.name);
        FakeLog log;
        log.model = c.model;
        log.unseen.push_back(memoryEvent(0x6F, 0x00, c.slot, c.nibble));
        DIMM_Evt dimm(120, 8, log.source());
        dimm.AnalyzeEventLog();
        for (unsigned m = 0; m < 8; ++m) {
            const bool hit = static_cast<int>(m) == c.module;
            EXPECT_EQ(dimm.getSingleBitEventCounter(m), hit ? 1u : 0u) << m;
            EXPECT_EQ(dimm.getSoftwareSeverityStatus(m), hit ? 2u : 1u) << m;
        }
        EXPECT_EQ(dimm.getOverallStatusSeverity(), c.module >= 0 ? 2u : 1u);
    }
}

struct SeverityCase {
    uint8_t sensorType, trigger, offset;
    unsigned severity;
};

TEST(DimmEvents, SeverityTable) {
    const SeverityCase cases[] = {
        {0x0C, 0x6F, 0x00, 2}, {0x0C, 0x6F, 0x03, 2}, {0x0C, 0x6F, 0x01, 4},
        {0x0C, 0x04, 0x01, 3}, {0x0C, 0x70, 0x00, 2}, {0x0C, 0x70, 0x01, 4},
        {0x0C, 0x70, 0x03, 2}, {0x0C, 0x70, 0x04, 3}, {0x0C, 0x6F, 0x02, 4},
        {0x0C, 0x6F, 0x05, 0}, {0x07, 0x6F, 0x00, 0}, {0x0C, 0x04, 0x00, 0},
    };
    FakeLog log;
    DIMM_Evt dimm(120, 8, log.source());
    for (const SeverityCase& c : cases) {
        EvtStruct e = memoryEvent(c.trigger, c.offset | 0xA0, 1, 0x0F, c.sensorType);
        unsigned severity = 99, module = 99;
        EXPECT_EQ(dimm.FindSelEntry(e.selEntry, &severity, &module), c.severity ? 1 : 0);
        EXPECT_EQ(severity, c.severity) << int(c.trigger) << "/" << int(c.offset);
        if (c.severity) { EXPECT_EQ(module, 1u); }
    }
}

TEST(DimmEvents, CountersAndMostSevereFollowTheEventIndex) {
    FakeLog log;
    log.unseen.push_back(memoryEvent(0x6F, 0x00, 2, 0x0F, 0x07));  // not memory: index 0
    log.unseen.push_back(memoryEvent(0x6F, 0x00, 2, 0x0F));        // single-bit, index 1
    log.unseen.push_back(memoryEvent(0x6F, 0x01, 2, 0x0F));        // double-bit, index 2
    log.unseen.push_back(memoryEvent(0x04, 0x01, 2, 0x0F));        // predictive, index 3
    DIMM_Evt dimm(120, 8, log.source());
    dimm.AnalyzeEventLog();
    EXPECT_EQ(dimm.getSoftwareSeverityStatus(2), 4u);
    EXPECT_EQ(dimm.getMostSevereEventID(2), 2);
    EXPECT_EQ(dimm.getSingleBitEventCounter(2), 1u);
    EXPECT_EQ(dimm.getDoubleBitEventCounter(2), 1u);
    EXPECT_EQ(dimm.getPredictiveEventCounter(2), 1u);
    EXPECT_EQ(dimm.getOverallStatusSeverity(), 4u);
    EXPECT_EQ(dimm.getMostSevereEventID(0), -1);

    // An erase seen at the next analysis resets everything before new events count.
    log.eraseTime = 7;
    log.unseen.push_back(memoryEvent(0x6F, 0x00, 5, 0x0F));
    dimm.AnalyzeEventLog();
    EXPECT_EQ(dimm.getSoftwareSeverityStatus(2), 1u);
    EXPECT_EQ(dimm.getDoubleBitEventCounter(2), 0u);
    EXPECT_EQ(dimm.getMostSevereEventID(2), -1);
    EXPECT_EQ(dimm.getSingleBitEventCounter(5), 1u);
    EXPECT_EQ(dimm.getMostSevereEventID(5), 0);
    EXPECT_EQ(dimm.getOverallStatusSeverity(), 2u);
}

TEST(DimmEvents, ModuleCountClampsToTheRecords) {
    FakeLog log;
    log.unseen.push_back(memoryEvent(0x6F, 0x00, 63, 0x0F));
    log.unseen.push_back(memoryEvent(0x6F, 0x00, 64, 0x0F));
    DIMM_Evt dimm(120, 65, log.source());
    EXPECT_EQ(dimm.getTotalDimm(), 64u);
    dimm.AnalyzeEventLog();
    EXPECT_EQ(dimm.getSingleBitEventCounter(63), 1u);
    EXPECT_EQ(dimm.getSingleBitEventCounter(64), 0u);
    EXPECT_EQ(dimm.getSoftwareSeverityStatus(64), 1u);
}

struct CommandCase {
    int32_t command, index;
    bool replies;
    int32_t reply;
};

TEST(DimmEvents, AnalysisOnlyAfterMoreThanThePeriod) {
    time_t last = 0;
    EXPECT_TRUE(analysisDue(1000000, last, 120));   // the first request analyses at once
    EXPECT_EQ(last, 1000000);
    for (time_t later : {1000000 + 100, 1000000 + 120}) EXPECT_FALSE(analysisDue(later, last, 120)) << later;
    EXPECT_EQ(last, 1000000);
    EXPECT_TRUE(analysisDue(1000000 + 121, last, 120));
    EXPECT_EQ(last, 1000000 + 121);
}

TEST(MemdAnswer, CommandsAndOutOfRangeReplies) {
    FakeLog log;
    log.unseen.push_back(memoryEvent(0x6F, 0x01, 1, 0x0F));
    log.unseen.push_back(memoryEvent(0x6F, 0x00, 1, 0x0F));
    log.unseen.push_back(memoryEvent(0x04, 0x01, 1, 0x0F));
    DIMM_Evt dimm(120, 8, log.source());
    dimm.AnalyzeEventLog();
    const CommandCase cases[] = {
        {1, 1, true, 4},  {2, 1, true, 1},   {3, 1, true, 1},   {4, 1, true, 1},
        {5, 1, true, 0},  {5, 0, true, -1},  {6, 0, true, 4},   {6, 500, true, 4},
        {1, 200, true, 1}, {2, 8, true, 0},  {3, -1, true, 0},  {4, -1, true, 0},
        {5, -1, true, -1}, {1, -1, true, 1}, {7, 0, false, 0},  {0, 0, false, 0},
        {-1, 0, false, 0},
    };
    for (const CommandCase& c : cases) {
        int32_t reply = 12345;
        MemdRequest req{c.command, c.index};
        EXPECT_EQ(answerMemdRequest(dimm, req, &reply), c.replies) << c.command << "/" << c.index;
        if (c.replies) { EXPECT_EQ(reply, c.reply) << c.command << "/" << c.index; }
    }
}

}  // namespace
