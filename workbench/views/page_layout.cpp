#include "workbench/views/page_layout.h"

#include <algorithm>
#include <cstdint>

#include "plc_s5/type1_image.h"
#include "workbench/document/project_pages.h"

namespace kestra::workbench {

namespace {

constexpr std::uint16_t kAttributeClass = 3;
constexpr int kByteLimit = 255;  // row, column, width and height are bytes
constexpr WORD kNoText = 0xFFFF;

// What each field type (record byte 6) shows, and the sizes the driver's field dialog allows
// it: one line, and at most so many characters.
struct KindRule {
    FieldLook look;
    bool oneLine;
    int widest;
};
constexpr KindRule kKinds[] = {
    {FieldLook::Number, true, kByteLimit},          // NUMERIC
    {FieldLook::Message, true, 128},                // MESSAGE
    {FieldLook::Text, true, kByteLimit},            // ASCII
    {FieldLook::HorizontalBar, false, kByteLimit},  // HORZ.BARGRAPH
    {FieldLook::VerticalBar, false, kByteLimit},    // VERT.BARGRAPH
    {FieldLook::Picture, false, kByteLimit},        // GRAPHICS
    {FieldLook::TouchPicture, false, kByteLimit},   // TOUCH GRAPHICS
};

// NUMERIC fields of a timer or counter format show at most so many digits.
struct FormatWidth {
    std::uint8_t format;
    int widest;
};
constexpr FormatWidth kNumberWidths[] = {{6, 4} /* KT */, {7, 3} /* KZ */};

const KindRule* RuleOf(const FieldRecord& field) {
    if (field.fieldClass == kAttributeClass || field.kind() >= std::size(kKinds)) return nullptr;
    return &kKinds[field.kind()];
}

QString FirstMessage(const ProjectBlock& project, const FieldRecord& field) {
    const auto entries = Entries(field.list1);
    if (entries.empty()) return {};
    const WORD id = entries.front().textId;
    return id == kNoText ? QString() : QString::fromStdString(Text(project, id));
}

// The page text as lines: control characters show as blanks.
QStringList TextLines(const std::string& text) {
    QStringList lines = QString::fromStdString(text).split(QLatin1Char('\n'));
    for (QString& line : lines) {
        if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
        for (QChar& c : line)
            if (c.category() == QChar::Other_Control) c = QLatin1Char(' ');
    }
    while (!lines.isEmpty() && lines.back().isEmpty()) lines.removeLast();
    return lines;
}

QRect CellsOf(const FieldRecord& field) {
    return {s5::FieldColumn(field), s5::FieldRow(field), std::max<int>(field.width, 1),
            std::max<int>(field.height, 1)};
}

// A dimension of `size` cells grown by `step`: shrinking always (to 1 at least), growing only
// up to `upper` (a size already beyond it stays where it is).
int Held(int size, int step, int upper) {
    const int wanted = std::max(1, size + step);
    if (wanted <= size) return wanted;
    return std::max(size, std::min(wanted, upper));
}

// The fields of a page by the numbers chosen, each once; nothing when one is not on the page.
std::optional<std::vector<FieldRecord*>> Chosen(ProjectBlock& project, std::size_t page,
                                                std::span<const std::size_t> chosen) {
    const auto pages = Pages(project);
    if (page >= pages.size()) return std::nullopt;
    const auto fields = Fields(pages[page]);
    std::vector<std::size_t> numbers(chosen.begin(), chosen.end());
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    std::vector<FieldRecord*> records;
    for (std::size_t number : numbers) {
        if (number >= fields.size()) return std::nullopt;
        records.push_back(&fields[number]);
    }
    return records;
}

}  // namespace

FieldLook LookOf(const FieldRecord& field) {
    if (field.fieldClass == kAttributeClass) return FieldLook::Attribute;
    const KindRule* rule = RuleOf(field);
    return rule ? rule->look : FieldLook::Other;
}

QString Placeholder(FieldLook look, const FieldRecord& field, int width,
                    const QString& firstMessage) {
    const auto filled = [width](char c) { return QString(width, QLatin1Char(c)); };
    switch (look) {
        case FieldLook::Number: {
            const int decimals = field.display.decimals;
            if ((field.display.format & sDISPFORMAT::kFixedPoint) && decimals > 0 &&
                decimals < width)
                return filled('#').replace(width - decimals - 1, 1, QLatin1Char('.'));
            return filled('#');
        }
        case FieldLook::Message:
            return firstMessage.isEmpty() ? filled('M')
                                          : firstMessage.left(width).leftJustified(width);
        case FieldLook::Text:
            return filled('X');
        case FieldLook::Other:
            return filled('?');
        default:
            return {};
    }
}

QString Placeholder(const ProjectBlock& project, const FieldRecord& field, int width) {
    const FieldLook look = LookOf(field);
    return Placeholder(look, field, width,
                       look == FieldLook::Message ? FirstMessage(project, field) : QString());
}

QSize PageLayout::extent() const {
    QSize size(display.columns, display.rows);
    for (const PlacedField& field : fields)
        size = size.expandedTo(
            QSize(field.cells.x() + field.cells.width(), field.cells.y() + field.cells.height()));
    return size;
}

std::size_t PageLayout::overlapping() const {
    return static_cast<std::size_t>(
        std::count_if(fields.begin(), fields.end(), [](const auto& f) { return f.overlaps; }));
}

std::size_t PageLayout::outside() const {
    return static_cast<std::size_t>(
        std::count_if(fields.begin(), fields.end(), [](const auto& f) { return f.outside; }));
}

const PlacedField* PageLayout::fieldAt(QPoint cell) const {
    for (auto it = fields.rbegin(); it != fields.rend(); ++it)
        if (it->cells.contains(cell)) return &*it;
    return nullptr;
}

void MarkProblems(PageLayout& layout) {
    // How many fields cover each cell (a difference grid summed up), then which cells more
    // than one covers, summed so that any box asks in four reads: linear in the fields and
    // the cells, however many fields a page has.
    const QSize extent = layout.extent();
    const int width = extent.width() + 1, height = extent.height() + 1;
    std::vector<int> cover(static_cast<std::size_t>(width) * height, 0);
    const auto at = [width](int x, int y) { return static_cast<std::size_t>(y) * width + x; };
    for (const PlacedField& field : layout.fields) {
        const QRect& c = field.cells;
        const int right = c.x() + c.width(), bottom = c.y() + c.height();
        ++cover[at(c.x(), c.y())];
        --cover[at(right, c.y())];
        --cover[at(c.x(), bottom)];
        ++cover[at(right, bottom)];
    }
    // `shared` holds, at (x + 1, y + 1), the number of shared cells left of and above it.
    std::vector<int> shared(static_cast<std::size_t>(width + 1) * (height + 1), 0);
    const auto sharedAt = [width](int x, int y) {
        return static_cast<std::size_t>(y) * (width + 1) + x;
    };
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            int& count = cover[at(x, y)];
            if (x > 0) count += cover[at(x - 1, y)];
            if (y > 0) count += cover[at(x, y - 1)];
            if (x > 0 && y > 0) count -= cover[at(x - 1, y - 1)];
        }
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            shared[sharedAt(x + 1, y + 1)] = (cover[at(x, y)] > 1 ? 1 : 0) +
                                             shared[sharedAt(x, y + 1)] +
                                             shared[sharedAt(x + 1, y)] - shared[sharedAt(x, y)];
    const host::PanelDisplay& display = layout.display;
    for (PlacedField& field : layout.fields) {
        const QRect& c = field.cells;
        const int right = c.x() + c.width(), bottom = c.y() + c.height();
        field.overlaps = shared[sharedAt(right, bottom)] - shared[sharedAt(c.x(), bottom)] -
                             shared[sharedAt(right, c.y())] + shared[sharedAt(c.x(), c.y())] >
                         0;
        field.outside = !display.holds(c.y(), c.x(), c.width(), c.height());
    }
}

PageLayout LayOutPage(const ProjectBlock& project, std::size_t page, std::size_t language,
                      const host::PanelDisplay& display) {
    PageLayout layout;
    layout.display = display;
    const auto pages = Pages(project);
    if (page >= pages.size()) return layout;
    layout.textLines = TextLines(PageText(project, page, language));
    const auto fields = Fields(pages[page]);
    layout.fields.reserve(fields.size());
    for (std::size_t number = 0; number < fields.size(); ++number) {
        const FieldRecord& record = fields[number];
        PlacedField& placed = layout.fields.emplace_back();
        placed.number = number;
        placed.cells = CellsOf(record);
        placed.look = LookOf(record);
        placed.placeholder = Placeholder(project, record, placed.cells.width());
        placed.label = QString::fromStdString(TextIn(record.label));
    }
    MarkProblems(layout);
    return layout;
}

SizeLimits LimitsOf(const FieldRecord& field, const host::PanelDisplay& display) {
    SizeLimits limits{std::min(display.columns, kByteLimit), std::min(display.rows, kByteLimit)};
    const KindRule* rule = RuleOf(field);
    if (!rule) return limits;
    limits.widest = std::min(limits.widest, rule->widest);
    if (rule->oneLine) limits.highest = 1;
    if (rule->look == FieldLook::Number)
        for (const FormatWidth& format : kNumberWidths)
            if (field.plc.dataFormat == format.format)
                limits.widest = std::min(limits.widest, format.widest);
    return limits;
}

CellStep HeldMove(const PageLayout& layout, std::span<const std::size_t> chosen, CellStep wanted) {
    int up = kByteLimit, down = kByteLimit, left = kByteLimit, right = kByteLimit;
    bool any = false;
    for (std::size_t number : chosen) {
        if (number >= layout.fields.size()) continue;
        const QRect& c = layout.fields[number].cells;
        any = true;
        up = std::min(up, c.y());
        left = std::min(left, c.x());
        down = std::min(down, std::max(0, layout.display.rows - c.y() - c.height()));
        right = std::min(right, std::max(0, layout.display.columns - c.x() - c.width()));
    }
    if (!any) return {};
    return {std::clamp(wanted.rows, -up, down), std::clamp(wanted.columns, -left, right)};
}

QSize HeldSize(const FieldRecord& field, QRect cells, CellStep step,
               const host::PanelDisplay& display) {
    const SizeLimits limits = LimitsOf(field, display);
    return {Held(cells.width(), step.columns, std::min(limits.widest, display.columns - cells.x())),
            Held(cells.height(), step.rows, std::min(limits.highest, display.rows - cells.y()))};
}

bool MoveFields(ProjectBlock& project, std::size_t page, std::span<const std::size_t> chosen,
                CellStep step) {
    const auto records = Chosen(project, page, chosen);
    if (!records || records->empty() || step == CellStep{}) return false;
    const auto inRange = [](int value) { return value >= 0 && value <= kByteLimit; };
    for (const FieldRecord* field : *records)
        if (!inRange(s5::FieldRow(*field) + step.rows) ||
            !inRange(s5::FieldColumn(*field) + step.columns))
            return false;
    for (FieldRecord* field : *records) {
        s5::FieldRow(*field) = static_cast<std::uint8_t>(s5::FieldRow(*field) + step.rows);
        s5::FieldColumn(*field) = static_cast<std::uint8_t>(s5::FieldColumn(*field) + step.columns);
    }
    return true;
}

bool ResizeFields(ProjectBlock& project, std::size_t page, std::span<const std::size_t> chosen,
                  CellStep step, const host::PanelDisplay& display) {
    const auto records = Chosen(project, page, chosen);
    if (!records) return false;
    bool changed = false;
    for (FieldRecord* field : *records) {
        const QSize size = HeldSize(*field, CellsOf(*field), step, display);
        // A dimension not asked to change keeps its byte, even a 0 shown as 1.
        const auto width = static_cast<std::uint8_t>(step.columns ? size.width() : field->width);
        const auto height = static_cast<std::uint8_t>(step.rows ? size.height() : field->height);
        changed = changed || width != field->width || height != field->height;
        field->width = width;
        field->height = height;
    }
    return changed;
}

}  // namespace kestra::workbench
