// The volume capacity files shared by qvspaceagent and qvspacealertd: where they are, the
// per-volume settings, run-time state and history, all INI files with one section per mount
// point. Callers hold the lock of the lock file (SharedFile) around every read-modify-write.
#pragma once

#include <ctime>
#include <string>

// Directory of all the files ("Globalpath" + "/", resolved below the sandbox root) and the
// settings, state, names and lock files in it. Set by GetRegFilenames and the Build* calls.
extern std::string globalPath;
extern std::string fileCfg;
extern std::string fileVar;
extern std::string fileDrv;
extern std::string fileLock;

inline constexpr char kRegKeyGlobalPath[] = "SOFTWARE\\Quorvane\\Trivoke=Globalpath";
inline constexpr char kRegKeyCfgFile[] =
    "SOFTWARE\\Quorvane\\Trivoke\\Qvscdll\\CurrentVersion=Cfgfile";

struct cfgInfo {
    int nTrapEnabled;
    int nTrapPollTime;
    int nHistSampleTime;
    int nLoThreshold;
    int nWarnThreshold;
    int nCritThreshold;
};

struct sharedInfo {
    int nTrapPollTimeRemaining;
    int nHistSampleTimeRemaining;
    int nLoThresholdMet;
    int nWarnThresholdMet;
    int nCritThresholdMet;
};

struct drvSample {
    time_t ltime;
    int nCapacityTotal;   // kilobytes
    int nCapacityFree;
    int nCapacityUsed;
};

// Setting codes of ReadCFGFileKey and WriteCFGThreshold.
enum CfgKeyCode {
    CFG_TRAP_ENABLED = 3,
    CFG_TRAP_POLL_TIME = 4,
    CFG_HIST_SAMPLE_TIME = 5,
    CFG_LO_THRESHOLD = 6,
    CFG_WARN_THRESHOLD = 7,
    CFG_CRIT_THRESHOLD = 8,
};

inline constexpr int kHistSlots = 401;   // slots "0" to "400"
inline constexpr int kMaxPollTime = 10000;
inline constexpr int kMaxSampleTime = 44640;

// Reads the registry values Globalpath and Cfgfile; 0, or 1 when either is missing.
int GetRegFilenames(std::string& lpCfg, std::string& lpGlobalPath);
void BuildSharedVarFilename(const std::string& lpGlobalPath, std::string& lpVar);
void BuildDrvNameFilename(const std::string& lpGlobalPath, std::string& lpDrv);
void BuildLockFilename(const std::string& lpGlobalPath, std::string& lpLock);
// srcPath followed by srcFileName with every '/' turned into '_' (a volume's history file).
void BuildDatFilename(std::string& destFilename, const std::string& srcPath,
                      const std::string& srcFileName);
// All five paths at once; 0, or 1 when the registry values are missing.
int LoadVolcapFilenames();

// Settings (fileCfg).
int ReadCFGFileKey(const char* RootPathName, int code, int* nRetInt);
int ReadCFGKeys(const char* RootPathName, cfgInfo* lpInfo);
int WriteCFGTrapEnabled(const char* volume, int value);
int WriteCFGPollTime(const char* volume, int value);
int WriteCFGSampleTime(const char* volume, int value);
int WriteCFGThreshold(const char* volume, int code, int value);

// Run-time state (fileVar), "Var=%d %d %d %d %d".
int ReadSharedVars(const char* volume, sharedInfo* lpShInfo);
int WriteSharedVars(const char* volume, const sharedInfo* lpShInfo);
// Five integers separated by white space (further text ignored); false for fewer or a number
// outside the int range.
bool ParseSharedVars(const char* text, sharedInfo* lpShInfo);

// History (one file per volume).
int GetHistStatus(const char* volume, int* nLastEntry, int* nOverflowEntry, int* nTotal);
int WriteHistStatus(const char* volume, int nLastEntry, int nOverflowEntry);
int WriteHistSample(const char* volume, int slot, const drvSample* sample);
int ReadHistSample(const char* volume, int index, drvSample* sample);
// Appends after the newest sample, overwriting the oldest once all slots are used; 0 or 1.
int AppendHistSample(const char* volume, const drvSample* sample);
// "%ld %d %d": ltime, total, free; false for fewer numbers or a number out of range.
bool ParseHistSample(const char* text, drvSample* sample);

std::string HistFilename(const char* volume);

int PrintCFGKeys(cfgInfo* info);
int PrintSharedVars(sharedInfo* info);
