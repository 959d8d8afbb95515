#include "shell/Controller.h"
#include "shell/DataStore.h"
#include "shell/Layout.h"
#include "shell/ViewLogic.h"

#include "platform/FileSystem.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace cv;

namespace {

// A roaming AppData folder of its own.
class TAppData : public cvtest::TTempFolder {
public:
    const std::string& Path() const { return Dir(); }
    std::string Current() const { return Dir() + "/Vekta/VornixControlPanel_Settings.xml"; }
    std::string Older() const { return Dir() + "/VornixControlPanel9_4Settings.xml"; }
    void Write(const std::string& path, const std::string& text) const {
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        std::ofstream(path) << text;
    }
    std::string Read(const std::string& path) const { return ReadFileBytes(path).value_or(""); }
};

struct TRecordingView : IControlPanelView {
    std::vector<std::tuple<uint8_t, std::string, int32_t>> Messages;
    int Positions = 0;
    TDialogLayout Last;
    void StatusUpdate(const std::string&, const std::string&) override {}
    void SysInfoUpdate(TSysInfo) override {}
    void AplStatesUpdate(const TApplicationStates*) override {}
    void ShowMessage(uint8_t kind, const std::string& text, int32_t eventNumber) override {
        Messages.emplace_back(kind, text, eventNumber);
    }
    void UpdatePosition(int32_t top, int32_t left, int32_t height, int32_t width, bool maximized,
                        bool runNotify, bool extended, bool productSetup, const std::string& source,
                        const std::string& target) override {
        ++Positions;
        Last.FTop = top;
        Last.FLeft = left;
        Last.FHeight = height;
        Last.FWidth = width;
        Last.FMaximized = maximized;
        Last.FRunNotify = runNotify;
        Last.FExtended = extended;
        Last.FProductSetup = productSetup;
        Last.FSource = source;
        Last.FTarget = target;
    }
};

// Rows handed in directly, as the reader's hand-over would.
class TFakeDataSource : public TDataSource {
public:
    TFakeDataSource() : TDataSource(dst_Local, "") {}
    int32_t GetRowCount() const override { return static_cast<int32_t>(Rows.size()); }
    const TRow* GetRow(int32_t i) const override {
        return i >= 0 && i < GetRowCount() ? &Rows[static_cast<size_t>(i)] : nullptr;
    }
    void Add(std::vector<TRowContents> batch) {
        int32_t from = GetRowCount();
        for (auto& c : batch)
            Rows.emplace_back(std::move(c));
        if (AfterAddData)
            AfterAddData(from, GetRowCount() - 1);
    }
    std::vector<TRow> Rows;
};

TRowContents Row(uint8_t severity, std::vector<std::string> lines) {
    TRowContents c;
    c.Severity = TSeverity(severity);
    c.Message = std::move(lines);
    return c;
}

} // namespace

TEST(Settings, FirstRunUsesDefaultsAndSavesAllTenAttributesInOrder) {
    TAppData appData;
    TRecordingView view;
    {
        TControlPanelController c(view, appData.Path());
        EXPECT_EQ(view.Positions, 1);
        EXPECT_EQ(std::make_tuple(view.Last.FLeft, view.Last.FTop, view.Last.FWidth,
                                  view.Last.FHeight, view.Last.FMaximized),
                  std::make_tuple(200, 200, 600, 300, false));
        EXPECT_EQ(view.Last.FSource, "C:;D:");
        EXPECT_EQ(view.Last.FTarget, "E:");
        c.SaveSettings(80, 120, 860, 980, false, true, false, "C:;D:", "E:");
    }
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_file(appData.Current().c_str()));
    auto root = doc.document_element();
    EXPECT_STREQ(root.name(), "VornixControlPanel");
    std::vector<std::pair<std::string, std::string>> attrs;
    for (auto a : root.attributes())
        attrs.emplace_back(a.name(), a.value());
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"Left", "120"},        {"Top", "80"},          {"Width", "980"},    {"Height", "860"},
        {"Maximized", "false"}, {"RunNotify", "true"},  {"Extended", "false"}, {"Target", "E:"},
        {"Source", "C:;D:"},    {"ProductSetup", "false"}};
    EXPECT_EQ(attrs, expected);
}

TEST(Settings, OlderReleaseFileIsMovedUnlessACurrentOneExists) {
    {
        TAppData appData;
        appData.Write(appData.Older(), "<VornixControlPanel Left=\"7\" Extended=\"true\"/>");
        TRecordingView view;
        TControlPanelController c(view, appData.Path());
        EXPECT_EQ(view.Last.FLeft, 7);
        EXPECT_TRUE(view.Last.FExtended);
        EXPECT_FALSE(FileExists(appData.Older()));
        EXPECT_TRUE(FileExists(appData.Current()));
    }
    {
        TAppData appData;
        appData.Write(appData.Older(), "<VornixControlPanel Left=\"7\"/>");
        appData.Write(appData.Current(), "<VornixControlPanel Left=\"9\"/>");
        TRecordingView view;
        TControlPanelController c(view, appData.Path());
        EXPECT_EQ(view.Last.FLeft, 9);
        EXPECT_TRUE(FileExists(appData.Older())) << "the older file stays where it is";
    }
}

TEST(Settings, MaximisedCloseKeepsTheRectangleAndOtherContentSurvives) {
    TAppData appData;
    appData.Write(appData.Current(),
                  "<?xml version=\"1.0\"?>\n<!-- kept -->\n<VornixControlPanel Left=\"10\" "
                  "Top=\"20\" Width=\"900\" Height=\"800\" ProductSetup=\"true\" Custom=\"x\">"
                  "<Child/></VornixControlPanel>");
    TRecordingView view;
    {
        TControlPanelController c(view, appData.Path());
        EXPECT_TRUE(view.Last.FProductSetup);
        c.SaveSettings(0, 0, 1024, 1280, true, false, true, "C:", "F:");
    }
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_file(appData.Current().c_str()));
    auto root = doc.document_element();
    EXPECT_EQ(root.attribute("Left").as_int(), 10);
    EXPECT_EQ(root.attribute("Top").as_int(), 20);
    EXPECT_EQ(root.attribute("Width").as_int(), 900);
    EXPECT_EQ(root.attribute("Height").as_int(), 800);
    EXPECT_STREQ(root.attribute("Maximized").value(), "true");
    EXPECT_STREQ(root.attribute("ProductSetup").value(), "true") << "read, never changed";
    EXPECT_STREQ(root.attribute("Custom").value(), "x");
    EXPECT_TRUE(root.child("Child"));
    EXPECT_STREQ(root.attribute("Target").value(), "F:");
}

TEST(Settings, UnreadableFileGivesDefaultsAndAttributeSpellings) {
    TAppData appData;
    appData.Write(appData.Current(), "<VornixControlPanel Left=");
    TRecordingView view;
    TControlPanelController c(view, appData.Path());
    EXPECT_EQ(view.Last.FLeft, 200);

    pugi::xml_document doc;
    auto n = doc.append_child("x");
    struct {
        const char* text;
        bool def;
        bool expected;
    } bools[] = {{"true", false, true},  {"TRUE", false, true}, {"False", true, false},
                 {"1", false, true},     {"-7", false, true},   {"0", true, false},
                 {"yes", true, true},    {"yes", false, false}, {"", true, true}};
    for (auto& b : bools) {
        n.remove_attribute("B");
        n.append_attribute("B").set_value(b.text);
        EXPECT_EQ(ReadBoolAttribute(n, "B", b.def), b.expected) << b.text;
    }
    n.append_attribute("I").set_value("12x");
    EXPECT_EQ(ReadIntAttribute(n, "I", 5), 5);
    EXPECT_EQ(ReadIntAttribute(pugi::xml_node(), "I", 6), 6);
    EXPECT_EQ(ReadStringAttribute(n, "missing", "d"), "d");
}

TEST(Controller, OnlyFatalRowsOfABatchBecomeMessages) {
    TAppData appData;
    TRecordingView view;
    TControlPanelController c(view, appData.Path());
    auto ds = std::make_unique<TFakeDataSource>();
    auto* fake = ds.get();
    c.SetDataSource(std::move(ds));
    fake->Add({Row(4, {"info"}), Row(1, {"disk", "full"}), Row(2, {"error"}), Row(5, {})});
    ASSERT_EQ(view.Messages.size(), 1u);
    EXPECT_EQ(view.Messages[0], std::make_tuple(uint8_t(1), std::string("disk - full"), 0));
    fake->AfterAddData(5, 4); // last below first: nothing
    fake->AfterAddData(7, 9); // indexes without rows are skipped
    EXPECT_EQ(view.Messages.size(), 1u);
}

TEST(MessageBar, KindsColoursAndTheSplitText) {
    EXPECT_FALSE(ComputeMessageBar(1, "x", 0).Show);
    EXPECT_FALSE(ComputeMessageBar(3, "x", 0).Show);
    EXPECT_TRUE(ComputeMessageBar(4, "x", 0).Show);
    EXPECT_EQ(ComputeMessageBar(1, "x", 5).Colour, (TRgb{247, 140, 98}));
    EXPECT_EQ(ComputeMessageBar(2, "x", 5).Colour, (TRgb{247, 213, 98}));
    auto info = ComputeMessageBar(3, "x", 5);
    EXPECT_EQ(info.Colour, (TRgb{70, 117, 160}));
    EXPECT_EQ(info.TextColour, (TRgb{255, 255, 255}));

    auto help = ComputeMessageBar(2, "first\r\nsecond", 12001);
    EXPECT_EQ(help.Label, "first");
    EXPECT_EQ(help.HelpContext, "\r\nsecond") << "CR LF gives an empty piece between the lines";
    EXPECT_TRUE(help.ShowHelpContext);
    EXPECT_TRUE(help.ShowHelpImage);

    auto below = ComputeMessageBar(2, "first\nsecond", 11999);
    EXPECT_EQ(below.HelpContext, "second");
    EXPECT_FALSE(below.ShowHelpContext);
    EXPECT_FALSE(below.ShowHelpImage);
    auto single = ComputeMessageBar(2, "one line", 12000);
    EXPECT_EQ(single.Label, "one line");
    EXPECT_FALSE(single.ShowHelpContext);
    EXPECT_TRUE(single.ShowHelpImage);
}

TEST(ApplicationsTree, NodesByNumberAndHints) {
    TApplicationStates s;
    s.SetAN(12, "WEB");
    s.SetAN(3, "MAIN");
    s.SetAS(3, as_Hot);
    s.SetSP(3, sp_Hot_Send);
    s.SetAN(7, "ALARMS");
    s.SetAS(7, as_Warm);
    auto nodes = BuildApplicationNodes(s);
    ASSERT_EQ(nodes.size(), 3u);
    EXPECT_EQ(nodes[0].Text, "3: MAIN");
    EXPECT_EQ(nodes[1].Text, "7: ALARMS");
    EXPECT_EQ(nodes[2].Text, "12: WEB");
    EXPECT_EQ(std::make_pair(nodes[0].ImageIndex, nodes[0].SelectedIndex), std::make_pair(5, 10));
    EXPECT_EQ(ApplicationHint(5, 10), "Hot Shadowing phase: HOT_SEND");
    EXPECT_EQ(ApplicationHint(4, 6), "Warm");
    EXPECT_EQ(ApplicationHint(3, 14), "Cold Shadowing phase: HOT_RECEIVE");
    EXPECT_EQ(ApplicationHint(0, 0), "");
}

TEST(WindowRect, StoredRectanglesAreFittedToTheMonitorsThereAre) {
    const TScreenRect primary{0, 0, 1280, 860};
    const TScreenRect second{1280, 0, 1920, 1040};
    const int64_t maxInt = 2147483647;
    struct {
        const char* Name;
        TScreenRect Stored;
        std::vector<TScreenRect> Monitors;
        TScreenRect Fitted;
    } cases[] = {
        {"inside stays", {20, 20, 921, 825}, {primary}, {20, 20, 921, 825}},
        {"huge", {0, 0, maxInt, maxInt}, {primary}, {0, 0, 1280, 860}},
        {"huge from far away", {maxInt, maxInt, maxInt, maxInt}, {primary}, {0, 0, 1280, 860}},
        {"negative size", {20, 20, -5, -300}, {primary}, {20, 20, 260, 540}},
        {"zero size", {20, 20, 0, 0}, {primary}, {20, 20, 260, 540}},
        {"partly off to the right", {1000, 20, 921, 825}, {primary}, {359, 20, 921, 825}},
        {"negative position", {-3000, -100, 921, 825}, {primary}, {0, 0, 921, 825}},
        {"off every screen", {5000, 5000, 921, 825}, {primary}, {359, 35, 921, 825}},
        {"on a second monitor", {1500, 100, 1800, 1000}, {primary, second}, {1400, 40, 1800, 1000}},
        {"second monitor gone", {1500, 100, 1800, 1000}, {primary}, {0, 0, 1280, 860}},
        {"mostly on the second", {1200, 0, 900, 800}, {primary, second}, {1280, 0, 900, 800}},
        {"monitor below the minimum", {50, 50, 921, 825}, {{0, 0, 200, 400}}, {0, 0, 260, 540}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FitWindowRect(c.Stored, c.Monitors, 260, 540), c.Fitted) << c.Name;
}
