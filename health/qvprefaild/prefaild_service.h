// The pre-failure monitor's whole life: start-up, the pass loop, the signals; the exit status.
#pragma once

// Shortens the 30-second pass period (milliseconds), for tests.
inline constexpr char kPrefailPeriodEnv[] = "QV_PREFAILD_PERIOD_MS";

int runPrefailService();
