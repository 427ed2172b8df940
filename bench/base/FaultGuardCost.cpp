// What the call guard adds to one call into a plug-in or driver, measured under Wine (the
// native build has only the pass-through guard): an empty function called through a pointer,
// plain and guarded, many times over; the difference per call is the guard's cost. A render
// call enters the plug-in once per block (twice with events), so this is its cost per block.
// Prints the figures; exits with 1 when the guard costs more than 50 ns per call.
#include "base/FaultGuard.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kCalls = 2000000;
constexpr int kRounds = 7;
constexpr double kLimitNs = 50.0;

volatile int counter = 0;

__attribute__((noinline)) void Empty(void*)
{
    counter = counter + 1;
}

GuardedFunction volatile target = &Empty;

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to, LARGE_INTEGER frequency)
{
    return static_cast<double>(to.QuadPart - from.QuadPart)
           / static_cast<double>(frequency.QuadPart);
}

// Nanoseconds per call, the best of several rounds.
template <typename Loop>
double Measure(Loop loop)
{
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    double best = 1e9;
    for (int round = 0; round < kRounds; ++round) {
        QueryPerformanceCounter(&start);
        loop();
        QueryPerformanceCounter(&end);
        best = std::min(best, Seconds(start, end, frequency) * 1e9 / kCalls);
    }
    return best;
}

}  // namespace

int main()
{
    FaultRecord fault;
    const double plain = Measure([] {
        for (int i = 0; i < kCalls; ++i)
            target(nullptr);
    });
    const double guarded = Measure([&fault] {
        for (int i = 0; i < kCalls; ++i)
            RunGuarded(target, nullptr, fault);
    });
    const double cost = guarded - plain;
    std::printf("plain call %.2f ns, guarded call %.2f ns\n", plain, guarded);
    std::printf("goal: call guard at most %.0f ns per render call: %.2f, %s\n", kLimitNs, cost,
                cost <= kLimitNs ? "met" : "NOT met");
    return cost <= kLimitNs ? 0 : 1;
}
