#include "plugin/PluginLibrary.h"

#include <windows.h>

PluginModule OpenPluginLibrary(const char* path)
{
    // No "cannot load" message box from the system for a broken or foreign library: the
    // caller reports the failure itself.
    const UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE module = LoadLibraryA(path);
    SetErrorMode(previous);
    return reinterpret_cast<PluginModule>(module);
}

VstPluginEntry FindPluginEntry(PluginModule module, const char* name)
{
    FARPROC symbol = GetProcAddress(static_cast<HMODULE>(module), name);
    // Through the generic function type: the symbol's real type is the plug-in's entry.
    return reinterpret_cast<VstPluginEntry>(reinterpret_cast<void (*)()>(symbol));
}

void ClosePluginLibrary(PluginModule module)
{
    FreeLibrary(static_cast<HMODULE>(module));
}
