// qvrevscand: the version scanning service.
#include "scan_service.h"

int main() { return runScanService(); }
