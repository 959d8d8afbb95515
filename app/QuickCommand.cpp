#include "QuickCommand.h"

#include "CommandLine.h"

namespace cv {

TQuickCommand::TQuickCommand(uint8_t code, std::shared_ptr<IServiceManager> manager,
                             std::function<void(const std::string&)> report, int boundMs) {
    if (code != cmdStart && code != cmdStop)
        return;
    FService = std::make_unique<TCvService>(std::move(manager), TServiceStatusUpdate{}, boundMs);
    FResult = code == cmdStart ? FService->StartAndWait() : FService->StopAndWait();
    if (!FResult.Reached && report)
        report(std::string("Vornix Control Panel ") + (code == cmdStart ? "/Start" : "/Stop") +
               ": " + FResult.Reason);
}

} // namespace cv
