// qvspacealertd: once a minute, under the volume capacity lock, takes history samples of every
// mounted fixed-disk volume and compares its percentage used with its three thresholds; a
// threshold crossed upwards writes event 4096 (Lo), 4097 (Warn) or 4098 (Crit) to the event log.
//
// Environment (tests and the demo):
//   QV_FOREGROUND=1             stay in the foreground
//   QV_SPACEALERTD_PAUSE_MS     pause between two passes in ms (default 60000)
#pragma once

#include <map>
#include <string>

#include "drv_info.h"
#include "space_event_sink.h"
#include "volcap_files.h"

inline constexpr char kPauseMsEnv[] = "QV_SPACEALERTD_PAUSE_MS";
inline constexpr unsigned kDefaultPauseMs = 60000;

enum SpaceEvent { EVENT_LO = 4096, EVENT_WARN = 4097, EVENT_CRIT = 4098 };

// Capacity of volume `index` of `drives` now; 0, or 1 when it could not be read.
int GetDrvSample(const DrvInfo& drives, int index, drvSample* sample);
int AddToHistFile(const char* volume, const drvSample* sample);
// Raises at most one event, the most severe first, and releases the latches below the level.
int EvaluateSendingTrap(SpaceEventSink& sink, const char* volume, const drvSample* sample,
                        sharedInfo* shared, const cfgInfo* cfg);
int SendTrap(SpaceEventSink& sink, const char* volume, int pct, int event, int threshold);

// Run-time states a pass could not write (the disk is full): the next pass goes on from them,
// unless the state file changed in between (an agent's SET wrote a state of its own).
class UnsavedStates {
public:
    // The state a pass works on, given what the state file holds for the volume now.
    sharedInfo pick(const std::string& volume, const sharedInfo& inFile) const;
    void keep(const std::string& volume, const sharedInfo& inFile, const sharedInfo& wanted);
    void saved(const std::string& volume);

private:
    struct Unsaved {
        sharedInfo inFile;   // what the file held when the state was worked out
        sharedInfo wanted;
    };
    std::map<std::string, Unsaved> states_;
};

// One pass over the volumes of `drives` (the caller holds the lock). False when the pass had
// to stop: a state entry unreadable. A state or a sample that cannot be written is logged and
// the pass goes on; the state is kept in `unsaved` for the next pass.
bool runVolumePass(SpaceEventSink& sink, const DrvInfo& drives, UnsavedStates& unsaved);

// The whole service: identification, start-up, then passes until SIGINT or SIGTERM.
// Returns the exit status.
int runSpaceAlertDaemon(SpaceEventSink& sink);
