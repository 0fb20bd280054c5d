#include "IniFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

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

bool IsBlank(const QString &line) {
    return line.trimmed().isEmpty();
}

} // namespace

IniFile::IniFile(QString name) : fileName(std::move(name)) {
    Reload();
}

// Reads the file again when it changed on disk since the last look, so another writer's lines
// are kept; reading it for every key would make the 3000 script lines slow to load.
void IniFile::Reload() const {
    const QFileInfo info(fileName);
    const bool exists = info.exists();
    if (exists == loadedExists &&
        (!exists || (info.lastModified() == loadedStamp && info.size() == loadedSize)))
        return;
    lines.clear();
    loadedExists = exists;
    loadedStamp = info.lastModified();
    loadedSize = info.size();
    QFile file(fileName);
    if (!exists || !file.open(QIODevice::ReadOnly))
        return;
    const QByteArray data = file.readAll();
    for (QByteArray line : data.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        lines.append(QString::fromLocal8Bit(line));
    }
    // A file ending with a line feed leaves one empty piece behind.
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
}

IniFile::Location IniFile::Find(const QString &section, const QString &key) const {
    Location at;
    bool inSection = false;
    for (int i = 0; i < lines.size(); ++i) {
        const QString &line = lines[i];
        const QString header = SectionOf(line);
        if (!header.isNull()) {
            if (inSection)
                break; // first match wins: only the first section of that name counts
            inSection = header.compare(section, Qt::CaseInsensitive) == 0;
            if (inSection) {
                at.sectionLine = i;
                at.lastLine = i;
            }
            continue;
        }
        if (!inSection)
            continue;
        if (!IsBlank(line))
            at.lastLine = i;
        const qsizetype equals = line.indexOf('=');
        if (equals < 0 || at.keyLine >= 0)
            continue;
        if (line.left(equals).trimmed().compare(key, Qt::CaseInsensitive) == 0)
            at.keyLine = i;
    }
    return at;
}

QString IniFile::ReadString(const QString &section, const QString &key, const QString &defaultValue) const {
    Reload();
    const Location at = Find(section, key);
    if (at.keyLine < 0)
        return defaultValue;
    const QString &line = lines[at.keyLine];
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

bool IniFile::ReadBool(const QString &section, const QString &key, bool defaultValue) const {
    return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void IniFile::WriteString(const QString &section, const QString &key, const QString &value) {
    Reload();
    const QString line = key + '=' + value;
    const Location at = Find(section, key);
    if (at.keyLine >= 0) {
        if (lines[at.keyLine] == line)
            return; // unchanged: spare the disk a rewrite
        lines[at.keyLine] = line;
    } else if (at.sectionLine >= 0) {
        lines.insert(at.lastLine + 1, line);
    } else {
        if (!lines.isEmpty() && !IsBlank(lines.last()))
            lines.append(QString());
        lines.append('[' + section + ']');
        lines.append(line);
    }
    Store();
}

void IniFile::WriteInteger(const QString &section, const QString &key, int value) {
    WriteString(section, key, QString::number(value));
}

void IniFile::WriteBool(const QString &section, const QString &key, bool value) {
    WriteString(section, key, value ? "1" : "0");
}

void IniFile::DeleteKey(const QString &section, const QString &key) {
    Reload();
    const Location at = Find(section, key);
    if (at.keyLine < 0)
        return;
    lines.removeAt(at.keyLine);
    Store();
}

void IniFile::Store() {
    QSaveFile file(fileName);
    QByteArray data;
    for (const QString &line : lines) {
        data += line.toLocal8Bit();
        data += '\n';
    }
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit()) {
        loadedExists = !loadedExists; // force a fresh read next time: memory no longer matches the file
        throw IniFileError("Unable to write to " + fileName.toStdString());
    }
    const QFileInfo info(fileName);
    loadedExists = true;
    loadedStamp = info.lastModified();
    loadedSize = info.size();
}

} // namespace platform
