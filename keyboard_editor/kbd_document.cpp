#include "keyboard_editor/kbd_document.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>
#include <cmath>
#include <limits>

namespace clavon {
namespace {

constexpr qint64 kMaxDocumentBytes = 16 * 1024 * 1024;
constexpr int kMaxSymbols = 10000;
constexpr int kMaxCoordinate = 100000;
constexpr int kMaxText = 4096;
constexpr const char* kButtonClass = "CKesButton";
constexpr const char* kValueClass = "CSymValue";

// Keys this version reads and writes; everything else is kept as it stands.
const char* const kDocumentKeys[] = {"format", "version", "model", "symbols"};
const char* const kModelKeys[] = {"schema", "nextId", "properties"};
const char* const kSymbolKeys[] = {"class", "schema", "placement", "geometry", "properties"};

struct Range {
    int id;
    int low, high;
};

// Model properties whose values are limited.
const Range kModelRanges[] = {
    {kPanelWidth, 1, 8192}, {kPanelHeight, 1, 8192}, {kGridWidth, 1, 256},  {kGridHeight, 1, 256},
    {kHorzReference, 0, 1}, {kVertReference, 0, 1},  {kHorzPosition, 0, 2}, {kVertPosition, 0, 2},
    {kAvoidField, 0, 1},    {kAbsolute, 0, 1},       {kBorder, 0, 1},
};
const Range kButtonRanges[] = {
    {CKesButton::kHorzAlign, 0, 2},
    {CKesButton::kVertAlign, 0, 2},
    {CKesButton::kKeyCode, -32768, 65535},
};
const Range kValueRanges[] = {
    {CSymValue::kAlignment, 0, 3},
    {CSymValue::kType, 0, 3},
    {CSymValue::kFontSize, 0, 3},
};
// Text properties; every other property is an integer.
const int kModelTexts[] = {kName, 65558, 65562, kBitmapPath};
const int kButtonTexts[] = {CKesButton::kPicture, CKesButton::kLabel};

struct Failure {
    std::string what;
};

[[noreturn]] void Fail(const std::string& what) {
    throw Failure{what};
}

template <typename Keys>
QJsonObject Unknown(const QJsonObject& object, const Keys& known) {
    QJsonObject rest = object;
    for (const char* key : known) rest.remove(key);
    return rest;
}

template <typename Keys>
void Restore(QJsonObject& object, const QJsonObject& kept, const Keys& known) {
    for (auto it = kept.begin(); it != kept.end(); ++it) {
        bool isKnown = false;
        for (const char* key : known) isKnown = isKnown || it.key() == key;
        if (!isKnown) object.insert(it.key(), it.value());
    }
}

QJsonObject FontObject(const LabelFont& font) {
    return QJsonObject{{"face", QString::fromStdString(font.face)},
                       {"height", font.height},
                       {"weight", font.weight},
                       {"italic", font.italic},
                       {"underline", font.underline},
                       {"colour", static_cast<qint64>(font.colour)}};
}

QJsonObject PropertiesObject(const PropertyContainer& properties) {
    QJsonObject object;
    for (const auto& [id, value] : properties.All()) {
        if (const auto* number = std::get_if<std::int32_t>(&value))
            object.insert(QString::number(id), *number);
        else
            object.insert(QString::number(id),
                          QString::fromStdString(std::get<std::string>(value)));
    }
    return object;
}

// A symbol's entry; `withGeometry` adds its current place and size (a snapshot's "geometry").
QJsonObject SymbolObject(const CODKesSymbol& symbol, bool withGeometry) {
    QJsonObject object;
    const bool button = symbol.Kind() == SymbolKind::Button;
    object.insert("class", button ? kButtonClass : kValueClass);
    object.insert("schema", CODKesSymbol::kSchema);
    object.insert("placement", QJsonObject{{"x", symbol.placement[0]},
                                           {"y", symbol.placement[1]},
                                           {"width", symbol.placement[2]},
                                           {"height", symbol.placement[3]}});
    if (withGeometry)
        object.insert("geometry", QJsonObject{{"x", symbol.x},
                                              {"y", symbol.y},
                                              {"width", symbol.width},
                                              {"height", symbol.height}});
    QJsonObject properties = PropertiesObject(symbol.Properties());
    if (button)
        properties.insert(QString::number(CKesButton::kFont),
                          FontObject(static_cast<const CKesButton&>(symbol).font));
    object.insert("properties", properties);
    Restore(object, symbol.kept, kSymbolKeys);
    return object;
}

// ---- reading ----

std::int32_t IntegerOf(const QJsonValue& value, const std::string& where, qint64 low, qint64 high) {
    const double number = value.toDouble(std::numeric_limits<double>::quiet_NaN());
    if (!value.isDouble() || std::isnan(number) || number != std::floor(number) || number < low ||
        number > high)
        Fail(where + " must be a whole number from " + std::to_string(low) + " to " +
             std::to_string(high));
    return static_cast<std::int32_t>(static_cast<qint64>(number));
}

double NumberOf(const QJsonValue& value, const std::string& where, double low, double high) {
    const double number = value.toDouble(std::numeric_limits<double>::quiet_NaN());
    if (!value.isDouble() || !(number >= low && number <= high))
        Fail(where + " must be a number from " + std::to_string(static_cast<int>(low)) + " to " +
             std::to_string(static_cast<int>(high)));
    return number;
}

QJsonObject ObjectOf(const QJsonObject& parent, const char* key, const std::string& where) {
    const QJsonValue value = parent.value(key);
    if (!value.isObject()) Fail(where + " has no object \"" + key + "\"");
    return value.toObject();
}

template <typename Texts, typename Ranges>
void ReadProperties(const QJsonObject& object, PropertyContainer& properties, const Texts& texts,
                    const Ranges& ranges, const std::string& where, int skip = 0) {
    for (auto it = object.begin(); it != object.end(); ++it) {
        bool numeric = false;
        const int id = it.key().toInt(&numeric);
        const std::string name = where + " property " + it.key().toStdString();
        if (!numeric || id <= 0)
            Fail(where + " has a property without a number: " + it.key().toStdString());
        if (id == skip) continue;
        bool text = false;
        for (int t : texts) text = text || t == id;
        if (text) {
            if (!it.value().isString()) Fail(name + " must be a text");
            const std::string value = it.value().toString().toStdString();
            if (value.size() > kMaxText) Fail(name + " is too long");
            properties.Set(id, value);
            continue;
        }
        qint64 low = std::numeric_limits<std::int32_t>::min(),
               high = std::numeric_limits<std::int32_t>::max();
        for (const Range& range : ranges)
            if (range.id == id) low = range.low, high = range.high;
        if (it.value().isString()) {
            // A property this version does not know may hold a text.
            bool known = false;
            for (const Range& range : ranges) known = known || range.id == id;
            if (known) Fail(name + " must be a number");
            properties.Set(id, it.value().toString().left(kMaxText).toStdString());
            continue;
        }
        properties.Set(id, IntegerOf(it.value(), name, low, high));
    }
}

LabelFont ReadFont(const QJsonValue& value, const std::string& where) {
    if (!value.isObject()) Fail(where + " has no label font");
    const QJsonObject object = value.toObject();
    LabelFont font;
    if (!object.value("face").isString()) Fail(where + " font has no face name");
    font.face = object.value("face").toString().left(255).toStdString();
    font.height = IntegerOf(object.value("height"), where + " font height", 1, 1000);
    font.weight = IntegerOf(object.value("weight"), where + " font weight", 0, 1000);
    font.italic = object.value("italic").toBool();
    font.underline = object.value("underline").toBool();
    font.colour =
        static_cast<Colour>(IntegerOf(object.value("colour"), where + " font colour", 0, 0xFFFFFF));
    return font;
}

std::unique_ptr<CODKesSymbol> ReadSymbol(CClavonModel& model, const QJsonValue& value, int index) {
    const std::string where = "symbol " + std::to_string(index + 1);
    if (!value.isObject()) Fail(where + " is not an object");
    const QJsonObject object = value.toObject();
    const QString kind = object.value("class").toString();
    std::unique_ptr<CODKesSymbol> symbol;
    if (kind == kButtonClass) {
        auto button = std::make_unique<CKesButton>(model);
        const QJsonObject properties = ObjectOf(object, "properties", where);
        ReadProperties(properties, button->Properties(), kButtonTexts, kButtonRanges, where,
                       CKesButton::kFont);
        button->font = ReadFont(properties.value(QString::number(CKesButton::kFont)), where);
        symbol = std::move(button);
    } else if (kind == kValueClass) {
        symbol = std::make_unique<CSymValue>(model);
        ReadProperties(ObjectOf(object, "properties", where), symbol->Properties(),
                       std::initializer_list<int>{}, kValueRanges, where);
    } else {
        Fail(where + " is of an unknown class \"" + kind.toStdString() + "\"");
    }
    const QJsonObject placement = ObjectOf(object, "placement", where);
    symbol->placement[0] =
        IntegerOf(placement.value("x"), where + " x", -kMaxCoordinate, kMaxCoordinate);
    symbol->placement[1] =
        IntegerOf(placement.value("y"), where + " y", -kMaxCoordinate, kMaxCoordinate);
    symbol->placement[2] = IntegerOf(placement.value("width"), where + " width", 0, kMaxCoordinate);
    symbol->placement[3] =
        IntegerOf(placement.value("height"), where + " height", 0, kMaxCoordinate);
    symbol->ReplaceFromPlacement();
    if (object.contains("geometry")) {
        const QJsonObject geometry = ObjectOf(object, "geometry", where);
        symbol->x = NumberOf(geometry.value("x"), where + " x", -kMaxCoordinate, kMaxCoordinate);
        symbol->y = NumberOf(geometry.value("y"), where + " y", -kMaxCoordinate, kMaxCoordinate);
        symbol->width = NumberOf(geometry.value("width"), where + " width", 0, kMaxCoordinate);
        symbol->height = NumberOf(geometry.value("height"), where + " height", 0, kMaxCoordinate);
    }
    symbol->kept = Unknown(object, kSymbolKeys);
    return symbol;
}

std::unique_ptr<CClavonModel> ReadDocument(const QJsonObject& document) {
    if (document.value("format").toString() != kDocumentFormat)
        Fail("it is not a Clavon keyboard document");
    const int version = IntegerOf(document.value("version"), "the document version", 1,
                                  std::numeric_limits<std::int32_t>::max());
    if (version > kDocumentVersion)
        Fail("it was saved by a newer version of Clavon (document version " +
             std::to_string(version) + "; this version reads version " +
             std::to_string(kDocumentVersion) + "). Open it with a newer Clavon");
    auto model = std::make_unique<CClavonModel>();
    const QJsonObject modelObject = ObjectOf(document, "model", "the document");
    ReadProperties(ObjectOf(modelObject, "properties", "the model"), model->Properties(),
                   kModelTexts, kModelRanges, "the model");
    const int colours = model->Int(kNumColors);
    if (colours != 2 && colours != 16 && colours != 256)
        Fail("the model property 65537 must be 2, 16 or 256");
    model->SetColourCount(colours);
    model->SetNextId(static_cast<std::uint32_t>(
        IntegerOf(modelObject.value("nextId"), "the model's next identifier", 1,
                  std::numeric_limits<std::int32_t>::max())));
    const QJsonValue symbols = document.value("symbols");
    if (!symbols.isArray()) Fail("the document has no symbol list");
    const QJsonArray list = symbols.toArray();
    if (list.size() > kMaxSymbols) Fail("the document has more than 10000 symbols");
    for (int i = 0; i < list.size(); ++i) model->Add(ReadSymbol(*model, list[i], i));
    model->keptDocument = Unknown(document, kDocumentKeys);
    model->keptModel = Unknown(modelObject, kModelKeys);
    return model;
}

QByteArray DocumentText(const CClavonModel& model, bool withGeometry) {
    QJsonObject modelObject{{"schema", CODKesSymbol::kSchema},
                            {"nextId", static_cast<qint64>(model.NextId())},
                            {"properties", PropertiesObject(model.Properties())}};
    Restore(modelObject, model.keptModel, kModelKeys);
    QJsonArray symbols;
    for (const auto& symbol : model.Symbols()) symbols.append(SymbolObject(*symbol, withGeometry));
    QJsonObject document{{"format", kDocumentFormat},
                         {"version", kDocumentVersion},
                         {"model", modelObject},
                         {"symbols", symbols}};
    Restore(document, model.keptDocument, kDocumentKeys);
    return QJsonDocument(document).toJson(QJsonDocument::Indented);
}

}  // namespace

QByteArray SaveKbd(CClavonModel& model) {
    model.RecordPlacements();
    return DocumentText(model, false);
}

QByteArray SnapshotKbd(const CClavonModel& model) {
    return DocumentText(model, true);
}

bool WriteKbdFile(CClavonModel& model, const std::string& path, std::string& error) {
    QSaveFile file(QString::fromStdString(path));
    const QByteArray text = SaveKbd(model);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit()) {
        error = file.errorString().toStdString();
        return false;
    }
    return true;
}

std::unique_ptr<CClavonModel> ParseKbd(const QByteArray& text, std::string& error) {
    QJsonParseError parseError{};
    const QJsonDocument json = QJsonDocument::fromJson(text, &parseError);
    if (json.isNull()) {
        error = "it is damaged: " + parseError.errorString().toStdString() + " at byte " +
                std::to_string(parseError.offset);
        return nullptr;
    }
    if (!json.isObject()) {
        error = "it is not a Clavon keyboard document";
        return nullptr;
    }
    try {
        return ReadDocument(json.object());
    } catch (const Failure& failure) {
        error = failure.what;
        return nullptr;
    }
}

std::unique_ptr<CClavonModel> ReadKbdFile(const std::string& path, std::string& error) {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) {
        error = "it cannot be read: " + file.errorString().toStdString();
        return nullptr;
    }
    if (file.size() > kMaxDocumentBytes) {
        error = "it is larger than a keyboard document can be";
        return nullptr;
    }
    return ParseKbd(file.readAll(), error);
}

}  // namespace clavon
