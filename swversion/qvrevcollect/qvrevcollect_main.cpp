// qvrevcollect: records the BIOS and management controller firmware versions.
#include "firmware_collector.h"

int main() { return runFirmwareCollector(); }
