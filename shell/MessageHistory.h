#pragma once
// The messages the message bar was asked to show while the panel runs, newest first, so an
// administrator coming back to the screen sees what happened meanwhile. Holds the newest
// Capacity messages; the view reads it by row.
#include "core/DateTime.h"

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace cv {

struct TMessageHistoryEntry {
    TDateTime Time = 0;
    uint8_t Kind = 0; // the message bar's kind: 1 error, 2 warning, others information
    int32_t EventNumber = 0;
    std::string Text;
};

class TMessageHistory {
public:
    static constexpr size_t Capacity = 1000;
    // A longer text is kept up to this many bytes and marked as cut: 1000 messages stay a few
    // megabytes whatever a peer sends.
    static constexpr size_t MaxTextBytes = 32768;

    // Adds the message as the newest; returns true when the oldest went to make room.
    bool Add(uint8_t kind, const std::string& text, int32_t eventNumber, TDateTime time);
    void Clear() { FEntries.clear(); }
    // Makes room by hand (a view announces the removal before it happens).
    void DropOldest() {
        if (!FEntries.empty())
            FEntries.pop_back();
    }
    size_t Count() const { return FEntries.size(); }
    // Row 0 is the newest.
    const TMessageHistoryEntry& At(size_t row) const { return FEntries.at(row); }

    // The rows (any order, repeats and rows beyond the end ignored) as text for the clipboard,
    // newest first: time, severity, event number (empty for none) and text, tab-separated, one
    // row after the other with CR LF between them.
    std::string CopyText(std::vector<size_t> rows) const;

    static std::string SeverityText(uint8_t kind);
    static std::string TimeText(TDateTime time); // yyyy-mm-dd hh:nn:ss
    static std::string EventNumberText(int32_t eventNumber);

private:
    std::deque<TMessageHistoryEntry> FEntries;
};

} // namespace cv
