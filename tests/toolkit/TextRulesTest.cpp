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

TEST(FileFilters, IndexFollowsTheExtensionAndTypedNamesGetTheChosenOne)
{
    const char filters[] = "Bank (*.fxb)\0*.fxb\0Program (*.fxp)\0*.fxp\0All Files (*.*)\0*.*\0";
    EXPECT_EQ(FilterIndexFor(filters, "C:\\a\\Strings.FXP"), 2);
    EXPECT_EQ(FilterIndexFor(filters, "C:\\a.fxp\\Untitled"), 1);
    EXPECT_EQ(FilterIndexFor(filters, "song.txt"), 1);
    EXPECT_EQ(FilterIndexFor("", "a.fxp"), 1);

    EXPECT_EQ(WithFilterExtension("C:\\a\\Strings", filters, 2), "C:\\a\\Strings.fxp");
    EXPECT_EQ(WithFilterExtension("C:\\a.b\\Strings", filters, 1), "C:\\a.b\\Strings.fxb");
    EXPECT_EQ(WithFilterExtension("Strings.txt", filters, 1), "Strings.txt");
    EXPECT_EQ(WithFilterExtension("Strings", filters, 3), "Strings");  // "*.*" names none
    EXPECT_EQ(WithFilterExtension("Strings", filters, 9), "Strings");
}

TEST(MessageText, ReasonBecomesASecondSentence)
{
    EXPECT_EQ(TextWithReason("Failed.", "the file is truncated"), "Failed.\n\nThe file is truncated.");
    EXPECT_EQ(TextWithReason("Failed.", "Done."), "Failed.\n\nDone.");
    EXPECT_EQ(TextWithReason("Failed.", ""), "Failed.");
}
