#pragma once
// The window on a fresh sandbox per test, headless, with nobody listening on the log
// service's port: what the window tests share. A test's own fixture adds its files and helpers.
#include "shell/ControlPanelUI.h"

#include "support/Loopback.h"
#include "support/Sandbox.h"

#include <QString>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

namespace cvtest {

class TWindowFixture : public ::testing::Test {
protected:
    void SetUp() override {
        FSandbox = std::make_unique<TSandbox>();
        FSandbox->Activate();
        FOptions.LogServicePort = FreePort(); // nobody listens: the feed keeps connecting
        FOptions.ServicePollMs = 100;
    }
    void TearDown() override {
        FForm.reset();
        FSandbox.reset();
    }

    // The window made with FOptions and shown.
    cv::TForm1& Open() {
        FForm = std::make_unique<cv::TForm1>(cv::CreatePlatform(), FOptions);
        FForm->show();
        QTest::qWait(50);
        return *FForm;
    }

    template <class T = QWidget> T* Find(const char* name) const {
        auto* w = FForm->findChild<T*>(QString::fromLatin1(name));
        EXPECT_TRUE(w) << name;
        return w;
    }
    bool WaitFor(const std::function<bool()>& done, int ms = 15000) {
        return QTest::qWaitFor(done, ms);
    }

    std::string SettingsFile() const {
        return FSandbox->Dir() + "/AppData/Roaming/Vekta/VornixControlPanel_Settings.xml";
    }
    // The per-user settings file with these attributes on its root, as the window reads it
    // when it opens.
    void WriteSettings(const std::string& attributes) const {
        std::filesystem::create_directories(std::filesystem::path(SettingsFile()).parent_path());
        std::ofstream(SettingsFile()) << "<VornixControlPanel " << attributes << "/>";
    }

    std::unique_ptr<TSandbox> FSandbox;
    cv::TForm1::TOptions FOptions;
    std::unique_ptr<cv::TForm1> FForm;
};

} // namespace cvtest
