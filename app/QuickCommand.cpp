#include "QuickCommand.h"

#include "CommandLine.h"

namespace cv {

TQuickCommand::TQuickCommand(uint8_t code, std::shared_ptr<IServiceManager> manager) {
    if (code == cmdNone)
        return;
    FService = std::make_unique<TCvService>(std::move(manager));
    if (code == cmdStart)
        FService->Start();
    else if (code == cmdStop)
        FService->Stop();
}

} // namespace cv
