// Styling 1 MB. The Lumo styler in a real editing component, asked through the component's
// style-needed notification as the editor asks it, and called directly; the same styler on
// a document in memory (the scanner alone); and, as the peer, the component's own C++ lexer
// on 1 MB of C++ (this program's sources). Also the styling a keystroke on the last line of
// a 20,000-line program causes.
#include "editor/DScintilla.h"
#include "editor/LumoScanner.h"
#include "tests/editor/LumoCorpus.h"

#include <Qsci/qscilexercpp.h>
#include <Qsci/qsciscintilla.h>
#include <benchmark/benchmark.h>

#include <QApplication>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

constexpr size_t OneMB = 1 << 20;

// Whole lines, cut at the first line end at or after `bytes`.
std::string CutAfter(const std::string& text, size_t bytes) {
    const size_t end = text.find('\n', bytes);
    return end == std::string::npos ? text : text.substr(0, end + 1);
}

const std::string& LumoText() {
    static const std::string text = CutAfter(cvtest::GenerateLumoProgram(42, OneMB), OneMB);
    return text;
}

// This program's own C++ sources, repeated to 1 MB.
const std::string& CppText() {
    static const std::string text = [] {
        std::string all;
        for (const char* folder :
             {"core", "notify", "config", "service", "shell", "editor", "platform", "tests"}) {
            for (const auto& entry : std::filesystem::recursive_directory_iterator(
                     std::filesystem::path(VORNIX_SOURCE_DIR) / folder)) {
                const auto ext = entry.path().extension();
                if (ext != ".cpp" && ext != ".h")
                    continue;
                std::ifstream in(entry.path(), std::ios::binary);
                std::ostringstream s;
                s << in.rdbuf();
                all += s.str();
            }
        }
        std::string text;
        while (text.size() < OneMB && !all.empty())
            text += all;
        return CutAfter(text, OneMB);
    }();
    return text;
}

void AttachStyler(cv::TDScintilla& editor, cv::TLumoStylingScanner& styler) {
    editor.SetLexer(cv::SciLexerContainer);
    styler.ScintillaInstance(&editor);
    editor.OnStyleNeeded = [&editor, &styler](int position) {
        styler.StyleSect(editor.PositionFromLine(editor.LineFromPosition(editor.GetEndStyled())),
                         position);
    };
}

// The editor's way: the component finds the text unstyled and asks for styling.
void LumoInComponent(benchmark::State& state) {
    cv::TDScintilla editor;
    cv::TLumoStylingScanner styler;
    AttachStyler(editor, styler);
    editor.SetText(LumoText());
    for (auto _ : state)
        editor.Colourise(0, -1);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * LumoText().size()));
}
BENCHMARK(LumoInComponent)->Unit(benchmark::kMillisecond);

void LumoInComponentStyleSect(benchmark::State& state) {
    cv::TDScintilla editor;
    cv::TLumoStylingScanner styler;
    editor.SetLexer(cv::SciLexerContainer);
    styler.ScintillaInstance(&editor);
    editor.SetText(LumoText());
    for (auto _ : state)
        styler.StyleSect(0, editor.GetLength());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * LumoText().size()));
}
BENCHMARK(LumoInComponentStyleSect)->Unit(benchmark::kMillisecond);

void LumoInMemory(benchmark::State& state) {
    cv::TLumoMemoryDocument doc(LumoText());
    cv::TLumoStylingScanner styler;
    styler.ScintillaInstance(&doc);
    for (auto _ : state)
        styler.StyleSect(0, doc.GetLength());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * LumoText().size()));
}
BENCHMARK(LumoInMemory)->Unit(benchmark::kMillisecond);

// The peer: the component's C++ lexer styling the whole text.
void CppLexerInComponent(benchmark::State& state) {
    QsciScintilla editor;
    QsciLexerCPP lexer;
    editor.setLexer(&lexer);
    editor.setText(QString::fromUtf8(CppText().data(), static_cast<qsizetype>(CppText().size())));
    for (auto _ : state)
        editor.SendScintilla(QsciScintillaBase::SCI_COLOURISE, static_cast<unsigned long>(0),
                             static_cast<long>(-1));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * CppText().size()));
}
BENCHMARK(CppLexerInComponent)->Unit(benchmark::kMillisecond);

// A character typed at the end of the last line of a 20,000-line program, and the styling
// that follows, as far as the component asks for it.
void LumoKeystrokeOnLastLine(benchmark::State& state) {
    std::string program = cvtest::GenerateLumoProgram(7, 20000 * 40);
    size_t lines = 0;
    size_t cut = 0;
    while (lines < 20000 && (cut = program.find('\n', cut)) != std::string::npos) {
        ++cut;
        ++lines;
    }
    program.resize(cut - 2); // no line end after the last line
    cv::TDScintilla editor;
    cv::TLumoStylingScanner styler;
    AttachStyler(editor, styler);
    editor.SetText(program);
    editor.Colourise(0, -1);
    for (auto _ : state) {
        editor.InsertText(editor.GetLength(), "X");
        editor.Colourise(editor.GetEndStyled(), -1);
        state.PauseTiming();
        editor.DeleteRange(editor.GetLength() - 1, 1);
        editor.Colourise(editor.GetEndStyled(), -1);
        state.ResumeTiming();
    }
    state.counters["lines"] = static_cast<double>(editor.GetLineCount());
}
BENCHMARK(LumoKeystrokeOnLastLine)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
