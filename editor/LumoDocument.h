#pragma once
// What the Lumo styler needs of a document, and a document held in memory.
//
// The styler reads the text and writes styles, line states and indicators only through
// ILumoDocument. The editor control (TDScintilla) implements it over the editing component;
// TLumoMemoryDocument implements it for tests, fuzzing and benchmarks with the component's
// line model, and refuses every position outside the text so a faulty caller is caught.
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace cv {

class ILumoDocument {
public:
    virtual ~ILumoDocument() = default;

    // Length of the text in bytes.
    virtual int GetLength() const = 0;
    // The whole text, GetLength() contiguous bytes, valid until the text next changes.
    virtual const char* GetCharacterPointer() const = 0;

    // Lines end after a line feed, a carriage return + line feed, or a lone carriage return.
    // LineFromPosition takes 0 .. GetLength(); PositionFromLine 0 .. GetLineCount() - 1.
    virtual int GetLineCount() const = 0;
    virtual int LineFromPosition(int pos) const = 0;
    virtual int PositionFromLine(int line) const = 0;

    // Gives the `length` bytes from `pos` the styles in `styles`, in one step.
    virtual void SetStylingRun(int pos, int length, const char* styles) = 0;
    virtual void SetLineState(int line, int state) = 0;
    virtual int GetLineState(int line) const = 0;

    virtual void SetIndicatorCurrent(int indicator) = 0;
    // Fill or clear the current indicator over `length` bytes from `pos`.
    virtual void IndicatorFillRange(int pos, int length) = 0;
    virtual void IndicatorClearRange(int pos, int length) = 0;
};

class TLumoMemoryDocument final : public ILumoDocument {
public:
    static constexpr int IndicatorCount = 36;

    explicit TLumoMemoryDocument(std::string_view text = {});
    // New text: every style, line state and indicator goes back to 0.
    void SetText(std::string_view text);
    std::string_view Text() const { return {FText.get(), static_cast<size_t>(FLength)}; }

    int StyleAt(int pos) const;
    bool IndicatorAt(int indicator, int pos) const;
    // The runs of `indicator`, as [start, end) pairs in text order.
    std::vector<std::pair<int, int>> IndicatorRanges(int indicator) const;
    int IndicatorCurrent() const { return FIndicatorCurrent; }
    // Every call that wrote styles, in order: (position, length).
    const std::vector<std::pair<int, int>>& StylingRuns() const { return FRuns; }

    int GetLength() const override { return FLength; }
    const char* GetCharacterPointer() const override { return FText.get(); }
    int GetLineCount() const override { return static_cast<int>(FLineStarts.size()); }
    int LineFromPosition(int pos) const override;
    int PositionFromLine(int line) const override;
    void SetStylingRun(int pos, int length, const char* styles) override;
    void SetLineState(int line, int state) override;
    int GetLineState(int line) const override;
    void SetIndicatorCurrent(int indicator) override;
    void IndicatorFillRange(int pos, int length) override;
    void IndicatorClearRange(int pos, int length) override;

private:
    void CheckRange(int pos, int length, const char* what) const;
    void FillIndicator(int pos, int length, unsigned char value);

    // Exactly as many bytes as the text, so a read past its end is an error the sanitizers see.
    std::unique_ptr<char[]> FText;
    int FLength = 0;
    std::vector<int> FLineStarts;
    std::vector<unsigned char> FStyles;
    std::vector<int> FLineStates;
    std::vector<std::vector<unsigned char>> FIndicators;
    int FIndicatorCurrent = 0;
    std::vector<std::pair<int, int>> FRuns;
};

} // namespace cv
