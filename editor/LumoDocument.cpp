#include "LumoDocument.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace cv {

TLumoMemoryDocument::TLumoMemoryDocument(std::string_view text) {
    SetText(text);
}

void TLumoMemoryDocument::SetText(std::string_view text) {
    FLength = static_cast<int>(text.size());
    FText.reset(new char[text.size()]);
    if (!text.empty())
        std::memcpy(FText.get(), text.data(), text.size());
    FLineStarts.assign(1, 0);
    for (int i = 0; i < FLength; ++i) {
        const char c = FText[i];
        if (c == '\n' || (c == '\r' && (i + 1 >= FLength || FText[i + 1] != '\n')))
            FLineStarts.push_back(i + 1);
    }
    FStyles.assign(text.size(), 0);
    FLineStates.assign(FLineStarts.size(), 0);
    FIndicators.assign(IndicatorCount, {});
    FIndicatorCurrent = 0;
    FRuns.clear();
}

void TLumoMemoryDocument::CheckRange(int pos, int length, const char* what) const {
    if (pos < 0 || length < 0 || pos > FLength || length > FLength - pos)
        throw std::out_of_range(std::string(what) + ": range " + std::to_string(pos) + " + " +
                                std::to_string(length) + " outside a text of " +
                                std::to_string(FLength) + " bytes");
}

int TLumoMemoryDocument::StyleAt(int pos) const {
    CheckRange(pos, 1, "StyleAt");
    return FStyles[pos];
}

bool TLumoMemoryDocument::IndicatorAt(int indicator, int pos) const {
    CheckRange(pos, 1, "IndicatorAt");
    if (indicator < 0 || indicator >= IndicatorCount)
        throw std::out_of_range("IndicatorAt: no indicator " + std::to_string(indicator));
    const auto& runs = FIndicators[indicator];
    return !runs.empty() && runs[pos] != 0;
}

std::vector<std::pair<int, int>> TLumoMemoryDocument::IndicatorRanges(int indicator) const {
    std::vector<std::pair<int, int>> ranges;
    if (indicator < 0 || indicator >= IndicatorCount || FIndicators[indicator].empty())
        return ranges;
    const auto& on = FIndicators[indicator];
    for (int i = 0; i < FLength;) {
        if (!on[i]) {
            ++i;
            continue;
        }
        int end = i;
        while (end < FLength && on[end])
            ++end;
        ranges.emplace_back(i, end);
        i = end;
    }
    return ranges;
}

int TLumoMemoryDocument::LineFromPosition(int pos) const {
    CheckRange(pos, 0, "LineFromPosition");
    return static_cast<int>(std::upper_bound(FLineStarts.begin(), FLineStarts.end(), pos) -
                            FLineStarts.begin()) -
           1;
}

int TLumoMemoryDocument::PositionFromLine(int line) const {
    if (line < 0 || line >= GetLineCount())
        throw std::out_of_range("PositionFromLine: no line " + std::to_string(line));
    return FLineStarts[line];
}

void TLumoMemoryDocument::SetStylingRun(int pos, int length, const char* styles) {
    CheckRange(pos, length, "SetStylingRun");
    if (length > 0)
        std::memcpy(FStyles.data() + pos, styles, static_cast<size_t>(length));
    FRuns.emplace_back(pos, length);
}

void TLumoMemoryDocument::SetLineState(int line, int state) {
    if (line < 0 || line >= GetLineCount())
        throw std::out_of_range("SetLineState: no line " + std::to_string(line));
    FLineStates[line] = state;
}

int TLumoMemoryDocument::GetLineState(int line) const {
    if (line < 0 || line >= GetLineCount())
        throw std::out_of_range("GetLineState: no line " + std::to_string(line));
    return FLineStates[line];
}

void TLumoMemoryDocument::SetIndicatorCurrent(int indicator) {
    if (indicator < 0 || indicator >= IndicatorCount)
        throw std::out_of_range("SetIndicatorCurrent: no indicator " + std::to_string(indicator));
    FIndicatorCurrent = indicator;
}

void TLumoMemoryDocument::FillIndicator(int pos, int length, unsigned char value) {
    auto& on = FIndicators[FIndicatorCurrent];
    if (on.empty())
        on.assign(static_cast<size_t>(FLength), 0);
    std::fill_n(on.begin() + pos, length, value);
}

void TLumoMemoryDocument::IndicatorFillRange(int pos, int length) {
    CheckRange(pos, length, "IndicatorFillRange");
    FillIndicator(pos, length, 1);
}

void TLumoMemoryDocument::IndicatorClearRange(int pos, int length) {
    CheckRange(pos, length, "IndicatorClearRange");
    FillIndicator(pos, length, 0);
}

} // namespace cv
