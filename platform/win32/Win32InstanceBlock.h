#pragma once
#include "platform/InstanceBlock.h"

namespace cv {

// Page-file-backed named mappings in the session's namespace; the guard is a named mutex
// beside the mapping. Error codes are kept per thread.
class TWin32InstanceBlock : public IInstanceBlock {
public:
    std::unique_ptr<IBlockHandle> Create(const std::string& name, uint32_t size,
                                         bool& alreadyExisted) override;
    std::unique_ptr<IBlockHandle> Open(const std::string& name) override;
    // Must be released on the thread that took it (a mutex belongs to a thread).
    std::unique_ptr<IScopedGuard> Guard(const std::string& name) override;
    uint32_t LastError() const override;
    std::string ErrorText(uint32_t code) const override;
};

} // namespace cv
