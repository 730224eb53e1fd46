#include "card_service/code_sel_dialog.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

#include "card_service/card_files.h"
#include "card_service/kes_ssfdc_device.h"
#include "platform/files.h"
#include "platform/message_box.h"

namespace {

using kestra::card::CodeKindInfo;

struct CodeFile {
    std::string name;
    std::string version;
    std::filesystem::file_time_type changed;
};

std::string VersionOfFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::uint8_t> head(kestra::card::kVersionSearchBytes + 64);
    in.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<std::size_t>(in.gcount()));
    return kestra::card::FindVersionText(head).value_or("");
}

std::vector<CodeFile> CodeFilesOf(const std::string& folder, const char* pattern) {
    std::vector<CodeFile> files;
    for (const std::string& name : kestra::platform::MatchingEntries(folder, pattern)) {
        const std::string path = kestra::platform::JoinPath(folder, name);
        std::error_code error;
        if (!std::filesystem::is_regular_file(path, error)) continue;
        files.push_back({name, VersionOfFile(path), std::filesystem::last_write_time(path, error)});
    }
    return files;
}

std::string CardVersion(CKesSSFDCDevice* device, KESTRACODETYPE kind) {
    if (!device) return {};
    try {
        return device->getCodeVersion(kind, nullptr);
    } catch (CSSFDCLibException* error) {
        const bool unformatted = error->m_ErrorCode == KESSSFDC_NOT_FORMATTED;
        error->Delete();
        return unformatted ? "card not formatted" : "unknown";
    }
}

bool DisplayAvailable() {
    for (const char* variable : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        if (const char* value = std::getenv(variable); value && *value) return true;
    return false;
}

// The process's widget application, made on first use when the caller has none.
bool EnsureApplication() {
    if (qobject_cast<QApplication*>(QCoreApplication::instance())) return true;
    if (QCoreApplication::instance() || !DisplayAvailable()) return false;
    static int argc = 1;
    static char name[] = "K32CodeSel";
    static char* argv[] = {name, nullptr};
    static QApplication* application = new QApplication(argc, argv);
    return application != nullptr;
}

}  // namespace

CCodeSelDialog::CCodeSelDialog() = default;
CCodeSelDialog::~CCodeSelDialog() = default;

int CCodeSelDialog::DoModal() {
    if (!EnsureApplication()) {
        MessageBox(nullptr, "The code selection dialog needs a display; no code files were chosen.",
                   "K32CodeSel", MB_OK | MB_ICONWARNING);
        return -1;
    }
    const std::string given = kestra::platform::ToNativePath(m_path);
    const std::string folder = given.empty() ? "." : given;
    QDialog dialog;
    dialog.setWindowTitle("Kestra code files");
    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel("Code folder: " + QString::fromStdString(folder)), 0, 0, 1, 3);
    static constexpr const char* kComboNames[] = {"bootCombo", "firmwareCombo", "mipsCombo",
                                                  "mserCombo"};
    QComboBox* combos[kestra::card::kCodeKinds] = {};
    std::vector<CodeFile> files[kestra::card::kCodeKinds];
    for (int kind = 0; kind < kestra::card::kCodeKinds; ++kind) {
        const auto& info = CodeKindInfo(static_cast<KESTRACODETYPE>(kind));
        files[kind] = CodeFilesOf(folder, info.pattern);
        auto* combo = new QComboBox;
        combo->setObjectName(kComboNames[kind]);
        combo->addItem(kDoNotUpdate);
        std::size_t newest = 0;
        for (std::size_t i = 0; i < files[kind].size(); ++i) {
            const CodeFile& file = files[kind][i];
            combo->addItem(QString::fromStdString(
                file.version.empty() ? file.name : file.name + "  (" + file.version + ")"));
            if (file.changed > files[kind][newest].changed) newest = i;
        }
        const std::string onCard = CardVersion(m_device, static_cast<KESTRACODETYPE>(kind));
        if ((m_flags & CODESEL_NEWEST) && !files[kind].empty()) {
            const bool same = (m_flags & CODESEL_SKIP_SAME_VERSION) &&
                              !files[kind][newest].version.empty() &&
                              files[kind][newest].version == onCard;
            if (!same) combo->setCurrentIndex(static_cast<int>(newest) + 1);
        }
        QString kindName = info.name;
        kindName[0] = kindName[0].toUpper();
        grid->addWidget(new QLabel(kindName + ":"), kind + 1, 0);
        grid->addWidget(combo, kind + 1, 1);
        if (m_device)
            grid->addWidget(new QLabel("On card: " + QString::fromStdString(onCard)), kind + 1, 2);
        combos[kind] = combo;
    }
    auto* buttons = new QDialogButtonBox;
    QPushButton* download = buttons->addButton("Download", QDialogButtonBox::AcceptRole);
    QPushButton* quit = buttons->addButton("Quit", QDialogButtonBox::DestructiveRole);
    QPushButton* cancel = buttons->addButton(QDialogButtonBox::Cancel);
    download->setObjectName("downloadButton");
    quit->setObjectName("quitButton");
    cancel->setObjectName("cancelButton");
    download->setDefault(true);
    QObject::connect(download, &QPushButton::clicked, &dialog, &QDialog::accept);
    QObject::connect(cancel, &QPushButton::clicked, &dialog, &QDialog::reject);
    QObject::connect(quit, &QPushButton::clicked, &dialog, [&] {
        m_Quit = 1;
        dialog.accept();
    });
    grid->addWidget(buttons, kestra::card::kCodeKinds + 1, 0, 1, 3);
    dialog.setLayout(grid);

    m_Quit = 0;
    if (dialog.exec() != QDialog::Accepted) return IDCANCEL;
    for (int kind = 0; kind < kestra::card::kCodeKinds; ++kind) {
        const int index = combos[kind]->currentIndex();
        m_chosen[kind] = index <= 0
                             ? std::string(kDoNotUpdate)
                             : kestra::platform::JoinPath(
                                   folder, files[kind][static_cast<std::size_t>(index - 1)].name);
    }
    return IDOK;
}
