#pragma once
// Scenes for the demo's screenshots: each puts a fresh window on the sample installation into
// one state worth showing. A scene registers itself from its own file with CV_DEMO_SCENE.
#include "shell/ControlPanelUI.h"

#include <QString>
#include <QWidget>
#include <functional>
#include <string>

namespace cvdemo {

struct TScene {
    std::string Name;                        // the picture is saved as demo-NAME.png
    int SettleMs = 1500;                     // time for the window to follow after Prepare
    std::function<void(cv::TForm1&)> Prepare; // runs once the window is shown and the feed has settled
};

void RegisterScene(TScene scene);

struct TSceneRegistrar {
    TSceneRegistrar(const char* name, int settleMs, std::function<void(cv::TForm1&)> prepare) {
        RegisterScene({name, settleMs, std::move(prepare)});
    }
};

// Runs the event loop (and the hand-over) for a while.
void Wait(int ms);

template <class T = QWidget> T* Find(cv::TForm1& form, const char* name) {
    return form.findChild<T*>(QString::fromLatin1(name));
}

} // namespace cvdemo

#define CV_DEMO_SCENE_CAT2(a, b) a##b
#define CV_DEMO_SCENE_CAT(a, b) CV_DEMO_SCENE_CAT2(a, b)
// CV_DEMO_SCENE("editor", 1500) { ... form ... }
#define CV_DEMO_SCENE(name, settleMs)                                                          \
    static void CV_DEMO_SCENE_CAT(DemoScene_, __LINE__)(cv::TForm1 & form);                    \
    static const cvdemo::TSceneRegistrar CV_DEMO_SCENE_CAT(DemoSceneRegistrar_, __LINE__)(     \
        name, settleMs, CV_DEMO_SCENE_CAT(DemoScene_, __LINE__));                              \
    static void CV_DEMO_SCENE_CAT(DemoScene_, __LINE__)([[maybe_unused]] cv::TForm1 & form)
