#pragma once

#include <QByteArray>
#include <QString>
#include <cstdio>
#include <string>

class QSaveFile;

namespace platform {

// Replaces a file whole or not at all. QSaveFile::commit() alone renames a file whose buffered
// data could not be flushed (a full disk), so the flush is checked first and a failed one cancels
// the write; the old file then stays as it was. Returns whether the new file is in place.
bool CommitWhole(QSaveFile &file);

// The first half of CommitWhole, for a caller that commits on its own (QSettings): flushes what
// was written, and when that fails cancels the write, so the commit that follows keeps the old
// file. Returns whether everything written is in the temporary file.
bool FlushWhole(QSaveFile &file);

// Writes `data` to `path` through CommitWhole. With `directWriteFallback` a file the user may write
// in a folder where they may not create one is written in place.
bool SaveWhole(const QString &path, const QByteArray &data, bool directWriteFallback = false);

enum class ReadOutcome { Read, OpenFailed, ReadFailed };

// Reads a whole file with stdio, telling a read error from the end of the file (an ifstream or a
// bare fread loop takes one for the other).
ReadOutcome ReadWholeFile(const std::string &path, std::string &data);
// The same for an open stream, read from where it stands to its end; never OpenFailed.
ReadOutcome ReadWholeFile(std::FILE *file, std::string &data);

enum class LineOutcome { Line, End, ReadFailed };

// Reads one line without its '\n', as std::getline does; the last line of a file may lack its
// '\n'. A read error is ReadFailed, never End, even when part of a line came back.
LineOutcome ReadLine(std::FILE *file, std::string &line);

} // namespace platform
