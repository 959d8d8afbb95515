#pragma once
// One service command performed at construction. It waits until the service has reached the
// state asked for (or the bound has passed), so a script that stops and then starts the system
// finds it running; a failure is one line on standard error and the debug output.
#include "platform/ServiceManager.h"
#include "service/ServiceStatus.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace cv {

class TQuickCommand {
public:
    // `report` receives the line that says why a command failed.
    TQuickCommand(uint8_t code, std::shared_ptr<IServiceManager> manager,
                  std::function<void(const std::string&)> report = {},
                  int boundMs = TCvService::DefaultForceBoundMs);
    // Frees the service object, which stops its polling thread and waits for it.
    ~TQuickCommand() = default;

    // True when there was no command or the service reached its state.
    bool Succeeded() const { return FResult.Reached; }
    const std::string& Failure() const { return FResult.Reason; }
    // The process's exit status: 0 when the command succeeded, 1 otherwise.
    int ExitStatus() const { return Succeeded() ? 0 : 1; }

private:
    std::unique_ptr<TCvService> FService;
    TServiceCommandResult FResult{true, {}};
};

} // namespace cv
