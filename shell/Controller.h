#pragma once
// Joins the live status feed and the per-user layout to the window, which it sees only
// through IControlPanelView. Holds no user-interface code.
#include "ControlPanelView.h"
#include "DataStore.h"
#include "Layout.h"
#include "notify/SocketDataSource.h"
#include "platform/Platform.h"

#include <memory>

namespace cv {

class TControlPanelController {
public:
    static constexpr const char* SettingsName = "VornixControlPanel";
    static constexpr int32_t DataLimit = 100;

    // Creates the local data source (its reader starts connecting at once), reads the layout
    // and hands it to the view once.
    TControlPanelController(IControlPanelView& view, const TPlatform& platform,
                            uint16_t logServicePort = LogServicePort);
    // For tests: no data source is created; install one with SetDataSource.
    TControlPanelController(IControlPanelView& view, const std::string& appData);
    virtual ~TControlPanelController();

    virtual void SetDataSource(std::unique_ptr<TDataSource> dataSource);
    void SaveSettings(int32_t top, int32_t left, int32_t height, int32_t width, bool maximized,
                      bool runNotify, bool extended, const std::string& source,
                      const std::string& target);

    TDataSource* DataSource() const { return FDataSource.get(); }
    const TDialogLayout& DialogLayout() const { return *FDialogLayout; }
    const TAplSettings& Settings() const { return *FApplicationSettings; }

private:
    void LoadLayout();
    void RowsAdded(int32_t fromIndex, int32_t toIndex);

    std::unique_ptr<TDataSource> FDataSource;
    std::unique_ptr<TAplSettings> FApplicationSettings;
    IControlPanelView& FView;
    std::unique_ptr<TDialogLayout> FDialogLayout;
};

} // namespace cv
