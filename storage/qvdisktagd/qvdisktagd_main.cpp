// qvdisktagd: the drive asset-tag service behind qvdisktagagent.
#include "tattoo_service.h"

int main() { return runTattooService(); }
