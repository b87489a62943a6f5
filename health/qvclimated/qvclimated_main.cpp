// qvclimated: the sensor service behind the environment agent.
#include "climate_service.h"

int main() { return runClimateService(); }
