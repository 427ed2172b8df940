#include "toolkit/TextRules.h"

#include <gtest/gtest.h>

#include <ostream>

using namespace toolkit;

namespace {
const std::string kDocString = "Tarvolin\n\nTarvo\n\n\nTarvolin.Document\nTarvo Document";
}

TEST(DocString, FieldsAreSeparatedByLineFeeds)
{
    EXPECT_EQ(DocStringField(kDocString, DocField::WindowTitle), "Tarvolin");
    EXPECT_EQ(DocStringField(kDocString, DocField::DocName), "");
    EXPECT_EQ(DocStringField(kDocString, DocField::NewFileName), "Tarvo");
    EXPECT_EQ(DocStringField(kDocString, DocField::FilterExt), "");
    EXPECT_EQ(DocStringField(kDocString, DocField::TypeId), "Tarvolin.Document");
    EXPECT_EQ(DocStringField(kDocString, DocField::TypeName), "Tarvo Document");
    EXPECT_EQ(DocStringField("Only", DocField::TypeName), "");
    EXPECT_EQ(DocStringField("", DocField::WindowTitle), "");
}

TEST(FrameTitle, ApplicationTitleThenDocumentTitle)
{
    EXPECT_EQ(ComposeFrameTitle("Tarvolin", "Untitled"), "Tarvolin - Untitled");
    EXPECT_EQ(ComposeFrameTitle("Tarvolin", "song.txt"), "Tarvolin - song.txt");
    EXPECT_EQ(ComposeFrameTitle("Tarvolin", ""), "Tarvolin");
}

TEST(MenuPrompt, TextBeforeTheLineFeed)
{
    EXPECT_EQ(PromptOf("Create a new document\nNew"), "Create a new document");
    EXPECT_EQ(PromptOf("Setup MIDI IN and ASIO driver"), "Setup MIDI IN and ASIO driver");
    EXPECT_EQ(PromptOf(""), "");
}

TEST(FileTitle, NameWithoutFolder)
{
    EXPECT_EQ(FileTitleOf("C:\\music\\song.tvo"), "song.tvo");
    EXPECT_EQ(FileTitleOf("/tmp/x/y"), "y");
    EXPECT_EQ(FileTitleOf("plain"), "plain");
    EXPECT_EQ(FileTitleOf("C:\\dir\\"), "");
}

struct CommandLineCase {
    const char* line;
    const char* file;
};

void PrintTo(const CommandLineCase& c, std::ostream* os)
{
    *os << "[" << c.line << "]";
}

class CommandLineTest : public testing::TestWithParam<CommandLineCase> {};

TEST_P(CommandLineTest, FirstArgumentThatIsNotAnOption)
{
    EXPECT_EQ(FileArgumentOf(GetParam().line), GetParam().file) << GetParam().line;
}

INSTANTIATE_TEST_SUITE_P(
    Lines, CommandLineTest,
    testing::Values(CommandLineCase{"", ""}, CommandLineCase{"   ", ""},
                    CommandLineCase{"song.tvo", "song.tvo"},
                    CommandLineCase{"\"C:\\My Music\\song.tvo\"", "C:\\My Music\\song.tvo"},
                    CommandLineCase{"/p song.tvo", "song.tvo"},
                    CommandLineCase{"--gtest_filter=X.* other", "other"},
                    CommandLineCase{"-Embedding", ""},
                    CommandLineCase{"a\"b c\"d e", "ab cd"},
                    CommandLineCase{"\"say \"\"hi\"\"\"", "say \"hi\""},
                    CommandLineCase{"\"\"", ""}));
