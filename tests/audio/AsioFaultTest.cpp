// A driver that faults inside a call: the stream reports the failure with what happened, the
// driver is dropped and never called or released again, and the process goes on.
#include "audio/AsioCalls.h"
#include "audio/AsioStream.h"

#include "SimDrivers.h"
#include "StreamProbe.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct DriverFaultCase {
    const char* value;  // the simulated card's switch (tools/sim-asio)
    DWORD kind;         // 1 an access violation, 2 an unhandled C++ exception
    std::int32_t opened;
    const char* text;   // the start of the report
};

const DriverFaultCase kCases[] = {
    {"FaultCreateBuffers", 1, 0, "createBuffers faulted: access violation (0xC0000005) at 0x"},
    {"FaultCreateBuffers", 2, 0, "createBuffers faulted: C++ exception (0xE06D7363) at 0x"},
    {"FaultStart", 1, 1, "start faulted: access violation (0xC0000005) at 0x"},
};

}  // namespace

TEST(AsioDriverFault, TheStreamFailsWithTheFaultAndLeavesTheDriverAlone)
{
    for (const DriverFaultCase& c : kCases) {
        const std::string label = std::string(c.value) + "=" + std::to_string(c.kind);
        CSimDrivers drivers;
        drivers.add("Card");
        drivers.add("Healthy");
        const std::string stats = tempFilePath("sim-stats", ".txt");
        drivers.setText("Card", "StatsFile", stats);
        drivers.setNumber("Card", c.value, c.kind);
        {
            CAsioStream stream(drivers.root());
            RenderProbe probe;
            ASSERT_EQ(stream.openStream(0, probeRender, &probe), c.opened) << label;
            EXPECT_FALSE(stream.startStream()) << label;
            EXPECT_EQ(stream.driverLoader().calls().current(), nullptr) << label;
            const std::string text = stream.driverFaultText();
            EXPECT_EQ(text.rfind(c.text, 0), 0u) << label << ": " << text;
            EXPECT_NE(text.find("in zumbrel_sim_asio.dll"), std::string::npos) << text;
            EXPECT_EQ(stream.driverLoader().calls().stop(), ASE_NotPresent) << label;
            stream.closeStream();
            EXPECT_FALSE(stream.driverFaultText().empty()) << label;  // until the next open

            ASSERT_EQ(stream.openStream(1, probeRender, &probe), 1) << label;
            EXPECT_TRUE(stream.driverFaultText().empty()) << label;
        }
        auto counters = readStats(stats);
        EXPECT_EQ(counters["disposeBuffersCalls"], 0) << label;
        EXPECT_EQ(counters["released"], 0) << label;
        DeleteFileA(stats.c_str());
    }
}
