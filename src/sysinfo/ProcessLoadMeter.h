// CProcessLoadMeter: how much processor time one named process used between two calls, in
// percent of the elapsed time, from the system's performance data (the process object's
// processor-time counter against the block's own 100-nanosecond clock).
//
// Where the system's performance data holds no process object at all (Wine answers with a
// valid block without objects), the meter measures its own process instead: the processor
// times the system keeps for it against a monotonic clock, with the same formula. Without that
// the meter would show 0 forever.
#pragma once

#include "sysinfo/LoadSampler.h"
#include "sysinfo/PerfDataBuffer.h"

#include <cstdint>

namespace sysinfo {

// Codes of DetectPlatform.
enum PlatformCode : int {
    kPlatformNt4 = 0,
    kPlatformNt = 1,
    kPlatformWin9x = 2,
    kPlatformUnknown = 3,
};

class CProcessLoadMeter {
public:
    CProcessLoadMeter() = default;
    // A meter that takes its performance data from `query` instead of the registry: the seam
    // through which tests hand it blocks with process objects, which Wine does not provide.
    CProcessLoadMeter(PerfQuery query, void* context) : m_query(query), m_context(context) {}
    virtual ~CProcessLoadMeter() = default;

    // The load of the process whose image base name is `instanceName` (at most 255
    // characters are used) since the previous call; 0 on the first call.
    std::int32_t SampleLoad(const char* instanceName);

private:
    CLoadSampler m_sampler;
    PerfQuery m_query = nullptr; // null: the registry's performance data
    void* m_context = nullptr;
};

// The version family of the running system.
int DetectPlatform();

// Writes "Disable Performance Counters" (0 to enable, 1 to disable) under the PerfOS and
// PerfProc service keys on NT-family systems other than version 4. Returns 1 when done or
// nothing was to be done, 0 when a key could not be opened.
int SetPerfCountersEnabled(bool enable);

} // namespace sysinfo
