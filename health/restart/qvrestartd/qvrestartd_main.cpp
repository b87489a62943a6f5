// qvrestartd: the automatic server restart (watchdog) service.
#include "restart_service.h"

int main() { return runRestartService(); }
