// The automatic server restart settings in the registry, and the one exchange that tells the
// running qvrestartd about a change. Every function returns 1 on success and 0 on failure, after
// logging why; nothing is written when a check or the exchange fails.
//
// Environment (tests):
//   QV_ASR_REPLY_MS   how long a client waits for the service's reply (default 15000)
#pragma once

#include "asr_message.h"

inline constexpr char kAsrRegistryKey[] = "System\\CurrentControlSet\\Services\\AsrDev\\Parameters";

// Action codes of the settings and of the watchdog.
enum { ASR_ACTION_NONE = 0, ASR_ACTION_RESET = 1, ASR_ACTION_POWER_CYCLE = 3 };

// Defaults taken (and written back) by AsrGetAllParamsFromRegistry.
inline constexpr int kDefaultHWTimeout = 600;
inline constexpr int kDefaultSWPollTime = 20;
inline constexpr int kDefaultAction = ASR_ACTION_RESET;
inline constexpr int kDefaultMaxConsecutiveASR = 1;
inline constexpr int kDefaultCurConsecutiveASR = 0;

inline constexpr int kMinHWTimeout = 300;
inline constexpr int kMaxHWTimeout = 1800;
inline constexpr int kMaxASRCount = 10;

int AsrSetHWtimeout(int HWtimeout, int CommSvcFlag);
int AsrGetHWtimeout(int* HWtimeout);
int AsrSetSWpollTime(int pollTime, int curHWtimeout, int CommSvcFlag);
int AsrGetSWpollTime(int* pollTime);
int AsrSetTimeoutAction(int action, int CommSvcFlag);
int AsrGetTimeoutAction(int* action);
int AsrSetMaxASRCount(int maxAsrCount, int CommSvcFlag);
int AsrGetMaxASRCount(int* maxAsrCount);
int AsrSetCurASRCount(int curAsrCount, int CommSvcFlag);
int AsrGetCurASRCount(int* curAsrCount);
int AsrGetAllParamsFromRegistry(int* hwTimeout, int* swPolltime, int* action, int* maxCount,
                                int* curCount);

// "no action", "reset", "power cycle", or a single space; `actionFullStr` holds at least 12 bytes.
void getActionFullStr(int action, char* actionFullStr);
// The letter stored for an action code ('r', 'c', anything else 'n'); -1 for an unknown letter.
char actionLetter(int action);
int actionFromLetter(const char* text);

// Sends one message to qvrestartd and waits (bounded) for its confirmation.
int CommunicateWithAsrSrvc(AGT_MSG_TYPE msgtype, void* msgdata);

// The checks the service applies to a message's value too.
bool AsrHWtimeoutInRange(int HWtimeout);
bool AsrActionValid(int action);
