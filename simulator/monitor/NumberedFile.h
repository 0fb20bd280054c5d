#pragma once
#include <QString>
#include <functional>

class QIODevice;

// Numbered output files ("Pelmora%03d.txt", "Pelmora%03d.bmp") in one directory: never an
// existing file, and each written whole or not at all.
struct NumberedFileResult {
    enum class Outcome { Written, NoFreeName, WriteFailed };
    Outcome outcome = Outcome::NoFreeName;
    QString path; // the name written or tried; empty when every name was taken
};

constexpr int kNumberedFileTries = 900;

// The first of up to 900 names from `index` on that no file has, advancing the index past each
// name tried; empty when every one is taken.
QString FirstFreeNumberedName(const QString &directory, const char *pattern, int &index);

// Tries up to 900 names from `index` on, advancing the index past each name tried, and makes
// the first one that no file has, holding what `write` wrote, whole or not at all.
NumberedFileResult WriteNumberedFile(const QString &directory, const char *pattern, int &index,
                                     const std::function<bool(QIODevice &)> &write);
