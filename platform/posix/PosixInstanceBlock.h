#pragma once
#include "platform/InstanceBlock.h"

namespace cv {

// The block is a file in the runtime folder, mapped shared. Every holder keeps a shared
// flock on it; a block whose file nobody holds (all holders closed it or died) counts as
// gone, so a crashed instance never keeps later starts out.
class TPosixInstanceBlock : public IInstanceBlock {
public:
    // `folder`: where the block files live; empty picks XDG_RUNTIME_DIR, /dev/shm or /tmp.
    explicit TPosixInstanceBlock(std::string folder = {});
    std::unique_ptr<IBlockHandle> Create(const std::string& name, uint32_t size,
                                         bool& alreadyExisted) override;
    std::unique_ptr<IBlockHandle> Open(const std::string& name) override;
    std::unique_ptr<IScopedGuard> Guard(const std::string& name) override;
    uint32_t LastError() const override;
    std::string ErrorText(uint32_t code) const override;

    std::string PathOf(const std::string& name) const;

private:
    std::string FFolder;
};

} // namespace cv
