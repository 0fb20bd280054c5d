#include "WholeFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

// Closes a descriptor when it goes out of scope.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd(fd) {}
    ~Descriptor() {
        if (fd >= 0)
            ::close(fd);
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    int get() const { return fd; }
    // Closes now, for a caller that must know whether the close kept what was written.
    bool Close() {
        const int closing = fd;
        fd = -1;
        return ::close(closing) == 0;
    }

private:
    int fd;
};

// Something other than a regular file is at `path` (following links); nothing there is not.
bool HoldsOtherThanAFile(const QByteArray &path) {
    struct stat info {};
    return ::stat(path.constData(), &info) == 0 && !S_ISREG(info.st_mode);
}

bool WriteAllAt(int fd, const char *bytes, std::size_t size, off_t offset) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t count = ::pwrite(fd, bytes + done, size - done, offset + static_cast<off_t>(done));
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return false;
        done += static_cast<std::size_t>(count);
    }
    return true;
}

// Reads up to `limit` bytes; false on a read error. More than `limit` there leaves `data` at
// limit + 1 bytes, so the caller can tell.
bool ReadUpTo(int fd, std::string &data, std::size_t limit) {
    char buffer[65536];
    while (data.size() <= limit) {
        const std::size_t wanted = std::min(sizeof buffer, limit + 1 - data.size());
        const ssize_t count = ::read(fd, buffer, wanted);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            return false;
        if (count == 0)
            break;
        data.append(buffer, static_cast<std::size_t>(count));
    }
    return true;
}

} // namespace

bool FlushWhole(QSaveFile &file) {
    if (file.isOpen() && file.error() == QFileDevice::NoError && file.flush())
        return true;
    file.cancelWriting();
    return false;
}

bool CommitWhole(QSaveFile &file) {
    if (!file.isOpen())
        return false;
    if (!FlushWhole(file)) {
        file.commit(); // discards the temporary file
        return false;
    }
    return file.commit();
}

bool SaveWhole(const QString &path, const QByteArray &data, bool directWriteFallback) {
    // Renaming over a device node or a link to one would put a plain file in its place.
    if (path.isEmpty() || HoldsOtherThanAFile(QFile::encodeName(path)))
        return false;
    QSaveFile file(path);
    // Qt's own fallback truncates first, so a full disk would leave part of the file.
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly))
        return directWriteFallback && QFile::exists(path) && ReplaceInPlace(path, data);
    if (file.write(data) != data.size()) {
        file.cancelWriting();
        file.commit();
        return false;
    }
    return CommitWhole(file);
}

bool ReplaceInPlace(const QString &path, const QByteArray &data) {
    const QByteArray name = QFile::encodeName(path);
    if (name.isEmpty() || HoldsOtherThanAFile(name))
        return false;
    Descriptor fd(::open(name.constData(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat info {};
    if (fd.get() < 0 || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    std::string old;
    const auto oldSize = static_cast<std::size_t>(info.st_size);
    if (!ReadUpTo(fd.get(), old, oldSize) || old.size() != oldSize)
        return false;
    const auto newSize = static_cast<off_t>(data.size());
    // Reserving the room first means no write below can find the disk full.
    if (newSize > info.st_size && ::posix_fallocate(fd.get(), 0, newSize) != 0) {
        ::ftruncate(fd.get(), info.st_size);
        return false;
    }
    if (!WriteAllAt(fd.get(), data.constData(), data.size(), 0) || ::ftruncate(fd.get(), newSize) != 0) {
        WriteAllAt(fd.get(), old.data(), old.size(), 0);
        ::ftruncate(fd.get(), info.st_size);
        return false;
    }
    return fd.Close();
}

bool AppendWhole(const QString &path, std::string_view bytes, bool overwrite, const QString &protectedFile) {
    const QByteArray name = QFile::encodeName(path);
    if (name.isEmpty() || HoldsOtherThanAFile(name))
        return false;
    Descriptor fd(
        ::open(name.constData(), O_WRONLY | O_CREAT | O_APPEND | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666));
    struct stat info {};
    if (fd.get() < 0 || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    struct stat guarded {};
    if (!protectedFile.isEmpty() && ::stat(QFile::encodeName(protectedFile).constData(), &guarded) == 0 &&
        guarded.st_dev == info.st_dev && guarded.st_ino == info.st_ino)
        return false;
    if (overwrite && ::ftruncate(fd.get(), 0) != 0)
        return false;
    const off_t before = overwrite ? 0 : info.st_size;
    std::size_t done = 0;
    bool written = true;
    while (written && done < bytes.size()) {
        const ssize_t count = ::write(fd.get(), bytes.data() + done, bytes.size() - done);
        if (count < 0 && errno == EINTR)
            continue;
        written = count > 0;
        done += written ? static_cast<std::size_t>(count) : 0;
    }
    // Part of a record would be glued to the next one written once there is room again.
    if (!written && done > 0)
        ::ftruncate(fd.get(), before);
    return fd.Close() && written;
}

bool MoveWhole(const QString &from, const QString &to) {
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    struct stat info {};
    if (source.isEmpty() || target.isEmpty() || ::lstat(source.constData(), &info) != 0 ||
        !S_ISREG(info.st_mode))
        return false;
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0)
        return true;
    // A file system that cannot refuse a taken name on its own.
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    return ::lstat(target.constData(), &info) != 0 && errno == ENOENT &&
           ::rename(source.constData(), target.constData()) == 0;
}

CreateOutcome CreateWhole(const QString &path, const QByteArray &data) {
    const QByteArray name = QFile::encodeName(path);
    struct stat info {};
    if (name.isEmpty())
        return CreateOutcome::Failed;
    if (::lstat(name.constData(), &info) == 0)
        return CreateOutcome::Exists;
    const auto size = static_cast<std::size_t>(data.size());
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    Descriptor unnamed(::open(folder.constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666));
    if (unnamed.get() >= 0) {
        if (!WriteAllAt(unnamed.get(), data.constData(), size, 0))
            return CreateOutcome::Failed;
        const std::string self = "/proc/self/fd/" + std::to_string(unnamed.get());
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.constData(), AT_SYMLINK_FOLLOW) == 0)
            return CreateOutcome::Created;
        if (errno == EEXIST)
            return CreateOutcome::Exists;
        if (errno != ENOENT) // no /proc to reach the unnamed file through
            return CreateOutcome::Failed;
    } else if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
        return CreateOutcome::Failed;
    }
    Descriptor fd(::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, 0666));
    if (fd.get() < 0)
        return errno == EEXIST ? CreateOutcome::Exists : CreateOutcome::Failed;
    if (WriteAllAt(fd.get(), data.constData(), size, 0) && fd.Close())
        return CreateOutcome::Created;
    ::unlink(name.constData());
    return CreateOutcome::Failed;
}

bool IsSameFile(const QString &first, const QString &second) {
    struct stat one {};
    struct stat other {};
    return !first.isEmpty() && !second.isEmpty() && ::stat(QFile::encodeName(first).constData(), &one) == 0 &&
           ::stat(QFile::encodeName(second).constData(), &other) == 0 && one.st_dev == other.st_dev &&
           one.st_ino == other.st_ino;
}

namespace {

// Both reads of a file a person named: the checks, then at most `readLimit` bytes of it.
ReadOutcome ReadRegularFile(const std::string &path, std::string &data, std::size_t maxBytes,
                            std::size_t readLimit) {
    data.clear();
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return ReadOutcome::OpenFailed;
    if (!S_ISREG(info.st_mode))
        return ReadOutcome::NotRegular;
    Descriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (fd.get() < 0)
        return ReadOutcome::OpenFailed;
    // Checked again on what was opened: the name may have been pointed elsewhere in between.
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode))
        return ReadOutcome::NotRegular;
    if (static_cast<std::uintmax_t>(info.st_size) > maxBytes)
        return ReadOutcome::TooLarge;
    if (!ReadUpTo(fd.get(), data, readLimit)) {
        data.clear();
        return ReadOutcome::ReadFailed;
    }
    if (data.size() > readLimit) {
        data.resize(readLimit);
        // Grown past the bound while it was read (or a file that tells no size).
        if (readLimit == maxBytes) {
            data.clear();
            return ReadOutcome::TooLarge;
        }
    }
    return ReadOutcome::Read;
}

} // namespace

ReadOutcome ReadWholeFile(const std::string &path, std::string &data, std::size_t maxBytes) {
    return ReadRegularFile(path, data, maxBytes, maxBytes);
}

ReadOutcome ReadFileStart(const std::string &path, std::string &data, std::size_t maxBytes,
                          std::size_t startBytes) {
    return ReadRegularFile(path, data, maxBytes, std::min(startBytes, maxBytes));
}

ReadOutcome ReadWholeFile(std::FILE *file, std::string &data) {
    data.clear();
    char buffer[65536];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        data.append(buffer, got);
    if (std::ferror(file)) {
        data.clear();
        return ReadOutcome::ReadFailed;
    }
    return ReadOutcome::Read;
}

LineOutcome ReadLine(std::FILE *file, std::string &line) {
    line.clear();
    int c = 0;
    while ((c = std::getc(file)) != EOF && c != '\n')
        line.push_back(static_cast<char>(c));
    if (std::ferror(file))
        return LineOutcome::ReadFailed;
    if (c == EOF && line.empty())
        return LineOutcome::End;
    return LineOutcome::Line;
}

} // namespace platform
