#pragma once
// One interactive instance per executable path and user session. The 8-byte block named
// after the executable path holds the window of the instance that registered last and the
// number of registered instances.
#include "platform/InstanceBlock.h"
#include "platform/WindowActivator.h"

#include <cstdint>
#include <memory>
#include <string>

namespace cv {

struct TInstanceInfo {
    uint32_t MainWindow;
    int32_t InstanceCount;
};
static_assert(sizeof(TInstanceInfo) == 8, "the block is exactly 8 bytes");

// The executable path with every "\" removed (on POSIX every "/" as well).
std::string InstanceBlockName(const std::string& argv0);

class TCheckPrevious {
public:
    TCheckPrevious(std::shared_ptr<IInstanceBlock> blocks, std::shared_ptr<IWindowActivator> windows,
                   std::string argv0);
    // The unit's finalisation: counts this process out once.
    ~TCheckPrevious();

    // True when this process must end because enough instances run already. Raises
    // cv::Exception with the system's message when the block cannot be created.
    bool CheckPreviousInstance(uint32_t mainWindow, int32_t maxInstances);
    void Finalize();
    bool Counted() const { return FCounted; }

private:
    std::shared_ptr<IInstanceBlock> FBlocks;
    std::shared_ptr<IWindowActivator> FWindows;
    std::string FArgv0;
    std::string FName;
    std::unique_ptr<IBlockHandle> FMapping;
    std::unique_ptr<IBlockHandle> FOpened;
    std::unique_ptr<IMappedBlock> FView;
    bool FCounted = false;
    bool FFinalized = false;
};

} // namespace cv
