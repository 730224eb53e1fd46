// The project's languages: a dialog of the workbench's own that lists them as the utilities
// library lists them (InitLangListBox) and adds, renames and removes them.
//
// Language 0 is the default language; every other language keeps one text entry per page
// (set 1) and, when the project has a resource section, one per resource slot (set 2). A new
// language starts with copies of the default language's texts, to be translated. Before the
// table changes the pages and resources are given the default language's texts back
// (MultiLangToDefault), and afterwards the default language's text sets are built again from
// them (DefaultToMultiLang), so the pages show the default language after OK.
#include <QDialog>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "kestra/resource_section.h"
#include "platform/memory.h"
#include "string_table/string_table.h"
#include "utilities/languages.h"
#include "utilities/services.h"
#include "windows/controls.h"
#include "workbench/hosted/hosted_dialogs.h"
#include "workbench/hosted/hosted_project.h"
#include "workbench/hosted/hosted_window.h"

namespace kestra::workbench {

namespace {

constexpr int kSourceRole = Qt::UserRole;  // the language's index in the table, -1 when new
constexpr const char* kUnnamedDefault = "Default language";

struct Language {
    std::string name;
    int source;  // index in the project's table, -1 for a new language
};

// The lines the utilities library shows for the project's languages.
std::vector<std::string> LanguageLines(ProjectBlock& project) {
    HWND list =
        CreateWindow("listbox", "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    if (!list) return {};
    InitLangListBox(0, list, &project, nullptr);
    std::vector<std::string> lines;
    const auto count = SendMessage(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        const LRESULT length = SendMessage(list, LB_GETTEXTLEN, i, 0);
        std::vector<char> text(static_cast<std::size_t>(std::max<LRESULT>(length, 0)) + 1);
        SendMessage(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text.data()));
        lines.emplace_back(text.data());
    }
    DestroyWindow(list);
    return lines;
}

std::vector<Language> LanguagesOf(ProjectBlock& project) {
    std::vector<Language> languages;
    const std::vector<std::string> lines = LanguageLines(project);
    for (std::size_t i = 0; i < lines.size(); ++i)
        languages.push_back({lines[i], static_cast<int>(i)});
    if (languages.empty()) languages.push_back({kUnnamedDefault, 0});
    return languages;
}

class LanguagesDialog : public QDialog {
  public:
    LanguagesDialog(QWidget* parent, const std::vector<Language>& languages) : QDialog(parent) {
        setWindowTitle("Languages");
        auto* label = new QLabel("&Languages of the project (the first is the default):", this);
        list_ = new QListWidget(this);
        list_->setObjectName("languages");
        for (const Language& language : languages) {
            auto* item = new QListWidgetItem(QString::fromStdString(language.name), list_);
            item->setData(kSourceRole, language.source);
            item->setFlags(item->flags() | Qt::ItemIsEditable);
        }
        list_->setCurrentRow(0);
        const auto buttons = LayOutListDialog(*this, label, list_, {"&Add", "Re&name", "&Remove"});
        add_ = buttons[0];
        rename_ = buttons[1];
        remove_ = buttons[2];
        connect(add_, &QPushButton::clicked, this, [this] { addLanguage(); });
        connect(rename_, &QPushButton::clicked, this,
                [this] { list_->editItem(list_->currentItem()); });
        connect(remove_, &QPushButton::clicked, this, [this] { delete list_->currentItem(); });
        connect(list_, &QListWidget::currentRowChanged, this, [this] { updateButtons(); });
        updateButtons();
    }

    std::vector<Language> languages() const {
        std::vector<Language> result;
        for (int i = 0; i < list_->count(); ++i) {
            const QListWidgetItem* item = list_->item(i);
            const QString name = item->text().trimmed();
            result.push_back(
                {name.isEmpty() ? "Language " + std::to_string(i + 1) : name.toStdString(),
                 item->data(kSourceRole).toInt()});
        }
        return result;
    }

  private:
    void addLanguage() {
        auto* item = new QListWidgetItem(QString("Language %1").arg(list_->count() + 1), list_);
        item->setData(kSourceRole, -1);
        item->setFlags(item->flags() | Qt::ItemIsEditable);
        list_->setCurrentItem(item);
        list_->editItem(item);
    }
    // The default language stays: it is what the pages show.
    void updateButtons() {
        remove_->setEnabled(list_->currentRow() > 0);
        rename_->setEnabled(list_->currentRow() >= 0);
    }

    QListWidget* list_;
    QPushButton* add_;
    QPushButton* rename_;
    QPushButton* remove_;
};

// A new blob with the bytes of another (a length word and the bytes), or 0 for none.
mem::Ref CopyOfBlob(mem::Ref blob) {
    const auto bytes = mem::Blob(blob);
    if (!bytes) return 0;
    const mem::Ref copy = GetAppFmalloc()(static_cast<std::uint32_t>(4 + bytes->size()));
    std::byte* data = mem::At(copy, 0, 4 + bytes->size());
    if (!data) host::Fail(host::kExitInternal, "no memory for the language's texts");
    WriteLe32(data, static_cast<std::uint32_t>(bytes->size()));
    if (!bytes->empty()) std::memcpy(data + 4, bytes->data(), bytes->size());
    return copy;
}

// A new language's text set: copies of the default language's entries and texts.
mem::Ref CopyOfTextSet(mem::Ref set, std::size_t count) {
    if (count == 0) return 0;
    const auto from = RecordsAt<TextEntry>(set, count);
    if (from.size() != count)
        host::Fail(host::kExitDamaged, "the default language's texts are missing");
    const mem::Ref copy = GetAppFmalloc()(static_cast<std::uint32_t>(count * sizeof(TextEntry)));
    auto to = RecordsAt<TextEntry>(copy, count);
    if (to.size() != count) host::Fail(host::kExitInternal, "no memory for the language's texts");
    for (std::size_t i = 0; i < count; ++i) {
        to[i] = from[i];
        to[i].blobA = CopyOfBlob(from[i].blobA);
        to[i].blobB = CopyOfBlob(from[i].blobB);
    }
    return copy;
}

void ApplyLanguages(ProjectBlock& project, const std::vector<Language>& wanted) {
    ExtensionRecord& ext = project.ext;
    const std::size_t before = ext.multiLanguage() ? ext.languageCount : 0;
    const auto old = RecordsAt<LanguageEntry>(ext.languages, before);
    if (old.size() != before)
        host::Fail(host::kExitDamaged, "the project's language table is missing");
    if (before != 0 && !MultiLangToDefault(&project))
        host::Fail(host::kExitDamaged, "the default language's texts are missing");
    std::vector<LanguageEntry> table(wanted.size());
    for (std::size_t i = 0; i < wanted.size(); ++i) {
        const Language& language = wanted[i];
        if (language.source >= 0 && static_cast<std::size_t>(language.source) < old.size())
            table[i] = old[static_cast<std::size_t>(language.source)];
        const std::string oldName =
            table[i].nameId != 0u ? host::ProjectText(project, table[i].nameId) : "";
        if (language.name != oldName) {
            if (table[i].nameId != 0u) StrTabGetText(table[i].nameId, &project, nullptr, 0, 1);
            table[i].nameId = StrTabAddText(language.name.c_str(), &project);
        }
    }
    if (wanted.size() < 2) {
        // One language: the pages hold its texts; there is no table.
        if (table[0].nameId != 0u) StrTabGetText(table[0].nameId, &project, nullptr, 0, 1);
        ext.languageCount = 1;
        ext.b229 = 0;
        ext.set1Count = 0;
        ext.set2Count = 0;
        ext.languages = 0;
        return;
    }
    const std::size_t set1 = project.record.pageCount;
    const std::size_t set2 = ext.resourcesPresent != 0u ? kResourceSlots : 0;
    if (before == 0) ext.b229 = 1;
    ext.languageCount = static_cast<std::uint8_t>(wanted.size());
    ext.set1Count = static_cast<std::uint16_t>(set1);
    ext.set2Count = static_cast<std::uint16_t>(set2);
    const mem::Ref stored =
        GetAppFmalloc()(static_cast<std::uint32_t>(table.size() * sizeof(LanguageEntry)));
    if (!mem::At(stored, 0, table.size() * sizeof(LanguageEntry)))
        host::Fail(host::kExitInternal, "no memory for the language table");
    ext.languages = stored;
    // The default language's sets, from the pages and resources as they are now.
    table[0].textSet1 = table[0].textSet2 = 0;
    std::memcpy(mem::Data(stored), table.data(), table.size() * sizeof(LanguageEntry));
    if (!DefaultToMultiLang(&project))
        host::Fail(host::kExitInternal, "no memory for the default language's texts");
    auto entries = RecordsAt<LanguageEntry>(stored, table.size());
    for (std::size_t i = 1; i < wanted.size(); ++i) {
        if (wanted[i].source > 0) continue;  // keeps its own texts
        entries[i].textSet1 = CopyOfTextSet(entries[0].textSet1, set1);
        entries[i].textSet2 = CopyOfTextSet(entries[0].textSet2, set2);
    }
}

}  // namespace

bool EditLanguages(QWidget* parent, const LoadedProject& project, Driver&) {
    return TellingFailures(parent, "Languages", [&] {
        WindowCoreHost();
        ProjectBlock& block = project.block();
        const std::vector<Language> before = LanguagesOf(block);
        LanguagesDialog dialog(parent, before);
        if (dialog.exec() != QDialog::Accepted) return false;
        const std::vector<Language> after = dialog.languages();
        const bool same = std::equal(before.begin(), before.end(), after.begin(), after.end(),
                                     [](const Language& a, const Language& b) {
                                         return a.name == b.name && a.source == b.source;
                                     });
        if (same) return false;
        return ChangedBy(project, [&] {
            ApplyLanguages(block, after);
            return true;
        });
    });
}

}  // namespace kestra::workbench
