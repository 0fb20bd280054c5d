#pragma once
#include <QHash>
#include <QList>
#include <QString>
#include <cstddef>
#include <stdexcept>
#include <vector>

namespace platform {

// Raised when the file cannot be written; the caller decides whether to go on.
class IniFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One line of a settings file as text: UTF-8, or, for a line that is not UTF-8, the Windows code
// page byte for byte, so that no character is lost to a replacement character. Quorvel's settings
// file reads its lines the same way.
QString DecodeSettingsLine(const QByteArray &bytes);

// A settings file with the rules of the classic ini format: sections and keys match without
// regard to case, a value is the text after the first '=' (blanks around it trimmed), nothing is
// quoted or escaped, the first match wins. The file is read once; reads and writes work on the
// copy in memory, and UpdateFile writes it back whole, keeping its other lines. A program with
// thousands of keys (the button scripts) would otherwise rewrite and sync the file for each one.
class IniFile {
public:
    // Far beyond any settings file (the simulator's 32 scripts of 100 long lines take about 2 MB);
    // a larger file is not read.
    static constexpr std::size_t kMaxFileBytes = 16 * 1024 * 1024;

    explicit IniFile(QString fileName);

    const QString &FileName() const { return fileName; }
    // True when something is there but could not be read (no permission, an I/O error, something
    // that is not a regular file, a file beyond kMaxFileBytes).
    bool ReadFailed() const { return readFailed; }

    QString ReadString(const QString &section, const QString &key, const QString &defaultValue) const;
    int ReadInteger(const QString &section, const QString &key, int defaultValue) const;
    // As above, and a number outside [min, max] reads as the default too, so a value typed by
    // hand is held to its setting's range where it comes in.
    int ReadInteger(const QString &section, const QString &key, int defaultValue, int min, int max) const;
    bool ReadBool(const QString &section, const QString &key, bool defaultValue) const;

    // False, with nothing written and the key as it was, when the section, the key or the value
    // holds a line break: the rest would stand in the file as lines of their own (a section,
    // other keys) and come back as settings.
    bool WriteString(const QString &section, const QString &key, const QString &value);
    void WriteInteger(const QString &section, const QString &key, int value);
    void WriteBool(const QString &section, const QString &key, bool value);
    void DeleteKey(const QString &section, const QString &key);

    // True when the copy in memory differs from what was read or last written.
    bool IsModified() const { return modified; }
    // Writes the file when it was modified or is missing; the file is replaced whole, so a failed
    // write never leaves half a file (it is written in place only in a folder where no new file
    // may be made). Throws IniFileError when it cannot be written (the copy in
    // memory stays modified).
    void UpdateFile();

private:
    struct Line {
        QString text;
        // Came in the Windows code page, or is new in a file with such lines: goes back in it
        // wherever that reads back the same.
        bool windows1252 = false;
    };
    struct Section {
        Line header;              // the "[name]" line as the file has it; null text before the first one
        QList<Line> lines;        // the lines under the header
        QHash<QString, int> keys; // case-folded key -> its first line
        int lastLine = -1;        // the last non-blank line, after which a new key goes
        bool repeatedKeys = false;
    };

    void Load();
    const Section *FindSection(const QString &name) const;
    Section *FindSection(const QString &name);
    static void IndexLine(Section &section, int line);

    QString fileName;
    std::vector<Section> sections;            // sections[0] holds the lines before any header
    QHash<QString, std::size_t> sectionIndex; // case-folded name -> its first section
    bool modified = false;
    bool readFailed = false;
    bool codePage = false; // some line was not UTF-8: new lines go in the Windows code page too
};

} // namespace platform
