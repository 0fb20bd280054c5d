#pragma once

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

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

// Writes `data` to `path` through CommitWhole. Something at `path` that is not a regular file (a
// device, a pipe, a folder, or a link to one) is never replaced. With `directWriteFallback` a
// file the user may write in a folder where they may not create one is written in place through
// ReplaceInPlace.
bool SaveWhole(const QString &path, const QByteArray &data, bool directWriteFallback = false);

// Writes `data` over the regular file at `path` without making a new one, whole or not at all:
// the room is reserved before the first byte changes, and the old bytes go back when a write
// still fails.
bool ReplaceInPlace(const QString &path, const QByteArray &data);

// Adds `bytes` to the end of the regular file at `path` (made when missing), or with `overwrite`
// writes them over what it held, whole or not at all: what went in of a write that failed part
// way (a full disk) is cut off again. Anything that is not a regular file is refused before it is
// opened and again once it is (opening a device can act on it, and a pipe can hold the caller),
// and so is the file `protectedFile` names, however it is reached.
bool AppendWhole(const QString &path, std::string_view bytes, bool overwrite = false,
                 const QString &protectedFile = {});

// Moves the regular file `from` to the free name `to` in one step, or not at all: the rename
// never copies, so a move to another file system fails and leaves the file where it was.
bool MoveWhole(const QString &from, const QString &to);

enum class CreateOutcome { Created, Exists, Failed };

// Writes `data` to a new file at `path`, whole or not at all, and never over anything there: the
// bytes go to a file without a name, which takes the name only once they are all in (the link
// refuses a taken name). Where the file system has no such files, the file is made exclusively
// and removed again when a write fails.
CreateOutcome CreateWhole(const QString &path, const QByteArray &data);

// Whether two names reach the same existing file (through links or other names).
bool IsSameFile(const QString &first, const QString &second);

enum class ReadOutcome { Read, OpenFailed, NotRegular, TooLarge, ReadFailed };

// Reads a file a person named, once and whole. Only a regular file (or a link to one) is read:
// a named pipe, a device, a folder is refused before it is opened, and the open never blocks.
// A file over `maxBytes`, or one that grows past it while it is read, is refused too. Tells a read
// error from the end of the file (an ifstream or a bare fread loop takes one for the other).
ReadOutcome ReadWholeFile(const std::string &path, std::string &data, std::size_t maxBytes);
// The same checks, but only the first `startBytes` of the file are read: for a header, where the
// whole file is not needed.
ReadOutcome ReadFileStart(const std::string &path, std::string &data, std::size_t maxBytes,
                          std::size_t startBytes);
// The same for an open stream, read from where it stands to its end; never OpenFailed.
ReadOutcome ReadWholeFile(std::FILE *file, std::string &data);

enum class LineOutcome { Line, End, ReadFailed };

// Reads one line without its '\n', as std::getline does; the last line of a file may lack its
// '\n'. A read error is ReadFailed, never End, even when part of a line came back.
LineOutcome ReadLine(std::FILE *file, std::string &line);

} // namespace platform
