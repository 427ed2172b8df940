#pragma once
// Runs a call into foreign code (a plug-in, a driver) so that a fault inside it ends the call
// instead of the program. A fault is an exception nothing inside the called code handles: an
// access violation, an illegal instruction, a division by zero, a stack overflow, or a raised
// exception (such as a C++ exception) that leaves the call. Exceptions the called code handles
// itself pass through untouched: the guard's handler sits at the call boundary and is asked
// only after every frame inside has declined.
//
// Windows: a structured exception handler registered for the call's frame (32-bit: a record
// on the thread's handler chain; 64-bit: the unwind table of a small assembly thunk). On a
// fault the frames inside are unwound and the call returns false. The normal path makes no
// system call and allocates nothing. Guards nest: the innermost one reports. The guard never
// relies on the process's unhandled-exception filter.
//
// Elsewhere (the native build, used for the sanitizers) the guard is a plain call.
//
// The guarded function must not let C++ exceptions of this program escape: they would be
// taken for a fault (64-bit) or pass the guard's record by (32-bit).

#include <cstddef>
#include <cstdint>
#include <string>

constexpr std::size_t kFaultModuleBytes = 64;

// Exception codes the program names itself.
constexpr std::uint32_t kFaultAccessViolation = 0xC0000005u;
constexpr std::uint32_t kFaultIllegalInstruction = 0xC000001Du;
constexpr std::uint32_t kFaultIntegerDivideByZero = 0xC0000094u;
constexpr std::uint32_t kFaultStackOverflow = 0xC00000FDu;
constexpr std::uint32_t kFaultMsvcCppException = 0xE06D7363u;

struct FaultRecord {
    std::uint32_t code = 0;        // the exception code
    std::uintptr_t address = 0;    // where it happened
    // The address the module is named from: `address`, or when that lies in the operating
    // system (an exception raised through it) the first return address outside it.
    std::uintptr_t blamed = 0;
    // File name (no folder) of the module holding `blamed`; empty when it lies in no module.
    char module[kFaultModuleBytes] = {};
};

using GuardedFunction = void (*)(void* context);

// Calls function(context). True when it returned; false when a fault reached this call, with
// `fault` describing it. After a stack overflow the thread's stack guard is set up again, so
// that the next overflow is caught too.
bool RunGuarded(GuardedFunction function, void* context, FaultRecord& fault);

// The same for any callable object, called without arguments (a lambda capturing what it
// needs). No allocation: the object is reached through the context pointer.
template <typename Call>
bool RunGuardedCall(Call& call, FaultRecord& fault)
{
    return RunGuarded([](void* context) { (*static_cast<Call*>(context))(); }, &call, fault);
}

// A short English name of the code ("access violation", "C++ exception", ...), or null.
const char* FaultCodeName(std::uint32_t code);

// One line for people: "<call> faulted: access violation (0xC0000005) at 0x... in probe.dll".
// Always terminated; cut to `size` bytes.
void DescribeFault(const char* call, const FaultRecord& fault, char* text, std::size_t size);
// The same line as a string, for messages shown outside the audio path.
std::string FaultText(const char* call, const FaultRecord& fault);

// ---- The last resort, for faults outside every guarded call ---------------------------------
// (a driver's or plug-in's own thread, the program itself). Windows only; elsewhere these do
// nothing.

// Makes the program's own unhandled-exception filter the process's: it shows a message box
// (caption "Zumbrel") naming the code and the module the fault happened in, then ends the
// process with the exception code.
void InstallLastResortFaultHandler();
// Puts the program's filter back if a plug-in replaced it; true when it had to. Cheap enough
// to call after every plug-in call on the user-interface thread.
bool RestoreLastResortFaultHandler();
