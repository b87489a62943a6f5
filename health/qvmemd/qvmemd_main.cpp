// qvmemd: counts memory-module error events for the memory-module agent.
#include "memd_service.h"

int main() { return runMemdService(); }
