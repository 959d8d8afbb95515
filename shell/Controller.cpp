#include "Controller.h"

namespace cv {

TControlPanelController::TControlPanelController(IControlPanelView& view,
                                                 const TPlatform& platform,
                                                 uint16_t logServicePort)
    : FView(view) {
    SetDataSource(std::make_unique<TSocketDataSource>("", DataLimit, platform.Tcp,
                                                      platform.System, logServicePort));
    FApplicationSettings =
        std::make_unique<TAplSettings>(SettingsName, platform.System->RoamingAppData());
    LoadLayout();
}

TControlPanelController::TControlPanelController(IControlPanelView& view,
                                                 const std::string& appData)
    : FView(view) {
    FApplicationSettings = std::make_unique<TAplSettings>(SettingsName, appData);
    LoadLayout();
}

TControlPanelController::~TControlPanelController() {
    FDataSource.reset(); // stops the reader thread first
    FDialogLayout.reset();
    FApplicationSettings.reset();
}

void TControlPanelController::LoadLayout() {
    auto doc = FApplicationSettings->GetSettings();
    FDialogLayout = std::make_unique<TDialogLayout>(doc->document_element());
    const auto& l = *FDialogLayout;
    FView.UpdatePosition(l.FTop, l.FLeft, l.FHeight, l.FWidth, l.FMaximized, l.FRunNotify,
                         l.FExtended, l.FProductSetup, l.FSource, l.FTarget);
}

void TControlPanelController::SetDataSource(std::unique_ptr<TDataSource> dataSource) {
    FDataSource = std::move(dataSource);
    if (!FDataSource)
        return;
    FDataSource->OnEvent = [](TDataSourceEvent, const std::string&) {};
    FDataSource->OnStatusUpdate = [this](const std::string& key, const std::string& value) {
        FView.StatusUpdate(key, value);
    };
    FDataSource->OnSysInfoUpdate = [this](TSysInfo sysInfo) { FView.SysInfoUpdate(sysInfo); };
    FDataSource->OnAplStatesUpdate = [this](const TApplicationStates& states) {
        FView.AplStatesUpdate(&states);
    };
    FDataSource->AfterAddData = [this](int32_t from, int32_t to) { RowsAdded(from, to); };
}

void TControlPanelController::RowsAdded(int32_t fromIndex, int32_t toIndex) {
    for (int32_t i = fromIndex; i <= toIndex; ++i) {
        const TRow* row = FDataSource->GetRow(i);
        if (!row)
            continue;
        if (row->Severity() == TSeverity(1))
            FView.ShowMessage(1, row->AllLinesCombined(), 0);
    }
}

void TControlPanelController::SaveSettings(int32_t top, int32_t left, int32_t height,
                                           int32_t width, bool maximized, bool runNotify,
                                           bool extended, const std::string& source,
                                           const std::string& target) {
    auto& l = *FDialogLayout;
    if (!maximized) {
        l.FTop = top;
        l.FLeft = left;
        l.FHeight = height;
        l.FWidth = width;
    }
    l.FMaximized = maximized;
    l.FRunNotify = runNotify;
    l.FExtended = extended;
    l.FSource = source;
    l.FTarget = target;
    // Read-modify-write: whatever else the file holds survives.
    auto doc = FApplicationSettings->GetSettings();
    l.Save(doc->document_element());
    FApplicationSettings->SaveDocument(*doc);
}

} // namespace cv
