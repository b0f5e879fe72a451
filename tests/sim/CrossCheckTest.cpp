// The built-in program and the arrays the converter sends, as the program
// side of the tool reads them (its own layout, checksum and sensor map).
#include <gtest/gtest.h>

#include "ConverterModel.h"
#include "DebugLog.h"
#include "ProgramArray.h"
#include "SensorMap.h"
#include "UserDialogs.h"

using namespace korlin;

TEST(SimCrossCheck, DefaultProgramPassesTheToolsChecksAndMap)
{
    const auto a = sim::defaultProgram();
    const ArrayLayout layout = readLayout(a);
    EXPECT_EQ(layout.extent, a.size());
    EXPECT_TRUE(verifyChecksum(a, layout.off, layout.len).ok);

    SensorTables tables;
    ScriptedDialogs dialogs;
    MemoryDebugLog log;
    const auto r = kan_tip_datchik1_864(a, layout.off, layout.len, tables, dialogs, log);
    EXPECT_FALSE(r.endApplication);
    EXPECT_EQ(r.stored, kMappedChannels);
    EXPECT_TRUE(dialogs.events.empty()) << dialogs.texts().front();
    for (int n = 1; n <= kMappedChannels; ++n) {
        EXPECT_EQ(tables.sensor_type[size_t(n)], sim::defaultSensorType(n)) << n;
        EXPECT_EQ(tables.sensor_class[size_t(n)], sim::sensorClass(sim::defaultSensorType(n))) << n;
    }
}

TEST(SimCrossCheck, FaultyProgramAnswersFailTheToolsChecks)
{
    auto cfg = sim::ConverterConfig::native(1);
    cfg.faults.badChecksum = true;
    auto a = sim::ConverterModel(cfg).programAnswer();
    ArrayLayout layout = readLayout(a);
    EXPECT_FALSE(verifyChecksum(a, layout.off, layout.len).ok);

    cfg.faults.badChecksum = false;
    cfg.faults.headBeyond = 100;
    a = sim::ConverterModel(cfg).programAnswer();
    layout = readLayout(a);
    EXPECT_GT(layout.extent, a.size());
}
