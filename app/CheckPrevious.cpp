#include "CheckPrevious.h"

#include "core/Assert.h"
#include "core/Text.h"

namespace cv {

std::string InstanceBlockName(const std::string& argv0) {
    std::string name = ReplaceAllText(argv0, "\\", "");
#ifndef _WIN32
    name = ReplaceAll(name, "/", "");
#endif
    return name;
}

TCheckPrevious::TCheckPrevious(std::shared_ptr<IInstanceBlock> blocks,
                               std::shared_ptr<IWindowActivator> windows, std::string argv0)
    : FBlocks(std::move(blocks)), FWindows(std::move(windows)), FArgv0(std::move(argv0)) {}

TCheckPrevious::~TCheckPrevious() { Finalize(); }

bool TCheckPrevious::CheckPreviousInstance(uint32_t mainWindow, int32_t maxInstances) {
    FName = InstanceBlockName(FArgv0);
    // The counter has no lock of its own; without this guard two instances starting in the
    // same instant could both read a count of 0 and both stay.
    auto guard = FBlocks->Guard(FName);
    bool existed = false;
    FMapping = FBlocks->Create(FName, sizeof(TInstanceInfo), existed);
    if (!FMapping)
        throw Exception(FBlocks->ErrorText(FBlocks->LastError()));
    if (!existed) {
        FView = FMapping->Map();
        if (!FView)
            throw Exception(FBlocks->ErrorText(FBlocks->LastError()));
        auto* info = static_cast<TInstanceInfo*>(FView->Data());
        info->MainWindow = mainWindow;
        info->InstanceCount = 1;
        FCounted = true;
        return false;
    }
    FOpened = FBlocks->Open(FName);
    if (!FOpened)
        return true;
    FView = FOpened->Map();
    if (!FView)
        return true;
    auto* info = static_cast<TInstanceInfo*>(FView->Data());
    if (maxInstances > info->InstanceCount) {
        info->MainWindow = mainWindow;
        ++info->InstanceCount;
        FCounted = true;
        return false;
    }
    FCounted = false;
    const uint32_t other = info->MainWindow;
    guard.reset();
    FWindows->RestoreAndRaise(other);
    return true;
}

void TCheckPrevious::Finalize() {
    if (FFinalized)
        return;
    FFinalized = true;
    if (FCounted && !FName.empty()) {
        auto guard = FBlocks->Guard(FName);
        if (auto handle = FBlocks->Open(FName))
            if (auto view = handle->Map())
                --static_cast<TInstanceInfo*>(view->Data())->InstanceCount;
        FCounted = false;
    }
    FView.reset();
    FOpened.reset();
    FMapping.reset();
    FName.clear();
}

} // namespace cv
