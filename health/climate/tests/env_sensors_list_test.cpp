#include "env_sensors_list.h"

#include <gtest/gtest.h>

namespace {

TEST(EnvSensorsListTest, WithoutASystemEveryKindIsEmpty)
{
    CEnvSensorsList list(nullptr);
    EXPECT_FALSE(list.RebuildSensorsList());
    for (int kind : {1, 2, 3, 4}) {
        EXPECT_EQ(list.GetCount(kind), 0);
        EXPECT_EQ(list.GetSensorType(kind, 0), 0);
        EXPECT_EQ(list.GetSensorReading(kind, -1), 0);
        EXPECT_FALSE(list.SetSensorLowerNonCritical(kind, 0, 1));
    }
    EXPECT_EQ(list.GetVoltageSensorLevel(0), 0);
    EXPECT_EQ(CEnvChassis(nullptr).GetStatus(), 0);
}

} // namespace
