#include "IniFile.h"

#include "WholeFile.h"

#include <QFile>
#include <QStringDecoder>
#include <algorithm>
#include <optional>
#include <utility>

namespace platform {
namespace {

// The section name of a "[name]" line, or a null text when the line is no header.
QString SectionOf(const QString &line) {
    const QString trimmed = line.trimmed();
    if (!trimmed.startsWith('['))
        return {};
    const qsizetype close = trimmed.indexOf(']');
    if (close < 0)
        return {};
    return trimmed.mid(1, close - 1).trimmed();
}

// The key of a "key=value" line, case-folded for matching; null when the line holds no '='.
QString FoldedKeyOf(const QString &line) {
    const qsizetype equals = line.indexOf('=');
    if (equals < 0)
        return {};
    return line.left(equals).trimmed().toCaseFolded();
}

// Windows-1252 at 0x80-0x9F; the five codes it leaves free stand for themselves, as Windows
// reads them.
constexpr char16_t kWindows1252[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                       0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                       0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                       0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

bool IsUtf8(const QByteArray &bytes, QString *text = nullptr) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString line = utf8(bytes);
    if (text != nullptr)
        *text = line;
    return !utf8.hasError();
}

// A line that is not UTF-8 comes from a file written in the Windows code page (a file brought
// from another machine): read byte for byte, it keeps every character instead of turning those
// it cannot decode into replacement characters that the next write would store. The byte order
// mark some editors put before UTF-8 is skipped, so it cannot hide the first section.
QString DecodeLine(const QByteArray &bytes, bool &windows1252) {
    QString line;
    windows1252 = !IsUtf8(bytes, &line);
    if (!windows1252)
        return line;
    QString decoded(bytes.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        decoded[i] = byte >= 0x80 && byte < 0xA0 ? QChar(kWindows1252[byte - 0x80]) : QChar(byte);
    }
    return decoded;
}

// The line in the code page, or nothing when the code page lacks one of its characters.
std::optional<QByteArray> ToWindows1252(const QString &line) {
    QByteArray bytes(line.size(), '\0');
    for (qsizetype i = 0; i < line.size(); ++i) {
        const char16_t c = line[i].unicode();
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            bytes[i] = static_cast<char>(c);
            continue;
        }
        const auto *found = std::find(std::begin(kWindows1252), std::end(kWindows1252), c);
        if (found == std::end(kWindows1252))
            return std::nullopt;
        bytes[i] = static_cast<char>(0x80 + (found - std::begin(kWindows1252)));
    }
    return bytes;
}

// A line that came in the code page goes back in it, so the other machine reads it as before;
// but only where those bytes are not UTF-8 as well, which the next read would take them for.
// Every other line goes as UTF-8, which reads back as it is.
QByteArray EncodeLine(const QString &line, bool windows1252) {
    if (windows1252) {
        const std::optional<QByteArray> bytes = ToWindows1252(line);
        if (bytes && !IsUtf8(*bytes))
            return *bytes;
    }
    QByteArray bytes = line.toUtf8();
    // The reader skips a byte order mark at a line's start, so a line beginning with one keeps it
    // behind another.
    if (line.startsWith(QChar(0xFEFF)))
        bytes.prepend("\xEF\xBB\xBF");
    return bytes;
}

bool IsBlank(const QString &line) {
    return line.trimmed().isEmpty();
}

} // namespace

QString DecodeSettingsLine(const QByteArray &bytes) {
    bool windows1252 = false;
    return DecodeLine(bytes, windows1252);
}

IniFile::IniFile(QString name) : fileName(std::move(name)) {
    Load();
}

void IniFile::Load() {
    sections.assign(1, Section{});
    if (!QFile::exists(fileName))
        return;
    // A file that is there but cannot be read holds settings nobody knows: it reads as empty. So
    // does anything but a regular file (a pipe would hold the start, a device never end), and a
    // file beyond any settings file's size.
    std::string contents;
    if (ReadWholeFile(QFile::encodeName(fileName).toStdString(), contents, kMaxFileBytes) !=
        ReadOutcome::Read) {
        readFailed = true;
        return;
    }
    const QByteArray data = QByteArray::fromStdString(contents);
    QList<QByteArray> raw = data.split('\n');
    // A file ending with a line feed leaves one empty piece behind.
    if (!raw.isEmpty() && raw.last().isEmpty())
        raw.removeLast();
    for (QByteArray &bytes : raw) {
        if (bytes.endsWith('\r'))
            bytes.chop(1);
        // A lone CR typed inside a line would keep its value from ever being written back.
        bytes.replace('\r', ' ');
        Line line;
        line.text = DecodeLine(bytes, line.windows1252);
        codePage = codePage || line.windows1252;
        const QString header = SectionOf(line.text);
        if (!header.isNull()) {
            sections.push_back(Section{line, {}, {}, -1, false});
            // First match wins: only the first section of a name counts.
            const QString folded = header.toCaseFolded();
            if (!sectionIndex.contains(folded))
                sectionIndex.insert(folded, sections.size() - 1);
            continue;
        }
        Section &current = sections.back();
        current.lines.append(line);
        if (!current.header.text.isNull())
            IndexLine(current, static_cast<int>(current.lines.size()) - 1);
    }
}

void IniFile::IndexLine(Section &section, int line) {
    const QString &text = section.lines[line].text;
    if (!IsBlank(text))
        section.lastLine = std::max(section.lastLine, line);
    const QString key = FoldedKeyOf(text);
    if (key.isNull())
        return;
    if (section.keys.contains(key))
        section.repeatedKeys = true;
    else
        section.keys.insert(key, line);
}

const IniFile::Section *IniFile::FindSection(const QString &name) const {
    const auto it = sectionIndex.constFind(name.toCaseFolded());
    return it == sectionIndex.constEnd() ? nullptr : &sections[*it];
}

IniFile::Section *IniFile::FindSection(const QString &name) {
    return const_cast<Section *>(std::as_const(*this).FindSection(name));
}

QString IniFile::ReadString(const QString &section, const QString &key, const QString &defaultValue) const {
    const Section *at = FindSection(section);
    if (at == nullptr)
        return defaultValue;
    const auto it = at->keys.constFind(key.toCaseFolded());
    if (it == at->keys.constEnd())
        return defaultValue;
    const QString &line = at->lines[*it].text;
    return line.mid(line.indexOf('=') + 1).trimmed();
}

int IniFile::ReadInteger(const QString &section, const QString &key, int defaultValue) const {
    const QString text = ReadString(section, key, QString());
    if (text.isEmpty())
        return defaultValue;
    bool ok = false;
    // Hexadecimal written as 0x.. reads too, as with the classic ini class.
    const int value =
        text.startsWith("0x", Qt::CaseInsensitive) ? text.mid(2).toInt(&ok, 16) : text.toInt(&ok, 10);
    return ok ? value : defaultValue;
}

int IniFile::ReadInteger(const QString &section, const QString &key, int defaultValue, int min,
                         int max) const {
    const int value = ReadInteger(section, key, defaultValue);
    return value < min || value > max ? defaultValue : value;
}

bool IniFile::ReadBool(const QString &section, const QString &key, bool defaultValue) const {
    return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

bool IniFile::WriteString(const QString &section, const QString &key, const QString &value) {
    const auto splitsLine = [](const QString &text) { return text.contains('\r') || text.contains('\n'); };
    if (splitsLine(section) || splitsLine(key) || splitsLine(value))
        return false;
    const QString line = key + '=' + value;
    const QString folded = key.toCaseFolded();
    if (Section *at = FindSection(section)) {
        const auto it = at->keys.constFind(folded);
        if (it != at->keys.constEnd()) {
            if (at->lines[*it].text == line)
                return true;            // unchanged: nothing to write back
            at->lines[*it].text = line; // in the code page it came in, where it can
        } else {
            // Only blank lines follow the last non-blank one, so no indexed line moves.
            const int position = at->lastLine + 1;
            at->lines.insert(position, Line{line, codePage});
            at->keys.insert(folded, position);
            at->lastLine = position;
        }
    } else {
        Section &last = sections.back();
        const QString &lastLine = last.lines.isEmpty() ? last.header.text : last.lines.last().text;
        if (!lastLine.isNull() && !IsBlank(lastLine))
            last.lines.append(Line{});
        sections.push_back(
            Section{Line{'[' + section + ']', codePage}, {Line{line, codePage}}, {{folded, 0}}, 0, false});
        sectionIndex.insert(section.toCaseFolded(), sections.size() - 1);
    }
    modified = true;
    return true;
}

void IniFile::WriteInteger(const QString &section, const QString &key, int value) {
    WriteString(section, key, QString::number(value));
}

void IniFile::WriteBool(const QString &section, const QString &key, bool value) {
    WriteString(section, key, value ? "1" : "0");
}

void IniFile::DeleteKey(const QString &section, const QString &key) {
    Section *at = FindSection(section);
    if (at == nullptr)
        return;
    const QString folded = key.toCaseFolded();
    const auto it = at->keys.find(folded);
    if (it == at->keys.end())
        return;
    const int removed = *it;
    at->keys.erase(it);
    at->lines.removeAt(removed);
    for (int &line : at->keys)
        if (line > removed)
            --line;
    if (at->lastLine > removed) {
        --at->lastLine;
    } else if (at->lastLine == removed) {
        at->lastLine = removed - 1;
        while (at->lastLine >= 0 && IsBlank(at->lines[at->lastLine].text))
            --at->lastLine;
    }
    // A later line of the same key, hidden until now, is the one that counts.
    if (at->repeatedKeys) {
        for (int i = removed; i < at->lines.size(); ++i) {
            if (FoldedKeyOf(at->lines[i].text) == folded) {
                at->keys.insert(folded, i);
                break;
            }
        }
    }
    modified = true;
}

void IniFile::UpdateFile() {
    // A file removed while its settings were in use is written again, as it stands in memory.
    if (!modified && QFile::exists(fileName))
        return;
    QByteArray data;
    for (const Section &section : sections) {
        if (!section.header.text.isNull())
            data += EncodeLine(section.header.text, section.header.windows1252) + '\n';
        for (const Line &line : section.lines)
            data += EncodeLine(line.text, line.windows1252) + '\n';
    }
    // A file the user may write in a folder where they may not create one is written in place.
    if (!SaveWhole(fileName, data, true))
        throw IniFileError("Unable to write to " + fileName.toStdString());
    modified = false;
}

} // namespace platform
