// The shared warning panel and the pool-size change event: what the label says, when the
// panel shows, and when the combo box turns red.
#include "support/TempFolder.h"

#include "config/SizeWarning.h"
#include "core/Assert.h"
#include "platform/FileSystem.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace cv;

namespace {

class PoolSizeChange : public ::testing::Test {
protected:
    void SetUp() override {
        File = Tmp.Dir() + "/kernel_params.par";
        WriteFileAtomic(File, "MEMORY_POOL_SIZE = 512\r\nMAX_PRIVATE_MEMORY_POOL_SIZE = 256\r\n");
        Editor = std::make_unique<TSysConfigParEditor>(File);
        Warning.OnChange = [this] { ++Changes; };
    }

    TSaveValue Edit(const std::string& text, int tag, bool running) {
        return PrivePoolSizeChange(*Editor, Warning, text, tag, running,
                                   [this](bool red) { Colours.push_back(red); });
    }

    cvtest::TTempFolder Tmp;
    std::string File;
    std::unique_ptr<TSysConfigParEditor> Editor;
    TSizeWarning Warning;
    std::vector<bool> Colours;
    int Changes = 0;
};

TEST_F(PoolSizeChange, ChangeWhileRunningWarnsAndChangingBackHidesAgain) {
    EXPECT_EQ(Edit("768", scpp_Memory_Pool_Size, true), value_changed);
    EXPECT_TRUE(Warning.Visible());
    EXPECT_EQ(Warning.LabelText(), "Requires Vornix restart");
    EXPECT_TRUE(Warning.FPrivBoolSizeChanged);
    EXPECT_GT(Changes, 0);

    EXPECT_EQ(Edit("512", scpp_Memory_Pool_Size, true), value_ok);
    EXPECT_FALSE(Warning.Visible());
    EXPECT_FALSE(Warning.FPrivBoolSizeChanged);
}

TEST_F(PoolSizeChange, ChangeWhileStoppedWritesTheFileButShowsNothing) {
    EXPECT_EQ(Edit("1024", scpp_Memory_Pool_Size, false), value_changed);
    EXPECT_FALSE(Warning.Visible());
    EXPECT_FALSE(Warning.FPrivBoolSizeChanged);
    EXPECT_EQ(ReadFileBytes(File).value_or(""),
              "MEMORY_POOL_SIZE = 1024\r\nMAX_PRIVATE_MEMORY_POOL_SIZE = 256\r\n");
}

TEST_F(PoolSizeChange, StoppingTheServiceHidesTheRestartWarning) {
    Edit("1024", scpp_Memory_Pool_Size, true);
    ASSERT_TRUE(Warning.Visible());
    Warning.ServiceNotRunning();
    EXPECT_FALSE(Warning.Visible());
    EXPECT_FALSE(Warning.FPrivBoolSizeChanged);

    // A start takes the file's values as the original ones: the same value is no change.
    Editor->GetOriginalValues();
    EXPECT_EQ(Edit("1024", scpp_Memory_Pool_Size, true), value_ok);
    EXPECT_FALSE(Warning.Visible());
}

TEST_F(PoolSizeChange, RejectedTextTurnsRedAndShowsOutOfRangeEvenWhenStopped) {
    EXPECT_EQ(Edit("2561", scpp_Memory_Pool_Size, false), value_fail);
    EXPECT_EQ(Colours, (std::vector<bool>{false, true}));
    EXPECT_EQ(Warning.LabelText(), "Value out of range");
    EXPECT_TRUE(Warning.Visible());
    EXPECT_TRUE(Warning.FPrivPoolValueOutOfRange);
    EXPECT_EQ(Editor->GetParameter(scpp_Memory_Pool_Size), 512);

    // The next edit, in either box, clears the rejection.
    Colours.clear();
    EXPECT_EQ(Edit("256", scpp_Private_Pool_Size, false), value_ok);
    EXPECT_EQ(Colours, (std::vector<bool>{false}));
    EXPECT_FALSE(Warning.Visible());
    EXPECT_FALSE(Warning.FPrivPoolValueOutOfRange);
}

TEST_F(PoolSizeChange, BlanksAroundTheTextAreIgnored) {
    EXPECT_EQ(Edit("  384 ", scpp_Memory_Pool_Size, false), value_changed);
    EXPECT_EQ(Editor->GetParameter(scpp_Memory_Pool_Size), 384);
}

TEST_F(PoolSizeChange, TagSelectsTheParameterAndAnUnknownTagIsRejected) {
    EXPECT_EQ(Edit("512", scpp_Private_Pool_Size, false), value_changed);
    EXPECT_EQ(Editor->GetParameter(scpp_Private_Pool_Size), 512);
    EXPECT_EQ(Editor->GetParameter(scpp_Memory_Pool_Size), 512);
    EXPECT_EQ(Edit("512", 0, false), value_fail);
    EXPECT_EQ(Edit("512", 7, false), value_fail);
}

TEST_F(PoolSizeChange, OutOfRangePortKeepsItsLabelAndThePanel) {
    Warning.FPortValueOutOfRange = true;
    Warning.SetLabelText("Value out of range");
    EXPECT_EQ(Edit("768", scpp_Memory_Pool_Size, true), value_changed);
    EXPECT_EQ(Warning.LabelText(), "Value out of range");
    EXPECT_TRUE(Warning.Visible());
    EXPECT_EQ(Edit("512", scpp_Memory_Pool_Size, false), value_ok);
    EXPECT_EQ(Warning.LabelText(), "Value out of range");
    EXPECT_TRUE(Warning.Visible());
}

TEST_F(PoolSizeChange, FailedWriteClearsTheFlagsButLeavesThePanelAsItWas) {
    Edit("2561", scpp_Memory_Pool_Size, true);
    ASSERT_TRUE(Warning.Visible());
    TSysConfigParEditor unwritable(Tmp.Dir() + "/missing/p.par");
    EXPECT_THROW(PrivePoolSizeChange(unwritable, Warning, "512", scpp_Memory_Pool_Size, true),
                 cv::Exception);
    EXPECT_FALSE(Warning.FPrivPoolValueOutOfRange);
    EXPECT_TRUE(Warning.Visible());
    EXPECT_EQ(Warning.LabelText(), "Value out of range");
}

TEST(SizeWarning, NeededRule) {
    struct {
        bool Port, Pool, Changed, Running, Needed;
    } cases[] = {
        {false, false, false, true, false}, {true, false, false, false, true},
        {false, true, false, false, true},  {false, false, true, false, false},
        {false, false, true, true, true},
    };
    for (auto& c : cases) {
        TSizeWarning w;
        w.FPortValueOutOfRange = c.Port;
        w.FPrivPoolValueOutOfRange = c.Pool;
        w.FPrivBoolSizeChanged = c.Changed;
        EXPECT_EQ(w.SizeWarningNeeded(c.Running), c.Needed)
            << c.Port << c.Pool << c.Changed << c.Running;
    }
}

} // namespace
