// The Product Setup list over small product.xml files, with the window's controls and its
// question played by fakes.
#include "config/ProductComponents.h"

#include "core/Assert.h"
#include "platform/FileSystem.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <map>
#include <optional>

using namespace cv;

namespace {

class TFakeCheckBox final : public IProductCheckBox {
public:
    TFakeCheckBox(const TProductCheckBoxProps& props, IProductCheckBoxEvents& events)
        : Props(props), FChecked(props.Checked), FEvents(events) {}
    int32_t Tag() const override { return Props.Tag; }
    bool Checked() const override { return FChecked; }
    void SetCheckedQuietly(bool checked) override { FChecked = checked; }
    std::string Hint() const override { return Props.Hint; }

    // As a user's click: the tick flips, then the click event runs.
    void Click() {
        ASSERT_TRUE(Props.Enabled) << Props.Caption << " cannot be clicked";
        FChecked = !FChecked;
        FEvents.OnProductComponentClick(*this);
    }
    void Hover() { FEvents.OnMouseOver(*this); }
    void Leave() { FEvents.OnMouseLeave(*this); }
    std::string Describe() const {
        return std::string(FChecked ? "[x] " : "[ ] ") + Props.Caption + (Props.Enabled ? "" : " (mandatory)");
    }

    TProductCheckBoxProps Props;

private:
    bool FChecked;
    IProductCheckBoxEvents& FEvents;
};

class TFakeScrollBox final : public IProductScrollBox {
public:
    void FreeControls() override { Boxes.clear(); }
    void AddCheckBox(const TProductCheckBoxProps& props, IProductCheckBoxEvents& events) override {
        Boxes.push_back(std::make_unique<TFakeCheckBox>(props, events));
    }
    std::vector<IProductCheckBox*> CheckBoxes() override {
        std::vector<IProductCheckBox*> out;
        for (auto& b : Boxes)
            out.push_back(b.get());
        return out;
    }
    std::vector<std::unique_ptr<TFakeCheckBox>> Boxes;
};

class TFakeWindow final : public IProductSetupControls {
public:
    IProductScrollBox* FindScrollBox() override { return HasScrollBox ? &ScrollBox : nullptr; }
    bool SetDetailLabel(const std::string& name, const std::string& caption) override {
        auto it = Labels.find(name);
        if (it == Labels.end())
            return false;
        it->second = caption;
        return true;
    }
    TDependencyAnswer AskDependencies(const std::string& question) override {
        Questions.push_back(question);
        EXPECT_FALSE(Answers.empty()) << "not expected: " << question;
        if (Answers.empty())
            return da_Cancel;
        const TDependencyAnswer a = Answers.front();
        Answers.pop_front();
        return a;
    }
    void ShowRefusal(const std::string& text) override { Refusals.push_back(text); }

    bool HasScrollBox = true;
    TFakeScrollBox ScrollBox;
    std::map<std::string, std::string> Labels = {{ProductNameLabel, "N/A"},
                                                 {ProductDependencyLabel, "N/A"},
                                                 {ProductDetailsLabel, "N/A"}};
    std::deque<TDependencyAnswer> Answers;
    std::vector<std::string> Questions;
    std::vector<std::string> Refusals;
};

std::string Xml(const std::string& tasks) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<ProductTasks>\r\n" + tasks +
           "</ProductTasks>\r\n";
}

class ProductComponentsTest : public ::testing::Test {
protected:
    std::string Services() const { return FTemp.Dir() + "/Services"; }
    std::string File() const { return FTemp.Dir() + "/Services/Resources/product.xml"; }
    void Write(const std::string& bytes) {
        std::filesystem::create_directories(FTemp.Dir() + "/Services/Resources");
        WriteFileAtomic(File(), bytes);
    }
    std::string Bytes() const { return ReadFileBytes(File()).value_or("<missing>"); }
    TProductComponents& Open() {
        FList = std::make_unique<TProductComponents>(FWindow, Services());
        return *FList;
    }
    TFakeCheckBox& Box(const std::string& name) {
        for (auto& b : FWindow.ScrollBox.Boxes)
            if (b->Props.Caption.rfind(name + " (", 0) == 0)
                return *b;
        ADD_FAILURE() << "no box " << name;
        return *FWindow.ScrollBox.Boxes.front();
    }
    std::vector<std::string> Boxes() const {
        std::vector<std::string> out;
        for (auto& b : FWindow.ScrollBox.Boxes)
            out.push_back(b->Describe());
        return out;
    }
    // The tasks as the file holds them now, in document order.
    std::string FileStates() const {
        std::string out;
        const TProductXml file = TProductXml::Load(File());
        for (const auto& e : file.Tasks())
            out += (out.empty() ? "" : " ") + e.TaskName + (e.CommentedOut ? ":off" : ":on");
        return out;
    }
    std::string RecordStates() const {
        std::string out;
        for (const auto& [index, r] : FList->Components())
            out += (out.empty() ? "" : " ") + r->ComponentName + (r->CommentedOut ? ":off" : ":on");
        return out;
    }

    cvtest::TTempFolder FTemp;
    TFakeWindow FWindow;
    std::unique_ptr<TProductComponents> FList;
};

// ---------------------------------------------------------------- building the list

struct TListCase {
    const char* Name;
    std::optional<std::string> File; // none: no file at all
    std::vector<std::string> Boxes;
};

const TListCase ListCases[] = {
    {"OrdinalOrderPutsUpperCaseFirst",
     Xml("<Task taskName=\"alpha\">a.tsk</Task><Task taskName=\"Zeta\">z.tsk</Task>"
         "<Task taskName=\"Beta\">b.tsk</Task>"),
     {"[x] Beta (b.tsk)", "[x] Zeta (z.tsk)", "[x] alpha (a.tsk)"}},
    {"MandatoryIsAnyCaseOrANumber",
     Xml("<T taskName=\"A\" mandatory=\"TRUE\">a</T><T taskName=\"B\" mandatory=\"0\">b</T>"
         "<T taskName=\"C\" mandatory=\" 2 \">c</T><T taskName=\"D\" mandatory=\"False\">d</T>"
         "<!--<T taskName=\"E\" mandatory=\"true\">e</T>-->"),
     {"[x] A (a) (mandatory)", "[x] B (b)", "[x] C (c) (mandatory)", "[x] D (d)",
      "[ ] E (e) (mandatory)"}},
    {"SwitchedOffTasksComeFromCommentsHoldingOneElement",
     Xml("<Task taskName=\"On\">on.tsk</Task>\r\n"
         "<!--<Task taskName=\"Off\">off.tsk</Task>-->\r\n"
         "<!-- \r\n <Task taskName=\"Spaced\">spaced.tsk</Task>\r\n -->\r\n"
         "<!--<Task taskName=\"Two1\">1.tsk</Task><Task taskName=\"Two2\">2.tsk</Task>-->\r\n"
         "<!-- an ordinary comment -->\r\n"
         "<!--<?xml version=\"1.0\"?><Task taskName=\"Declared\">d.tsk</Task>-->\r\n"
         "<!--<Task taskName=\"Broken\">b.tsk</Tusk>-->\r\n<!---->\r\n"),
     {"[ ] Off (off.tsk)", "[x] On (on.tsk)", "[ ] Spaced (spaced.tsk)"}},
    {"OnlyElementsWithANameAndOneTextAreTasks",
     Xml("<Task>noname.tsk</Task><Task taskName=\"Empty\"/><Task taskName=\"Blank\"> </Task>"
         "<Task taskName=\"Cdata\"><![CDATA[c.tsk]]></Task>"
         "<Task taskName=\"Nested\"><File>n.tsk</File></Task>"
         "<Task taskName=\"Mixed\">m.tsk<!-- why --></Task>"
         "<Anything taskName=\"Renamed\" description=\"any element name\">r.tsk</Anything>"
         "<Group><Task taskName=\"Deep\">deep.tsk</Task></Group>"),
     {"[x] Renamed (r.tsk)"}},
    {"NoFileMeansNoList", std::nullopt, {}},
    {"MalformedFileMeansNoList", "<ProductTasks><Task taskName=\"A\">a.tsk</Task>", {}},
    {"EmptyFileMeansNoList", "", {}},
    {"WithoutProductTasksNothingIsListed",
     "<?xml version=\"1.0\"?><?ProductTasks x?><Tasks><Task taskName=\"A\">a</Task></Tasks>",
     {}},
    {"AMandatoryThatIsNoBooleanEmptiesTheList",
     Xml("<Task taskName=\"A\">a</Task><Task taskName=\"B\" mandatory=\"yes\">b</Task>"), {}},
};

void PrintTo(const TListCase& c, std::ostream* os) { *os << c.Name; }

class ProductListTest : public ProductComponentsTest,
                        public ::testing::WithParamInterface<TListCase> {};

TEST_P(ProductListTest, ShowsTheTasksInOrderWithTicksAndMandatoryBoxes) {
    const TListCase& c = GetParam();
    if (c.File)
        Write(*c.File);
    EXPECT_EQ(Open().CreateProductComponents(), !c.Boxes.empty()) << "built again";
    EXPECT_EQ(Boxes(), c.Boxes);
    for (size_t i = 0; i < FWindow.ScrollBox.Boxes.size(); ++i) {
        EXPECT_EQ(FWindow.ScrollBox.Boxes[i]->Tag(), static_cast<int32_t>(i));
        EXPECT_EQ(FList->Components()[i].second->Index, static_cast<int32_t>(i));
    }
    EXPECT_TRUE(FWindow.Questions.empty() && FWindow.Refusals.empty()) << "no message";
    if (c.File) {
        EXPECT_EQ(Bytes(), *c.File) << "reading changes nothing";
    }
}

INSTANTIATE_TEST_SUITE_P(Files, ProductListTest, ::testing::ValuesIn(ListCases),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST_F(ProductComponentsTest, RecordsCarryTheAttributesAndBoxesTheDescriptionAsHint) {
    Write(Xml("<Task taskName=\"A\" depends=\"B  C \" description=\"Does &amp; A\">dir\\a.tsk</Task>"
              "<Task taskName=\"B\" depends=\"\">b</Task>"));
    Open();
    const PProductComponent a = FList->FindComponentByName("a");
    ASSERT_TRUE(a) << "names are found ignoring letter case";
    EXPECT_EQ(a->Description, "Does & A");
    EXPECT_EQ(a->DefinitionFile, "dir\\a.tsk");
    EXPECT_EQ(a->Dependencies, (std::vector<std::string>{"B", "", "C", ""})) << "empty parts kept";
    EXPECT_TRUE(FList->FindComponentByName("B")->Dependencies.empty());
    EXPECT_EQ(Box("A").Hint(), "Does & A");
    EXPECT_EQ(FList->FindComponentByName("Z"), nullptr);
    EXPECT_EQ(FList->ProductXMLFile, Services() + "\\Resources\\product.xml");
}

TEST_F(ProductComponentsTest, WithoutTheScrollBoxNothingIsBuilt) {
    Write(Xml("<Task taskName=\"A\">a</Task>"));
    FWindow.HasScrollBox = false;
    EXPECT_FALSE(Open().CreateProductComponents());
    EXPECT_TRUE(FList->Components().empty());
}

// ---------------------------------------------------------------- hovering

TEST_F(ProductComponentsTest, HoverShowsNameDependenciesAndDetailsAndLeavingResetsThem) {
    Write(Xml("<Task taskName=\"A\" depends=\"B Nowhere\" description=\"Does A\">a</Task>"
              "<Task taskName=\"B\" mandatory=\"true\" description=\"Core of it all\">b</Task>"
              "<Task taskName=\"C\">c</Task>"));
    Open();
    struct {
        const char* Task;
        const char* Name;
        const char* Dependencies;
        const char* Details;
    } cases[] = {
        {"A", "A", "B\r\nNowhere", "Does A"},
        {"B", "B", "None", "Permanent product component.\r\nCore of it all"},
        {"C", "C", "None", ""},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.Task);
        Box(c.Task).Hover();
        EXPECT_EQ(FWindow.Labels[ProductNameLabel], c.Name);
        EXPECT_EQ(FWindow.Labels[ProductDependencyLabel], c.Dependencies);
        EXPECT_EQ(FWindow.Labels[ProductDetailsLabel], c.Details);
        Box(c.Task).Leave();
        for (auto& [name, text] : FWindow.Labels)
            EXPECT_EQ(text, "N/A") << name;
    }
    FWindow.Labels.erase(ProductDependencyLabel);
    Box("A").Hover();
    EXPECT_EQ(FWindow.Labels[ProductDetailsLabel], "Does A") << "a missing label is skipped";
}

// ---------------------------------------------------------------- switching with dependencies

const std::string DependencyFile =
    Xml("  <Task taskName=\"A\" depends=\"B C M Nowhere B A\">a.tsk</Task>\r\n"
        "  <Task taskName=\"B\">b.tsk</Task>\r\n"
        "  <!--<Task taskName=\"C\" depends=\"B M\">c.tsk</Task>-->\r\n"
        "  <Task taskName=\"M\" mandatory=\"true\">m.tsk</Task>\r\n"
        "  <!--<Task taskName=\"D\" depends=\"C B\">d.tsk</Task>-->\r\n"
        "  <!--<Task taskName=\"E\" depends=\"M\">e.tsk</Task>-->\r\n");

struct TClickCase {
    const char* Name;
    const char* Task;
    std::optional<TDependencyAnswer> Answer; // none: no question expected
    const char* Question;
    const char* After; // the file, the records and the ticks alike
};

const TClickCase ClickCases[] = {
    {"DisablingAsksAboutActiveDependenciesOnlyYes", "A", da_Yes,
     "This process has dependencies to other currently active product processes:\r\nB\r\n\r\n"
     "Do you want to disable also dependency processes?",
     "A:off B:off C:off M:on D:off E:off"},
    {"DisablingWithNoChangesTheTaskOnly", "A", da_No, nullptr, "A:off B:on C:off M:on D:off E:off"},
    {"CancelChangesNothing", "A", da_Cancel, nullptr, "A:on B:on C:off M:on D:off E:off"},
    {"EnablingAsksAboutDisabledDependenciesYes", "D", da_Yes,
     "This process has dependencies to other currently disabled product processes:\r\nC\r\n\r\n"
     "Do you want to enable also dependency processes?",
     "A:on B:on C:on M:on D:on E:off"},
    {"EnablingWithAllDependenciesActiveAsksNothing", "C", std::nullopt, nullptr,
     "A:on B:on C:on M:on D:off E:off"},
    {"AMandatoryDependencyIsNeverOffered", "E", std::nullopt, nullptr,
     "A:on B:on C:off M:on D:off E:on"},
};

void PrintTo(const TClickCase& c, std::ostream* os) { *os << c.Name; }

class ProductClickTest : public ProductComponentsTest,
                         public ::testing::WithParamInterface<TClickCase> {};

TEST_P(ProductClickTest, SwitchesTheTaskAndTheChosenDependencies) {
    const TClickCase& c = GetParam();
    Write(DependencyFile);
    Open();
    if (c.Answer)
        FWindow.Answers.push_back(*c.Answer);
    Box(c.Task).Click();
    EXPECT_EQ(FWindow.Questions.size(), c.Answer ? 1u : 0u);
    if (c.Question && !FWindow.Questions.empty()) {
        EXPECT_EQ(FWindow.Questions[0], c.Question);
    }
    EXPECT_EQ(FileStates(), c.After);
    // Records and boxes follow the file; the sorted order is the file's order here except M.
    std::string ticks;
    for (const char* name : {"A", "B", "C", "M", "D", "E"})
        ticks += std::string(ticks.empty() ? "" : " ") + name +
                 (Box(name).Checked() ? ":on" : ":off");
    EXPECT_EQ(ticks, c.After);
    std::string records;
    for (const char* name : {"A", "B", "C", "M", "D", "E"})
        records += std::string(records.empty() ? "" : " ") + name +
                   (FList->FindComponentByName(name)->CommentedOut ? ":off" : ":on");
    EXPECT_EQ(records, c.After);
    if (c.Answer == da_Cancel) {
        EXPECT_EQ(Bytes(), DependencyFile) << "not even rewritten";
    }
    EXPECT_FALSE(Box("M").Props.Enabled) << "a mandatory task cannot be clicked";
}

INSTANTIATE_TEST_SUITE_P(Dependencies, ProductClickTest, ::testing::ValuesIn(ClickCases),
                         [](const auto& info) { return std::string(info.param.Name); });

// ---------------------------------------------------------------- the file keeps its bytes

std::string Utf16(const std::string& ascii, bool bigEndian) {
    std::string out;
    for (char c : ascii) {
        out += bigEndian ? '\0' : c;
        out += bigEndian ? c : '\0';
    }
    return out;
}

std::string Utf32LE(const std::string& ascii) {
    std::string out;
    for (char c : ascii)
        out += std::string(1, c) + std::string(3, '\0');
    return out;
}

struct TRoundTripCase {
    const char* Name;
    std::string Bytes;
};

// Quoting, spacing, entities, line ends, comments and blank lines a person's editor leaves.
const std::string HandEdited =
    "<?xml version='1.0' encoding='utf-8' standalone=\"yes\"?>\r\n"
    "<!DOCTYPE ProductTasks>\r\n"
    "<!-- tasks of this installation -->\r\n"
    "<ProductTasks  version = '2'>\r\n"
    "\r\n"
    "\t<Task  taskName = 'Alarms'   depends=\"Kernel\"\r\n"
    "         description='Alarm &amp; event &#x73;erver'>alarms.tsk</Task >\r\n"
    "\r\n"
    "  <!-- drivers -->\n"
    "  <Task taskName=\"Modbus\" description=\"a &lt; b > c &quot;q&quot;\">drv\\mod&#98;us.tsk</Task>\n"
    "  <?keep this?>\r\n"
    "  <Task taskName=\"Kernel\" mandatory='1'>kernel.tsk</Task>\r"
    "</ProductTasks>\r\n"
    "<!-- trailing -->\r\n";

const TRoundTripCase RoundTripCases[] = {
    {"HandEditedUtf8", HandEdited},
    {"Utf8WithByteOrderMark", "\xEF\xBB\xBF" + HandEdited},
    {"Utf16LittleEndianWithByteOrderMark", "\xFF\xFE" + Utf16(HandEdited, false)},
    {"Utf16BigEndianWithByteOrderMark", "\xFE\xFF" + Utf16(HandEdited, true)},
    {"Utf16WithoutByteOrderMark", Utf16(HandEdited, false)},
    {"Utf32WithByteOrderMark", std::string("\xFF\xFE\0\0", 4) + Utf32LE(HandEdited)},
    {"Latin1",
     "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n<ProductTasks>\r\n"
     "  <Task taskName=\"Alarms\" description=\"Alarmierung f\xFCr Ger\xE4te\">alarms.tsk</Task>\r\n"
     "  <Task taskName=\"Modbus\">m\xF6" "dbus.tsk</Task>\r\n</ProductTasks>\r\n"},
    {"UndeclaredEightBitBytesKept",
     "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\r\n<ProductTasks>\r\n"
     "  <Task taskName=\"Alarms\" description=\"\x93quoted\x94\">alarms.tsk</Task>\r\n"
     "  <Task taskName=\"Modbus\">modbus.tsk</Task>\r\n</ProductTasks>\r\n"},
};

void PrintTo(const TRoundTripCase& c, std::ostream* os) { *os << c.Name; }

class ProductRoundTripTest : public ProductComponentsTest,
                             public ::testing::WithParamInterface<TRoundTripCase> {};

TEST_P(ProductRoundTripTest, OffAndOnAgainGivesBackTheFileByteForByte) {
    const std::string original = GetParam().Bytes;
    Write(original);
    Open();
    ASSERT_GE(FList->Components().size(), 2u);
    const std::string encoding = std::to_string(TProductXml::Load(File()).Encoding());
    for (const auto& [index, record] : FList->Components()) {
        if (record->Mandatory)
            continue;
        SCOPED_TRACE(record->ComponentName);
        FWindow.Answers = {da_No};
        Box(record->ComponentName).Click();
        const TProductXml off = TProductXml::Load(File());
        EXPECT_EQ(std::to_string(off.Encoding()), encoding) << "written in the encoding it was read in";
        const std::string before = TProductXml::Parse(original).Text();
        const std::string& after = off.Text();
        // Only "<!--" and "-->" came in, around the entry.
        ASSERT_EQ(after.size(), before.size() + 7);
        const size_t at = after.find("<!--<");
        ASSERT_NE(at, std::string::npos);
        const size_t close = after.find("-->", at);
        EXPECT_EQ(after.substr(0, at) + after.substr(at + 4, close - at - 4) + after.substr(close + 3),
                  before);
        EXPECT_FALSE(Box(record->ComponentName).Checked());
        FWindow.Answers = {da_No};
        Box(record->ComponentName).Click();
        EXPECT_EQ(Bytes(), original);
        EXPECT_TRUE(Box(record->ComponentName).Checked());
    }
}

INSTANTIATE_TEST_SUITE_P(Encodings, ProductRoundTripTest, ::testing::ValuesIn(RoundTripCases),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST_F(ProductComponentsTest, AFileThatDoesNotDecodeAsItStandsIsNotRewritten) {
    // A lone surrogate: what the parser reads could not be written back as it was.
    const std::string bytes = "\xFF\xFE" +
                              Utf16("<ProductTasks><Task taskName=\"A\">a</Task><!--", false) +
                              std::string("\x00\xD8", 2) + Utf16("--></ProductTasks>", false);
    Write(bytes);
    Open();
    ASSERT_EQ(Boxes(), std::vector<std::string>{"[x] A (a)"});
    EXPECT_THROW(Box("A").Click(), Exception);
    EXPECT_EQ(Bytes(), bytes);
}

// ---------------------------------------------------------------- refusals and failures

TEST_F(ProductComponentsTest, AnEntryHoldingDoubleHyphensIsNotSwitchedOff) {
    const std::string file = Xml("<Task taskName=\"A\" depends=\"B\" description=\"x -- y\">a</Task>"
                                 "<Task taskName=\"B\" description=\"b--\">b</Task>"
                                 "<Task taskName=\"C\" depends=\"B\">c</Task>");
    Write(file);
    Open();
    Box("A").Click();
    EXPECT_TRUE(FWindow.Questions.empty()) << "refused before anything is asked";
    EXPECT_EQ(FWindow.Refusals,
              std::vector<std::string>{"The process A cannot be disabled: its entry contains '--'."});
    EXPECT_TRUE(Box("A").Checked());
    EXPECT_FALSE(FList->FindComponentByName("A")->CommentedOut);
    EXPECT_EQ(Bytes(), file);

    // Offered as a dependency and accepted: that one is refused, the clicked task goes off.
    FWindow.Answers = {da_Yes};
    Box("C").Click();
    EXPECT_EQ(FWindow.Refusals.back(), "The process B cannot be disabled: its entry contains '--'.");
    EXPECT_EQ(FileStates(), "A:on B:on C:off");
    EXPECT_TRUE(Box("B").Checked());
    EXPECT_FALSE(FList->FindComponentByName("B")->CommentedOut);
    EXPECT_FALSE(Box("C").Checked());
}

TEST_F(ProductComponentsTest, AFileGoneBeforeAClickRaisesAndKeepsTheNewTick) {
    Write(Xml("<Task taskName=\"A\">a</Task><!--<Task taskName=\"B\">b</Task>-->"));
    Open();
    std::filesystem::remove(File());
    for (const char* task : {"A", "B"}) {
        SCOPED_TRACE(task);
        const bool before = Box(task).Checked();
        try {
            Box(task).Click();
            ADD_FAILURE() << "no error";
        } catch (const Exception& e) {
            EXPECT_NE(std::string(e.what()).find("product.xml"), std::string::npos) << e.what();
        }
        EXPECT_EQ(Box(task).Checked(), !before) << "the box keeps the user's tick";
        EXPECT_EQ(FList->FindComponentByName(task)->CommentedOut, !before) << "the record does not";
        EXPECT_FALSE(FileExists(File()));
    }
    Write("<ProductTasks><Task taskName=\"A\">a</Task>");
    EXPECT_THROW(Box("A").Click(), Exception) << "no well-formed XML at a click";
    EXPECT_EQ(Bytes(), "<ProductTasks><Task taskName=\"A\">a</Task>");
}

TEST_F(ProductComponentsTest, AnEntryEditedAwayMeanwhileLeavesTheFileAndTakesTheNewState) {
    Write(Xml("<Task taskName=\"A\">a</Task><Task taskName=\"B\">b</Task>"));
    Open();
    // Another program rewrites the file: A is gone, B has a new description.
    const std::string edited = Xml("<Task taskName=\"B\" description=\"new\">b</Task>");
    Write(edited);
    Box("A").Click();
    EXPECT_EQ(Bytes(), edited);
    EXPECT_FALSE(Box("A").Checked());
    EXPECT_TRUE(FList->FindComponentByName("A")->CommentedOut);
    Box("B").Click();
    EXPECT_EQ(Bytes(), Xml("<!--<Task taskName=\"B\" description=\"new\">b</Task>-->"))
        << "the other program's edit is kept";
}

TEST_F(ProductComponentsTest, TwoTasksWithOneDefinitionFileAreOneEntryForSwitching) {
    // Entries are found by their definition file (ignoring letter case), first in the file
    // first: unticking A comments out B's element, which stands before A's.
    Write(Xml("<Task taskName=\"B\">Shared.tsk</Task><Task taskName=\"A\">shared.TSK</Task>"));
    Open();
    Box("A").Click();
    EXPECT_EQ(FileStates(), "B:off A:on");
    EXPECT_EQ(RecordStates(), "A:off B:on");
    EXPECT_FALSE(Box("A").Checked());
    EXPECT_TRUE(Box("B").Checked());
    Box("A").Click();
    EXPECT_EQ(FileStates(), "B:on A:on");
    EXPECT_EQ(RecordStates(), "A:on B:on");
}

TEST(ProductPaths, JoinedWithOneSeparatorAndAbsolutePartsReplacing) {
    struct {
        const char* Left;
        const char* Right;
        const char* Joined;
    } cases[] = {
        {"C:\\Corvane\\Services", "Resources", "C:\\Corvane\\Services\\Resources"},
        {"C:\\Corvane\\Services\\", "Resources", "C:\\Corvane\\Services\\Resources"},
        {"/opt/services/", "Resources", "/opt/services/Resources"},
        {"", "Resources", "Resources"},
        {"C:\\Corvane", "D:\\Elsewhere", "D:\\Elsewhere"},
        {"C:\\Corvane", "\\Root", "\\Root"},
        {"C:\\Corvane", "", "C:\\Corvane"},
    };
    for (auto& c : cases)
        EXPECT_EQ(CombinePath(c.Left, c.Right), c.Joined) << c.Left << " + " << c.Right;
}

} // namespace
