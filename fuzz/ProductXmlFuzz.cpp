// product.xml of arbitrary bytes: the Product Setup list is built from it and every task is
// switched off and on again, the dependency question answered Yes, No and Cancel in turn.
// Nothing crashes and no consistency check fails; when the bytes read as a task list, the
// file still reads at the end and lists the same tasks, and an active task with a definition
// file of its own switched off and on gives back the bytes as they were.
#include "config/ProductComponents.h"

#include "core/Assert.h"
#include "core/Text.h"
#include "platform/FileSystem.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

using namespace cv;

namespace {

class TBox final : public IProductCheckBox {
public:
    TBox(const TProductCheckBoxProps& props, IProductCheckBoxEvents& events)
        : Props(props), FChecked(props.Checked), FEvents(events) {}
    int32_t Tag() const override { return Props.Tag; }
    bool Checked() const override { return FChecked; }
    void SetCheckedQuietly(bool checked) override { FChecked = checked; }
    std::string Hint() const override { return Props.Hint; }
    void Click() {
        FChecked = !FChecked;
        FEvents.OnProductComponentClick(*this);
    }
    void Hover() {
        FEvents.OnMouseOver(*this);
        FEvents.OnMouseLeave(*this);
    }
    TProductCheckBoxProps Props;

private:
    bool FChecked;
    IProductCheckBoxEvents& FEvents;
};

class TWindow final : public IProductSetupControls, public IProductScrollBox {
public:
    IProductScrollBox* FindScrollBox() override { return this; }
    bool SetDetailLabel(const std::string&, const std::string&) override { return true; }
    TDependencyAnswer AskDependencies(const std::string&) override {
        return static_cast<TDependencyAnswer>(FQuestions++ % 3);
    }
    void ShowRefusal(const std::string&) override {}
    void FreeControls() override { Boxes.clear(); }
    void AddCheckBox(const TProductCheckBoxProps& props, IProductCheckBoxEvents& events) override {
        Boxes.push_back(std::make_unique<TBox>(props, events));
    }
    std::vector<IProductCheckBox*> CheckBoxes() override {
        std::vector<IProductCheckBox*> out;
        for (auto& b : Boxes)
            out.push_back(b.get());
        return out;
    }
    std::vector<std::unique_ptr<TBox>> Boxes;

private:
    unsigned FQuestions = 0;
};

// In memory where there is such a folder: every switch flushes the file it writes.
char gFolder[] = "/dev/shm/product-xml-fuzz-XXXXXX";
char gTmpFolder[] = "/tmp/product-xml-fuzz-XXXXXX";

const char* Folder() {
    static const char* dir = [] {
        const char* made = mkdtemp(gFolder);
        if (!made)
            made = mkdtemp(gTmpFolder);
        if (!made)
            std::abort();
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(Folder(), ec);
        });
        return made;
    }();
    return dir;
}

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "product_xml_fuzz: %s\n", what);
    std::abort();
}

using TTaskList = std::vector<std::pair<std::string, std::string>>;

// The tasks (name, definition file) in document order; false when the bytes are no XML.
// A failed consistency check is a fault, whatever the input.
bool ReadList(const std::string& bytes, TTaskList& list) {
    try {
        const TProductXml x = TProductXml::Parse(bytes);
        list.clear();
        for (const auto& e : x.Tasks())
            list.emplace_back(e.TaskName, e.DefinitionFile);
        return true;
    } catch (const EAssertionFailed& e) {
        Fail(e.what());
    } catch (const Exception&) {
        return false;
    }
}

template <class F> void Run(F&& f) {
    try {
        f();
    } catch (const EAssertionFailed& e) {
        Fail(e.what());
    } catch (const Exception&) {
        // The general error display's case: a file that cannot be written back as read.
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::string services = std::string(Folder()) + "/Services";
    const std::string file = services + "/Resources/product.xml";
    ForceDirectories(services + "/Resources");
    WriteFileAtomic(file, bytes);

    TTaskList before;
    const bool parsed = ReadList(bytes, before);

    // The file's own edits: an active task with a definition file of its own, off and on.
    if (parsed) {
        const TProductXml x = TProductXml::Parse(bytes);
        for (const auto& e : x.Tasks()) {
            size_t same = 0;
            for (const auto& other : x.Tasks())
                same += SameText(other.DefinitionFile, e.DefinitionFile);
            if (e.CommentedOut || same != 1 || !x.ReadsBackExactly())
                continue;
            WriteFileAtomic(file, bytes);
            Run([&] {
                if (SetTaskCommentedOut(file, true, e.DefinitionFile) != sw_Changed)
                    return;
                if (SetTaskCommentedOut(file, false, e.DefinitionFile) != sw_Changed)
                    Fail("a task switched off does not switch on again");
                if (ReadFileBytes(file) != bytes)
                    Fail("off and on again does not give back the bytes");
            });
        }
        WriteFileAtomic(file, bytes);
    }

    // The list, every task clicked off and on (or on and off) with every answer in turn.
    TWindow window;
    Run([&] {
        TProductComponents list(window, services);
        for (size_t i = 0; i < window.Boxes.size(); ++i) {
            TBox& box = *window.Boxes[i];
            box.Hover();
            if (!box.Props.Enabled)
                continue;
            Run([&] { box.Click(); });
            Run([&] { box.Click(); });
        }
    });

    if (parsed) {
        TTaskList after;
        if (!ReadList(ReadFileBytes(file).value_or(std::string()), after))
            Fail("the file no longer reads");
        if (after != before)
            Fail("the file lists other tasks");
    }
    return 0;
}
