#include "SimDrivers.h"

#include <gtest/gtest.h>

#include <objbase.h>

#include <atomic>
#include <cstdio>
#include <fstream>

namespace {

using RegisterAt = HRESULT(WINAPI*)(const char*, const char*, const char*, const char*);
using UnregisterAt = HRESULT(WINAPI*)(const char*, const char*, const char*);

constexpr char kPrivateRoots[] = "Software\\ZumbrelTest";
constexpr char kRealRoot[] = "Software\\ASIO";

HMODULE simModule()
{
    static HMODULE module = LoadLibraryA(simDriverPath().c_str());
    return module;
}

template <typename F>
F simFunction(const char* name)
{
    HMODULE module = simModule();
    EXPECT_NE(module, nullptr) << "cannot load " << simDriverPath();
    return module ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)))
                  : nullptr;
}

void setValue(HKEY root, const std::string& path, const char* name, DWORD type,
              const void* data, DWORD bytes)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS)
        << path;
    EXPECT_EQ(RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), bytes),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

void deleteTree(HKEY root, const std::string& path)
{
    RegDeleteTreeA(root, path.c_str());
    RegDeleteKeyA(root, path.c_str());
}

}  // namespace

std::string uniqueSuffix()
{
    static std::atomic<int> counter{0};
    return std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter);
}

std::string newClsidText(bool upperCase)
{
    GUID guid;
    EXPECT_EQ(CoCreateGuid(&guid), S_OK);
    char text[64];
    std::snprintf(text, sizeof text, upperCase ? "{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}"
                                               : "{%08lx-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x}",
                  static_cast<unsigned long>(guid.Data1), guid.Data2, guid.Data3, guid.Data4[0],
                  guid.Data4[1], guid.Data4[2], guid.Data4[3], guid.Data4[4], guid.Data4[5],
                  guid.Data4[6], guid.Data4[7]);
    return text;
}

std::string tempFilePath(const char* stem, const char* extension)
{
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    return std::string(folder) + stem + "-" + uniqueSuffix() + extension;
}

std::string simDriverPath()
{
    // Wine maps the Unix root as drive Z:; a Windows path works for every caller.
    std::string path = SIM_ASIO_DLL;
    if (!path.empty() && path[0] == '/') {
        for (char& c : path)
            c = c == '/' ? '\\' : c;
        path = "Z:" + path;
    }
    return path;
}

std::map<std::string, double> readStats(const std::string& path)
{
    std::map<std::string, double> stats;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        const auto eq = line.find('=');
        if (eq != std::string::npos)
            stats[line.substr(0, eq)] = std::atof(line.c_str() + eq + 1);
    }
    return stats;
}

CSimDrivers::CSimDrivers(bool realKey)
    : rootKey(realKey ? kRealRoot : std::string(kPrivateRoots) + "\\" + uniqueSuffix()),
      privateRoot(!realKey)
{
}

CSimDrivers::~CSimDrivers()
{
    auto unregisterAt = simFunction<UnregisterAt>("SimAsioUnregisterAt");
    for (const auto& card : cards)
        if (unregisterAt)
            unregisterAt(rootKey.c_str(), card.first.c_str(), card.second.c_str());
    for (const auto& clsid : classes)
        deleteTree(HKEY_CLASSES_ROOT, "CLSID\\" + clsid);
    if (privateRoot)
        deleteTree(HKEY_LOCAL_MACHINE, rootKey);
}

std::string CSimDrivers::add(const std::string& name, const char* description)
{
    const std::string clsid = newClsidText();
    auto registerAt = simFunction<RegisterAt>("SimAsioRegisterAt");
    if (!registerAt)
        return clsid;
    EXPECT_EQ(registerAt(rootKey.c_str(), name.c_str(), clsid.c_str(), description), S_OK);
    cards.emplace_back(name, clsid);
    return clsid;
}

void CSimDrivers::addKey(const std::string& name, const char* clsid, const char* description)
{
    const std::string path = rootKey + "\\" + name;
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_WRITE,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
    if (clsid)
        setText(name, "CLSID", clsid);
    if (description)
        setText(name, "Description", description);
    if (!privateRoot)
        cards.emplace_back(name, clsid ? clsid : newClsidText());
}

void CSimDrivers::addClass(const std::string& clsid, const std::string& library,
                           const std::string& driverKeyName)
{
    if (!driverKeyName.empty()) {
        const std::string driverKey = rootKey + "\\" + driverKeyName;
        setValue(HKEY_CLASSES_ROOT, "CLSID\\" + clsid, "DriverKey", REG_SZ, driverKey.c_str(),
                 static_cast<DWORD>(driverKey.size() + 1));
    }
    setValue(HKEY_CLASSES_ROOT, "CLSID\\" + clsid + "\\InprocServer32", nullptr, REG_SZ,
             library.c_str(), static_cast<DWORD>(library.size() + 1));
    setValue(HKEY_CLASSES_ROOT, "CLSID\\" + clsid + "\\InprocServer32", "ThreadingModel",
             REG_SZ, "Apartment", 10);
    classes.push_back(clsid);
}

void CSimDrivers::setNumber(const std::string& name, const char* value, DWORD number)
{
    setValue(HKEY_LOCAL_MACHINE, rootKey + "\\" + name, value, REG_DWORD, &number,
             sizeof number);
}

void CSimDrivers::setText(const std::string& name, const char* value, const std::string& text)
{
    setValue(HKEY_LOCAL_MACHINE, rootKey + "\\" + name, value, REG_SZ, text.c_str(),
             static_cast<DWORD>(text.size() + 1));
}
