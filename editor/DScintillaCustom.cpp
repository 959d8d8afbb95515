#include "DScintillaCustom.h"

#include <QAccessible>
#include <QAccessibleWidget>

#include <set>

namespace cv {

namespace {

std::set<const QObject*>& LiveEditors() {
    static std::set<const QObject*> editors;
    return editors;
}

QAccessibleInterface* PlainWhileInactive(const QString& className, QObject* object) {
    if (QAccessible::isActive() || className != QLatin1String("QsciScintillaBase") ||
        !LiveEditors().count(object))
        return nullptr; // the component's own factory answers
    return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::EditableText);
}

// Drops the plain interfaces when accessibility comes on, so the next query builds the
// component's.
class TAccessibilityObserver final : public QAccessible::ActivationObserver {
public:
    void accessibilityActiveChanged(bool active) override {
        if (!active)
            return;
        for (const QObject* editor : LiveEditors()) {
            QAccessibleInterface* iface =
                QAccessible::queryAccessibleInterface(const_cast<QObject*>(editor));
            if (iface && !iface->textInterface())
                QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(iface));
        }
    }
};

void InstallAccessibilityGuard() {
    // After the component's factory (installed by its constructor), so ours is asked first.
    static const bool installed = [] {
        QAccessible::installFactory(PlainWhileInactive);
        QAccessible::installActivationObserver(
            new TAccessibilityObserver); // lives as long as the process
        return true;
    }();
    (void)installed;
}

// Calls a handler through a copy, so the handler may replace itself while it runs.
template <typename F, typename... A> void Raise(const F& handler, A&&... args) {
    if (handler) {
        F copy = handler;
        copy(std::forward<A>(args)...);
    }
}
} // namespace

TDScintillaCustom::TDScintillaCustom(QWidget* Parent) : QsciScintillaBase(Parent) {
    LiveEditors().insert(this);
    InstallAccessibilityGuard();
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

TDScintillaCustom::~TDScintillaCustom() {
    LiveEditors().erase(this);
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
