#include "workbench/hosted/character_picker.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

#include "kestra/json_text.h"
#include "windows/window.h"
#include "workbench/hosted/hosted_window.h"

namespace kestra::workbench {

namespace {

constexpr int kFirstRow = 0x2;  // the high digit of the grid's first row
constexpr int kRows = 16 - kFirstRow;
constexpr int kColumns = 16;
constexpr int kByteRole = Qt::UserRole;
constexpr std::uintptr_t kSecondCall = 0x10000;
constexpr std::uint8_t kFirstChoice = 0xB0;  // the degree sign: the grid opens on it

QChar CharacterOf(std::uint8_t byte) {
    return QString::fromStdString(PanelCharacterText(byte)).at(0);
}

class PickerDialog : public QDialog {
  public:
    explicit PickerDialog(QWidget* parent) : QDialog(parent) {
        setWindowTitle(tr("Special Characters"));
        auto* layout = new QVBoxLayout(this);
        auto* label = new QLabel(tr("&Characters the panel shows (Windows-1252). Choose one "
                                    "and press OK, or double-click it:"),
                                 this);
        label->setWordWrap(true);
        layout->addWidget(label);
        grid_ = new QTableWidget(kRows, kColumns, this);
        grid_->setObjectName("characters");
        label->setBuddy(grid_);
        grid_->setSelectionMode(QAbstractItemView::SingleSelection);
        grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
        grid_->setTabKeyNavigation(false);
        QFont font = grid_->font();
        font.setPointSizeF(font.pointSizeF() * 1.4);
        grid_->setFont(font);
        const int cell = QFontMetrics(font).height() + 10;
        QStringList columns, rows;
        for (int c = 0; c < kColumns; ++c) columns << QString::number(c, 16).toUpper();
        for (int r = 0; r < kRows; ++r)
            rows << QString::number(r + kFirstRow, 16).toUpper() + QStringLiteral("_");
        grid_->setHorizontalHeaderLabels(columns);
        grid_->setVerticalHeaderLabels(rows);
        grid_->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        grid_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        grid_->horizontalHeader()->setDefaultSectionSize(cell);
        grid_->verticalHeader()->setDefaultSectionSize(cell);
        for (int r = 0; r < kRows; ++r)
            for (int c = 0; c < kColumns; ++c) {
                const auto byte = static_cast<std::uint8_t>((r + kFirstRow) * 16 + c);
                auto* item = new QTableWidgetItem;
                if (IsPanelCharacter(byte)) {
                    item->setText(CharacterOf(byte));
                    item->setData(kByteRole, byte);
                    item->setTextAlignment(Qt::AlignCenter);
                    item->setToolTip(describe(byte));
                } else {
                    item->setFlags(Qt::NoItemFlags);
                }
                grid_->setItem(r, c, item);
            }
        const int width = grid_->verticalHeader()->sizeHint().width() + kColumns * cell +
                          2 * grid_->frameWidth() + 2;
        const int height = grid_->horizontalHeader()->sizeHint().height() + kRows * cell +
                           2 * grid_->frameWidth() + 2;
        grid_->setFixedSize(width, height);
        grid_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        grid_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        layout->addWidget(grid_);
        chosen_ = new QLabel(this);
        chosen_->setObjectName("chosen");
        layout->addWidget(chosen_);
        auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
        layout->addWidget(box);
        connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
        connect(grid_, &QTableWidget::itemDoubleClicked, this, [this](QTableWidgetItem* item) {
            if (item->flags() & Qt::ItemIsEnabled) accept();
        });
        connect(grid_, &QTableWidget::currentItemChanged, this, [this] { showChosen(); });
        select(last_);
        grid_->setFocus();
    }

    std::optional<std::uint8_t> picked() const {
        const QTableWidgetItem* item = grid_->currentItem();
        if (!item || !(item->flags() & Qt::ItemIsEnabled)) return std::nullopt;
        return static_cast<std::uint8_t>(item->data(kByteRole).toInt());
    }

    void accept() override {
        if (!picked()) return;
        last_ = *picked();
        QDialog::accept();
    }

  private:
    static QString describe(std::uint8_t byte) {
        auto hex = [](unsigned value, int digits) {
            return QString::number(value, 16).toUpper().rightJustified(digits, QLatin1Char('0'));
        };
        return tr("byte 0x%1 (%2), Unicode U+%3")
            .arg(hex(byte, 2))
            .arg(byte)
            .arg(hex(CharacterOf(byte).unicode(), 4));
    }
    void select(std::uint8_t byte) { grid_->setCurrentCell(byte / 16 - kFirstRow, byte % 16); }
    void showChosen() {
        const auto byte = picked();
        chosen_->setText(byte ? QString(CharacterOf(*byte)) + "    " + describe(*byte)
                              : tr("No character is chosen."));
    }

    QTableWidget* grid_ = nullptr;
    QLabel* chosen_ = nullptr;
    static inline std::uint8_t last_ = kFirstChoice;
};

}  // namespace

bool IsPanelCharacter(std::uint8_t byte) {
    if (byte < kFirstRow * 16) return false;
    const QChar character = CharacterOf(byte);
    return character.isPrint() && !character.isSpace();
}

std::string PanelCharacterText(std::uint8_t byte) {
    // The window core's Qt host shows texts as UTF-8.
    return json::BytesToUtf8(std::span<const std::uint8_t>(&byte, 1));
}

std::optional<std::uint8_t> PickPanelCharacter(QWidget* parent) {
    PickerDialog dialog(parent);
    CentreOverParent(dialog);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.picked();
}

AlarmCharacterPicker::AlarmCharacterPicker(ALARMDLGCONTEXT& context)
    : context_(context), previous_(active_) {
    context_.specialChars = &AlarmCharacterPicker::Pick;
    context_.specialText = nullptr;
    active_ = this;
}

AlarmCharacterPicker::~AlarmCharacterPicker() {
    context_.specialChars = nullptr;
    context_.specialText = nullptr;
    active_ = previous_;
}

BOOL AlarmCharacterPicker::Pick(HWND dialog) {
    AlarmCharacterPicker* self = active_;
    if (!self) return FALSE;
    if (self->picking_ && reinterpret_cast<std::uintptr_t>(dialog) ==
                              reinterpret_cast<std::uintptr_t>(self->picking_) + kSecondCall) {
        // The driver has appended the text: it goes.
        self->picking_ = nullptr;
        self->text_.clear();
        self->context_.specialText = nullptr;
        return FALSE;
    }
    self->picking_ = dialog;
    self->text_.clear();
    self->context_.specialText = nullptr;
    const auto byte = PickPanelCharacter(CoreDialogParent(dialog));
    if (!byte) return FALSE;
    self->text_ = PanelCharacterText(*byte);
    self->context_.specialText = self->text_.c_str();
    return TRUE;
}

}  // namespace kestra::workbench
