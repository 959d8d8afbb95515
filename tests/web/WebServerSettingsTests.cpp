// The per-user copy of the web server's settings ("VornixWebSettings") and the computer name.
#include "web/WebServerSettings.h"

#include "platform/FileSystem.h"
#include "support/RecordingSystemInfo.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

using namespace cv;
using cvtest::TTempFolder;

namespace {

std::string SettingsFile(const TTempFolder& temp) {
    return temp.Dir() + "/Vekta/VornixWebSettings_Settings.xml";
}

std::string Root(const TTempFolder& temp) {
    pugi::xml_document doc;
    doc.load_file(SettingsFile(temp).c_str());
    std::string out;
    for (pugi::xml_attribute a : doc.document_element().attributes())
        out += std::string(out.empty() ? "" : " ") + a.name() + "=" + a.value();
    return std::string(doc.document_element().name()) + ": " + out;
}

void WriteSettings(const TTempFolder& temp, const std::string& xml) {
    std::filesystem::create_directories(temp.Dir() + "/Vekta");
    std::ofstream(SettingsFile(temp)) << xml;
}

TEST(WebServerSettings, ANewFileHoldsTheDefaultsForThisComputer) {
    TTempFolder temp;
    TWebServerSettings settings("pc1.plant.local", temp.Dir());
    EXPECT_EQ(
        Root(temp),
        "VornixWebSettings: Port=443 HostName=pc1.plant.local UseHTTPS=true RedirectHTTP=true");
    const TWebServerSettingField& f = settings.GetActiveSettings();
    EXPECT_EQ(f.Port(), 443);
    EXPECT_EQ(f.HostName(), "pc1.plant.local");
    EXPECT_TRUE(f.UseHTTPS());
    EXPECT_TRUE(f.ForwardHTTP());
    EXPECT_FALSE(f.UseLocalHostOnly());
}

TEST(WebServerSettings, AnExistingFileIsReadWithTheDefaultsOfMissingAttributes) {
    struct TCase {
        const char* Xml;
        int32_t Port;
        const char* Host;
        bool Https, Redirect;
    };
    const TCase cases[] = {
        // Missing Booleans read as false, unlike those of a new file.
        {"<VornixWebSettings/>", 443, "pc1.plant.local", false, false},
        {"<VornixWebSettings Port=\"8443\" HostName=\"web1\" UseHTTPS=\"TRUE\" "
         "RedirectHTTP=\"0\"/>",
         8443, "web1", true, false},
        {"<VornixWebSettings Port=\"x\" UseHTTPS=\"1\" RedirectHTTP=\"yes\"/>", 443,
         "pc1.plant.local", true, false},
        {"not xml at all", 443, "pc1.plant.local", false, false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Xml);
        TTempFolder temp;
        WriteSettings(temp, c.Xml);
        TWebServerSettings settings("pc1.plant.local", temp.Dir());
        const TWebServerSettingField& f = settings.GetActiveSettings();
        EXPECT_EQ(f.Port(), c.Port);
        EXPECT_EQ(f.HostName(), c.Host);
        EXPECT_EQ(f.UseHTTPS(), c.Https);
        EXPECT_EQ(f.ForwardHTTP(), c.Redirect);
    }
}

TEST(WebServerSettings, SavingKeepsWhatElseTheFileHoldsAndLoadingReadsItAgain) {
    TTempFolder temp;
    WriteSettings(temp, "<VornixWebSettings Theme=\"dark\"><Note>kept</Note></VornixWebSettings>");
    TWebServerSettings settings("pc1", temp.Dir());
    settings.SaveSettings(8443, "web.plant.local", false, true);
    EXPECT_EQ(Root(temp), "VornixWebSettings: Theme=dark Port=8443 HostName=web.plant.local "
                          "UseHTTPS=false RedirectHTTP=true");
    EXPECT_NE(ReadFileBytes(SettingsFile(temp)).value().find("<Note>kept</Note>"),
              std::string::npos);

    // Changed behind its back (another instance of the panel): LoadSettings sees it; a host
    // name taken away reads as the computer name again.
    WriteSettings(temp,
                  "<VornixWebSettings Port=\"81\" UseHTTPS=\"false\" RedirectHTTP=\"false\"/>");
    settings.LoadSettings();
    EXPECT_EQ(settings.GetActiveSettings().Port(), 81);
    EXPECT_EQ(settings.GetActiveSettings().HostName(), "pc1");
}

TEST(WebServerSettings, AFolderThatCannotBeWrittenKeepsTheDefaultsAndSavingRaises) {
    if (geteuid() == 0)
        GTEST_SKIP() << "root writes anywhere";
    TTempFolder temp;
    std::filesystem::create_directories(temp.Dir() + "/Vekta");
    chmod((temp.Dir() + "/Vekta").c_str(), 0500);
    TWebServerSettings settings("pc1", temp.Dir()); // the window must still open
    EXPECT_EQ(settings.GetActiveSettings().Port(), 443);
    EXPECT_ANY_THROW(settings.SaveSettings(8443, "pc1", true, true));
    chmod((temp.Dir() + "/Vekta").c_str(), 0700);
}

TEST(WebServerSettings, TheComputerNameLosesATrailingNullOnlyWhenLongerThanTwo) {
    const std::pair<std::string, std::string> cases[] = {
        {"pc1.plant.local", "pc1.plant.local"},
        {std::string("pc1\0", 4), "pc1"},
        {std::string("ab\0", 3), "ab"},
        {std::string("a\0", 2), std::string("a\0", 2)},
        {"", ""},
    };
    cvtest::TRecordingSystemInfo system;
    for (const auto& [given, expected] : cases) {
        system.Name = given;
        EXPECT_EQ(TWebServerSettings::GetMyComputerName(system), expected);
    }
}

} // namespace
