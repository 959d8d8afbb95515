#include "notify/SocketDataSource.h"

#include "core/MainThread.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace cv;

namespace {

// Never connects: the model is driven directly by the tests.
class TNoTcpClient : public ITcpClient {
public:
    std::unique_ptr<ITcpConnection> Connect(const std::string&, uint16_t) override { return {}; }
};

class StatusModel : public ::testing::Test {
protected:
    void SetUp() override {
        SetMainThread();
        ds = std::make_unique<TSocketDataSource>("", 100, std::make_shared<TNoTcpClient>(),
                                                 TDebugOutput{});
        ds->OnStatusUpdate = [this](const std::string& k, const std::string& v) {
            log.push_back("status " + k + "=" + v);
        };
        ds->OnAplStatesUpdate = [this](const TApplicationStates&) { log.push_back("apl"); };
        ds->OnSysInfoUpdate = [this](TSysInfo) { log.push_back("sysinfo"); };
        ds->BeforeDeleteData = [this] { log.push_back("before delete"); };
        ds->AfterDeleteData = [this](int32_t n) {
            log.push_back("after delete " + std::to_string(n));
        };
        ds->BeforeAddData = [this] { log.push_back("before add"); };
        ds->AfterAddData = [this](int32_t a, int32_t b) {
            log.push_back("after add " + std::to_string(a) + " " + std::to_string(b));
        };
    }

    void Process(TStatusPairs pairs) {
        log.clear();
        ds->ProcessStatusUpdates(pairs);
    }

    bool Raised(const std::string& what) const {
        return std::find(log.begin(), log.end(), what) != log.end();
    }

    // Returns the rows the limit deleted, which come back to the caller to free.
    TRows AddRows(int n) {
        TRows rows;
        for (int i = 0; i < n; ++i) {
            TRowContents c;
            c.SequenceNumber = ++sequence;
            rows.push_back(std::make_unique<TRow>(c));
        }
        log.clear();
        ds->AppendRows(rows);
        return rows;
    }

    std::unique_ptr<TSocketDataSource> ds;
    std::vector<std::string> log;
    int64_t sequence = 0;
};

} // namespace

TEST_F(StatusModel, ANewDataSourceIsLocalAndEmpty) {
    EXPECT_EQ(ds->Host(), "localhost");
    EXPECT_EQ(ds->DataSourceType(), dst_Local);
    EXPECT_EQ(ds->Name(), "");
    EXPECT_EQ(ds->GetRowCount(), 0);
    EXPECT_EQ(ds->GetRow(0), nullptr);
    EXPECT_EQ(ds->GetRow(-1), nullptr);
    EXPECT_EQ(ds->SysInfo().StartupDateTime, 0.0);
    EXPECT_EQ(ds->GetApplicationState(1), TApplicationStateInfo{});
}

TEST_F(StatusModel, ApplicationKeys) {
    struct Case {
        const char* name;
        TStatusPairs pairs;
        bool event;
        std::vector<std::pair<int32_t, TApplicationStateInfo>> states;
    } cases[] = {
        {"state creates the entry",
         {{"SYS.APL.3.MAIN.AS", "warm"}},
         true,
         {{3, {"MAIN", as_Warm, sp_None}}}},
        {"name key then phase key: the key's name wins",
         {{"SYS.APL.3.MAIN.AN", "Main station"}, {"SYS.APL.3.MAIN.SP", "HOT_SEND"}},
         true,
         {{3, {"MAIN", as_Cold, sp_Hot_Send}}}},
        {"phase key then name key: the value wins",
         {{"SYS.APL.3.MAIN.SP", "HOT_SEND"}, {"SYS.APL.3.MAIN.AN", "Main station"}},
         true,
         {{3, {"Main station", as_Cold, sp_Hot_Send}}}},
        {"names are upper-cased, attributes compared in upper case",
         {{"SYS.APL.12.web.as", "Hot"}, {"SYS.APL.12.web.sp", "to_hot_receive"}},
         true,
         {{12, {"WEB", as_Hot, sp_To_Hot_Receive}}}},
        {"every phase in order",
         {{"SYS.APL.1.A.SP", "NONE"},
          {"SYS.APL.2.A.SP", "TO_WARM_SEND"},
          {"SYS.APL.3.A.SP", "WARM_SEND"},
          {"SYS.APL.4.A.SP", "TO_HOT_SEND"},
          {"SYS.APL.5.A.SP", "HOT_SEND"},
          {"SYS.APL.6.A.SP", "TO_WARM_RECEIVE"},
          {"SYS.APL.7.A.SP", "WARM_RECEIVE"},
          {"SYS.APL.8.A.SP", "TO_HOT_RECEIVE"},
          {"SYS.APL.9.A.SP", "HOT_RECEIVE"}},
         true,
         {{1, {"A", as_Cold, sp_None}},
          {2, {"A", as_Cold, sp_To_Warm_Send}},
          {3, {"A", as_Cold, sp_Warm_Send}},
          {4, {"A", as_Cold, sp_To_Hot_Send}},
          {5, {"A", as_Cold, sp_Hot_Send}},
          {6, {"A", as_Cold, sp_To_Warm_Receive}},
          {7, {"A", as_Cold, sp_Warm_Receive}},
          {8, {"A", as_Cold, sp_To_Hot_Receive}},
          {9, {"A", as_Cold, sp_Hot_Receive}}}},
        {"unknown state value", {{"SYS.APL.3.MAIN.AS", "LUKEWARM"}}, false, {}},
        {"number not digits", {{"SYS.APL.X.MAIN.AS", "HOT"}}, false, {}},
        {"empty number", {{"SYS.APL..MAIN.AS", "HOT"}}, false, {}},
        {"no name part", {{"SYS.APL.3.AS", "HOT"}}, false, {}},
        {"empty name", {{"SYS.APL.3..AS", "HOT"}}, false, {}},
        {"signed number", {{"SYS.APL.+3.MAIN.AS", "HOT"}}, false, {}},
        {"value not trimmed", {{"SYS.APL.3.MAIN.AS", "HOT "}}, false, {}},
        {"unknown phase", {{"SYS.APL.3.MAIN.SP", "SIDEWAYS"}}, false, {}},
        {"number beyond 32 bits", {{"SYS.APL.99999999999.MAIN.AS", "HOT"}}, false, {}},
        {"unknown attribute still raises the event", {{"SYS.APL.3.MAIN.XY", "1"}}, true, {}},
        {"prefix is case-sensitive", {{"sys.apl.3.MAIN.AS", "HOT"}}, false, {}},
        {"prefix alone", {{"SYS.APL.", "HOT"}}, false, {}},
        {"a bad pair leaves the rest of the batch",
         {{"SYS.APL.99999999999.MAIN.AS", "HOT"}, {"SYS.APL.5.ALARMS.AS", "HOT"}},
         true,
         {{5, {"ALARMS", as_Hot, sp_None}}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ds->ClearApplicationStates();
        Process(c.pairs);
        for (const auto& [k, v] : c.pairs)
            EXPECT_TRUE(Raised("status " + k + "=" + v)) << k;
        EXPECT_EQ(Raised("apl"), c.event);
        EXPECT_FALSE(Raised("sysinfo"));
        EXPECT_EQ(ds->ApplicationStates().ApplicationStates().size(), c.states.size());
        for (const auto& [n, info] : c.states)
            EXPECT_EQ(ds->GetApplicationState(n), info) << n;
    }
}

TEST_F(StatusModel, SystemInformationKeys) {
    Process({{"SYS.INFO.PACKAGE", "  Corvane Pro 9 \t"},
             {"SYS.INFO.BASESYSTEM", "B7"},
             {"SYS.INFO.SYSTEMID", "S-1"},
             {"SYS.INFO.CUSTOMER", "C"},
             {"SYS.INFO.SITE", "Plant"},
             {"SYS.INFO.KEY", "K"},
             {"SYS.INFO.CERTIFICATE", "0A:1B"},
             {"SYS.INFO.STARTUP", "2024-03-01 08:15:30"}});
    EXPECT_EQ(std::count(log.begin(), log.end(), "sysinfo"), 1);
    const TSysInfo& s = ds->SysInfo();
    EXPECT_EQ(s.Package, "Corvane Pro 9");
    EXPECT_EQ(s.BaseSystem, "B7");
    EXPECT_EQ(s.SystemID, "S-1");
    EXPECT_EQ(s.Customer, "C");
    EXPECT_EQ(s.Site, "Plant");
    EXPECT_EQ(s.Key, "K");
    EXPECT_EQ(s.CertificateSerial, "0A:1B");
    EXPECT_EQ(s.StartupTime, "2024-03-01 08:15:30");
    EXPECT_EQ(s.StartupDateTime, EncodeDateTime(2024, 3, 1, 8, 15, 30, 0));

    Process({{"SYS.INFO.STARTUP", "   "}});
    EXPECT_TRUE(Raised("sysinfo"));
    EXPECT_EQ(ds->SysInfo().StartupTime, "");
    EXPECT_EQ(ds->SysInfo().StartupDateTime, 0.0);

    // Separators are not examined.
    Process({{"SYS.INFO.STARTUP", "2024/03/01_08.15.30"}});
    EXPECT_EQ(ds->SysInfo().StartupDateTime, EncodeDateTime(2024, 3, 1, 8, 15, 30, 0));

    // No real date: the text is kept, there is no start-up time, and the batch goes on.
    for (const char* bad : {"2024-02-30 08:15:30", "soon", "2024-03-01 25:00:00"}) {
        SCOPED_TRACE(bad);
        Process({{"SYS.INFO.STARTUP", "2024-03-01 08:15:30"}});
        Process({{"SYS.INFO.STARTUP", bad}, {"SYS.INFO.SITE", "After"}});
        EXPECT_TRUE(Raised("sysinfo"));
        EXPECT_EQ(ds->SysInfo().StartupTime, bad);
        EXPECT_EQ(ds->SysInfo().StartupDateTime, 0.0);
        EXPECT_EQ(ds->SysInfo().Site, "After");
    }

    for (const char* key :
         {"sys.info.PACKAGE", "SYS.INFO.package", "SYS.INFO.", "SYS.INFO.OTHER"}) {
        SCOPED_TRACE(key);
        Process({{key, "X"}});
        EXPECT_TRUE(Raised(std::string("status ") + key + "=X"));
        EXPECT_FALSE(Raised("sysinfo"));
        EXPECT_EQ(ds->SysInfo().Package, "Corvane Pro 9");
    }
}

TEST_F(StatusModel, BatchEventsComeOnceEachApplicationsFirst) {
    Process({{"SYS.INFO.SITE", "A"},
             {"SYS.APL.1.MAIN.AS", "HOT"},
             {"OTHER", "x"},
             {"SYS.APL.2.SCADA.AS", "WARM"},
             {"SYS.INFO.SITE", "B"}});
    std::vector<std::string> expected = {"status SYS.INFO.SITE=A",
                                         "status SYS.APL.1.MAIN.AS=HOT",
                                         "status OTHER=x",
                                         "status SYS.APL.2.SCADA.AS=WARM",
                                         "status SYS.INFO.SITE=B",
                                         "apl",
                                         "sysinfo"};
    EXPECT_EQ(log, expected);
}

TEST_F(StatusModel, AHandlerThatRaisesCostsOnlyItsPair) {
    ds->OnStatusUpdate = [](const std::string& k, const std::string&) {
        if (k == "BOOM")
            throw Exception("handler failed");
    };
    Process({{"BOOM", ""}, {"SYS.APL.1.MAIN.AS", "HOT"}});
    EXPECT_EQ(ds->GetApplicationState(1).State, as_Hot);
    EXPECT_TRUE(Raised("apl"));
}

TEST_F(StatusModel, RowLimitTrimsInBlocksOfATenth) {
    AddRows(100);
    EXPECT_EQ(log, (std::vector<std::string>{"before add", "after add 0 99"}));
    TRows deleted = AddRows(1);
    EXPECT_EQ(log, (std::vector<std::string>{"before delete", "after delete 11", "before add",
                                             "after add 89 89"}));
    ASSERT_EQ(deleted.size(), 11u);
    EXPECT_EQ(deleted.front()->SequenceNumber(), 1);
    EXPECT_EQ(deleted.back()->SequenceNumber(), 11);
    ASSERT_EQ(ds->GetRowCount(), 90);
    EXPECT_EQ(ds->GetRow(0)->SequenceNumber(), 12);
    EXPECT_EQ(ds->GetRow(89)->SequenceNumber(), 101);

    // A batch above the limit empties the old rows and stays above it until the next batch.
    AddRows(150);
    EXPECT_EQ(log[1], "after delete 90");
    EXPECT_EQ(log[3], "after add 0 149");
    EXPECT_EQ(ds->GetRowCount(), 150);

    // An empty batch still trims back and reports an empty range.
    AddRows(0);
    EXPECT_EQ(log, (std::vector<std::string>{"before delete", "after delete 60", "before add",
                                             "after add 90 89"}));
    EXPECT_EQ(ds->GetRowCount(), 90);
}

TEST(Row, AllLinesCombined) {
    TRowContents c;
    EXPECT_EQ(TRow(c).AllLinesCombined(), "");
    c.Message = {"one"};
    EXPECT_EQ(TRow(c).AllLinesCombined(), "one");
    c.Message = {"one", "two", "three"};
    EXPECT_EQ(TRow(c).AllLinesCombined(), "one - two - three");
}
