#include "extension_classes/file_operations.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProgressDialog>
#include <QSaveFile>

#include "extension_classes/kxc_message.h"

namespace kestra::kxc {
namespace {

constexpr qint64 kChunk = 1 << 20;
constexpr int kProgressDelayMs = 400;
const char* const kCaption = "File Operation";

qint64 SizeOf(const QFileInfo& info) {
    if (!info.isDir()) return info.size();
    qint64 total = 0;
    QDirIterator it(info.filePath(), QDir::Files | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        total += it.fileInfo().size();
    }
    return total;
}

bool IsInside(const QString& path, const QString& folder) {
    const QString a = QFileInfo(path).absoluteFilePath();
    const QString b = QFileInfo(folder).absoluteFilePath();
    return b == a || b.startsWith(a + QLatin1Char('/'));
}

// One copy or move with its progress dialog.
class TransferJob {
  public:
    TransferJob(QWidget* parent, qint64 totalBytes, bool move)
        : m_progress(move ? QStringLiteral("Moving files...") : QStringLiteral("Copying files..."),
                     QStringLiteral("Cancel"), 0, 1000, parent) {
        m_progress.setWindowTitle(QString::fromLatin1(kCaption));
        m_progress.setWindowModality(Qt::WindowModal);
        m_progress.setMinimumDuration(kProgressDelayMs);
        m_progress.setAutoClose(false);
        m_progress.setAutoReset(false);
        m_total = std::max<qint64>(totalBytes, 1);
        m_progress.setValue(0);
    }
    bool Cancelled() const { return m_progress.wasCanceled(); }
    void Advance(qint64 bytes, const QString& name) {
        m_done += bytes;
        m_progress.setLabelText(QStringLiteral("%1").arg(name));
        m_progress.setValue(int(std::min<qint64>(1000, m_done * 1000 / m_total)));
    }

    // Copies one file through a temporary file in the destination folder.
    bool CopyFile(const QString& from, const QString& to, QString* error) {
        QFile source(from);
        if (!source.open(QIODevice::ReadOnly)) {
            *error = QStringLiteral("%1: %2").arg(from, source.errorString());
            return false;
        }
        QSaveFile target(to);
        if (!target.open(QIODevice::WriteOnly)) {
            *error = QStringLiteral("%1: %2").arg(to, target.errorString());
            return false;
        }
        QByteArray buffer;
        while (!source.atEnd()) {
            buffer = source.read(kChunk);
            if (buffer.isEmpty() && source.error() != QFile::NoError) break;
            if (target.write(buffer) != buffer.size()) break;
            Advance(buffer.size(), QFileInfo(from).fileName());
            if (Cancelled()) {
                target.cancelWriting();
                *error = QStringLiteral("%1: stopped").arg(from);
                return false;
            }
        }
        if (source.error() != QFile::NoError || !target.commit()) {
            *error = QStringLiteral("%1: %2").arg(
                to, source.error() != QFile::NoError ? source.errorString() : target.errorString());
            return false;
        }
        // A committed save file has no name left; the copy is set through its path.
        QFile::setPermissions(to, source.permissions());
        return true;
    }

    bool CopyTree(const QString& from, const QString& to, QString* error) {
        if (!QFileInfo(from).isDir()) return CopyFile(from, to, error);
        if (!QDir().mkpath(to)) {
            *error = QStringLiteral("%1: the folder could not be made").arg(to);
            return false;
        }
        const QFileInfoList entries = QDir(from).entryInfoList(
            QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
        for (const QFileInfo& entry : entries) {
            if (!CopyTree(entry.filePath(), to + QLatin1Char('/') + entry.fileName(), error))
                return false;
        }
        return true;
    }

  private:
    QProgressDialog m_progress;
    qint64 m_total;
    qint64 m_done = 0;
};

bool RemovePath(const QString& path) {
    const QFileInfo info(path);
    if (info.isDir() && !info.isSymLink()) return QDir(path).removeRecursively();
    return QFile::remove(path);
}

}  // namespace

void FileOperation::Report(const FileOpResult& result, const char* text) {
    if (result.errors.isEmpty()) return;
    KXCMessageBox(m_parent, QString::fromLatin1(text).arg(result.errors.join(QLatin1Char('\n'))),
                  MB_OK | MB_ICONERROR, QString::fromLatin1(kCaption));
}

FileOpResult FileOperation::Transfer(const QStringList& from, const QString& toFolder, bool move) {
    FileOpResult result;
    if (!QFileInfo(toFolder).isDir()) {
        result.ok = false;
        result.errors << QStringLiteral("%1: not a folder").arg(toFolder);
        Report(result, move ? kFailedMove : kFailedCopy);
        return result;
    }
    qint64 total = 0;
    for (const QString& path : from) total += SizeOf(QFileInfo(path));
    TransferJob transfer(m_parent, total, move);
    for (const QString& path : from) {
        const QFileInfo source(path);
        const QString target = QDir(toFolder).filePath(source.fileName());
        if (!source.exists()) {
            result.ok = false;
            result.errors << QStringLiteral("%1: no such file or folder").arg(path);
            continue;
        }
        if (QFileInfo(target).absoluteFilePath() == source.absoluteFilePath()) continue;
        if (source.isDir() && IsInside(path, toFolder)) {
            result.ok = false;
            result.errors << QString::fromLatin1(kIntoItself).arg(path);
            continue;
        }
        if (QFileInfo::exists(target)) {
            const int answer =
                KXCMessageBox(m_parent, QString::fromLatin1(kReplace).arg(source.fileName()),
                              MB_YESNOCANCEL | MB_ICONQUESTION, QString::fromLatin1(kCaption));
            if (answer == IDCANCEL) {
                result.aborted = true;
                break;
            }
            if (answer != IDYES) continue;
        }
        QString error;
        bool done = false;
        // A file moves within one file system by renaming, which replaces the target at once.
        if (move && !source.isDir() &&
            std::rename(QFile::encodeName(path).constData(),
                        QFile::encodeName(target).constData()) == 0) {
            done = true;
        } else {
            const bool replacing = QFileInfo::exists(target);
            if (replacing && source.isDir() && !RemovePath(target)) {
                error = QStringLiteral("%1: the old folder could not be replaced").arg(target);
            } else {
                done = transfer.CopyTree(path, target, &error);
                if (done && move && !RemovePath(path))
                    error = QStringLiteral("%1: copied, but the original could not be removed")
                                .arg(path);
            }
        }
        if (done) result.created << target;
        if (!error.isEmpty()) {
            result.ok = false;
            result.errors << error;
        }
        if (transfer.Cancelled()) {
            result.aborted = true;
            break;
        }
    }
    if (result.aborted) result.ok = false;
    Report(result, move ? kFailedMove : kFailedCopy);
    return result;
}

FileOpResult FileOperation::Copy(const QStringList& from, const QString& toFolder) {
    return Transfer(from, toFolder, false);
}

FileOpResult FileOperation::Move(const QStringList& from, const QString& toFolder) {
    return Transfer(from, toFolder, true);
}

FileOpResult FileOperation::Rename(const QString& from, const QString& to) {
    FileOpResult result;
    if (QFileInfo::exists(to) &&
        QFileInfo(to).absoluteFilePath() != QFileInfo(from).absoluteFilePath()) {
        result.ok = false;
        result.errors << QString::fromLatin1(kNameExists).arg(QFileInfo(from).fileName());
        KXCMessageBox(m_parent, result.errors.first(), MB_OK | MB_ICONERROR,
                      QString::fromLatin1(kCaption));
        return result;
    }
    if (!QDir().rename(from, to)) {
        result.ok = false;
        result.errors
            << QStringLiteral("%1: could not be renamed to %2").arg(from, QFileInfo(to).fileName());
        Report(result, kFailedOther);
        return result;
    }
    result.created << to;
    return result;
}

FileOpResult FileOperation::Delete(const QString& path) {
    FileOpResult result;
    const int answer = KXCMessageBox(
        m_parent, QString::fromLatin1(kDeleteQuestion).arg(QFileInfo(path).fileName()),
        MB_YESNO | MB_ICONQUESTION, QString::fromLatin1(kCaption));
    if (answer != IDYES) {
        result.ok = false;
        result.aborted = true;
        return result;
    }
    if (!QFileInfo::exists(path) || !RemovePath(path)) {
        result.ok = false;
        result.errors << QStringLiteral("%1: could not be deleted").arg(path);
        Report(result, kFailedOther);
    }
    return result;
}

FileOpResult FileOperation::MakeFolder(const QString& path) {
    FileOpResult result;
    if (QFileInfo::exists(path) || !QDir().mkdir(path)) {
        result.ok = false;
        result.errors << QStringLiteral("%1: the folder could not be made").arg(path);
        Report(result, kFailedOther);
        return result;
    }
    result.created << path;
    return result;
}

}  // namespace kestra::kxc
