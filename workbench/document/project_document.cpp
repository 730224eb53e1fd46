#include "workbench/document/project_document.h"

#include <QFileInfo>
#include <QMetaObject>

#include "extension_classes/plc_driver.h"
#include "extension_classes/plc_info.h"
#include "kestra/check.h"
#include "kestra/exchange.h"
#include "platform/memory.h"
#include "string_table/string_table.h"
#include "workbench/document/project_pages.h"
#include "workbench/window/user_folders.h"

namespace kestra::workbench {

using host::Fail;
using host::Failure;

// A project the store loaded, with the arena of every block allocated for it.
class ProjectDocument::Live {
  public:
    Live() = default;
    ~Live() {
        if (loaded.handle) StrTabDiscard(mem::Data(loaded.handle));
        arena.release();
    }
    Live(const Live&) = delete;
    Live& operator=(const Live&) = delete;

    // Loads an image through the store. With `repair`, as `kestra check --repair-menu-fields`
    // does, the repairs made going to `repairs`.
    static std::unique_ptr<Live> Load(const std::string& file, const Bytes& image, bool repair,
                                      std::vector<std::string>* repairs = nullptr) {
        // The store is loaded outside every arena: what a library allocates for itself when
        // it is loaded must outlive the projects.
        host::Store& store = host::Store::Get();
        auto live = std::make_unique<Live>();
        mem::Arena::Scope scope(live->arena);
        host::CollectedMessageBoxes messages;
        if (!repair) {
            live->loaded = store.load(file, image);
            return live;
        }
        InDataFolder repairLogHere;
        host::LoadOptions options;
        options.repairMenuFields = true;
        host::CheckedProject checked = host::LoadChecked(file, image, options);
        live->loaded = checked.project;
        if (repairs) *repairs = std::move(checked.repairs);
        return live;
    }

    mem::Arena arena;
    host::LoadedProject loaded;
};

namespace {

// One change of the project: the stretch of its image that the change rewrote.
class ImageStep : public QUndoCommand {
  public:
    ImageStep(ProjectDocument& document, const QString& text, ImageDelta delta)
        : QUndoCommand(text), document_(document), delta_(std::move(delta)) {}

    void undo() override { apply(delta_.before(document_.image())); }
    void redo() override {
        // The project is already in the state after the change when the step is pushed.
        if (std::exchange(pushed_, false)) return;
        apply(delta_.after(document_.image()));
    }

  private:
    void apply(std::optional<Bytes> image) {
        try {
            if (!image) Fail(host::kExitInternal, "the undo history does not fit the project");
            document_.applyImage(std::move(*image));
        } catch (const Failure& failure) {
            // The history no longer describes the project: it is dropped, and the project
            // counts as unsaved.
            QUndoStack* stack = &document_.undoStack();
            QMetaObject::invokeMethod(
                stack,
                [stack] {
                    stack->clear();
                    stack->resetClean();
                },
                Qt::QueuedConnection);
            emit document_.problem(QString::fromStdString(failure.message));
        }
    }

    ProjectDocument& document_;
    ImageDelta delta_;
    bool pushed_ = true;
};

}  // namespace

ProjectDocument::ProjectDocument(QObject* parent) : QObject(parent) {
    connect(&undo_, &QUndoStack::cleanChanged, this,
            [this](bool clean) { emit modifiedChanged(!clean); });
}

ProjectDocument::~ProjectDocument() {
    undo_.clear();
}

const host::LoadedProject& ProjectDocument::project() const {
    return live_->loaded;
}

ProjectBlock& ProjectDocument::block() const {
    return live_->loaded.block();
}

std::vector<std::string> ProjectDocument::open(const QString& given, bool repair) {
    const QString path = QFileInfo(given).absoluteFilePath();
    const std::string file = path.toStdString();
    const FileStamp stamp = FileStamp::Of(file);
    const Bytes bytes = host::ReadInput(file);
    std::vector<std::string> repairs;
    std::unique_ptr<Live> live = Live::Load(file, bytes, repair, &repairs);
    adopt(std::move(live), path, !repairs.empty());
    stamp_ = stamp;
    return repairs;
}

void ProjectDocument::newProject(const CPlcInfo& entry) {
    const std::string what = "a new project for " + entry.m_strDriverName;
    host::Driver driver = host::Driver::ForEntry(entry, what);
    Bytes image;
    {
        // The project is made from the driver's defaults, then saved and loaded again, so
        // that the document always holds a project as the store loads it.
        Live made;
        mem::Arena::Scope scope(made.arena);
        made.loaded.handle = GlobalAlloc(GHND, kProjectBlockSize);
        if (!made.loaded.handle) Fail(host::kExitInternal, what + ": no memory");
        ProjectBlock& p = made.loaded.block();
        constexpr WORD kAllDefaults = 0;
        if (!driver.loader().InitPlcDefaults(&p, nullptr, &p.record.nodeA, nullptr, kAllDefaults))
            Fail(host::kExitDriverFailed,
                 what + ": the driver " + driver.library() + " gives no defaults for a project");
        p.record.titleId = StrTabAddText(tr("New project").toStdString().c_str(), &p);
        if (!ReorderPages(p, Inserting(0, 0, 1), {tr("Page 1").toStdString()}))
            Fail(host::kExitInternal, what + ": no memory for its first page");
        host::CollectedMessageBoxes messages;
        image = host::Store::Get().save(what, made.loaded);
    }
    adopt(Live::Load(what, image, false), QString(), false);
    driver_ = std::make_unique<host::Driver>(std::move(driver));
    driverCode_ = block().record.projectType;
    driverProblem_.clear();
    emit projectChanged();
}

void ProjectDocument::importJson(const QString& path) {
    const std::string file = path.toStdString();
    const Bytes bytes = host::ReadInput(file);
    const Bytes image = host::ImageOfDocument(
        file, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    std::unique_ptr<Live> live;
    try {
        live = Live::Load(file, image, false);
    } catch (const Failure& failure) {
        Fail(host::kExitBadDocument,
             file + ": the document describes a project that does not load: " + failure.message);
    }
    adopt(std::move(live), QString(), true);
    suggestedName_ = QFileInfo(path).completeBaseName() + ".kpr";
    emit fileChanged();
}

void ProjectDocument::exportJson(const QString& path) {
    const std::string file = path.toStdString();
    host::WriteOutput(file, host::DocumentOfImage(displayName().toStdString(), image()));
}

void ProjectDocument::save() {
    if (path_.isEmpty()) Fail(host::kExitUsage, "the project has no file yet: save it as a file");
    saveAs(path_);
}

void ProjectDocument::saveAs(const QString& given) {
    const QString path = QFileInfo(given).absoluteFilePath();
    const Bytes& bytes = image();
    host::WriteOutput(path.toStdString(), bytes);
    path_ = path;
    suggestedName_.clear();
    stamp_ = FileStamp::Of(path.toStdString());
    undo_.setClean();
    emit fileChanged();
}

void ProjectDocument::recover(const Bytes& image, const QString& path) {
    const std::string name = path.isEmpty() ? "the recovered project" : path.toStdString();
    adopt(Live::Load(name, image, false), path, true);
    stamp_ = FileStamp::Of(path.toStdString());
}

QString ProjectDocument::displayName() const {
    if (!path_.isEmpty()) return QFileInfo(path_).fileName();
    if (!suggestedName_.isEmpty()) return suggestedName_;
    return tr("Untitled");
}

bool ProjectDocument::changedOnDisk() const {
    return !path_.isEmpty() && FileStamp::Of(path_.toStdString()) != stamp_;
}

const Bytes& ProjectDocument::image() {
    if (!image_) {
        mem::Arena::Scope scope(live_->arena);
        host::CollectedMessageBoxes messages;
        image_ = host::Store::Get().save(displayName().toStdString(), live_->loaded);
    }
    return *image_;
}

bool ProjectDocument::change(const QString& text, const std::function<bool()>& edit) {
    if (!live_) return false;
    if (busy_ > 0) return edit();  // part of the change (or work) that runs now
    before_.assign(image().begin(), image().end());
    const Bytes& before = before_;
    bool kept = false;
    ++busy_;
    try {
        mem::Arena::Scope scope(live_->arena);
        kept = edit();
    } catch (...) {
        --busy_;
        applyImage(before);
        throw;
    }
    --busy_;
    try {
        image_.reset();
        const Bytes& edited = image();
        if (!kept || edited == before) {
            if (edited != before) applyImage(before);
            return false;
        }
        // The project becomes what the store loads of the image it saved: texts the change
        // left unused drop out and the string table takes the store's order, so that undo,
        // redo and the file all give this very image.
        const Bytes saved = std::move(*image_);
        image_.reset();
        load(saved);
        if (image() == before) {
            emit projectChanged();
            return false;
        }
    } catch (const Failure&) {
        applyImage(before);
        throw;
    }
    undo_.push(new ImageStep(*this, text, ImageDelta::Between(before, *image_)));
    emit projectChanged();
    return true;
}

void ProjectDocument::applyImage(Bytes image) {
    reload(std::move(image));
    emit projectChanged();
}

void ProjectDocument::reload(Bytes image) {
    load(image);
    image_ = std::move(image);
}

void ProjectDocument::load(const Bytes& image) {
    live_ = Live::Load(displayName().toStdString(), image, false);
    findDriver();
}

void ProjectDocument::adopt(std::unique_ptr<Live> live, const QString& path, bool unsaved) {
    live_ = std::move(live);
    image_.reset();
    path_ = path;
    suggestedName_.clear();
    stamp_ = FileStamp();
    undo_.clear();
    if (unsaved) undo_.resetClean();
    findDriver();
    emit replaced();
    emit fileChanged();
    emit projectChanged();
    emit modifiedChanged(isModified());
}

void ProjectDocument::findDriver() {
    const ProjectRecord& record = block().record;
    if (driver_ && driverCode_ == record.projectType) return;
    driver_.reset();
    driverProblem_.clear();
    try {
        driver_ = std::make_unique<host::Driver>(host::Driver::ForProjectCode(
            record.projectType, record.plcType, displayName().toStdString()));
        driverCode_ = record.projectType;
    } catch (const Failure& failure) {
        driverProblem_ = QString::fromStdString(failure.message);
    }
}

}  // namespace kestra::workbench
