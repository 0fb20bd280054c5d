#pragma once
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <stdexcept>

namespace platform {

// Raised when a write cannot reach the file; the caller decides whether to go on.
class IniFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A settings file with the rules of the classic ini format: sections and keys match without
// regard to case, a value is the text after the first '=' (blanks around it trimmed), nothing is
// quoted or escaped, the first match wins. Every write and delete updates the file at once and
// keeps its other lines; the file is replaced whole, so a failed write never leaves half a file.
class IniFile {
public:
    explicit IniFile(QString fileName);

    const QString &FileName() const { return fileName; }

    QString ReadString(const QString &section, const QString &key, const QString &defaultValue) const;
    int ReadInteger(const QString &section, const QString &key, int defaultValue) const;
    bool ReadBool(const QString &section, const QString &key, bool defaultValue) const;

    // Throw IniFileError when the file cannot be written.
    void WriteString(const QString &section, const QString &key, const QString &value);
    void WriteInteger(const QString &section, const QString &key, int value);
    void WriteBool(const QString &section, const QString &key, bool value);
    void DeleteKey(const QString &section, const QString &key);

private:
    struct Location {
        int sectionLine = -1; // line of the "[section]" header, -1 when the section is missing
        int keyLine = -1;     // line of the key, -1 when the key is missing
        int lastLine = -1;    // last non-blank line of the section, where a new key goes after
    };

    void Reload() const;
    Location Find(const QString &section, const QString &key) const;
    void Store();

    QString fileName;
    mutable QStringList lines;
    mutable QDateTime loadedStamp;
    mutable qint64 loadedSize = -1;
    mutable bool loadedExists = false;
};

} // namespace platform
