#include "MessageHistory.h"

#include <algorithm>
#include <cstdio>

namespace cv {

namespace {

// Cut at a character boundary, never inside a UTF-8 sequence.
std::string Capped(const std::string& text) {
    if (text.size() <= TMessageHistory::MaxTextBytes)
        return text;
    size_t end = TMessageHistory::MaxTextBytes;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    return text.substr(0, end) + "\xE2\x80\xA6"; // an ellipsis marks the cut
}

} // namespace

bool TMessageHistory::Add(uint8_t kind, const std::string& text, int32_t eventNumber,
                          TDateTime time) {
    FEntries.push_front({time, kind, eventNumber, Capped(text)});
    if (FEntries.size() <= Capacity)
        return false;
    FEntries.pop_back();
    return true;
}

std::string TMessageHistory::CopyText(std::vector<size_t> rows) const {
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    std::string out;
    for (size_t row : rows) {
        if (row >= FEntries.size())
            break;
        const auto& e = FEntries[row];
        if (!out.empty())
            out += "\r\n";
        out += TimeText(e.Time) + '\t' + SeverityText(e.Kind) + '\t' +
               EventNumberText(e.EventNumber) + '\t' + e.Text;
    }
    return out;
}

std::string TMessageHistory::SeverityText(uint8_t kind) {
    // As the message bar colours them.
    switch (kind) {
    case 1:
        return "Error";
    case 2:
        return "Warning";
    default:
        return "Information";
    }
}

std::string TMessageHistory::TimeText(TDateTime time) {
    int y, m, d, h, n, s, ms;
    DecodeDateTime(time, y, m, d, h, n, s, ms);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", y, m, d, h, n, s);
    return buf;
}

std::string TMessageHistory::EventNumberText(int32_t eventNumber) {
    return eventNumber == 0 ? std::string() : std::to_string(eventNumber);
}

} // namespace cv
