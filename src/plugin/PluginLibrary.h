#pragma once
// The three operating-system calls that bring a plug-in library in and out of the process.
// Windows uses LoadLibraryA, GetProcAddress and FreeLibrary; the native build (used to run
// the plug-in wrapper under the sanitizers) uses the POSIX dynamic loader.

#include "plugin/VstInterface.h"

using PluginModule = void*;

// Null when the library cannot be loaded.
PluginModule OpenPluginLibrary(const char* path);
// The exported entry of that name, or null.
VstPluginEntry FindPluginEntry(PluginModule module, const char* name);
void ClosePluginLibrary(PluginModule module);
