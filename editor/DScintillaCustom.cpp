#include "DScintillaCustom.h"

namespace cv {

namespace {
// Calls a handler through a copy, so the handler may replace itself while it runs.
template <typename F, typename... A> void Raise(const F& handler, A&&... args) {
    if (handler) {
        F copy = handler;
        copy(std::forward<A>(args)...);
    }
}
} // namespace

TDScintillaCustom::TDScintillaCustom(QWidget* Parent) : QsciScintillaBase(Parent) {
    connect(this, &QsciScintillaBase::SCN_STYLENEEDED, this,
            [this](int position) { Raise(OnStyleNeeded, position); });
    connect(this, &QsciScintillaBase::SCN_UPDATEUI, this,
            [this](int updated) { Raise(OnUpdateUI, updated); });
    connect(this, &QsciScintillaBase::SCN_MODIFIED, this,
            [this](int position, int modificationType, const char*, int length, int linesAdded, int,
                   int, int, int, int) {
                Raise(OnModified, TSciModification{position, modificationType, length, linesAdded});
            });
    connect(this, &QsciScintillaBase::SCN_SAVEPOINTREACHED, this,
            [this] { Raise(OnSavePointReached); });
    connect(this, &QsciScintillaBase::SCEN_CHANGE, this, [this] { Raise(OnChange); });
}

intptr_t TDScintillaCustom::Send(unsigned Message, uintptr_t WParam, intptr_t LParam) const {
    return SendScintilla(Message, static_cast<unsigned long>(WParam), static_cast<long>(LParam));
}

intptr_t TDScintillaCustom::SendPointer(unsigned Message, uintptr_t WParam,
                                        const void* LParam) const {
    return SendScintilla(Message, static_cast<unsigned long>(WParam), const_cast<void*>(LParam));
}

void* TDScintillaCustom::SendForPointer(unsigned Message) const {
    return SendScintillaPtrResult(Message);
}

} // namespace cv
