#include "ProductSetupSection.h"

#include "ErrorDisplay.h"
#include "MessageDialog.h"
#include "Widgets.h"

#include <QCheckBox>
#include <QEnterEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace cv {

using namespace ui;

namespace {

// Labels and message boxes break lines at line feeds.
QString Lines(const std::string& text) {
    return QString::fromStdString(text).replace(QLatin1String("\r\n"), QLatin1String("\n"));
}

// One task's check box. Its Tag and hint are kept as the dynamic properties "Tag" and "Hint";
// the hint feeds the details box and is never shown as a tool tip.
class TProductCheckBox final : public QCheckBox, public IProductCheckBox {
public:
    TProductCheckBox(const TProductCheckBoxProps& props, QWidget* parent) : QCheckBox(parent) {
        setObjectName(QStringLiteral("ProductComponent%1").arg(props.Tag));
        // "&" is shown as it stands, not as a mnemonic.
        setText(QString::fromStdString(props.Caption).replace(QLatin1Char('&'), QLatin1String("&&")));
        setChecked(props.Checked);
        setEnabled(props.Enabled);
        setProperty("Tag", props.Tag);
        setProperty("Hint", QString::fromStdString(props.Hint));
        FTag = props.Tag;
        FHint = props.Hint;
    }

    // After the tick is set, so that building the list raises no clicks.
    void Connect(IProductCheckBoxEvents& events) {
        FEvents = &events;
        connect(this, &QCheckBox::clicked, this,
                [this] { Guarded([this] { FEvents->OnProductComponentClick(*this); }); });
    }

    int32_t Tag() const override { return FTag; }
    bool Checked() const override { return isChecked(); }
    void SetCheckedQuietly(bool checked) override {
        const QSignalBlocker quiet(this);
        setChecked(checked);
    }
    std::string Hint() const override { return FHint; }

protected:
    void enterEvent(QEnterEvent* event) override {
        QCheckBox::enterEvent(event);
        if (FEvents)
            Guarded([this] { FEvents->OnMouseOver(*this); });
    }
    void leaveEvent(QEvent* event) override {
        QCheckBox::leaveEvent(event);
        if (FEvents)
            Guarded([this] { FEvents->OnMouseLeave(*this); });
    }

private:
    // A failure (product.xml gone or unreadable at a click) goes to the general error display
    // from here rather than unwinding through the toolkit's event handling.
    template <class F> static void Guarded(F&& f) {
        try {
            f();
        } catch (const std::exception& e) {
            TVornixApplication::ShowException(QString::fromUtf8(e.what()));
        }
    }

    int32_t FTag = 0;
    std::string FHint;
    IProductCheckBoxEvents* FEvents = nullptr;
};

} // namespace

// The check boxes stack from the top of the scroll box's content in the order they are added.
class TProductSetupSection::TScrollBox final : public IProductScrollBox {
public:
    explicit TScrollBox(QScrollArea* area) : FArea(area) { NewContent(); }

    QScrollArea* Area() const { return FArea; }

    void FreeControls() override {
        delete FArea->takeWidget();
        NewContent();
    }

    void AddCheckBox(const TProductCheckBoxProps& props, IProductCheckBoxEvents& events) override {
        auto* content = FArea->widget();
        auto* layout = static_cast<QVBoxLayout*>(content->layout());
        auto* box = new TProductCheckBox(props, content);
        auto* row = new QHBoxLayout();
        row->setContentsMargins(10, 2, 0, 1);
        row->addWidget(box);
        layout->insertLayout(layout->count() - 1, row); // above the closing stretch
        box->Connect(events);
    }

    std::vector<IProductCheckBox*> CheckBoxes() override {
        std::vector<IProductCheckBox*> out;
        for (auto* box :
             FArea->widget()->findChildren<TProductCheckBox*>(Qt::FindDirectChildrenOnly))
            out.push_back(box);
        return out;
    }

private:
    void NewContent() {
        auto* content = new QWidget();
        content->setObjectName(QStringLiteral("ProductComponentsContent"));
        content->setStyleSheet(QStringLiteral("#ProductComponentsContent { background: white; }"));
        auto* v = new QVBoxLayout(content);
        v->setContentsMargins(0, 2, 0, 2);
        v->setSpacing(0);
        v->addStretch(1);
        FArea->setWidget(content);
    }

    QScrollArea* FArea;
};

TProductSetupSection::TProductSetupSection(QFrame* info) : FInfo(info) {
    auto* h = new QHBoxLayout(info);
    h->setContentsMargins(12, 10, 12, 14);
    h->setSpacing(12);

    ProductComponentsScrollBox = new QScrollArea(info);
    ProductComponentsScrollBox->setObjectName(QStringLiteral("ProductComponentsScrollBox"));
    ProductComponentsScrollBox->setWidgetResizable(true);
    ProductComponentsScrollBox->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ProductComponentsScrollBox->setFixedHeight(360);
    FScrollBox = std::make_unique<TScrollBox>(ProductComponentsScrollBox);
    h->addWidget(ProductComponentsScrollBox, 1);

    ProductComponentDetails = new QGroupBox(info);
    ProductComponentDetails->setObjectName(QStringLiteral("ProductComponentDetails"));
    ProductComponentDetails->setFixedWidth(260);
    auto* v = new QVBoxLayout(ProductComponentDetails);
    v->setContentsMargins(10, 8, 10, 10);
    v->setSpacing(3);
    struct {
        const char* captionName;
        const char* caption;
        const char* valueName;
    } rows[] = {
        {"ProductComponentNameLabel", "Process name:", ProductNameLabel},
        {"ProductComponentDependencyLabel", "Dependencies:", ProductDependencyLabel},
        {"ProductComponentDetailsLabel", "Details:", ProductDetailsLabel},
    };
    bool first = true;
    for (auto& r : rows) {
        if (!first)
            v->addSpacing(6);
        first = false;
        v->addWidget(Text(QString::fromLatin1(r.captionName), QString::fromLatin1(r.caption),
                          ProductComponentDetails, true));
        auto* value = Text(QString::fromLatin1(r.valueName), QStringLiteral("N/A"),
                           ProductComponentDetails);
        value->setWordWrap(true);
        value->setTextFormat(Qt::PlainText);
        v->addWidget(value);
    }
    v->addStretch(1);
    h->addWidget(ProductComponentDetails, 0, Qt::AlignTop);
}

TProductSetupSection::~TProductSetupSection() = default;

QWidget* TProductSetupSection::Window() const { return FInfo->window(); }

IProductScrollBox* TProductSetupSection::FindScrollBox() {
    auto* found = qobject_cast<QScrollArea*>(
        Window()->findChild<QWidget*>(QStringLiteral("ProductComponentsScrollBox")));
    return found && found == FScrollBox->Area() ? FScrollBox.get() : nullptr;
}

bool TProductSetupSection::SetDetailLabel(const std::string& Name, const std::string& Caption) {
    auto* label = qobject_cast<QLabel*>(Window()->findChild<QWidget*>(QString::fromStdString(Name)));
    if (!label)
        return false;
    label->setText(Lines(Caption));
    return true;
}

TDependencyAnswer TProductSetupSection::AskDependencies(const std::string& Question) {
    switch (CenteredMessageDialog(Window(), QStringLiteral("Verify dependencies"), Lines(Question),
                                  TMsgDlgType::mtConfirmation,
                                  QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel)) {
    case QMessageBox::Yes:
        return da_Yes;
    case QMessageBox::No:
        return da_No;
    default:
        return da_Cancel; // Cancel, Escape or the box closed
    }
}

void TProductSetupSection::ShowRefusal(const std::string& Text) {
    CenteredMessageDialog(Window(), Lines(Text), TMsgDlgType::mtWarning, QMessageBox::Ok);
}

} // namespace cv
