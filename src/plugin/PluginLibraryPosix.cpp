#include "plugin/PluginLibrary.h"

#include <dlfcn.h>

PluginModule OpenPluginLibrary(const char* path)
{
    return dlopen(path, RTLD_NOW | RTLD_LOCAL);
}

VstPluginEntry FindPluginEntry(PluginModule module, const char* name)
{
    return reinterpret_cast<VstPluginEntry>(dlsym(module, name));
}

void ClosePluginLibrary(PluginModule module)
{
    dlclose(module);
}
