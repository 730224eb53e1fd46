#include "extension_classes/registry_format.h"

#include <QIODevice>
#include <QStringList>
#include <algorithm>
#include <iterator>
#include <map>
#include <optional>
#include <vector>

namespace kestra::kxc {
namespace {

struct Escape {
    QChar raw;
    const char* coded;
};
constexpr Escape kNameEscapes[] = {{u'%', "%25"}, {u'/', "%2F"}, {u'\\', "%5C"}};

bool isHive(const QString& name) {
    return std::any_of(std::begin(kHiveNames), std::end(kHiveNames),
                       [&](const char* hive) { return name == QLatin1String(hive); });
}

// A quoted text at the start of `line` from `pos` on; pos moves past the closing quote.
std::optional<QString> readQuoted(const QString& line, qsizetype& pos) {
    if (pos >= line.size() || line[pos] != u'"') return std::nullopt;
    QString text;
    for (++pos; pos < line.size(); ++pos) {
        QChar c = line[pos];
        if (c == u'"') {
            ++pos;
            return text;
        }
        if (c != u'\\') {
            text += c;
            continue;
        }
        if (++pos >= line.size()) return std::nullopt;
        switch (line[pos].unicode()) {
            case u'\\':
                text += u'\\';
                break;
            case u'"':
                text += u'"';
                break;
            case u'n':
                text += u'\n';
                break;
            case u'r':
                text += u'\r';
                break;
            case u'x': {
                if (pos + 2 >= line.size()) return std::nullopt;
                bool ok = false;
                uint code = line.mid(pos + 1, 2).toUInt(&ok, 16);
                if (!ok) return std::nullopt;
                text += QChar(code);
                pos += 2;
                break;
            }
            default:
                return std::nullopt;
        }
    }
    return std::nullopt;
}

QString writeQuoted(const QString& text) {
    QString out = QStringLiteral("\"");
    for (QChar c : text) {
        if (c == u'\\')
            out += QLatin1String("\\\\");
        else if (c == u'"')
            out += QLatin1String("\\\"");
        else if (c == u'\n')
            out += QLatin1String("\\n");
        else if (c == u'\r')
            out += QLatin1String("\\r");
        else if (c.unicode() < 0x20)
            out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out + u'"';
}

std::optional<QVariant> readValue(const QString& text) {
    if (text.startsWith(u'"')) {
        qsizetype pos = 0;
        auto quoted = readQuoted(text, pos);
        if (!quoted || pos != text.size()) return std::nullopt;
        return QVariant(*quoted);
    }
    constexpr QLatin1String kDword("dword:");
    if (!text.startsWith(kDword)) return std::nullopt;
    QString digits = text.mid(kDword.size());
    if (digits.isEmpty() || digits.size() > 8) return std::nullopt;
    bool ok = false;
    uint value = digits.toUInt(&ok, 16);
    if (!ok) return std::nullopt;
    return QVariant(value);
}

// "[HIVE\a\b]" -> "HIVE/a/b" with escaped names, adding the markers of the key and of every
// key above it.
std::optional<QString> readSection(const QString& line, QSettings::SettingsMap& map) {
    if (!line.endsWith(u']')) return std::nullopt;
    QStringList parts = line.mid(1, line.size() - 2).split(u'\\', Qt::SkipEmptyParts);
    if (parts.isEmpty() || !isHive(parts.front())) return std::nullopt;
    QString group = parts.front();
    for (qsizetype i = 1; i < parts.size(); ++i) {
        group += u'/' + EscapeName(parts[i]);
        map.insert(group + u'/' + QLatin1String(kKeyMarker), QVariant(true));
    }
    return group;
}

void readEntry(const QString& line, const QString& group, QSettings::SettingsMap& map) {
    qsizetype pos = 0;
    QString name;
    if (line.startsWith(u'@')) {
        pos = 1;
        name = QLatin1String(kDefaultValueName);
    } else {
        auto quoted = readQuoted(line, pos);
        if (!quoted || quoted->isEmpty()) return;
        name = EscapeName(*quoted);
    }
    if (pos >= line.size() || line[pos] != u'=') return;
    auto value = readValue(line.mid(pos + 1));
    if (value) map.insert(group + u'/' + name, *value);
}

}  // namespace

QString EscapeName(const QString& name) {
    QString out;
    out.reserve(name.size());
    for (QChar c : name) {
        const auto* escape = std::find_if(std::begin(kNameEscapes), std::end(kNameEscapes),
                                          [&](const Escape& e) { return e.raw == c; });
        if (escape != std::end(kNameEscapes))
            out += QLatin1String(escape->coded);
        else
            out += c;
    }
    return out;
}

QString EscapeName(std::string_view name) {
    return EscapeName(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
}

QString UnescapeName(const QString& escaped) {
    QString out = escaped;
    for (const auto& escape : kNameEscapes)
        if (escape.raw != u'%') out.replace(QLatin1String(escape.coded), QString(escape.raw));
    out.replace(QLatin1String("%25"), QStringLiteral("%"));
    return out;
}

bool ReadRegistryText(QIODevice& device, QSettings::SettingsMap& map) {
    const QString text = QString::fromUtf8(device.readAll());
    std::optional<QString> group;
    for (QStringView raw : QStringView(text).split(u'\n')) {
        QString line = raw.trimmed().toString();
        if (line.isEmpty() || line.startsWith(u';')) continue;
        if (line.startsWith(u'[')) {
            group = readSection(line, map);
            continue;
        }
        if (group) readEntry(line, *group, map);
    }
    return true;
}

bool WriteRegistryText(QIODevice& device, const QSettings::SettingsMap& map) {
    // Sections by key, each with its values; a key of markers only still gets its section.
    std::map<QString, std::vector<std::pair<QString, QVariant>>> sections;
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        const qsizetype slash = it.key().lastIndexOf(u'/');
        if (slash <= 0) continue;
        QString group = it.key().left(slash);
        QString name = it.key().mid(slash + 1);
        auto& values = sections[group];
        if (name != QLatin1String(kKeyMarker)) values.emplace_back(name, it.value());
    }
    QString out = QStringLiteral("; Kestra registry store\n");
    for (const auto& [group, values] : sections) {
        QStringList parts = group.split(u'/');
        for (auto& part : parts) part = UnescapeName(part);
        out += u'\n' + (u'[' + parts.join(u'\\') + u']') + u'\n';
        for (const auto& [name, value] : values) {
            out += name == QLatin1String(kDefaultValueName) ? QStringLiteral("@")
                                                            : writeQuoted(UnescapeName(name));
            out += u'=';
            if (value.typeId() == QMetaType::UInt || value.typeId() == QMetaType::Int)
                out += QStringLiteral("dword:%1").arg(value.toUInt(), 8, 16, QLatin1Char('0'));
            else
                out += writeQuoted(value.toString());
            out += u'\n';
        }
    }
    return device.write(out.toUtf8()) >= 0;
}

QSettings::Format RegistryFormat() {
    static const QSettings::Format format =
        QSettings::registerFormat(QStringLiteral("reg"), ReadRegistryText, WriteRegistryText);
    return format;
}

}  // namespace kestra::kxc
