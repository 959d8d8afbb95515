#pragma once
// The Product Setup list: one check box per task of product.xml. Unticking a box comments the
// task's entry out, ticking it restores the entry; a task's direct dependencies are offered
// to be switched the same way, and mandatory tasks cannot be switched. Hovering a box shows
// the task's name, dependencies and details in three labels.
//
// The unit reaches the window's controls only through IProductSetupControls (found there by
// their design names), so the whole behaviour runs and is tested without a window.
#include "ProductXmlFile.h"

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace cv {

struct TProductComponent {
    std::string ComponentName;
    std::string Description;
    std::string DefinitionFile;
    bool CommentedOut = false;
    bool Mandatory = false;
    std::vector<std::string> Dependencies;
    int32_t Index = 0; // position in the sorted list; also the Tag of its check box
};
using PProductComponent = TProductComponent*;

// The answer to the "Verify dependencies" question.
enum TDependencyAnswer : uint8_t { da_Yes = 0, da_No = 1, da_Cancel = 2 };

class IProductCheckBox;

// The events of every check box of the list.
class IProductCheckBoxEvents {
public:
    virtual void OnProductComponentClick(IProductCheckBox& Sender) = 0;
    virtual void OnMouseOver(IProductCheckBox& Sender) = 0;
    virtual void OnMouseLeave(IProductCheckBox& Sender) = 0;

protected:
    ~IProductCheckBoxEvents() = default;
};

class IProductCheckBox {
public:
    virtual int32_t Tag() const = 0;
    virtual bool Checked() const = 0;
    // Sets the tick with the click event disconnected.
    virtual void SetCheckedQuietly(bool checked) = 0;
    virtual std::string Hint() const = 0;

protected:
    ~IProductCheckBox() = default;
};

struct TProductCheckBoxProps {
    std::string Caption;
    bool Checked = false;
    bool Enabled = true;
    int32_t Tag = 0;
    std::string Hint;
};

// "ProductComponentsScrollBox".
class IProductScrollBox {
public:
    // Frees every control it holds.
    virtual void FreeControls() = 0;
    // A check box at the bottom of the list (margins left 10, top 2, bottom 1), its tick set
    // before the events are connected so that building the list raises no clicks.
    virtual void AddCheckBox(const TProductCheckBoxProps& props, IProductCheckBoxEvents& events) = 0;
    // The check boxes it holds, in the order they were added.
    virtual std::vector<IProductCheckBox*> CheckBoxes() = 0;

protected:
    ~IProductScrollBox() = default;
};

// The window as the list sees it: its controls by design name, and its message boxes.
class IProductSetupControls {
public:
    // The window's "ProductComponentsScrollBox" when it is a scroll box; null otherwise.
    virtual IProductScrollBox* FindScrollBox() = 0;
    // Sets the caption of the window's label of that name; false when there is no such label.
    virtual bool SetDetailLabel(const std::string& Name, const std::string& Caption) = 0;
    // The confirmation titled "Verify dependencies" with Yes, No and Cancel.
    virtual TDependencyAnswer AskDependencies(const std::string& Question) = 0;
    // A task that cannot be switched off: says why.
    virtual void ShowRefusal(const std::string& Text) = 0;

protected:
    ~IProductSetupControls() = default;
};

inline constexpr const char* ProductNameLabel = "ProductComponentNameText";
inline constexpr const char* ProductDependencyLabel = "ProductComponentDependencyText";
inline constexpr const char* ProductDetailsLabel = "ProductComponentDetailsText";

class TProductComponents final : public IProductCheckBoxEvents {
public:
    // Builds ProductXMLFile as the services folder's "Resources\product.xml" and the list.
    TProductComponents(IProductSetupControls& parent, const std::string& servicesFolder);
    ~TProductComponents();
    TProductComponents(const TProductComponents&) = delete;
    TProductComponents& operator=(const TProductComponents&) = delete;

    // Reads the file and builds the records and the check boxes; true when at least one task
    // was found. Any failure (no file, no well-formed XML, a "mandatory" that is no boolean)
    // leaves the list empty without a message.
    bool CreateProductComponents();

    void OnProductComponentClick(IProductCheckBox& Sender) override;
    void OnMouseOver(IProductCheckBox& Sender) override;
    void OnMouseLeave(IProductCheckBox& Sender) override;

    // The first record whose name equals Name, ignoring the case of ASCII letters.
    PProductComponent FindComponentByName(const std::string& Name) const;
    const std::vector<std::pair<int32_t, std::unique_ptr<TProductComponent>>>& Components() const {
        return FComponents;
    }

    const std::string ProductXMLFile;

private:
    IProductScrollBox* FindScrollBox();
    void CreateCheckBoxes(IProductScrollBox& ScrollBox);
    PProductComponent FindByTag(int32_t Tag) const;
    bool ChangeWithDependencies(bool Disable, TProductComponent& Record);
    // False when the task's entry cannot be commented out (the refusal has been shown).
    bool ApplyCommentedOut(bool Disable, TProductComponent& Record);
    void Refuse(const TProductComponent& Record);

    std::vector<std::pair<int32_t, std::unique_ptr<TProductComponent>>> FComponents;
    IProductSetupControls& FParentControl;
};

// "mandatory": "true" or "false" in any letter case, or a decimal number (non-zero is true).
bool TryTextToBoolean(const std::string& text, bool& value);

} // namespace cv
