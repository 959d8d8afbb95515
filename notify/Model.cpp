#include "Model.h"

namespace cv {

std::string TRow::AllLinesCombined() const {
    std::string out;
    for (size_t i = 0; i < FC.Message.size(); ++i) {
        if (i > 0)
            out += " - ";
        out += FC.Message[i];
    }
    return out;
}

TDataSource::TDataSource(TDataSourceType type, std::string name)
    : FName(std::move(name)), FDataSourceType(type) {
    ClearSearchState();
}

void TDataSource::ClearSearchState() {
    FTaggedCountInitialized = false;
    FTaggedCount = 0;
    FFindString.clear();
    FForceRetagging = false;
}

} // namespace cv
