// The parameter file editor: reading the two pool sizes, rewriting only their lines, and
// writing the file back byte for byte otherwise.
#include "support/TempFolder.h"

#include "config/SysConfigParEditor.h"
#include "core/Assert.h"
#include "platform/FileSystem.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <optional>
#include <string>

using namespace cv;

namespace {

struct TFileCase {
    const char* Name;
    std::optional<std::string> Before; // nullopt: no file
    TSysConfigParParameter Parameter;
    int32_t Shown; // GetParameter before the edit
    const char* Edit;
    std::string After; // the file's bytes after the save
};

const TFileCase FileCases[] = {
    {"LastOfSeveralLinesWinsCommentedOrNot",
     "MEMORY_POOL_SIZE = 512\r\n; other\r\n;MEMORY_POOL_SIZE = 1024\r\n", scpp_Memory_Pool_Size,
     1024, "768", "MEMORY_POOL_SIZE = 512\r\n; other\r\nMEMORY_POOL_SIZE = 768\r\n"},
    {"CommentKeptAfterOneBlankAndNameCanonical", "max_private_memory_pool_size=256;comment\r\n",
     scpp_Private_Pool_Size, 256, "512", "MAX_PRIVATE_MEMORY_POOL_SIZE = 512 ;comment\r\n"},
    {"TextAfterValueIsNoParameterLineSoANewLineIsAppended", "MEMORY_POOL_SIZE = 512 MB\r\n",
     scpp_Memory_Pool_Size, 256, "512", "MEMORY_POOL_SIZE = 512 MB\r\nMEMORY_POOL_SIZE = 512\r\n"},
    {"NonIntegerValueShowsDefaultAndIsReplaced", "x = 1\r\nMEMORY_POOL_SIZE = abc\r\ny = 2\r\n",
     scpp_Memory_Pool_Size, 256, "384", "x = 1\r\nMEMORY_POOL_SIZE = 384\r\ny = 2\r\n"},
    {"LeadingBlanksAndSemicolonsDroppedCommentKept",
     "  ;memory_pool_size=512   ; set by installer\r\n", scpp_Memory_Pool_Size, 512, "1024",
     "MEMORY_POOL_SIZE = 1024 ; set by installer\r\n"},
    {"MissingFileShowsDefaultAndIsCreatedWithOneLine", std::nullopt, scpp_Private_Pool_Size, 128,
     "256", "MAX_PRIVATE_MEMORY_POOL_SIZE = 256\r\n"},
    {"EmptyFileGetsTheLine", "", scpp_Memory_Pool_Size, 256, "300", "MEMORY_POOL_SIZE = 300\r\n"},
    {"AnyLineEndReadsAndCrLfIsWritten",
     "; head\n\nMEMORY_POOL_SIZE = 600\rTAIL = 1\r\n\r\nlast line without end",
     scpp_Memory_Pool_Size, 600, "700",
     "; head\r\n\r\nMEMORY_POOL_SIZE = 700\r\nTAIL = 1\r\n\r\nlast line without end\r\n"},
    {"AnsiBytesOfOtherLinesKept",
     "; Gr\xf6\xdf"
     "e \x80 \x81\r\nMEMORY_POOL_SIZE = 512\r\n",
     scpp_Memory_Pool_Size, 512, "2560",
     "; Gr\xf6\xdf"
     "e \x80 \x81\r\nMEMORY_POOL_SIZE = 2560\r\n"},
    {"OutOfRangeNumberInFileShownAsItIs", "MEMORY_POOL_SIZE = 9999\r\n", scpp_Memory_Pool_Size,
     9999, "256", "MEMORY_POOL_SIZE = 256\r\n"},
    {"TabsAndNoBlanksAroundEquals", "\tMEMORY_POOL_SIZE\t=600\t\r\n", scpp_Memory_Pool_Size, 600,
     "512", "MEMORY_POOL_SIZE = 512\r\n"},
    {"OtherParameterLineUntouched",
     "MEMORY_POOL_SIZE = 512   ; global\r\nMAX_PRIVATE_MEMORY_POOL_SIZE = 128\r\n",
     scpp_Private_Pool_Size, 128, "512",
     "MEMORY_POOL_SIZE = 512   ; global\r\nMAX_PRIVATE_MEMORY_POOL_SIZE = 512\r\n"},
    {"SimilarNamesAreOtherParameters",
     "MEMORY_POOL_SIZE_X = 900\r\nPRIVATE_MEMORY_POOL_SIZE = 300\r\n", scpp_Private_Pool_Size, 128,
     "200",
     "MEMORY_POOL_SIZE_X = 900\r\nPRIVATE_MEMORY_POOL_SIZE = 300\r\n"
     "MAX_PRIVATE_MEMORY_POOL_SIZE = 200\r\n"},
    {"SignedValueReadsAsInteger", "MEMORY_POOL_SIZE = +512\r\n", scpp_Memory_Pool_Size, 512, "512",
     "MEMORY_POOL_SIZE = 512\r\n"},
};

class ParameterFileCase : public ::testing::TestWithParam<TFileCase> {};

TEST_P(ParameterFileCase, ReadsEditsAndWritesBackByteForByte) {
    const TFileCase& c = GetParam();
    cvtest::TTempFolder tmp;
    const std::string file = tmp.Dir() + "/kernel_params.par";
    if (c.Before)
        WriteFileAtomic(file, *c.Before);

    TSysConfigParEditor editor(file);
    EXPECT_EQ(editor.GetParameter(c.Parameter), c.Shown);
    TSaveValue r = editor.TrySaveParameter(c.Edit, c.Parameter);
    EXPECT_NE(r, value_fail);
    EXPECT_EQ(ReadFileBytes(file).value_or("<no file>"), c.After);

    // What was written reads back as the edited value.
    TSysConfigParEditor again(file);
    EXPECT_EQ(again.GetParameter(c.Parameter), std::stoi(c.Edit));
}

INSTANTIATE_TEST_SUITE_P(Cases, ParameterFileCase, ::testing::ValuesIn(FileCases),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(SysConfigParEditor, MissingFileThenBothParametersAppendInEditOrder) {
    cvtest::TTempFolder tmp;
    const std::string file = tmp.Dir() + "/kernel_params.par";
    TSysConfigParEditor editor(file);
    EXPECT_EQ(editor.GetParameter(scpp_Memory_Pool_Size), 256);
    EXPECT_EQ(editor.GetParameter(scpp_Private_Pool_Size), 128);
    EXPECT_EQ(editor.TrySaveParameter("512", scpp_Private_Pool_Size), value_changed);
    EXPECT_EQ(editor.TrySaveParameter("1024", scpp_Memory_Pool_Size), value_changed);
    EXPECT_EQ(ReadFileBytes(file).value_or(""),
              "MAX_PRIVATE_MEMORY_POOL_SIZE = 512\r\nMEMORY_POOL_SIZE = 1024\r\n");
}

struct TRangeCase {
    TSysConfigParParameter Parameter;
    const char* Text;
    bool Accepted;
};

TEST(SysConfigParEditor, RangeAndTextValidation) {
    const TRangeCase cases[] = {
        {scpp_Memory_Pool_Size, "255", false},   {scpp_Memory_Pool_Size, "256", true},
        {scpp_Memory_Pool_Size, "2560", true},   {scpp_Memory_Pool_Size, "2561", false},
        {scpp_Memory_Pool_Size, "1000", true},   {scpp_Memory_Pool_Size, "-512", false},
        {scpp_Private_Pool_Size, "100", false},  {scpp_Private_Pool_Size, "127", false},
        {scpp_Private_Pool_Size, "128", true},   {scpp_Private_Pool_Size, "512", true},
        {scpp_Private_Pool_Size, "513", false},  {scpp_Private_Pool_Size, "300", true},
        {scpp_Memory_Pool_Size, "", false},      {scpp_Memory_Pool_Size, "abc", false},
        {scpp_Memory_Pool_Size, "512MB", false}, {scpp_Memory_Pool_Size, "99999999999", false},
        {scpp_Memory_Pool_Size, "5 12", false},  {scpp_Unknown, "256", false},
    };
    const std::string before =
        "; keep\r\nMEMORY_POOL_SIZE = 512\r\nMAX_PRIVATE_MEMORY_POOL_SIZE = 256\r\n";
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("parameter ") + std::to_string(c.Parameter) + " text '" + c.Text +
                     "'");
        cvtest::TTempFolder tmp;
        const std::string file = tmp.Dir() + "/p.par";
        WriteFileAtomic(file, before);
        TSysConfigParEditor editor(file);
        TSaveValue r = editor.TrySaveParameter(c.Text, c.Parameter);
        if (c.Accepted) {
            EXPECT_NE(r, value_fail);
            EXPECT_EQ(editor.GetParameter(c.Parameter), std::stoi(c.Text));
        } else {
            EXPECT_EQ(r, value_fail);
            EXPECT_EQ(ReadFileBytes(file).value_or(""), before) << "nothing may be written";
        }
    }
}

TEST(SysConfigParEditor, RejectedTextWritesNoFileWhenThereIsNone) {
    cvtest::TTempFolder tmp;
    const std::string file = tmp.Dir() + "/p.par";
    TSysConfigParEditor editor(file);
    EXPECT_EQ(editor.TrySaveParameter("2561", scpp_Memory_Pool_Size), value_fail);
    EXPECT_FALSE(FileExists(file));
}

TEST(SysConfigParEditor, ChangingBackToTheOriginalIsOkAgain) {
    cvtest::TTempFolder tmp;
    const std::string file = tmp.Dir() + "/p.par";
    WriteFileAtomic(file, "MEMORY_POOL_SIZE = 512\r\nMAX_PRIVATE_MEMORY_POOL_SIZE = 256\r\n");
    TSysConfigParEditor editor(file);
    EXPECT_EQ(editor.OriginalPoolSizes().GlobalPool, 512);
    EXPECT_EQ(editor.OriginalPoolSizes().MaxPrivatePool, 256);
    EXPECT_EQ(editor.TrySaveParameter("768", scpp_Memory_Pool_Size), value_changed);
    EXPECT_EQ(editor.TrySaveParameter("128", scpp_Private_Pool_Size), value_changed);
    EXPECT_EQ(editor.TrySaveParameter("512", scpp_Memory_Pool_Size), value_changed)
        << "the other parameter still differs";
    EXPECT_EQ(editor.TrySaveParameter("256", scpp_Private_Pool_Size), value_ok);
}

TEST(SysConfigParEditor, GetOriginalValuesRereadsTheFileAndTakesItsValues) {
    cvtest::TTempFolder tmp;
    const std::string file = tmp.Dir() + "/p.par";
    WriteFileAtomic(file, "MEMORY_POOL_SIZE = 512\r\n");
    TSysConfigParEditor editor(file);
    EXPECT_EQ(editor.TrySaveParameter("1024", scpp_Memory_Pool_Size), value_changed);
    editor.GetOriginalValues(); // the service starts with what the file holds now
    EXPECT_EQ(editor.OriginalPoolSizes().GlobalPool, 1024);
    EXPECT_EQ(editor.TrySaveParameter("1024", scpp_Memory_Pool_Size), value_ok);

    // Edits made by others before the re-read are taken up.
    WriteFileAtomic(file, "MEMORY_POOL_SIZE = 2048\r\n");
    editor.GetOriginalValues();
    EXPECT_EQ(editor.GetParameter(scpp_Memory_Pool_Size), 2048);
    EXPECT_EQ(editor.OriginalPoolSizes().GlobalPool, 2048);
    EXPECT_EQ(editor.OriginalPoolSizes().MaxPrivatePool, 128);
}

TEST(SysConfigParEditor, SetParameterDoesNotWriteTheFile) {
    cvtest::TTempFolder tmp;
    const std::string file = tmp.Dir() + "/p.par";
    WriteFileAtomic(file, "MEMORY_POOL_SIZE = 512\n");
    TSysConfigParEditor editor(file);
    editor.SetParameter(scpp_Memory_Pool_Size, 600);
    EXPECT_EQ(editor.GetParameter(scpp_Memory_Pool_Size), 600);
    EXPECT_EQ(ReadFileBytes(file).value_or(""), "MEMORY_POOL_SIZE = 512\n");
    editor.Save();
    EXPECT_EQ(ReadFileBytes(file).value_or(""), "MEMORY_POOL_SIZE = 600\r\n");
}

TEST(SysConfigParEditor, FailedWriteRaisesAndKeepsTheLineInMemory) {
    cvtest::TTempFolder tmp;
    const std::string file = tmp.Dir() + "/no such folder/p.par";
    TSysConfigParEditor editor(file);
    EXPECT_THROW(editor.TrySaveParameter("512", scpp_Memory_Pool_Size), cv::Exception);
    EXPECT_EQ(editor.GetParameter(scpp_Memory_Pool_Size), 512);
}

TEST(SysConfigParEditor, SaveReplacesTheFileWithoutLeavingATemporaryBeside) {
    cvtest::TTempFolder tmp;
    const std::string file = tmp.Dir() + "/p.par";
    WriteFileAtomic(file, "MEMORY_POOL_SIZE = 512\r\n");
    TSysConfigParEditor editor(file);
    editor.TrySaveParameter("600", scpp_Memory_Pool_Size);
    size_t entries = 0;
    for (auto& e : std::filesystem::directory_iterator(tmp.Dir())) {
        (void)e;
        ++entries;
    }
    EXPECT_EQ(entries, 1u);
}

} // namespace
