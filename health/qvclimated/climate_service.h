// qvclimated: answers the environment agent from the sensor lists built at start-up.
//
// Environment (tests and the demo):
//   QV_FOREGROUND=1   stay in the foreground (no fork, no setsid, descriptors kept)
#pragma once

#include "env_sensors_list.h"
#include "service_request.h"

class CClimateService {
public:
    CClimateService(CEnvSensorsList& list, CIPMSystemExport* poSystem, CServiceRequestReader& reader)
        : m_oList(list), m_poSystem(poSystem), m_oReader(reader) {}

    // Waits for one request and answers it; false when no command arrived in time.
    bool ServeOne();

private:
    int Get(int nCmd, int nKind, int nIndex);
    bool Set(int nCmd, int nKind, int nIndex, int nValue);
    void Answer(const void* pbData, int cbData);

    CEnvSensorsList& m_oList;
    CIPMSystemExport* m_poSystem;
    CServiceRequestReader& m_oReader;
};

// The whole service after argument handling; returns the exit status.
int runClimateService();
