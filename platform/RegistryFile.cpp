#include "RegistryFile.h"

#include "IniFile.h"
#include "WholeFile.h"

#include <QIODevice>
#include <QMap>
#include <QSaveFile>
#include <QStringList>

namespace platform {
namespace {

const QString rootSection = QStringLiteral("General");
// A sub-key that is itself named "General".
const QString generalSubKey = QStringLiteral("%General");

bool IsPlainNameChar(QChar c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'_' ||
           c == u'-' || c == u'.';
}

int HexDigit(QChar c) {
    if (c >= u'0' && c <= u'9')
        return c.unicode() - u'0';
    if (c >= u'a' && c <= u'f')
        return c.unicode() - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c.unicode() - u'A' + 10;
    return -1;
}

// Reads up to `most` digits of `base` at `at`; returns how many were read.
int ReadDigits(const QString &text, qsizetype at, int most, int base, uint &value) {
    int count = 0;
    value = 0;
    for (; count < most && at + count < text.size(); ++count) {
        const int digit = HexDigit(text[at + count]);
        if (digit < 0 || digit >= base)
            break;
        value = value * static_cast<uint>(base) + static_cast<uint>(digit);
    }
    return count;
}

QString UnescapeName(const QString &text) {
    QString name;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        uint value = 0;
        if (c == u'\\') {
            name += u'/';
        } else if (c == u'%' && i + 1 < text.size() && text[i + 1] == u'U' &&
                   ReadDigits(text, i + 2, 4, 16, value) == 4) {
            name += QChar(static_cast<char16_t>(value));
            i += 5;
        } else if (c == u'%' && ReadDigits(text, i + 1, 2, 16, value) == 2) {
            name += QChar(static_cast<char16_t>(value));
            i += 2;
        } else {
            name += c;
        }
    }
    return name;
}

QString EscapeName(const QString &name) {
    QString text;
    for (qsizetype i = 0; i < name.size(); ++i) {
        const QChar c = name[i];
        // A blank inside a name is written as typed ("Packet Timeout"); at either end reading
        // would trim it.
        if (c == u'/')
            text += u'\\';
        else if (IsPlainNameChar(c) || (c == u' ' && i > 0 && i + 1 < name.size()))
            text += c;
        else if (c.unicode() <= 0xFF)
            text += QStringLiteral("%%1").arg(c.unicode(), 2, 16, QLatin1Char('0')).toUpper();
        else
            text += QStringLiteral("%U%1").arg(c.unicode(), 4, 16, QLatin1Char('0')).toUpper();
    }
    return text;
}

// A value reads as typed: a backslash or a quote in it is no escape. Only quotes around the whole
// value are taken away, as the classic ini format does, so that blanks at its ends are kept and
// the quoted values of older files read as before.
QString ValueAsTyped(const QString &text) {
    if (text.size() >= 2 && text.startsWith(u'"') && text.endsWith(u'"'))
        return text.mid(1, text.size() - 2);
    return text;
}

// The value as it is to be read back: quoted when reading would otherwise lose blanks at its ends
// or the quotes around it. A line break cannot stand in a line; it is written as a blank.
QString ValueToWrite(QString value) {
    value.replace(u'\n', u' ');
    const QString trimmed = value.trimmed();
    const bool quote = trimmed.size() != value.size() || trimmed != ValueAsTyped(trimmed);
    return quote ? u'"' + value + u'"' : value;
}

// A read error is not the end of the file: settings read in part must not pass for the file.
bool ReadDevice(QIODevice &device, QSettings::SettingsMap &values) {
    const QByteArray text = device.readAll();
    const auto *file = qobject_cast<const QFileDevice *>(&device);
    if (file && file->error() != QFileDevice::NoError)
        return false;
    values = ParseRegistryFile(text);
    return true;
}

// QSettings commits the file it hands here; a write that did not reach the disk whole must
// cancel that commit, or the old file is replaced by a partial or empty one.
bool WriteDevice(QIODevice &device, const QSettings::SettingsMap &values) {
    const QByteArray text = ComposeRegistryFile(values);
    const bool written = device.write(text) == text.size();
    if (auto *save = qobject_cast<QSaveFile *>(&device)) {
        if (!written)
            save->cancelWriting();
        return written && FlushWhole(*save);
    }
    auto *file = qobject_cast<QFileDevice *>(&device);
    return written && (!file || file->flush());
}

} // namespace

QSettings::SettingsMap ParseRegistryFile(const QByteArray &text) {
    QSettings::SettingsMap values;
    QString section;
    for (const QByteArray &raw : text.split('\n')) {
        const QString line = DecodeSettingsLine(raw).trimmed();
        if (line.isEmpty() || line.startsWith(u';') || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[')) {
            const qsizetype close = line.lastIndexOf(u']');
            const QString header = line.mid(1, close < 0 ? -1 : close - 1).trimmed();
            section = header == generalSubKey ? rootSection : UnescapeName(header);
            if (header == rootSection)
                section.clear();
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (equals <= 0)
            continue;
        // As QSettings names keys: sub-keys joined by single slashes, none at either end.
        const QString name = (section + u'/' + UnescapeName(line.left(equals).trimmed()))
                                 .split(u'/', Qt::SkipEmptyParts)
                                 .join(u'/');
        if (!name.isEmpty())
            values.insert(name, ValueAsTyped(line.mid(equals + 1).trimmed()));
    }
    return values;
}

QByteArray ComposeRegistryFile(const QSettings::SettingsMap &values) {
    // Values of the key itself under "[General]", each sub-key's under its own name.
    QMap<QString, QStringList> sections;
    for (auto it = values.begin(); it != values.end(); ++it) {
        const qsizetype slash = it.key().lastIndexOf(u'/');
        const QString subKey = it.key().left(slash);
        const QString section = slash < 0               ? rootSection
                                : subKey == rootSection ? generalSubKey
                                                        : EscapeName(subKey);
        sections[section] << EscapeName(it.key().mid(slash + 1)) + u'=' + ValueToWrite(it.value().toString());
    }
    QByteArray text;
    auto writeSection = [&](const QString &section) {
        if (!text.isEmpty())
            text += '\n';
        text += '[' + section.toUtf8() + "]\n";
        for (const QString &line : sections.value(section))
            text += line.toUtf8() + '\n';
    };
    if (sections.contains(rootSection))
        writeSection(rootSection);
    for (auto it = sections.begin(); it != sections.end(); ++it)
        if (it.key() != rootSection)
            writeSection(it.key());
    return text;
}

QSettings::Format RegistryFileFormat() {
    static const QSettings::Format format =
        QSettings::registerFormat(QStringLiteral("conf"), ReadDevice, WriteDevice);
    return format;
}

} // namespace platform
