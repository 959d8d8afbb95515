#pragma once
#include "platform/ServiceManager.h"

namespace cv {

// The local Service Control Manager. Each object owns its SCM or service handle; the error
// code of a failed call is kept per thread, read right after the call.
class TWin32ServiceManager : public IServiceManager {
public:
    std::unique_ptr<IServiceManagerHandle> Open(uint32_t access) override;
    uint32_t LastError() const override;
};

} // namespace cv
