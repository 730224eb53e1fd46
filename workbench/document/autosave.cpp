#include "workbench/document/autosave.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QUuid>
#include <cstring>

#include "platform/file_writer.h"
#include "platform/files.h"
#include "workbench/window/user_folders.h"

namespace kestra::workbench {

namespace {

constexpr const char* kImageSuffix = ".kpr";
constexpr const char* kInfoSuffix = ".ini";
constexpr const char* kLockSuffix = ".lock";
// Autosaved images are project images; one larger than this is no copy of ours.
constexpr std::uint64_t kImageLimit = 256u * 1024 * 1024;

QString Base(const QString& folder, const QString& name) {
    return folder + "/" + name;
}

std::unique_ptr<QLockFile> NewLock(const QString& base) {
    auto lock = std::make_unique<QLockFile>(base + kLockSuffix);
    lock->setStaleLockTime(0);  // only a lock whose owner has ended is left over
    return lock;
}

void RemoveFiles(const QString& base) {
    QFile::remove(base + kImageSuffix);
    QFile::remove(base + kInfoSuffix);
}

}  // namespace

Autosave::Autosave(QString folder)
    : folder_(folder.isEmpty() ? AutosaveFolder() : std::move(folder)),
      name_(QUuid::createUuid().toString(QUuid::WithoutBraces)) {}

Autosave::~Autosave() {
    discard();
}

QString Autosave::imagePath() const {
    return Base(folder_, name_) + kImageSuffix;
}

bool Autosave::write(const Bytes& image, const QString& projectPath, QString* error) {
    if (folder_.isEmpty() || !QDir().mkpath(folder_)) {
        if (error) *error = QCoreApplication::translate("kestra::workbench", "no folder for it");
        return false;
    }
    const QString base = Base(folder_, name_);
    if (!lock_) {
        lock_ = NewLock(base);
        if (!lock_->tryLock(0)) {
            if (error) *error = base + kLockSuffix + ": cannot be locked";
            lock_.reset();
            return false;
        }
    }
    std::string why;
    if (!platform::WriteWholeFile((base + kImageSuffix).toStdString(), image, &why)) {
        if (error) *error = QString::fromStdString(why);
        return false;
    }
    {
        QSettings info(base + kInfoSuffix, QSettings::IniFormat);
        info.setValue("project", projectPath);
        info.setValue("saved", QDateTime::currentDateTime());
        info.sync();
        if (info.status() != QSettings::NoError) {
            if (error) *error = base + kInfoSuffix + ": cannot be written";
            return false;
        }
    }
    written_ = true;
    return true;
}

void Autosave::discard() {
    if (!written_) return;
    RemoveFiles(Base(folder_, name_));
    written_ = false;
}

std::vector<Autosave::Leftover> Autosave::Leftovers(QString folder) {
    if (folder.isEmpty()) folder = AutosaveFolder();
    std::vector<Leftover> leftovers;
    if (folder.isEmpty()) return leftovers;
    const QStringList images =
        QDir(folder).entryList({QStringLiteral("*") + kImageSuffix}, QDir::Files, QDir::Time);
    for (const QString& image : images) {
        const QString base = Base(folder, QFileInfo(image).completeBaseName());
        std::unique_ptr<QLockFile> lock = NewLock(base);
        if (!lock->tryLock(0)) continue;  // a running workbench's copy
        const QSettings info(base + kInfoSuffix, QSettings::IniFormat);
        leftovers.push_back({base + kImageSuffix, info.value("project").toString(),
                             info.value("saved").toDateTime(), std::move(lock)});
        if (!leftovers.back().saved.isValid())
            leftovers.back().saved = QFileInfo(base + kImageSuffix).lastModified();
    }
    return leftovers;
}

std::optional<Bytes> Autosave::Read(const Leftover& leftover) {
    const platform::LimitedRead read =
        platform::ReadFileLimited(leftover.imagePath.toStdString(), kImageLimit);
    if (read.status != platform::LimitedRead::Status::Ok) return std::nullopt;
    return Bytes(read.contents.begin(), read.contents.end());
}

void Autosave::Remove(Leftover& leftover) {
    RemoveFiles(leftover.imagePath.chopped(static_cast<qsizetype>(strlen(kImageSuffix))));
    if (leftover.lock) leftover.lock->unlock();
}

}  // namespace kestra::workbench
