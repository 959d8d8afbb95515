#pragma once
// One service command performed at construction, silently.
#include "platform/ServiceManager.h"
#include "service/ServiceStatus.h"

#include <cstdint>
#include <memory>

namespace cv {

class TQuickCommand {
public:
    TQuickCommand(uint8_t code, std::shared_ptr<IServiceManager> manager);
    // Frees the service object, which stops its polling thread and waits for it.
    ~TQuickCommand() = default;

private:
    std::unique_ptr<TCvService> FService;
};

} // namespace cv
