// The keyboard document file: round trips, members of newer versions kept, and damaged,
// newer or lying files refused with a clear reason and no model.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <functional>

#include "keyboard_editor/kbd_document.h"
#include "keyboard_support.h"
#include "support/temp_folder.h"

namespace clavon {
namespace {

std::unique_ptr<CClavonModel> Sample() {
    auto model = std::make_unique<CClavonModel>();
    model->SetColourCount(256);
    model->SetText(kName, "Numbers \"pad\" \xC3\xA4");
    model->SetInt(kBorder, 1);
    model->SetInt(kFieldMask, 6);
    auto key = std::make_unique<CKesButton>(*model);
    key->MoveTo(17, 31);
    key->width = 70;  // snaps to 72
    key->Properties().Set(CKesButton::kKeyCode, 27);
    key->Properties().Set(CKesButton::kPicture, std::string("/icons/esc.ico"));
    key->font.face = "DejaVu Sans";
    key->font.weight = 700;
    key->font.colour = 0x0000FF;
    model->Add(std::move(key));
    auto value = std::make_unique<CSymValue>(*model);
    value->MoveTo(96, 64);
    value->Properties().Set(CSymValue::kAlignment, 3);
    model->Add(std::move(value));
    model->SetNextId(42);
    return model;
}

TEST(Document, SavedReopenedAndSavedAgainIsIdentical) {
    kestra::testing::TempFolder folder;
    auto model = Sample();
    std::string error;
    ASSERT_TRUE(WriteKbdFile(*model, folder.file("pad.kbd"), error)) << error;
    auto reopened = ReadKbdFile(folder.file("pad.kbd"), error);
    ASSERT_TRUE(reopened) << error;
    ASSERT_TRUE(WriteKbdFile(*reopened, folder.file("again.kbd"), error));
    EXPECT_EQ(folder.read("pad.kbd"), folder.read("again.kbd"));

    EXPECT_EQ(reopened->Properties(), model->Properties());
    EXPECT_EQ(reopened->Palette().NumColors(), 256);
    EXPECT_EQ(reopened->NextId(), 42u);
    ASSERT_EQ(reopened->ComponentCount(), 2);
    const auto& key = static_cast<const CKesButton&>(*reopened->Symbols()[0]);
    EXPECT_EQ(key.Kind(), SymbolKind::Button);
    EXPECT_EQ(key.Properties(), model->Symbols()[0]->Properties());
    EXPECT_EQ(key.font, static_cast<const CKesButton&>(*model->Symbols()[0]).font);
    // Every symbol is back where it was, snapped as it was saved.
    EXPECT_EQ((std::vector<double>{key.x, key.y, key.width, key.height}),
              (std::vector<double>{16, 32, 72, 32}));
    EXPECT_EQ(reopened->Symbols()[1]->SnappedRect(), (PanelRect{96, 64, 144, 96}));
    EXPECT_EQ(reopened->Symbols()[1]->Properties().Int(CSymValue::kAlignment), 3);
}

TEST(Document, MembersOfNewerVersionsAreKept) {
    auto model = Sample();
    QJsonObject document = QJsonDocument::fromJson(SaveKbd(*model)).object();
    document.insert("author", "someone");
    QJsonObject modelObject = document.value("model").toObject();
    modelObject.insert("guides", QJsonObject{{"x", 5}});
    QJsonObject properties = modelObject.value("properties").toObject();
    properties.insert("70000", "a later setting");
    modelObject.insert("properties", properties);
    document.insert("model", modelObject);
    const QByteArray text = QJsonDocument(document).toJson(QJsonDocument::Indented);
    std::string error;
    auto reopened = ParseKbd(text, error);
    ASSERT_TRUE(reopened) << error;
    EXPECT_EQ(SaveKbd(*reopened), text);
}

TEST(Document, DamagedNewerAndOutOfRangeFilesAreRefused) {
    const QByteArray good = SaveKbd(*Sample());
    auto edited = [&](const std::function<void(QJsonObject&)>& edit) {
        QJsonObject document = QJsonDocument::fromJson(good).object();
        edit(document);
        return QJsonDocument(document).toJson();
    };
    auto property = [&](const char* id, const QJsonValue& value) {
        return edited([&](QJsonObject& d) {
            QJsonObject m = d.value("model").toObject();
            QJsonObject p = m.value("properties").toObject();
            p.insert(id, value);
            m.insert("properties", p);
            d.insert("model", m);
        });
    };
    auto symbol = [&](const std::function<void(QJsonObject&)>& edit) {
        return edited([&](QJsonObject& d) {
            QJsonArray list = d.value("symbols").toArray();
            QJsonObject s = list[0].toObject();
            edit(s);
            list[0] = s;
            d.insert("symbols", list);
        });
    };
    const std::vector<std::pair<QByteArray, std::string>> cases = {
        {good.left(good.size() / 2), "it is damaged: "},
        {"[1,2]", "it is not a Clavon keyboard document"},
        {edited([](QJsonObject& d) { d.insert("format", "other"); }),
         "it is not a Clavon keyboard document"},
        {edited([](QJsonObject& d) { d.insert("version", 2); }),
         "it was saved by a newer version of Clavon (document version 2; this version reads "
         "version 1). Open it with a newer Clavon"},
        {edited([](QJsonObject& d) { d.insert("version", 0.5); }),
         "the document version must be a whole number from 1 to 2147483647"},
        {property("65537", 8), "the model property 65537 must be 2, 16 or 256"},
        {property("65540", 0), "the model property 65540 must be a whole number from 1 to 256"},
        {property("65538", 1e12), "the model property 65538 must be a whole number from 1 to 8192"},
        {property("65553", 5), "the model property 65553 must be a text"},
        {property("abc", 5), "the model has a property without a number: abc"},
        {edited([](QJsonObject& d) { d.remove("symbols"); }), "the document has no symbol list"},
        {symbol([](QJsonObject& s) { s.insert("class", "CODLineComponent"); }),
         "symbol 1 is of an unknown class \"CODLineComponent\""},
        {symbol([](QJsonObject& s) {
             s.insert("placement", QJsonObject{{"x", 1}});
         }),
         "symbol 1 y must be a whole number from -100000 to 100000"},
        {symbol([](QJsonObject& s) {
             QJsonObject p = s.value("properties").toObject();
             p.insert("65616", 7);
             s.insert("properties", p);
         }),
         "symbol 1 property 65616 must be a whole number from 0 to 2"},
        {symbol([](QJsonObject& s) {
             QJsonObject p = s.value("properties").toObject();
             p.remove("65631");
             s.insert("properties", p);
         }),
         "symbol 1 has no label font"},
    };
    for (const auto& [text, reason] : cases) {
        SCOPED_TRACE(reason);
        std::string error;
        EXPECT_EQ(ParseKbd(text, error), nullptr);
        EXPECT_EQ(error.substr(0, reason.size()), reason);
    }
    std::string error;
    kestra::testing::TempFolder folder;
    EXPECT_EQ(ReadKbdFile(folder.file("none.kbd"), error), nullptr);
    EXPECT_EQ(error.substr(0, 20), "it cannot be read: N");
}

}  // namespace
}  // namespace clavon
