// The Windows guard: the handler behind the assembly call boundary (FaultGuardX86.S,
// FaultGuardX64.S), naming the module to blame, setting the stack guard up again after an
// overflow, and the process's last-resort filter.
#include "base/FaultGuard.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

extern "C" {
int zumbrel_guarded_call(GuardedFunction function, void* context, FaultRecord* fault);
#if defined(__x86_64__)
void zumbrel_guard_resume();
EXCEPTION_DISPOSITION zumbrel_guard_handler(EXCEPTION_RECORD* exception, void* frame,
                                            CONTEXT* context, DISPATCHER_CONTEXT* dispatcher);
#else
[[noreturn]] void __cdecl zumbrel_unwind_and_resume(void* frame, EXCEPTION_RECORD* exception);
EXCEPTION_DISPOSITION __cdecl zumbrel_guard_handler(EXCEPTION_RECORD* exception, void* frame,
                                                    CONTEXT* context, void* dispatcher);
#endif
}

namespace {

// Where each thunk keeps its `fault` argument, from the frame the dispatcher reports.
#if defined(__x86_64__)
constexpr std::size_t kFaultSlot = 32;  // above the callee's home space
#else
constexpr std::size_t kFaultSlot = 8;   // after the record's next and handler fields
#endif
// Stack kept back for handling a stack overflow: the system raises the overflow while this
// much is left, enough for the dispatcher, the guard's handler and the unwind.
constexpr ULONG kStackGuarantee = 16 * 1024;
// Frames looked through for the caller of a raised exception.
constexpr int kBlameFrames = 32;
constexpr std::size_t kStackWordsScanned = 4096;
constexpr DWORD kModuleFlags =
    GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT;

FaultRecord* FaultOf(void* frame)
{
    return *reinterpret_cast<FaultRecord**>(static_cast<char*>(frame) + kFaultSlot);
}

HMODULE ModuleAt(std::uintptr_t address)
{
    HMODULE module = nullptr;
    if (address == 0
        || !GetModuleHandleExA(kModuleFlags, reinterpret_cast<LPCSTR>(address), &module))
        return nullptr;
    return module;
}

// Part of the operating system: a module inside the Windows folder (ntdll, kernelbase, the
// system's C++ runtimes). A raised exception has its address there.
bool IsSystemModule(HMODULE module)
{
    char path[MAX_PATH];
    char windows[MAX_PATH];
    const DWORD length = GetModuleFileNameA(module, path, sizeof path);
    const UINT folder = GetSystemWindowsDirectoryA(windows, sizeof windows);
    if (length == 0 || length >= sizeof path || folder == 0 || folder >= sizeof windows)
        return false;
    return _strnicmp(path, windows, folder) == 0 && (path[folder] == '\\' || path[folder] == '/');
}

bool InProgramModule(std::uintptr_t address)
{
    const HMODULE module = ModuleAt(address);
    return module != nullptr && !IsSystemModule(module);
}

#if defined(__x86_64__)
// The first return address outside the system on the way from the fault up to `limit` (the
// guard's frame), through the callers' unwind data.
std::uintptr_t FirstCallerOutsideSystem(const CONTEXT& faulting, std::uintptr_t limit)
{
    CONTEXT context = faulting;
    for (int i = 0; i < kBlameFrames && context.Rsp < limit; ++i) {
        DWORD64 base = 0;
        RUNTIME_FUNCTION* entry = RtlLookupFunctionEntry(context.Rip, &base, nullptr);
        if (entry != nullptr) {
            void* handlerData = nullptr;
            DWORD64 establisher = 0;
            RtlVirtualUnwind(UNW_FLAG_NHANDLER, base, context.Rip, entry, &context, &handlerData,
                             &establisher, nullptr);
        } else {  // a leaf function: the return address is on top
            context.Rip = *reinterpret_cast<const DWORD64*>(context.Rsp);
            context.Rsp += sizeof(DWORD64);
        }
        if (InProgramModule(context.Rip))
            return context.Rip;
    }
    return 0;
}
#else
// Looks like a return address: the bytes before it are a call (E8 rel32, or FF /2 with a
// register, memory or displacement operand).
bool FollowsCall(std::uintptr_t address, HMODULE module)
{
    const auto base = reinterpret_cast<std::uintptr_t>(module);
    if (address < base + 7)
        return false;
    const auto* code = reinterpret_cast<const unsigned char*>(address);
    const auto callThrough = [](unsigned char opcode, unsigned char modrm) {
        return opcode == 0xFF && ((modrm >> 3) & 7) == 2;
    };
    return code[-5] == 0xE8 || callThrough(code[-2], code[-1]) || callThrough(code[-3], code[-2])
           || callThrough(code[-6], code[-5]) || callThrough(code[-7], code[-6]);
}

// 32-bit code keeps no unwind data: the stack between the fault and `limit` (the guard's
// record) is searched for the first return address into a module outside the system. The
// system's frames hold stale words too, some of them old return addresses into this program:
// the program itself is named only when no other module is found.
std::uintptr_t FirstCallerOutsideSystem(const CONTEXT& faulting, std::uintptr_t limit)
{
    const HMODULE program = GetModuleHandleA(nullptr);
    std::uintptr_t inProgram = 0;
    const auto* word = reinterpret_cast<const std::uintptr_t*>(faulting.Esp);
    for (std::size_t i = 0; i < kStackWordsScanned
                            && reinterpret_cast<std::uintptr_t>(word + i) < limit; ++i) {
        const std::uintptr_t candidate = word[i];
        const HMODULE module = ModuleAt(candidate);
        if (module == nullptr || IsSystemModule(module) || !FollowsCall(candidate, module))
            continue;
        if (module != program)
            return candidate;
        if (inProgram == 0)
            inProgram = candidate;
    }
    return inProgram;
}
#endif

// Code and addresses at once, on whatever stack the fault left; the module is named later.
void Record(FaultRecord& fault, const EXCEPTION_RECORD& exception, const CONTEXT& context,
            std::uintptr_t limit)
{
    fault.code = exception.ExceptionCode;
    fault.address = reinterpret_cast<std::uintptr_t>(exception.ExceptionAddress);
    fault.blamed = fault.address;
    // With the stack used up, nothing more is looked at before the frames are unwound.
    if (fault.code != kFaultStackOverflow && !InProgramModule(fault.address)) {
        const std::uintptr_t caller = FirstCallerOutsideSystem(context, limit);
        if (caller != 0)
            fault.blamed = caller;
    }
}

void NameModule(FaultRecord& fault)
{
    std::memset(fault.module, 0, sizeof fault.module);
    const HMODULE module = ModuleAt(fault.blamed);
    char path[MAX_PATH];
    const DWORD length = module != nullptr ? GetModuleFileNameA(module, path, sizeof path) : 0;
    if (length == 0 || length >= sizeof path)
        return;
    const char* name = path;
    for (const char* c = path; *c != '\0'; ++c) {
        if (*c == '\\' || *c == '/')
            name = c + 1;
    }
    const std::size_t bytes = std::min(std::strlen(name), sizeof fault.module - 1);
    std::memcpy(fault.module, name, bytes);
}

// The thread's stack guarantee, read from its information block (GuaranteedStackBytes):
// one load, no call.
ULONG StackGuarantee()
{
    ULONG bytes = 0;
#if defined(__x86_64__)
    __asm__("movl %%gs:0x1748, %0" : "=r"(bytes));
#else
    __asm__("movl %%fs:0xF78, %0" : "=r"(bytes));
#endif
    return bytes;
}

// Makes a stack overflow on this thread one the guard can catch, and catch again: the system
// keeps the guarantee back for handling it, and a guard page lies where the overflow is
// raised with that room left. Wine commits a thread's whole stack with its only guard page at
// the very bottom, where no room is left; after an overflow the system's guard is used up
// everywhere. So unless a guard page already lies above the guaranteed room, one goes there
// (or onto the lowest usable page, if that is higher), well below the stack in use here.
void ArmStackGuard()
{
    ULONG bytes = kStackGuarantee;
    SetThreadStackGuarantee(&bytes);  // refused on a stack too small for it: then as it is
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    const std::uintptr_t page = system.dwPageSize;
    MEMORY_BASIC_INFORMATION here{};
    if (VirtualQuery(&here, &here, sizeof here) == 0)
        return;
    const auto base = reinterpret_cast<std::uintptr_t>(here.AllocationBase);
    const std::uintptr_t room = (StackGuarantee() + page - 1) / page * page;
    const std::uintptr_t wanted = base + room + 2 * page;
    // The first page from the bottom that is usable or a guard page.
    MEMORY_BASIC_INFORMATION region{};
    auto* next = static_cast<char*>(here.AllocationBase);
    while (VirtualQuery(next, &region, sizeof region) != 0
           && region.AllocationBase == here.AllocationBase) {
        const bool writable = region.State == MEM_COMMIT && (region.Protect & PAGE_READWRITE);
        if (writable && !(region.Protect & PAGE_GUARD))
            break;
        if (region.Protect & PAGE_GUARD) {
            const auto guard = reinterpret_cast<std::uintptr_t>(region.BaseAddress);
            if (guard >= wanted)
                return;  // the system's own guard is high enough
        }
        next = static_cast<char*>(region.BaseAddress) + region.RegionSize;
    }
    const std::uintptr_t guard =
        std::max(wanted, reinterpret_cast<std::uintptr_t>(region.BaseAddress));
    if (guard + 2 * page > reinterpret_cast<std::uintptr_t>(&here))
        return;
    DWORD previous = 0;
    VirtualProtect(reinterpret_cast<void*>(guard), page, PAGE_READWRITE | PAGE_GUARD, &previous);
}

}  // namespace

#if defined(__x86_64__)
extern "C" EXCEPTION_DISPOSITION zumbrel_guard_handler(EXCEPTION_RECORD* exception, void* frame,
                                                       CONTEXT* context,
                                                       DISPATCHER_CONTEXT* dispatcher)
{
    if (exception->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND))
        return ExceptionContinueSearch;
    Record(*FaultOf(frame), *exception, *context, reinterpret_cast<std::uintptr_t>(frame));
    RtlUnwindEx(frame, reinterpret_cast<void*>(&zumbrel_guard_resume), exception, nullptr,
                dispatcher->ContextRecord, dispatcher->HistoryTable);
    return ExceptionContinueSearch;  // not reached: the unwind continues in the thunk
}
#else
extern "C" EXCEPTION_DISPOSITION __cdecl zumbrel_guard_handler(EXCEPTION_RECORD* exception,
                                                               void* frame, CONTEXT* context,
                                                               void*)
{
    if (exception->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND))
        return ExceptionContinueSearch;
    Record(*FaultOf(frame), *exception, *context, reinterpret_cast<std::uintptr_t>(frame));
    zumbrel_unwind_and_resume(frame, exception);
}
#endif

bool RunGuarded(GuardedFunction function, void* context, FaultRecord& fault)
{
    // Once per thread: its first guarded call finds no guarantee yet.
    if (StackGuarantee() < kStackGuarantee)
        ArmStackGuard();
    if (zumbrel_guarded_call(function, context, &fault) != 0)
        return true;
    NameModule(fault);
    if (fault.code == kFaultStackOverflow)
        ArmStackGuard();
    return false;
}

// ---- The last resort ------------------------------------------------------------------------

namespace {

constexpr char kCaption[] = "Zumbrel";
constexpr std::size_t kMessageBytes = 512;

// The top of the stack in use: the end of the committed region this function's frame is in.
std::uintptr_t ThreadStackTop()
{
    MEMORY_BASIC_INFORMATION region{};
    if (VirtualQuery(&region, &region, sizeof region) == 0)
        return reinterpret_cast<std::uintptr_t>(&region);
    return reinterpret_cast<std::uintptr_t>(region.BaseAddress) + region.RegionSize;
}

struct LastResortMessage {
    char text[kMessageBytes];
};

DWORD WINAPI ShowLastResortMessage(void* message)
{
    MessageBoxA(nullptr, static_cast<LastResortMessage*>(message)->text, kCaption,
                MB_OK | MB_ICONERROR | MB_TASKMODAL | MB_SETFOREGROUND);
    return 0;
}

LONG WINAPI LastResortFilter(EXCEPTION_POINTERS* pointers)
{
    FaultRecord fault;
    Record(fault, *pointers->ExceptionRecord, *pointers->ContextRecord,
           ThreadStackTop());
    NameModule(fault);
    static LastResortMessage message;
    char line[kMessageBytes];
    DescribeFault(nullptr, fault, line, sizeof line);
    std::snprintf(message.text, sizeof message.text,
                  "Zumbrel has to close: a fault happened outside the calls it guards.\n\n%s",
                  line);
    // On a thread of its own: the faulting thread may have no stack left to draw a window.
    HANDLE thread = CreateThread(nullptr, 0, &ShowLastResortMessage, &message, 0, nullptr);
    if (thread != nullptr)
        WaitForSingleObject(thread, INFINITE);
    TerminateProcess(GetCurrentProcess(), fault.code);
    return EXCEPTION_EXECUTE_HANDLER;
}

}  // namespace

void InstallLastResortFaultHandler()
{
    SetUnhandledExceptionFilter(&LastResortFilter);
}

bool RestoreLastResortFaultHandler()
{
    return SetUnhandledExceptionFilter(&LastResortFilter) != &LastResortFilter;
}
