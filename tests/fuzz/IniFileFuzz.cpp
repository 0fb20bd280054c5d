// Ini files of any content, as brought from another machine or edited by hand, through the ini
// reader key by key: every read stays inside the file's text, and a write changes its own key and
// nothing else.
#include "IniFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

std::vector<std::string> FuzzSeeds() {
    return {
        "[Section]\r\nKey=value\r\n\r\n[Other]\r\nkey = 0x1C200\r\nNumber=-12abc\r\n",
        "[a]\nk=1\n[A]\nk=2\n[b]\nk=a=b=c\nK=again\n",
        "no section=1\n[\n]\n[ spaced ]\n=empty key\n  [x]  trailing\nlong=" + std::string(700, 'x') + "\n",
    };
}

namespace {

QTemporaryDir &Folder() {
    static QTemporaryDir *dir = new QTemporaryDir; // lives as long as the process
    return *dir;
}

// The sections and keys the file itself names, and a few the programs read, in a bounded number.
std::vector<std::pair<QString, QString>> NamesIn(const QString &text) {
    std::vector<std::pair<QString, QString>> names{
        {"Configuration", "ComPort"}, {"UserButtons", "ButtonGroup"}, {"MessageDropDownLines", "Line01"}};
    QString section;
    for (const QString &line : text.split(QLatin1Char('\n'))) {
        if (names.size() >= 64)
            break;
        const QString trimmed = line.trimmed();
        if (trimmed.startsWith(QLatin1Char('[')) && trimmed.contains(QLatin1Char(']')))
            section = trimmed.mid(1, trimmed.indexOf(QLatin1Char(']')) - 1).trimmed();
        else if (line.contains(QLatin1Char('=')))
            names.emplace_back(section, line.left(line.indexOf(QLatin1Char('='))).trimmed());
    }
    return names;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const QString name = Folder().filePath(QStringLiteral("keys.ini"));
    {
        QFile file(name);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            std::abort();
        file.write(reinterpret_cast<const char *>(data), static_cast<qint64>(size));
    }
    const auto names =
        NamesIn(QString::fromLocal8Bit(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size)));
    platform::IniFile ini(name);
    std::vector<QString> before;
    for (const auto &[section, key] : names) {
        before.push_back(ini.ReadString(section, key, QStringLiteral("\x01missing")));
        ini.ReadInteger(section, key, 7);
    }
    // A key the program writes, with a value of the kind button scripts hold, into a section the
    // file may or may not have.
    const QString section = names[size % names.size()].first;
    const QString value = QStringLiteral("SEND $PQVZK,1,1*00 = \"x\"");
    if (section.contains(QLatin1Char(']')) || section.contains(QLatin1Char('\r')))
        return 0;
    ini.WriteString(section, QStringLiteral("FuzzWritten"), value);
    if (ini.ReadString(section, QStringLiteral("FuzzWritten"), QString()) != value)
        std::abort();
    for (std::size_t i = 0; i < names.size(); ++i)
        if (names[i].second.compare(QLatin1String("FuzzWritten"), Qt::CaseInsensitive) != 0 &&
            ini.ReadString(names[i].first, names[i].second, QStringLiteral("\x01missing")) != before[i])
            std::abort();
    return 0;
}
