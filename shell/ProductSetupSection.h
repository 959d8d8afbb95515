#pragma once
// "Product Setup": the scroll box with one check box per product task, and the details box
// that hovering a box fills. The list's behaviour is TProductComponents'; this section gives
// it the window's controls by their design names and the window's message boxes.
#include "config/ProductComponents.h"

#include <QFrame>
#include <memory>

class QGroupBox;
class QLabel;
class QScrollArea;

namespace cv {

class TProductSetupSection final : public IProductSetupControls {
public:
    explicit TProductSetupSection(QFrame* info);
    ~TProductSetupSection();
    TProductSetupSection(const TProductSetupSection&) = delete;
    TProductSetupSection& operator=(const TProductSetupSection&) = delete;

    IProductScrollBox* FindScrollBox() override;
    bool SetDetailLabel(const std::string& Name, const std::string& Caption) override;
    TDependencyAnswer AskDependencies(const std::string& Question) override;
    void ShowRefusal(const std::string& Text) override;

    QScrollArea* ProductComponentsScrollBox = nullptr;
    QGroupBox* ProductComponentDetails = nullptr;

private:
    class TScrollBox;
    QWidget* Window() const;

    QFrame* FInfo;
    std::unique_ptr<TScrollBox> FScrollBox;
};

} // namespace cv
