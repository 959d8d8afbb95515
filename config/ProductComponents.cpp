#include "ProductComponents.h"

#include "core/Assert.h"
#include "core/Text.h"

#include <algorithm>

namespace cv {

namespace {

constexpr const char* NotAvailable = "N/A";

std::vector<std::string> SplitAtBlanks(const std::string& s) {
    std::vector<std::string> parts;
    if (s.empty())
        return parts;
    size_t start = 0;
    for (;;) {
        const size_t blank = s.find(' ', start);
        parts.push_back(s.substr(start, blank == std::string::npos ? std::string::npos : blank - start));
        if (blank == std::string::npos)
            return parts;
        start = blank + 1;
    }
}

} // namespace

bool TryTextToBoolean(const std::string& text, bool& value) {
    if (SameText(text, "true") || SameText(text, "false")) {
        value = SameText(text, "true");
        return true;
    }
    int64_t n = 0;
    if (!TryStrToInt64(Trim(text), n))
        return false;
    value = n != 0;
    return true;
}

TProductComponents::TProductComponents(IProductSetupControls& parent, const std::string& servicesFolder)
    : ProductXMLFile(CombinePath(CombinePath(servicesFolder, "Resources"), "product.xml")),
      FParentControl(parent) {
    CreateProductComponents();
}

TProductComponents::~TProductComponents() {
    // The boxes call back into this object; they go with the records.
    if (IProductScrollBox* box = FindScrollBox())
        box->FreeControls();
}

IProductScrollBox* TProductComponents::FindScrollBox() { return FParentControl.FindScrollBox(); }

bool TProductComponents::CreateProductComponents() {
    IProductScrollBox* scrollBox = FindScrollBox();
    if (!scrollBox)
        return false;
    scrollBox->FreeControls();
    FComponents.clear();
    try {
        const TProductXml file = TProductXml::Load(ProductXMLFile);
        std::vector<std::pair<std::string, std::unique_ptr<TProductComponent>>> list;
        for (const TProductTaskEntry& e : file.Tasks()) {
            auto record = std::make_unique<TProductComponent>();
            record->ComponentName = e.TaskName;
            record->Description = e.Description;
            record->DefinitionFile = e.DefinitionFile;
            record->CommentedOut = e.CommentedOut;
            if (e.Mandatory && !TryTextToBoolean(*e.Mandatory, record->Mandatory))
                throw EConvertError("'" + *e.Mandatory + "' is not a valid boolean value");
            if (e.Depends)
                record->Dependencies = SplitAtBlanks(*e.Depends);
            list.emplace_back(e.TaskName, std::move(record));
        }
        // Ordinal and case-sensitive: 'Zeta' before 'alpha'.
        std::stable_sort(list.begin(), list.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        for (auto& [name, record] : list) {
            record->Index = static_cast<int32_t>(FComponents.size());
            FComponents.emplace_back(record->Index, std::move(record));
        }
        if (!FComponents.empty())
            CreateCheckBoxes(*scrollBox);
    } catch (const std::exception&) {
        FComponents.clear();
        scrollBox->FreeControls();
    }
    return !FComponents.empty();
}

void TProductComponents::CreateCheckBoxes(IProductScrollBox& ScrollBox) {
    for (const auto& [index, record] : FComponents) {
        TProductCheckBoxProps props;
        props.Caption = record->ComponentName + " (" + record->DefinitionFile + ")";
        props.Checked = !record->CommentedOut;
        props.Enabled = !record->Mandatory;
        props.Tag = index;
        props.Hint = record->Description;
        ScrollBox.AddCheckBox(props, *this);
    }
}

PProductComponent TProductComponents::FindByTag(int32_t Tag) const {
    for (const auto& [index, record] : FComponents)
        if (index == Tag)
            return record.get();
    return nullptr;
}

PProductComponent TProductComponents::FindComponentByName(const std::string& Name) const {
    for (const auto& [index, record] : FComponents)
        if (SameText(record->ComponentName, Name))
            return record.get();
    return nullptr;
}

void TProductComponents::OnMouseOver(IProductCheckBox& Sender) {
    const PProductComponent record = FindByTag(Sender.Tag());
    if (!record)
        return;
    FParentControl.SetDetailLabel(ProductNameLabel, record->ComponentName);
    FParentControl.SetDetailLabel(ProductDependencyLabel,
                                  record->Dependencies.empty() ? std::string("None")
                                                               : Join(record->Dependencies, "\r\n"));
    FParentControl.SetDetailLabel(ProductDetailsLabel,
                                  (record->Mandatory ? std::string("Permanent product component.\r\n")
                                                     : std::string()) +
                                      Sender.Hint());
}

void TProductComponents::OnMouseLeave(IProductCheckBox&) {
    for (const char* label :
         {ProductNameLabel, ProductDependencyLabel, ProductDetailsLabel})
        FParentControl.SetDetailLabel(label, NotAvailable);
}

void TProductComponents::OnProductComponentClick(IProductCheckBox& Sender) {
    const PProductComponent record = FindByTag(Sender.Tag());
    if (!record)
        return;
    const bool disable = !Sender.Checked();
    if (!ChangeWithDependencies(disable, *record))
        Sender.SetCheckedQuietly(disable);
}

bool TProductComponents::ChangeWithDependencies(bool Disable, TProductComponent& Record) {
    // A task that cannot be switched off is refused before anything is asked or changed.
    if (Disable && !TaskCanBeCommentedOut(ProductXMLFile, Record.DefinitionFile)) {
        Refuse(Record);
        return false;
    }
    std::string question = Disable
                               ? "This process has dependencies to other currently active product processes:"
                               : "This process has dependencies to other currently disabled product processes:";
    std::vector<PProductComponent> taken;
    for (const std::string& name : Record.Dependencies) {
        const PProductComponent dependency = FindComponentByName(name);
        // Offered once each, and never the task itself.
        if (!dependency || dependency->Mandatory || dependency->CommentedOut == Disable ||
            dependency == &Record || std::find(taken.begin(), taken.end(), dependency) != taken.end())
            continue;
        taken.push_back(dependency);
        question += "\r\n" + dependency->ComponentName;
    }
    if (!taken.empty()) {
        question += "\r\n\r\n";
        question += Disable ? "Do you want to disable also dependency processes?"
                            : "Do you want to enable also dependency processes?";
        switch (FParentControl.AskDependencies(question)) {
        case da_Cancel:
            return false;
        case da_Yes:
            for (PProductComponent dependency : taken)
                ApplyCommentedOut(Disable, *dependency);
            break;
        case da_No:
            break;
        }
    }
    ApplyCommentedOut(Disable, Record);
    return true;
}

bool TProductComponents::ApplyCommentedOut(bool Disable, TProductComponent& Record) {
    IProductCheckBox* box = nullptr;
    if (IProductScrollBox* scrollBox = FindScrollBox())
        for (IProductCheckBox* b : scrollBox->CheckBoxes())
            if (b->Tag() == Record.Index) {
                box = b;
                break;
            }
    if (box) {
        switch (SetTaskCommentedOut(ProductXMLFile, Disable, Record.DefinitionFile)) {
        case sw_Changed:
            box->SetCheckedQuietly(!Disable);
            break;
        case sw_Unchanged:
            break;
        case sw_Refused:
            // The entry stays active, and so do its box and record.
            box->SetCheckedQuietly(true);
            Refuse(Record);
            return false;
        }
    }
    Record.CommentedOut = Disable;
    return true;
}

void TProductComponents::Refuse(const TProductComponent& Record) {
    FParentControl.ShowRefusal("The process " + Record.ComponentName +
                               " cannot be disabled: its entry contains '--'.");
}

} // namespace cv
