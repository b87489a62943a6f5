#include "space_alert.h"

#include <ctime>

#include <syslog.h>

#include "log_print.h"

namespace {

uint8_t eventOffset(int event)
{
    switch (event) {
    case EVENT_LO: return 0x28;
    case EVENT_WARN: return 0x21;
    default: return 0x22;
    }
}

} // namespace

int GetDrvSample(const DrvInfo& drives, int index, drvSample* sample)
{
    if (!drives.GetDrvCurrentCapacity(index, &sample->nCapacityTotal, &sample->nCapacityFree,
                                      &sample->nCapacityUsed))
        return 1;
    sample->ltime = std::time(nullptr);
    return 0;
}

int AddToHistFile(const char* volume, const drvSample* sample)
{
    return AppendHistSample(volume, sample);
}

int SendTrap(SpaceEventSink& sink, const char* volume, int pct, int event, int threshold)
{
    SpaceEventRecord record{};
    record.recordId = 0;
    record.recordType = 0x02;
    record.timestamp = 0;
    record.generatorId = 0x21;
    record.generatorLun = 0x00;
    record.eventVersion = 0x02;
    record.sensorType = 0xD2;
    record.sensorNumber = 0x00;
    record.eventTrigger = 0x07;
    record.eventData1 = eventOffset(event);
    record.eventData2 = static_cast<uint8_t>(pct);
    record.eventData3 = static_cast<uint8_t>(threshold);
    sink.writeEvent(record, volume);
    return 0;
}

int EvaluateSendingTrap(SpaceEventSink& sink, const char* volume, const drvSample* sample,
                        sharedInfo* shared, const cfgInfo* cfg)
{
    const int pct = GetDrvPctUsed(sample->nCapacityFree, sample->nCapacityUsed);
    if (pct > cfg->nCritThreshold && shared->nCritThresholdMet == 0) {
        SendTrap(sink, volume, pct, EVENT_CRIT, cfg->nCritThreshold);
        shared->nCritThresholdMet = shared->nWarnThresholdMet = shared->nLoThresholdMet = 1;
    } else if (pct > cfg->nWarnThreshold && shared->nWarnThresholdMet == 0) {
        SendTrap(sink, volume, pct, EVENT_WARN, cfg->nWarnThreshold);
        shared->nWarnThresholdMet = shared->nLoThresholdMet = 1;
    } else if (pct > cfg->nLoThreshold && shared->nLoThresholdMet == 0) {
        SendTrap(sink, volume, pct, EVENT_LO, cfg->nLoThreshold);
        shared->nLoThresholdMet = 1;
    }
    if (pct < cfg->nCritThreshold) shared->nCritThresholdMet = 0;
    if (pct < cfg->nWarnThreshold) shared->nWarnThresholdMet = 0;
    if (pct < cfg->nLoThreshold) shared->nLoThresholdMet = 0;
    return 0;
}

namespace {

bool sameState(const sharedInfo& a, const sharedInfo& b)
{
    return a.nTrapPollTimeRemaining == b.nTrapPollTimeRemaining &&
           a.nHistSampleTimeRemaining == b.nHistSampleTimeRemaining && a.nLoThresholdMet == b.nLoThresholdMet &&
           a.nWarnThresholdMet == b.nWarnThresholdMet && a.nCritThresholdMet == b.nCritThresholdMet;
}

} // namespace

sharedInfo UnsavedStates::pick(const std::string& volume, const sharedInfo& inFile) const
{
    const auto found = states_.find(volume);
    return found != states_.end() && sameState(found->second.inFile, inFile) ? found->second.wanted : inFile;
}

void UnsavedStates::keep(const std::string& volume, const sharedInfo& inFile, const sharedInfo& wanted)
{
    states_[volume] = {inFile, wanted};
}

void UnsavedStates::saved(const std::string& volume) { states_.erase(volume); }

bool runVolumePass(SpaceEventSink& sink, const DrvInfo& drives, UnsavedStates& unsaved)
{
    for (int i = 0; i < drives.GetNumOfDrvs(); ++i) {
        std::string name;
        drives.GetDrvName(i, &name);
        const char* volume = name.c_str();
        sharedInfo inFile{};
        if (ReadSharedVars(volume, &inFile) != 0) {
            LogPrint(LOG_WARNING, "main() - Problem on reading sharedvars file\n");
            return false;
        }
        // Latches and counters that a full disk kept from the file are not lost: the events
        // they hold back are not raised again.
        sharedInfo shared = unsaved.pick(name, inFile);
        cfgInfo cfg{};
        ReadCFGKeys(volume, &cfg);
        drvSample sample{};
        if (shared.nHistSampleTimeRemaining <= 0) {
            // A sample that cannot be saved is lost, as one whose capacity cannot be read.
            if (GetDrvSample(drives, i, &sample) == 0 && AddToHistFile(volume, &sample) != 0)
                LogPrint(LOG_WARNING, "main() - Problem on saving to history\n");
            shared.nHistSampleTimeRemaining = cfg.nHistSampleTime;
        }
        if (cfg.nTrapEnabled != 0 && shared.nTrapPollTimeRemaining <= 0) {
            if (GetDrvSample(drives, i, &sample) == 0)
                EvaluateSendingTrap(sink, volume, &sample, &shared, &cfg);
            shared.nTrapPollTimeRemaining = cfg.nTrapPollTime;
        }
        if (shared.nHistSampleTimeRemaining != 0) --shared.nHistSampleTimeRemaining;
        if (shared.nTrapPollTimeRemaining != 0) --shared.nTrapPollTimeRemaining;
        if (WriteSharedVars(volume, &shared) != 0) {
            LogPrint(LOG_WARNING, "main() - Problem on saving sharedvars\n");
            unsaved.keep(name, inFile, shared);
        } else {
            unsaved.saved(name);
        }
    }
    return true;
}
