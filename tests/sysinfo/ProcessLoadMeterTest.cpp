// The meter on the running system (under Wine in the tests): the performance-data query, the
// fallback to the process's own clocks, and the registry writes of SetPerfCountersEnabled.
#include "PerfBlockBuilder.h"
#include "sysinfo/PerfDataWalk.h"
#include "sysinfo/ProcessLoadMeter.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <winperf.h>

#include <cstddef>
#include <cstring>

using namespace sysinfo;

// The offsets the walk uses are those of the system's own declarations, on both targets.
static_assert(offsetof(PERF_DATA_BLOCK, HeaderLength) == perf::kBlockHeaderLength);
static_assert(offsetof(PERF_DATA_BLOCK, NumObjectTypes) == perf::kBlockNumObjectTypes);
static_assert(offsetof(PERF_DATA_BLOCK, PerfTime100nSec) == perf::kBlockPerfTime100nSec);
static_assert(offsetof(PERF_OBJECT_TYPE, TotalByteLength) == perf::kObjectTotalByteLength);
static_assert(offsetof(PERF_OBJECT_TYPE, DefinitionLength) == perf::kObjectDefinitionLength);
static_assert(offsetof(PERF_OBJECT_TYPE, HeaderLength) == perf::kObjectHeaderLength);
static_assert(offsetof(PERF_OBJECT_TYPE, ObjectNameTitleIndex) == perf::kObjectNameTitleIndex);
static_assert(offsetof(PERF_OBJECT_TYPE, NumCounters) == perf::kObjectNumCounters);
static_assert(offsetof(PERF_OBJECT_TYPE, NumInstances) == perf::kObjectNumInstances);
static_assert(offsetof(PERF_COUNTER_DEFINITION, ByteLength) == perf::kCounterByteLength);
static_assert(offsetof(PERF_COUNTER_DEFINITION, CounterNameTitleIndex) == perf::kCounterNameTitleIndex);
static_assert(offsetof(PERF_COUNTER_DEFINITION, CounterOffset) == perf::kCounterOffset);
static_assert(offsetof(PERF_INSTANCE_DEFINITION, ByteLength) == perf::kInstanceByteLength);
static_assert(offsetof(PERF_INSTANCE_DEFINITION, NameOffset) == perf::kInstanceNameOffset);
static_assert(offsetof(PERF_COUNTER_BLOCK, ByteLength) == perf::kCounterBlockByteLength);

namespace {

constexpr char kOwnInstance[] = "sysinfo_meter_test";
constexpr std::int64_t kBusyCpu100ns = 3000000; // 0.3 s of processor time

std::int64_t OwnCpuTime()
{
    FILETIME c, e, k, u;
    GetProcessTimes(GetCurrentProcess(), &c, &e, &k, &u);
    auto to64 = [](FILETIME t) {
        return static_cast<std::int64_t>((static_cast<std::uint64_t>(t.dwHighDateTime) << 32) |
                                         t.dwLowDateTime);
    };
    return to64(k) + to64(u);
}

void KeepOneProcessorBusy(std::int64_t cpu100ns)
{
    const std::int64_t start = OwnCpuTime();
    volatile unsigned sink = 0;
    while (OwnCpuTime() - start < cpu100ns) {
        for (int i = 0; i < 100000; ++i) {
            sink = sink + static_cast<unsigned>(i);
        }
    }
}

int ProcessorCount()
{
    SYSTEM_INFO info{};
    GetSystemInfo(&info);
    return static_cast<int>(info.dwNumberOfProcessors);
}

} // namespace

TEST(ProcessLoadMeter, FirstSampleIsZero)
{
    CProcessLoadMeter meter;
    KeepOneProcessorBusy(kBusyCpu100ns / 3);
    EXPECT_EQ(meter.SampleLoad(kOwnInstance), 0);
}

// The load of a busy process is neither 0 (Wine's performance data holds no process object:
// the meter must measure the process itself) nor more than all processors together.
TEST(ProcessLoadMeter, BusyProcessShowsAPlausibleLoad)
{
    CProcessLoadMeter meter;
    meter.SampleLoad(kOwnInstance);
    KeepOneProcessorBusy(kBusyCpu100ns);
    const std::int32_t load = meter.SampleLoad(kOwnInstance);
    EXPECT_GT(load, 0);
    EXPECT_LE(load, 100 * ProcessorCount() + 5);
}

TEST(ProcessLoadMeter, SeveralMetersShareTheBufferIndependently)
{
    CProcessLoadMeter first;
    CProcessLoadMeter second;
    first.SampleLoad(kOwnInstance);
    KeepOneProcessorBusy(kBusyCpu100ns / 2);
    EXPECT_EQ(second.SampleLoad(kOwnInstance), 0);
    EXPECT_GT(first.SampleLoad(kOwnInstance), 0);
}

TEST(ProcessLoadMeter, LongNamesAreCutNotOverrun)
{
    CProcessLoadMeter meter;
    const std::string longName(4000, 'x');
    EXPECT_EQ(meter.SampleLoad(longName.c_str()), 0);
    EXPECT_GE(meter.SampleLoad(longName.c_str()), 0);
    EXPECT_EQ(CProcessLoadMeter().SampleLoad(nullptr), 0);
}

namespace {

constexpr std::int64_t kSecond = 10000000;

// Performance data as a system with process objects answers: each query advances the block's
// clock by one second and the test process's processor time by `busyPerSecond`.
struct ScriptedSystem {
    std::int64_t busyPerSecond;
    int queries = 0;

    static long Query(void* context, std::uint8_t* data, std::uint32_t* size)
    {
        auto* self = static_cast<ScriptedSystem*>(context);
        const std::int64_t n = self->queries++;
        sysinfo_test::PerfBlockBuilder builder(1000 * kSecond + n * kSecond);
        builder.Add({kProcessObjectIndex,
                     {{kProcessorTimeCounterIndex, 0}},
                     {{u"Idle", 0}, {u"METER_TEST", n * self->busyPerSecond}}});
        const auto bytes = builder.Bytes();
        if (bytes.size() > *size) {
            return 234; // more data
        }
        std::memcpy(data, bytes.data(), bytes.size());
        *size = static_cast<std::uint32_t>(bytes.size());
        return 0;
    }
};

} // namespace

// Where the data holds the process object, the meter reads it and not the process's clocks.
TEST(ProcessLoadMeter, ReadsTheProcessObjectWhereThereIsOne)
{
    for (std::int64_t percent : {0, 25, 100, 200}) {
        ScriptedSystem system{percent * kSecond / 100};
        CProcessLoadMeter meter(&ScriptedSystem::Query, &system);
        EXPECT_EQ(meter.SampleLoad("meter_test"), 0);
        EXPECT_EQ(meter.SampleLoad("meter_test"), percent);
        KeepOneProcessorBusy(kBusyCpu100ns / 10); // the process's own clocks must not matter
        EXPECT_EQ(meter.SampleLoad("meter_test"), percent);
    }
}

// A block without any object (what Wine answers) makes the meter measure its own process.
TEST(ProcessLoadMeter, FallsBackToTheProcessClocksOnlyWithoutAProcessObject)
{
    auto emptyBlock = [](void*, std::uint8_t* data, std::uint32_t* size) -> long {
        const auto bytes = sysinfo_test::PerfBlockBuilder(5 * kSecond).Bytes();
        std::memcpy(data, bytes.data(), bytes.size());
        *size = static_cast<std::uint32_t>(bytes.size());
        return 0;
    };
    CProcessLoadMeter meter(emptyBlock, nullptr);
    EXPECT_EQ(meter.SampleLoad("meter_test"), 0);
    KeepOneProcessorBusy(kBusyCpu100ns);
    EXPECT_GT(meter.SampleLoad("meter_test"), 0);
}

TEST(PerfPlatform, WineReportsAnNtFamilySystem)
{
    EXPECT_EQ(DetectPlatform(), kPlatformNt);
}

// Both service keys present: 0 is written into both. One missing: 0 is returned. The keys
// are made and removed by this one test, so no other test sees them.
TEST(PerfPlatform, EnablingWritesZeroUnderBothServiceKeys)
{
    const char* paths[] = {"SYSTEM\\CurrentControlSet\\Services\\PerfOS\\Performance",
                           "SYSTEM\\CurrentControlSet\\Services\\PerfProc\\Performance"};
    const DWORD one = 1;
    for (const char* path : paths) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                  &key, nullptr),
                  ERROR_SUCCESS);
        RegSetValueExA(key, "Disable Performance Counters", 0, REG_DWORD,
                       reinterpret_cast<const BYTE*>(&one), sizeof one);
        RegCloseKey(key);
    }
    EXPECT_EQ(SetPerfCountersEnabled(true), 1);
    for (const char* path : paths) {
        DWORD value = 99;
        DWORD size = sizeof value;
        EXPECT_EQ(RegGetValueA(HKEY_LOCAL_MACHINE, path, "Disable Performance Counters",
                               RRF_RT_REG_DWORD, nullptr, &value, &size),
                  ERROR_SUCCESS);
        EXPECT_EQ(value, 0u) << path;
    }
    ASSERT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, paths[1]), ERROR_SUCCESS);
    EXPECT_EQ(SetPerfCountersEnabled(true), 0);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, paths[0]);
}
