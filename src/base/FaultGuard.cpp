// The parts of the guard every build shares: naming exception codes and describing a fault.
#include "base/FaultGuard.h"

#include <cinttypes>
#include <cstdio>

namespace {

struct CodeName {
    std::uint32_t code;
    const char* name;
};

constexpr CodeName kCodeNames[] = {
    {kFaultAccessViolation, "access violation"},
    {kFaultIllegalInstruction, "illegal instruction"},
    {kFaultIntegerDivideByZero, "integer division by zero"},
    {kFaultStackOverflow, "stack overflow"},
    {kFaultMsvcCppException, "C++ exception"},
    {0x20474343u, "C++ exception"},  // g++'s code ("GCC") on 64-bit Windows
    {0x80000003u, "breakpoint"},
    {0xC0000006u, "page error"},
    {0xC0000008u, "invalid handle"},
    {0xC0000025u, "exception it could not continue from"},
    {0xC000008Cu, "array bounds exceeded"},
    {0xC000008Eu, "floating-point division by zero"},
    {0xC0000090u, "invalid floating-point operation"},
    {0xC0000095u, "integer overflow"},
    {0xC0000096u, "privileged instruction"},
    {0xC0000374u, "heap corruption"},
    {0xC0000409u, "stack buffer overrun"},
};

}  // namespace

const char* FaultCodeName(std::uint32_t code)
{
    for (const CodeName& entry : kCodeNames) {
        if (entry.code == code)
            return entry.name;
    }
    return nullptr;
}

std::string FaultText(const char* call, const FaultRecord& fault)
{
    char text[256] = {};
    DescribeFault(call, fault, text, sizeof text);
    return text;
}

void DescribeFault(const char* call, const FaultRecord& fault, char* text, std::size_t size)
{
    if (text == nullptr || size == 0)
        return;
    const char* name = FaultCodeName(fault.code);
    std::snprintf(text, size, "%s%s%s (0x%08" PRIX32 ") at 0x%" PRIXPTR " in %s",
                  call != nullptr ? call : "", call != nullptr ? " faulted: " : "",
                  name != nullptr ? name : "exception", fault.code, fault.address,
                  fault.module[0] != '\0' ? fault.module : "no module");
}
