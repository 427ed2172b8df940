// The instrument's state across runs of the real program: the bank kept at close, a program
// file named on the command line, and a damaged one refused with its reason while the kept
// bank still comes back.
#include "E2eSupport.h"

#include "plugin/PresetFile.h"

#include <fstream>
#include <iterator>

namespace e2e {
namespace {

std::vector<std::uint8_t> ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

TEST_F(E2eTest, StateIsKeptAndFilesNamedAtStartAreOpened)
{
    InstallProbe("named");
    Launch();
    ASSERT_TRUE(CaptionBecomes("Zumbrel - Piano"));
    ASSERT_EQ(CloseProgram(), 0u);
    const std::vector<std::uint8_t> kept = ReadBytes(FileIn("zumbrel-e2e.fxb"));
    const preset::ReadResult bank = preset::Read(kept.data(), kept.size());
    ASSERT_EQ(bank.error, preset::Error::None);
    ASSERT_EQ(bank.file.programs.size(), 5u);
    EXPECT_EQ(bank.file.programs[2].name, "Strings");

    preset::File program = bank.file;
    program.form = preset::Form::ProgramParameters;
    program.program = bank.file.programs[2];
    program.program.name = "From file";
    const std::vector<std::uint8_t> bytes = preset::Write(program);
    WriteBytes(FileIn("Strings.fxp"), bytes);
    Launch(true, "Strings.fxp");
    EXPECT_TRUE(CaptionBecomes("Zumbrel - From file"));
    ASSERT_EQ(CloseProgram(), 0u);

    WriteBytes(FileIn("Broken.fxp"), std::vector<std::uint8_t>(bytes.begin(), bytes.end() - 1));
    Launch(false, "Broken.fxp");
    HWND box = WaitForMessageBox("Failed to open document.\n\nThe file is shorter than its "
                                 "contents say: it is truncated or damaged.");
    ASSERT_NE(box, nullptr);
    uiharness::ClickButton(box, IDOK);
    WaitForFrame();
    EXPECT_TRUE(CaptionBecomes("Zumbrel - From file")) << "the kept bank was not loaded";
    EXPECT_EQ(CloseProgram(), 0u);
}

}  // namespace
}  // namespace e2e
