#pragma once
// The editing component as a widget. The component is linked into the program (no library is
// loaded at run time) and messages go straight to it. This base holds the one place that
// sends messages, and turns the component's notifications into the control's events.
#include "editor/DScintillaTypes.h"

#include <Qsci/qsciscintillabase.h>

#include <cstdint>
#include <functional>

namespace cv {

class TDScintillaCustom : public QsciScintillaBase {
public:
    explicit TDScintillaCustom(QWidget* Parent = nullptr);

    // Events. Each is optional, called only when set, and may be replaced or cleared from
    // inside its own call.
    // The component wants the text styled up to Position (container styling only).
    std::function<void(int Position)> OnStyleNeeded;
    // The display state changed; Updated holds SciUpdate* flags (2: the selection changed).
    std::function<void(int Updated)> OnUpdateUI;
    // Text was inserted or deleted (as far as the modification event mask lets through).
    std::function<void(const TSciModification& Modification)> OnModified;
    // An undo or redo, or SetSavePoint, brought the text back to its saved state.
    std::function<void()> OnSavePointReached;
    // The text changed.
    std::function<void()> OnChange;

protected:
    // The component's message call has overloads that make (message, 0, 0) ambiguous and
    // narrow pointers to long on some platforms; every message goes through one of these.
    intptr_t Send(unsigned Message, uintptr_t WParam = 0, intptr_t LParam = 0) const;
    intptr_t SendPointer(unsigned Message, uintptr_t WParam, const void* LParam) const;
    // A message whose result is a pointer.
    void* SendForPointer(unsigned Message) const;
};

} // namespace cv
