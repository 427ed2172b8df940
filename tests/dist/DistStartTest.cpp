// Started by check-archive.sh with ZUMBREL_DIST_DIR naming an unpacked release folder.

#include "UiHarness.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

TEST(DistArchive, TheUnpackedProgramStartsAndClosesCleanly)
{
    const char* folder = std::getenv("ZUMBREL_DIST_DIR");
    ASSERT_NE(folder, nullptr);
    uiharness::CProgram program;
    ASSERT_TRUE(program.Start(std::string(folder) + "\\zumbrel.exe", folder));
    HWND frame = program.WaitForWindow("ZumbrelFrame", 20000);
    ASSERT_NE(frame, nullptr);
    program.Close(frame);
    EXPECT_EQ(program.WaitForExit(10000), 0u);
}
