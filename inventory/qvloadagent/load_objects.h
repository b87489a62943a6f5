// The performance agent's six scalars under .1.3.6.1.4.1.944.2.
#pragma once

#include <sys/sysinfo.h>

// Where the memory and load figures come from: sysinfo(2) unless a test supplies its own.
using SysinfoSource = int (*)(struct sysinfo*);
void setSysinfoSource(SysinfoSource source);

bool loadPerformanceObjects();
