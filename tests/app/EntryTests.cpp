#include "app/CheckPrevious.h"
#include "app/CommandLine.h"

#include <gtest/gtest.h>

#include <map>

using namespace cv;

TEST(CommandLine, ExactSwitchesAndTheLastOneWins) {
    struct {
        std::vector<std::string> args;
        uint8_t code;
    } cases[] = {
        {{"Control.exe"}, cmdNone},
        {{"Control.exe", "/Start"}, cmdStart},
        {{"Control.exe", "/Stop"}, cmdStop},
        {{"Control.exe", "/Start", "/Stop"}, cmdStop},
        {{"Control.exe", "/Stop", "/Start"}, cmdStart},
        {{"Control.exe", "/start"}, cmdNone},
        {{"Control.exe", "/STOP"}, cmdNone},
        {{"Control.exe", "/Start", "/stop", "-x"}, cmdStart},
        {{"Control.exe", "Start", "/Start "}, cmdNone},
        {{"/Stop"}, cmdStop}, // argument 0 takes part in the scan
    };
    for (auto& c : cases)
        EXPECT_EQ(ScanCommandLine(c.args), c.code) << ::testing::PrintToString(c.args);
}

TEST(InstanceBlockName, SeparatorsAreRemoved) {
    EXPECT_EQ(InstanceBlockName("C:\\Program Files\\Vekta\\Control.exe"),
              "C:Program FilesVektaControl.exe");
#ifndef _WIN32
    EXPECT_EQ(InstanceBlockName("/opt/vornix/bin/Control"), "optvornixbinControl");
#endif
}

namespace {

// In-memory backends to check the counting logic in isolation.
struct TFakeBlocks : IInstanceBlock {
    struct TBlock {
        TInstanceInfo info{};
        int holders = 0;
    };
    std::map<std::string, TBlock> blocks;
    bool failCreate = false;
    bool failOpen = false;

    struct THandle : IBlockHandle {
        TFakeBlocks& owner;
        std::string name;
        THandle(TFakeBlocks& o, std::string n) : owner(o), name(std::move(n)) {
            ++owner.blocks[name].holders;
        }
        ~THandle() override {
            if (--owner.blocks[name].holders == 0)
                owner.blocks.erase(name);
        }
        struct TView : IMappedBlock {
            void* p;
            explicit TView(void* d) : p(d) {}
            void* Data() override { return p; }
        };
        std::unique_ptr<IMappedBlock> Map() override {
            return std::make_unique<TView>(&owner.blocks[name].info);
        }
    };
    std::unique_ptr<IBlockHandle> Create(const std::string& name, uint32_t,
                                         bool& existed) override {
        if (failCreate)
            return {};
        existed = blocks.count(name) > 0;
        return std::make_unique<THandle>(*this, name);
    }
    std::unique_ptr<IBlockHandle> Open(const std::string& name) override {
        if (failOpen || !blocks.count(name))
            return {};
        return std::make_unique<THandle>(*this, name);
    }
    struct TNoGuard : IScopedGuard {};
    std::unique_ptr<IScopedGuard> Guard(const std::string&) override {
        return std::make_unique<TNoGuard>();
    }
    uint32_t LastError() const override { return 8; }
    std::string ErrorText(uint32_t) const override { return "Not enough memory resources."; }
};

struct TFakeWindows : IWindowActivator {
    std::vector<uint32_t> raised;
    uint32_t Register(uintptr_t, std::function<void()>) override { return 0; }
    void Unregister() override {}
    void RestoreAndRaise(uint32_t h) override { raised.push_back(h); }
};

} // namespace

TEST(CheckPreviousInstance, FirstCountsSecondRaisesTheFirstAndLeavingCountsOut) {
    auto blocks = std::make_shared<TFakeBlocks>();
    auto windows = std::make_shared<TFakeWindows>();
    const std::string path = "C:\\Vekta\\Control.exe";
    auto first = std::make_unique<TCheckPrevious>(blocks, windows, path);
    EXPECT_FALSE(first->CheckPreviousInstance(0x1234, 1));
    EXPECT_TRUE(first->Counted());
    auto& info = blocks->blocks.at("C:VektaControl.exe").info;
    EXPECT_EQ(info.MainWindow, 0x1234u);
    EXPECT_EQ(info.InstanceCount, 1);

    {
        TCheckPrevious second(blocks, windows, path);
        EXPECT_TRUE(second.CheckPreviousInstance(0x5678, 1));
        EXPECT_FALSE(second.Counted());
        EXPECT_EQ(windows->raised, std::vector<uint32_t>{0x1234});
    }
    EXPECT_EQ(blocks->blocks.at("C:VektaControl.exe").info.InstanceCount, 1)
        << "a duplicate never touches the counter";

    {
        TCheckPrevious other(blocks, windows, "D:\\Copy\\Control.exe");
        EXPECT_FALSE(other.CheckPreviousInstance(0x9, 1)) << "another path is another instance";
    }

    first.reset(); // counts out, and the last holder's close discards the block
    EXPECT_EQ(blocks->blocks.count("C:VektaControl.exe"), 0u);
    TCheckPrevious again(blocks, windows, path);
    EXPECT_FALSE(again.CheckPreviousInstance(0x42, 1));
}

TEST(CheckPreviousInstance, MoreInstancesAllowedAndFailures) {
    auto blocks = std::make_shared<TFakeBlocks>();
    auto windows = std::make_shared<TFakeWindows>();
    TCheckPrevious a(blocks, windows, "x"), b(blocks, windows, "x"), c(blocks, windows, "x");
    EXPECT_FALSE(a.CheckPreviousInstance(1, 2));
    EXPECT_FALSE(b.CheckPreviousInstance(2, 2));
    EXPECT_EQ(blocks->blocks.at("x").info.MainWindow, 2u) << "the last registered window";
    EXPECT_TRUE(c.CheckPreviousInstance(3, 2));
    EXPECT_EQ(windows->raised, std::vector<uint32_t>{2});

    blocks->failOpen = true;
    TCheckPrevious d(blocks, windows, "x");
    EXPECT_TRUE(d.CheckPreviousInstance(4, 5)) << "an existing block that cannot be opened";
    EXPECT_EQ(windows->raised.size(), 1u) << "no window is brought forward then";

    blocks->failCreate = true;
    TCheckPrevious e(blocks, windows, "y");
    try {
        e.CheckPreviousInstance(5, 1);
        FAIL();
    } catch (const std::exception& ex) {
        EXPECT_STREQ(ex.what(), "Not enough memory resources.");
    }
}
