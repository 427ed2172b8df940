// The resources built into zumbrel.exe, read back from the file as the system sees them.
#include "resource.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <ostream>
#include <string>
#include <vector>

namespace {

std::string WindowsPath(const std::string& path)
{
    std::string result = path[0] == '/' ? "Z:" + path : path;
    for (char& c : result) {
        c = c == '/' ? '\\' : c;
    }
    return result;
}

class Resources : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_module = LoadLibraryExA(WindowsPath(ZUMBREL_EXE).c_str(), nullptr,
                                  LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    }
    static void TearDownTestSuite() { FreeLibrary(s_module); }
    void SetUp() override { ASSERT_NE(s_module, nullptr); }

    static std::string String(UINT id)
    {
        char text[512] = {};
        LoadStringA(s_module, id, text, sizeof text);
        return text;
    }
    static const BYTE* Raw(LPCSTR type, UINT id, DWORD* size)
    {
        HRSRC found = FindResourceA(s_module, MAKEINTRESOURCEA(id), type);
        if (found == nullptr) {
            return nullptr;
        }
        *size = SizeofResource(s_module, found);
        return static_cast<const BYTE*>(LockResource(LoadResource(s_module, found)));
    }

    static HMODULE s_module;
};

HMODULE Resources::s_module = nullptr;

BOOL CALLBACK CountResource(HMODULE, LPCSTR, LPSTR, LONG_PTR count)
{
    ++*reinterpret_cast<int*>(count);
    return TRUE;
}

struct StringCase {
    UINT id;
    const char* text;
};

void PrintTo(const StringCase& c, std::ostream* os)
{
    *os << c.id;
}

class StringTable : public Resources, public testing::WithParamInterface<StringCase> {};

TEST_P(StringTable, HoldsTheText)
{
    EXPECT_EQ(String(GetParam().id), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, StringTable,
    testing::Values(
        StringCase{IDR_MAINFRAME, "Tarvolin\n\nTarvo\n\n\nTarvolin.Document\nTarvo Document"},
        StringCase{IDS_APP_TITLE, "Tarvolin"}, StringCase{IDS_IDLE_MESSAGE, "Ready"},
        StringCase{ID_OPTIONS, "Setup MIDI IN and ASIO driver"},
        StringCase{ID_APP_ABOUT, "About this Zumbrel"}, StringCase{ID_APP_EXIT, "Exit Zumbrel"},
        StringCase{ID_FILE_MRU_FIRST + 15, "Open this document"},
        StringCase{IDS_INDICATOR_EXT, "EXT"}, StringCase{IDS_INDICATOR_CAPS, "CAP"},
        StringCase{IDS_INDICATOR_NUM, "NUM"}, StringCase{IDS_INDICATOR_SCRL, "SCRL"},
        StringCase{IDS_INDICATOR_OVR, "OVR"}, StringCase{IDS_INDICATOR_REC, "REC"}));

// Every standard command the menu does not show has a prompt.
TEST_F(Resources, StandardCommandsHavePrompts)
{
    std::vector<UINT> ids = {ID_FILE_NEW, ID_FILE_OPEN, ID_FILE_CLOSE, ID_FILE_SAVE,
                             ID_FILE_SAVE_AS, ID_WINDOW_SPLIT, ID_NEXT_PANE, ID_PREV_PANE};
    for (UINT id = ID_FILE_MRU_FIRST; id < ID_FILE_MRU_FIRST + 16; ++id) {
        ids.push_back(id);
    }
    for (UINT id = ID_EDIT_CLEAR; id <= ID_EDIT_REDO; ++id) {
        ids.push_back(id);
    }
    for (UINT id : ids) {
        EXPECT_FALSE(String(id).empty()) << id;
    }
}

TEST_F(Resources, AcceleratorTableHoldsExactlyTheListedKeys)
{
    HACCEL table = LoadAcceleratorsA(s_module, MAKEINTRESOURCEA(IDR_MAINFRAME));
    ASSERT_NE(table, nullptr);
    ACCEL keys[32];
    const int count = CopyAcceleratorTableA(table, keys, 32);
    struct Key {
        BYTE modifiers;
        WORD key;
        WORD command;
    };
    const Key expected[] = {
        {FCONTROL, 'N', ID_FILE_NEW},      {FCONTROL, 'O', ID_FILE_OPEN},
        {FCONTROL, 'S', ID_FILE_SAVE},     {FCONTROL, 'Z', ID_EDIT_UNDO},
        {FALT, VK_BACK, ID_EDIT_UNDO},     {FCONTROL, 'X', ID_EDIT_CUT},
        {FSHIFT, VK_DELETE, ID_EDIT_CUT},  {FCONTROL, 'C', ID_EDIT_COPY},
        {FCONTROL, VK_INSERT, ID_EDIT_COPY}, {FCONTROL, 'V', ID_EDIT_PASTE},
        {FSHIFT, VK_INSERT, ID_EDIT_PASTE}, {0, VK_F6, ID_NEXT_PANE},
        {FSHIFT, VK_F6, ID_PREV_PANE},
    };
    ASSERT_EQ(count, static_cast<int>(sizeof expected / sizeof expected[0]));
    for (const Key& want : expected) {
        bool found = false;
        for (int i = 0; i < count; ++i) {
            const BYTE modifiers = keys[i].fVirt & (FCONTROL | FALT | FSHIFT);
            found = found || (keys[i].key == want.key && modifiers == want.modifiers &&
                              keys[i].cmd == want.command && (keys[i].fVirt & FVIRTKEY) != 0);
        }
        EXPECT_TRUE(found) << "key " << want.key << " command " << want.command;
    }
    DestroyAcceleratorTable(table);
}

struct DialogTemplateHeader {
    WORD version;
    WORD signature;
    DWORD helpId;
    DWORD exStyle;
    DWORD style;
    WORD items;
    short x, y, cx, cy;
};

TEST_F(Resources, DialogTemplatesHaveTheirSizes)
{
    struct Want {
        UINT id;
        short cx, cy;
        DWORD style;
    };
    for (const Want& want : {Want{IDD_ABOUTBOX, 235, 88, WS_CAPTION | WS_SYSMENU | DS_MODALFRAME},
                             Want{IDD_INSTRUMENT_FORM, 193, 71, WS_CHILD},
                             Want{IDD_DEVICE_SETTINGS, 161, 78,
                                  WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME}}) {
        DWORD size = 0;
        const BYTE* data = Raw(RT_DIALOG, want.id, &size);
        ASSERT_NE(data, nullptr) << want.id;
        DialogTemplateHeader header;
        ASSERT_GE(size, sizeof header);
        std::memcpy(&header, data, sizeof header);
        ASSERT_EQ(header.signature, 0xFFFF); // the extended template form
        EXPECT_EQ(header.cx, want.cx);
        EXPECT_EQ(header.cy, want.cy);
        EXPECT_EQ(header.style & want.style, want.style);
        if (want.id == IDD_INSTRUMENT_FORM) {
            EXPECT_EQ(header.items, 0);
        }
        if (want.id == IDD_DEVICE_SETTINGS) {
            EXPECT_EQ(header.items, 6);  // OK, Cancel and four labels; the selectors are added
        }
    }
}

struct BitmapCase {
    UINT id;
    LONG width, height;
    WORD bitsPerPixel;
};

void PrintTo(const BitmapCase& c, std::ostream* os)
{
    *os << c.id;
}

class Bitmaps : public Resources, public testing::WithParamInterface<BitmapCase> {};

TEST_P(Bitmaps, HaveTheirSizeAndDepth)
{
    DWORD size = 0;
    const BYTE* data = Raw(RT_BITMAP, GetParam().id, &size);
    ASSERT_NE(data, nullptr);
    BITMAPINFOHEADER info;
    ASSERT_GE(size, sizeof info);
    std::memcpy(&info, data, sizeof info);
    EXPECT_EQ(info.biWidth, GetParam().width);
    EXPECT_EQ(info.biHeight, GetParam().height);
    EXPECT_EQ(info.biBitCount, GetParam().bitsPerPixel);
    HBITMAP bitmap = static_cast<HBITMAP>(
        LoadImageA(s_module, MAKEINTRESOURCEA(GetParam().id), IMAGE_BITMAP, 0, 0, 0));
    ASSERT_NE(bitmap, nullptr);
    BITMAP metrics{};
    EXPECT_EQ(GetObjectA(bitmap, sizeof metrics, &metrics), static_cast<int>(sizeof metrics));
    EXPECT_EQ(metrics.bmWidth, GetParam().width);
    DeleteObject(bitmap);
}

INSTANTIATE_TEST_SUITE_P(Strips, Bitmaps,
                         testing::Values(BitmapCase{IDB_ARROWS, 22, 15, 24},
                                         BitmapCase{IDB_DIGITS, 120, 15, 4}));

// Icons: 128 one 32 × 32 image, 129 a 32 × 32 and a 16 × 16 image, all 16 colours.
TEST_F(Resources, IconGroupsHoldSixteenColourImages)
{
#pragma pack(push, 2)
    struct GroupEntry {
        BYTE width, height, colours, reserved;
        WORD planes, bitCount;
        DWORD bytes;
        WORD id;
    };
#pragma pack(pop)
    struct Want {
        UINT id;
        std::vector<BYTE> sizes;
    };
    for (const Want& want : {Want{IDR_MAINFRAME, {32}}, Want{IDI_DOCUMENT, {32, 16}}}) {
        DWORD size = 0;
        const BYTE* data = Raw(RT_GROUP_ICON, want.id, &size);
        ASSERT_NE(data, nullptr) << want.id;
        WORD count = 0;
        std::memcpy(&count, data + 4, sizeof count);
        ASSERT_EQ(count, want.sizes.size());
        for (WORD i = 0; i < count; ++i) {
            GroupEntry entry;
            std::memcpy(&entry, data + 6 + i * sizeof entry, sizeof entry);
            EXPECT_EQ(entry.width, want.sizes[i]);
            EXPECT_EQ(entry.height, want.sizes[i]);
            EXPECT_EQ(entry.colours, 16);
            EXPECT_EQ(entry.bitCount, 4);
        }
    }
}

TEST_F(Resources, ExactlyOneManifestAskingForCommonControls6)
{
    DWORD size = 0;
    const BYTE* data = Raw(MAKEINTRESOURCEA(24), 1, &size);
    ASSERT_NE(data, nullptr);
    const std::string manifest(reinterpret_cast<const char*>(data), size);
    EXPECT_NE(manifest.find("Microsoft.Windows.Common-Controls"), std::string::npos);
    EXPECT_NE(manifest.find("version=\"6.0.0.0\""), std::string::npos);
    EXPECT_NE(manifest.find("PerMonitorV2"), std::string::npos);
    EXPECT_NE(manifest.find("version=\"1.2.0.0\""), std::string::npos);
    int manifests = 0;
    EnumResourceNamesA(s_module, MAKEINTRESOURCEA(24), &CountResource,
                       reinterpret_cast<LONG_PTR>(&manifests));
    EXPECT_EQ(manifests, 1);
}

TEST_F(Resources, VersionBlockCarriesTheProductFields)
{
    const std::string path = WindowsPath(ZUMBREL_EXE);
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), nullptr);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> block(size);
    ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, block.data()));
    auto field = [&](const char* name) {
        char* value = nullptr;
        UINT length = 0;
        const std::string query = std::string("\\StringFileInfo\\040904b0\\") + name;
        return VerQueryValueA(block.data(), query.c_str(), reinterpret_cast<void**>(&value), &length)
                   ? std::string(value)
                   : std::string("<missing>");
    };
    EXPECT_EQ(field("FileVersion"), "1, 2, 0, 0");
    EXPECT_EQ(field("ProductVersion"), "1, 2, 0, 0");
    EXPECT_EQ(field("CompanyName"), "Orvane");
    EXPECT_EQ(field("FileDescription"), "Velmora Instruments Shell");
    EXPECT_EQ(field("InternalName"), "Velmora Instruments Shell");
    EXPECT_EQ(field("ProductName"), "Velmora Instruments Shell");
    EXPECT_EQ(field("OriginalFilename"), "Tarvolin.EXE");
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010002u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0u);
}

} // namespace
