#include "sysinfo/ProcessLoadMeter.h"

#include "sysinfo/PerfDataBuffer.h"
#include "sysinfo/PerfDataWalk.h"

#include <windows.h>

#include <cstring>

namespace sysinfo {

namespace {

constexpr std::size_t kInstanceNameCapacity = 256;
constexpr char kProcessObjectValue[] = "230";
constexpr DWORD kNtMajorVersion4 = 4;
constexpr char kDisableValue[] = "Disable Performance Counters";
constexpr const char* kPerfServiceKeys[] = {
    "SYSTEM\\CurrentControlSet\\Services\\PerfOS\\Performance",
    "SYSTEM\\CurrentControlSet\\Services\\PerfProc\\Performance",
};
constexpr std::int64_t kHundredNsPerSecond = 10000000;

// The one buffer of the process, shared by all meters; freed at exit with the static storage.
CPerfDataBuffer& SharedBuffer()
{
    static CPerfDataBuffer buffer;
    return buffer;
}

long QueryProcessObject(void*, std::uint8_t* data, std::uint32_t* size)
{
    DWORD bytes = *size;
    const LONG result = RegQueryValueExA(HKEY_PERFORMANCE_DATA, kProcessObjectValue, nullptr,
                                         nullptr, data, &bytes);
    *size = bytes;
    return result;
}

std::size_t AnsiCodePageConverter(const char16_t* name, std::size_t length, char* out,
                                  std::size_t capacity)
{
    if (length == 0) {
        return 0;
    }
    const int written = WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<const wchar_t*>(name),
                                            static_cast<int>(length), out,
                                            static_cast<int>(capacity), nullptr, nullptr);
    return written > 0 ? static_cast<std::size_t>(written) : capacity;
}

std::int64_t FileTimeTo100ns(const FILETIME& time)
{
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(time.dwHighDateTime) << 32) |
                                     time.dwLowDateTime);
}

// This process's processor time (all threads, kernel and user) in 100 ns units.
std::int64_t OwnProcessorTime()
{
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) {
        return 0;
    }
    return FileTimeTo100ns(kernel) + FileTimeTo100ns(user);
}

// A monotonic clock in 100 ns units.
std::int64_t MonotonicTime()
{
    LARGE_INTEGER frequency{}, counter{};
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    if (frequency.QuadPart <= 0) {
        return static_cast<std::int64_t>(GetTickCount64()) * (kHundredNsPerSecond / 1000);
    }
    const std::int64_t seconds = counter.QuadPart / frequency.QuadPart;
    const std::int64_t rest = counter.QuadPart % frequency.QuadPart;
    return seconds * kHundredNsPerSecond + rest * kHundredNsPerSecond / frequency.QuadPart;
}

} // namespace

std::int32_t CProcessLoadMeter::SampleLoad(const char* instanceName)
{
    if (m_sampler.IsFirstSample()) {
        SetPerfCountersEnabled(true);
    }
    char name[kInstanceNameCapacity] = {};
    if (instanceName != nullptr) {
        std::strncpy(name, instanceName, kInstanceNameCapacity - 1);
    }
    CPerfDataBuffer& buffer = SharedBuffer();
    ProcessCounter counter{false, 0};
    std::int64_t time = 0;
    if (buffer.EnsureCreated()) {
        buffer.Fill(m_query != nullptr ? m_query : &QueryProcessObject, m_context);
        const PerfBlock block{buffer.Data(), buffer.Size()};
        counter = FindProcessorTime(block, name, &AnsiCodePageConverter);
        time = PerfTime100nSec(block);
    }
    if (!counter.objectFound) {
        return m_sampler.Sample(LoadSource::ProcessTimes, OwnProcessorTime(), MonotonicTime());
    }
    return m_sampler.Sample(LoadSource::PerfData, counter.value, time);
}

int DetectPlatform()
{
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    const BOOL known = GetVersionExA(&info);
#pragma GCC diagnostic pop
    if (!known) {
        return kPlatformUnknown;
    }
    switch (info.dwPlatformId) {
    case VER_PLATFORM_WIN32_WINDOWS:
        return kPlatformWin9x;
    case VER_PLATFORM_WIN32_NT:
        return info.dwMajorVersion == kNtMajorVersion4 ? kPlatformNt4 : kPlatformNt;
    default:
        return kPlatformUnknown;
    }
}

int SetPerfCountersEnabled(bool enable)
{
    if (DetectPlatform() != kPlatformNt) {
        return 1;
    }
    const DWORD disable = enable ? 0 : 1;
    for (const char* path : kPerfServiceKeys) {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) {
            return 0;
        }
        RegSetValueExA(key, kDisableValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&disable),
                       sizeof disable);
        RegCloseKey(key);
    }
    return 1;
}

} // namespace sysinfo
