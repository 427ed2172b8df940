#pragma once
// Whether the in-process server registered for a class identifier exists as a file.

#include <string>

// Looks up HKEY_CLASSES_ROOT\CLSID\<clsidText>\InprocServer32 and tests its library path.
bool driverLibraryFound(const char* clsidText);

// The existence test for a registered library path. A path with a folder must name an
// existing file. A bare file name is what some installers register: COM loads it through the
// system's DLL search path, so it is looked up there rather than in the current directory.
bool libraryFileExists(const std::string& path);
